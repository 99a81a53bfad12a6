// A local file's bytes, scanned line by line.
#include "tools/PageScan.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<int>(size));
    PageScanner scanner;
    int between = 0;
    for (const QByteArray& line : PageScan::splitLines(file)) {
        if (line.contains('\n') || line.contains('\r'))
            __builtin_trap();
        scanner.fileLine(line, [&between] { ++between; });
    }
    scanner.finish();
    if (scanner.title().contains('\n') || scanner.keywords().contains('\r'))
        __builtin_trap();
    return 0;
}
