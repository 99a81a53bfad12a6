#include "AuditRules.h"

#include "PageExtract.h"

#include <QSet>

#include <algorithm>

QString AuditPage::robots() const
{
    QStringList merged = robotsMeta;
    for (const QString& directive : robotsHeader) {
        if (!merged.contains(directive))
            merged.append(directive);
    }
    return merged.join(QLatin1Char(','));
}

bool AuditPage::noindex() const
{
    return robotsMeta.contains(QLatin1String("noindex")) || robotsHeader.contains(QLatin1String("noindex")) ||
           robotsMeta.contains(QLatin1String("none")) || robotsHeader.contains(QLatin1String("none"));
}

QString AuditPage::hopText() const
{
    QStringList parts;
    for (const RedirectHop& hop : hops)
        parts.append(QString::number(hop.status) + QLatin1Char(' ') + hop.target);
    return parts.join(QLatin1String(" -> "));
}

namespace AuditRules {

bool isHtml(const QString& contentType)
{
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    return type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml");
}

bool indexable(const AuditPage& page)
{
    return page.status == 200 && page.hops.isEmpty() && page.html && !page.noindex() &&
           (page.canonical.isEmpty() || page.canonical == page.url) && page.robotsAllowed;
}

bool broken(int status)
{
    return status == 0 || status >= 400;
}

QString brokenLinkDetail(const QString& target, int status, const QString& anchor)
{
    return target + QLatin1Char(' ') + QString::number(status) + QLatin1Char(' ') + anchor;
}

QList<AuditFinding> pageFindings(const AuditPage& page)
{
    QList<AuditFinding> out;
    auto add = [&out, &page](const char* code, const QString& detail) {
        out.append({QString::fromLatin1(code), page.url, detail});
    };
    if (page.status >= 400 && page.status < 500)
        add("not-found", QString::number(page.status));
    if (page.status >= 500 || page.status == 0)
        add("server-error", page.status == 0 ? page.failure : QString::number(page.status));
    if (page.redirectLoop)
        add("redirect-loop", page.hopText());
    else if (page.hops.size() >= 2)
        add("redirect-chain", page.hopText());
    if (page.redirected() || page.bytes < 0)
        return out; // the page columns belong to the target's own row
    const bool ok = page.status == 200;
    const bool isIndexable = indexable(page);
    if (page.html && ok && page.title.isEmpty())
        add("missing-title", QString());
    const int titleLength = PageExtract::characterCount(page.title);
    if (titleLength > TitleLimit)
        add("long-title", QString::number(titleLength));
    if (isIndexable && page.description.isEmpty())
        add("missing-description", QString());
    const int descriptionLength = PageExtract::characterCount(page.description);
    if (descriptionLength > DescriptionLimit)
        add("long-description", QString::number(descriptionLength));
    if (isIndexable && page.h1Count == 0)
        add("missing-h1", QString());
    if (page.h1Count > 1)
        add("multiple-h1", QString::number(page.h1Count));
    const bool metaNoindex =
        page.robotsMeta.contains(QLatin1String("noindex")) || page.robotsMeta.contains(QLatin1String("none"));
    const bool headerNoindex =
        page.robotsHeader.contains(QLatin1String("noindex")) || page.robotsHeader.contains(QLatin1String("none"));
    if (metaNoindex || headerNoindex)
        add("noindex", metaNoindex && headerNoindex ? QStringLiteral("meta,header")
                       : metaNoindex                ? QStringLiteral("meta")
                                                    : QStringLiteral("header"));
    if (!page.canonical.isEmpty() && page.canonical != page.url)
        add("canonical-elsewhere", page.canonical);
    if (page.responseMs > SlowMs)
        add("slow-page", QString::number(page.responseMs));
    if (page.bytes > LargeBytes)
        add("large-page", QString::number(page.bytes));
    if (page.url.startsWith(QLatin1String("https:"), Qt::CaseInsensitive)) {
        QSet<QString> seen;
        for (const QString& resource : page.resources) {
            if (resource.startsWith(QLatin1String("http:"), Qt::CaseInsensitive) && !seen.contains(resource)) {
                seen.insert(resource);
                add("mixed-content", resource);
            }
        }
    }
    return out;
}

QList<AuditFinding> crawlFindings(const QList<AuditPage>& pages)
{
    QList<AuditFinding> out;
    QHash<QString, QStringList> byTitle;
    QHash<QString, QStringList> byDescription;
    QHash<QString, const AuditPage*> byUrl;
    for (const AuditPage& page : pages) {
        byUrl.insert(page.url, &page);
        if (!page.indexable)
            continue;
        if (!page.title.isEmpty())
            byTitle[page.title].append(page.url);
        if (!page.description.isEmpty())
            byDescription[page.description].append(page.url);
    }
    for (auto it = byTitle.cbegin(); it != byTitle.cend(); ++it) {
        if (it.value().size() >= 2) {
            for (const QString& url : it.value())
                out.append({QStringLiteral("duplicate-title"), url, it.key()});
        }
    }
    for (auto it = byDescription.cbegin(); it != byDescription.cend(); ++it) {
        if (it.value().size() >= 2) {
            for (const QString& url : it.value())
                out.append({QStringLiteral("duplicate-description"), url, it.key()});
        }
    }
    for (const AuditPage& page : pages) {
        if (!page.canonical.isEmpty() && page.canonical != page.url) {
            const AuditPage* target = byUrl.value(page.canonical);
            // A canonical must name the page itself, not a redirect to it.
            if (target && target->status != 200) {
                out.append({QStringLiteral("canonical-broken"), page.url,
                            page.canonical + QLatin1Char(' ') + QString::number(target->status)});
            }
        }
        for (const auto& [language, alternate] : page.hreflang) {
            Q_UNUSED(language);
            if (alternate == page.url)
                continue;
            const AuditPage* other = byUrl.value(alternate);
            if (!other || other->redirected() || other->bytes < 0)
                continue; // not fetched, or not a page of its own
            bool returns = false;
            for (const auto& back : other->hreflang) {
                if (back.second == page.url) {
                    returns = true;
                    break;
                }
            }
            if (!returns)
                out.append({QStringLiteral("hreflang-no-return"), page.url, alternate});
        }
    }
    return out;
}

void sort(QList<AuditFinding>& findings)
{
    std::sort(findings.begin(), findings.end(), [](const AuditFinding& a, const AuditFinding& b) {
        if (a.code != b.code)
            return a.code < b.code;
        if (a.url != b.url)
            return a.url < b.url;
        return a.detail < b.detail;
    });
}

} // namespace AuditRules
