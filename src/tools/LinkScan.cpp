#include "LinkScan.h"

#include "PageScan.h"
#include "net/SplitHttpUrl.h"

namespace SpiderRules {

Address split(const QString& url)
{
    Address a;
    QString user, password;
    SplitHttpUrl(url, a.proto, user, password, a.host, a.port, a.path);
    return a;
}

QString hostAndPort(const Address& address)
{
    return address.port.isEmpty() ? address.host : address.host + QLatin1Char(':') + address.port;
}

QString siteName(const QString& host)
{
    QString name = host;
    if (name.contains(QLatin1String("www.")))
        name.remove(0, 4);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

QString scope(const Address& start, const QString& previous)
{
    const QString host = hostAndPort(start);
    const QString& path = start.path;
    if (path.isEmpty())
        return host;
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    if (last > 0)
        return host + QLatin1Char('/') + path.mid(1, last - 1);
    if (last == 0)
        return path.contains(QLatin1Char('.')) ? host : host + path;
    return previous.isEmpty() ? host : previous;
}

QByteArray resolve(QByteArray link, const Address& page)
{
    if (link == "/")
        link.clear();
    if (link.size() > 1) {
        while (!link.isEmpty() && link.startsWith('.'))
            link.remove(0, 1);
    }
    if (link.size() <= 1)
        return link;
    const QByteArray scheme = page.proto.isEmpty() ? QByteArrayLiteral("http") : page.proto.toUtf8();
    const QByteArray prefix = scheme + "://" + hostAndPort(page).toUtf8();
    if (link.startsWith('/'))
        return prefix + link;
    if (link.contains("://"))
        return link;
    QByteArray dir = page.path.toUtf8();
    const qsizetype last = dir.lastIndexOf('/');
    if (last > 0)
        dir = dir.mid(1, last - 1);
    if (dir.size() > 1 && dir.startsWith('/'))
        dir.remove(0, 1);
    if (dir.isEmpty() || dir == "/" || dir.contains('.'))
        return prefix + '/' + link;
    return prefix + '/' + dir + '/' + link;
}

QByteArray normalise(QByteArray link)
{
    if (link.size() <= 1)
        return link;
    if (link.endsWith('/'))
        link.chop(1);
    qsizetype cut = link.indexOf("/index.");
    if (cut >= 0)
        link.truncate(cut);
    cut = link.indexOf("/default.");
    if (cut >= 0)
        link.truncate(cut);
    return link;
}

QString refusal(const QByteArray& link, const QString& scope)
{
    if (scope.isEmpty() || !link.contains(scope.toUtf8()))
        return QStringLiteral("out of scope");
    static const char* const refused[] = {"JAVASCRIPT:", "#",   ">",    "<",    "MAILTO:", "@",    "=",
                                          ".CGI",        ".PL", ".GIF", ".JPG", ".EXE",    ".TAR", ".ZIP",
                                          ".RAR",        "?",   "FTP:", ";",    ".ZRO",    ".ZDB"};
    const QByteArray upper = PageScan::asciiUpper(link);
    for (const char* text : refused) {
        if (upper.contains(text))
            return QStringLiteral("holds \"%1\"").arg(QLatin1String(text));
    }
    if (link.size() >= 100)
        return QStringLiteral("100 characters or longer");
    return QString();
}

} // namespace SpiderRules

void LinkCollector::clear()
{
    m_buffer.clear();
    m_queue.clear();
    m_head = 0;
    m_found.clear();
    m_index.clear();
}

void LinkCollector::addStart(const QString& url)
{
    accept(url);
}

bool LinkCollector::offer(const QString& url)
{
    if (m_index.contains(url))
        return false;
    accept(url);
    return true;
}

void LinkCollector::accept(const QString& url)
{
    m_index.insert(url, static_cast<int>(m_found.size()));
    m_found.append(url);
    m_queue.append(url);
}

QString LinkCollector::takeFirst()
{
    if (!hasQueued())
        return QString();
    const QString url = m_queue.at(m_head);
    m_queue[m_head].clear();
    ++m_head;
    // Drop the taken entries now and then so the queue does not keep them all.
    if (m_head > 1024 && m_head * 2 > m_queue.size()) {
        m_queue.remove(0, m_head);
        m_head = 0;
    }
    return url;
}

void LinkCollector::dropQueue()
{
    m_queue.clear();
    m_head = 0;
}

int LinkCollector::scan(const QString& pageUrl, const QString& scope, const std::function<void(const QString&)>& status,
                        const std::function<QString(const QString&)>& allowed)
{
    const SpiderRules::Address page = SpiderRules::split(pageUrl);
    const QByteArray upper = PageScan::asciiUpper(m_buffer);
    int accepted = 0;
    qsizetype pos = 0;
    qsizetype carryFrom = -1; // an occurrence whose end has not arrived
    qsizetype at;
    while ((at = upper.indexOf("HREF=", pos)) >= 0) {
        qsizetype start = at + 5;
        char end = '>';
        if (m_buffer.size() - start > 2 && m_buffer.at(start) == '"') {
            ++start;
            end = '"';
        }
        const qsizetype stop = m_buffer.indexOf(end, start);
        if (stop < 0) {
            if (carryFrom < 0)
                carryFrom = at;
            pos = at + 5;
            continue;
        }
        carryFrom = -1;
        pos = stop + 1;
        QByteArray link = m_buffer.mid(start, stop - start);
        const qsizetype blank = link.indexOf(' ');
        if (blank >= 0)
            link.truncate(blank);
        link = SpiderRules::normalise(SpiderRules::resolve(link, page));
        if (link.size() <= 1)
            continue;
        const QString url = PageScan::decodeValue(link);
        const int earlier = indexOf(url);
        if (earlier >= 0) {
            if (status)
                status(QStringLiteral("Checking Duplicates %1").arg(earlier));
            continue;
        }
        if (!SpiderRules::refusal(link, scope).isEmpty())
            continue;
        if (allowed) {
            const QString why = allowed(url);
            if (!why.isEmpty()) {
                if (status)
                    status(why);
                continue;
            }
        }
        accept(url);
        ++accepted;
    }
    // A link cut by the end of the block is finished by the next one; so is
    // an "HREF=" itself cut in two.
    if (carryFrom >= 0 && m_buffer.size() - carryFrom <= MaxCarriedLink)
        m_buffer = m_buffer.mid(carryFrom);
    else
        m_buffer = m_buffer.right(4);
    return accepted;
}
