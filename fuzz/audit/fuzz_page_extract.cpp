// A page body; its first line doubles as the Content-Type header.
#include "audit/AuditRules.h"
#include "audit/PageExtract.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const qsizetype nl = input.indexOf('\n');
    const QString contentType = QString::fromLatin1(nl < 0 ? QByteArray() : input.left(qMin<qsizetype>(nl, 200)));
    const QByteArray body = nl < 0 ? input : input.mid(nl + 1);
    const PageFacts facts = PageExtract::extract(body, contentType, QUrl(QStringLiteral("https://site.test/a/b.html")));
    // Collapsed texts have no blank at either end and no run of whitespace.
    for (const QString& text : {facts.title, facts.description}) {
        if (text != text.simplified())
            __builtin_trap();
    }
    // Every address taken is absolute http(s), without a fragment.
    auto absolute = [](const QString& url) {
        return url.isEmpty() ||
               ((url.startsWith(QLatin1String("http://")) || url.startsWith(QLatin1String("https://"))) &&
                !url.contains(QLatin1Char('#')));
    };
    if (!absolute(facts.canonical))
        __builtin_trap();
    for (const PageLink& link : facts.links) {
        if (!absolute(link.url) || link.anchor != link.anchor.simplified())
            __builtin_trap();
    }
    for (const QString& directive : facts.robotsMeta) {
        if (directive.isEmpty() || directive != directive.toLower() || facts.robotsMeta.count(directive) != 1)
            __builtin_trap();
    }
    AuditPage page;
    page.url = QStringLiteral("https://site.test/a/b.html");
    page.status = 200;
    page.html = true;
    page.parsed = true;
    page.bytes = body.size();
    page.title = facts.title;
    page.description = facts.description;
    page.h1Count = static_cast<int>(facts.h1s.size());
    page.canonical = facts.canonical;
    page.robotsMeta = facts.robotsMeta;
    page.resources = facts.resources;
    page.indexable = AuditRules::indexable(page);
    AuditRules::pageFindings(page);
    return 0;
}
