// A robots.txt; its last line doubles as the path to check.
#include "tools/RobotsTxt.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const RobotsTxt robots = RobotsTxt::parse(text);
    const qsizetype nl = text.lastIndexOf('\n');
    const QString path = QString::fromUtf8(nl < 0 ? text : text.mid(nl + 1));
    const RobotsTxt::Verdict verdict = robots.check(path);
    if (!verdict.allowed && verdict.rule.isEmpty())
        __builtin_trap();
    if (!robots.check(QStringLiteral("/robots.txt")).allowed || robots.crawlDelay() < 0)
        __builtin_trap();
    // A pattern always matches itself when it holds no "$" and no "*".
    const QByteArray plain = text.left(32);
    if (!plain.contains('$') && !plain.contains('*') && !RobotsTxt::matches(plain, plain))
        __builtin_trap();
    return 0;
}
