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

// Per engine, keyword and site: how many checks have asked for its first
// page, and where the last one put the site.
struct Drifting
{
    quint64 checks = 0;
    qint64 rank = 0;
};
QHash<QByteArray, Drifting> drifting;

// Where a drifting site stands in a new check: its own rank in the first
// check, then up to `drift` places either way from it, never where the
// check before put it, and never above rank 1.
qint64 nextRank(qint64 rank, qint64 drift, const QByteArray& key, Drifting& state)
{
    qint64 next = rank;
    if (state.checks > 0) {
        const quint64 mixed = (quint64(qHash(key)) + state.checks * 7919u) * 2654435761u;
        next = rank + qint64((mixed >> 16) % quint64(2 * drift + 1)) - drift;
        if (next == state.rank)
            next = next < rank + drift ? next + 1 : next - 1;
        next = std::max<qint64>(1, next);
        if (next == state.rank)
            next = state.rank + 1;
    }
    ++state.checks;
    state.rank = next;
    return next;
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
        Drifting& state = drifting[key];
        // A page after the first belongs to the check that asked for the first.
        siteRank = start == base || state.checks == 0 ? nextRank(siteRank, drift, key, state) : state.rank;
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
