// The first line is the page's address, the rest its text in two blocks.
#include "tools/LinkScan.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const qsizetype nl = bytes.indexOf('\n');
    const QString page = QString::fromLatin1(nl < 0 ? bytes : bytes.left(nl));
    const QByteArray text = nl < 0 ? QByteArray() : bytes.mid(nl + 1);
    const SpiderRules::Address address = SpiderRules::split(page);
    const QString scope = SpiderRules::scope(address);
    LinkCollector links;
    links.addStart(page);
    const qsizetype half = text.size() / 2;
    for (const QByteArray& block : {text.left(half), text.mid(half)}) {
        links.appendBlock(block);
        links.scan(page, scope, [](const QString&) {});
        if (links.buffer().size() > LinkCollector::MaxCarriedLink + 5)
            __builtin_trap();
    }
    // Every accepted address passed the filters and is listed once.
    const QStringList found = links.found();
    for (int i = 1; i < found.size(); ++i) {
        if (found.at(i).size() >= 100 || found.at(i).contains(QLatin1Char('?')) || links.indexOf(found.at(i)) != i)
            __builtin_trap();
    }
    return 0;
}
