#include "SearchSite.h"

#include "SandboxRouter.h"


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
    const qint64 siteRank = site.isEmpty() ? 0 : number(request.queryValue("rank"), 0);
    const qint64 first = start - base + 1;

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

void addPaths(SandboxRouter& router)
{
    router.addPath("/search", resultPage);
    router.addPath("/search-error", [](const SandboxRequest&) {
        return SandboxResponse::page(500, "Internal Server Error", "Internal Server Error",
                                     "The search service is down.");
    });
}

} // namespace SearchSite
