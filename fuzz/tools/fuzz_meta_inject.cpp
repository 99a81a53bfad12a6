// The head injection on arbitrary file text: no crash, the text before the
// head and the text after the replaced region always kept.
#include "tools/HeadInjection.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QStringList block{QStringLiteral("<HEAD>"), QStringLiteral(u"<TITLE>Caf\u00e9 \u2615</TITLE>"),
                                   QStringLiteral("</HEAD>")};
    const QByteArray normal = withCrLfLineEnds(file);
    const HeadRegion region = findHeadRegion(normal);
    const HeadInjection result = injectHeadBlock(file, block);

    if (result.injected != region.isValid())
        std::abort();
    if (!result.injected) {
        if (result.text != normal)
            std::abort();
        return 0;
    }
    if (region.start < 0 || region.end <= region.start || region.end > normal.size())
        std::abort();
    const QByteArray before = normal.left(region.start);
    const QByteArray after = normal.mid(region.end);
    if (!result.text.startsWith(before) || !result.text.endsWith(after))
        std::abort();
    if (result.text.size() <= before.size() + after.size())
        std::abort();
    // The region starts with the head tag, whatever its letter case.
    if (normal.mid(region.start, 5).toUpper() != "<HEAD")
        std::abort();
    // It ends just before a script or just after the closing head tag.
    if (region.beforeScript ? normal.mid(region.end, 7).toUpper() != "<SCRIPT"
                            : normal.mid(region.end - 7, 7).toUpper() != "</HEAD>")
        std::abort();
    return 0;
}
