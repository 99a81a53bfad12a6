// A page in blocks: the first byte chooses the block size, the rest is the page.
#include "tools/PageScan.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int block = data[0] % 64 + 1;
    const QByteArray page(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    PageScanner whole;
    whole.streamBlock(PageScan::blockText(page.constData(), static_cast<int>(page.size())));
    whole.finish();
    PageScanner pieces;
    for (qsizetype at = 0; at < page.size(); at += block) {
        const QByteArray part = page.mid(at, block);
        pieces.streamBlock(PageScan::blockText(part.constData(), static_cast<int>(part.size())));
    }
    pieces.finish();
    // A value never holds its own terminators, and the head buffer is empty between pages.
    if (whole.description().contains('"') || !whole.head().isEmpty() || !pieces.head().isEmpty())
        __builtin_trap();
    (void)PageScan::decodeValue(pieces.keywords());
    return 0;
}
