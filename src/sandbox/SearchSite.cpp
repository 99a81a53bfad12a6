#include "SearchSite.h"

#include "SandboxRouter.h"

#include <QHash>

#include <algorithm>

namespace {

constexpr int ResultsPerPage = 10;
// Far beyond any "Check Ranking in Top"; keeps the rank numbers well inside 64 bits.
constexpr qint64 MaxOffset = 1000000000;

qint64 number(const QByteArray& text, qint64 fallback)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok && n >= -MaxOffset && n <= MaxOffset ? n : fallback;
}

int defaultDrift = 0;
// Per engine, keyword and site: how many checks have asked for its first page.
QHash<QByteArray, quint64> checksSeen;

// Where a drifting site stands in check n: its own rank in the first check,
// then a step of up to `drift` places either way from it, never the same as
// the check before, so each check shows movement.
qint64 driftedRank(qint64 rank, qint64 drift, const QByteArray& key, quint64 check)
{
    const auto offset = [&](quint64 n) -> qint64 {
        if (n == 0)
            return 0;
        const quint64 mixed = (quint64(qHash(key)) + n * 7919u) * 2654435761u;
        return qint64((mixed >> 16) % quint64(2 * drift + 1)) - drift;
    };
    qint64 step = offset(check);
    if (check > 0 && step == offset(check - 1))
        step = step < drift ? step + 1 : -drift;
    return std::max<qint64>(1, rank + step);
}

QByteArray escaped(const QByteArray& text)
{
    return QString::fromUtf8(text).toHtmlEscaped().toUtf8();
}

// A made-up address for a result that is not the chosen site, telling the keyword apart.
QByteArray otherAddress(qint64 rank, const QByteArray& keyword)
{
    QByteArray slug;
    for (const char c : keyword) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            slug += c;
        else if (c >= 'A' && c <= 'Z')
            slug += char(c - 'A' + 'a');
        else if (!slug.endsWith('-'))
            slug += '-';
    }
    return "http://www.result-" + QByteArray::number(rank) + ".example/" + slug;
}

QByteArray withoutScheme(const QByteArray& address)
{
    return address.startsWith("http://") ? address.mid(7) : address;
}

SandboxResponse resultPage(const SandboxRequest& request)
{
    const QByteArray keyword = request.queryValue("q");
    const qint64 base = number(request.queryValue("base"), 0);
    const qint64 start = number(request.queryValue("start"), base);
    const QByteArray site = request.queryValue("site");
    qint64 siteRank = site.isEmpty() ? 0 : number(request.queryValue("rank"), 0);
    const qint64 first = start - base + 1;
    const qint64 drift = std::clamp<qint64>(number(request.queryValue("drift"), defaultDrift), 0, 1000);
    if (drift > 0 && siteRank > 0) {
        // A check starts at its first page: that request moves the site for the pages after it.
        const QByteArray key = request.path + '\n' + keyword + '\n' + site + '\n' + QByteArray::number(siteRank) +
                               '\n' + QByteArray::number(base);
        quint64& seen = checksSeen[key];
        if (start == base)
            ++seen;
        siteRank = driftedRank(siteRank, drift, key, seen > 0 ? seen - 1 : 0);
    }

    QByteArray list;
    for (qint64 rank = first; rank < first + ResultsPerPage; ++rank) {
        if (rank < 1)
            continue;
        const QByteArray address = rank == siteRank ? site : otherAddress(rank, keyword);
        list += "<LI VALUE=\"" + QByteArray::number(rank) + "\"><A HREF=\"" + address + "\">Result " +
                QByteArray::number(rank) + " for " + escaped(keyword) + "</A><BR>\r\n<CITE>" + withoutScheme(address) +
                "</CITE></LI>\r\n";
    }
    return SandboxResponse::answer(200, "OK", "text/html",
                                   "<HTML><HEAD><TITLE>" + escaped(keyword) +
                                       " - Sandbox Search</TITLE></HEAD>\r\n<BODY>\r\n"
                                       "<H1>Sandbox Search</H1>\r\n<P>Results " +
                                       QByteArray::number(qMax<qint64>(first, 1)) + " to " +
                                       QByteArray::number(first + ResultsPerPage - 1) + " for <B>" + escaped(keyword) +
                                       "</B></P>\r\n<OL>\r\n" + list + "</OL>\r\n</BODY></HTML>\r\n");
}

} // namespace

namespace SearchSite {

void setDefaultDrift(int drift)
{
    defaultDrift = std::clamp(drift, 0, 1000);
}

void addPaths(SandboxRouter& router)
{
    router.addPath("/search", resultPage);
    router.addPath("/search-error", [](const SandboxRequest&) {
        return SandboxResponse::page(500, "Internal Server Error", "Internal Server Error",
                                     "The search service is down.");
    });
}

} // namespace SearchSite
