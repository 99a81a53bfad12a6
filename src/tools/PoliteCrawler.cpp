#include "PoliteCrawler.h"

CrawlScope::CrawlScope(const QUrl& start, bool folder)
{
    const QUrl url = PoliteCrawler::normalized(start);
    m_scheme = url.scheme();
    m_host = url.host();
    m_port = url.port(m_scheme == QLatin1String("https") ? 443 : 80);
    if (folder) {
        const QString path = url.path();
        m_prefix = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
        if (m_prefix.isEmpty())
            m_prefix = QStringLiteral("/");
    }
}

bool CrawlScope::contains(const QUrl& raw) const
{
    const QUrl url = PoliteCrawler::normalized(raw);
    if (url.scheme() != m_scheme || url.host() != m_host)
        return false;
    if (url.port(m_scheme == QLatin1String("https") ? 443 : 80) != m_port)
        return false;
    return url.path().startsWith(m_prefix);
}

void PoliteCrawler::begin(const QString& startUrl)
{
    m_links.clear();
    m_links.addStart(startUrl);
    const SpiderRules::Address address = SpiderRules::split(startUrl);
    m_startHost = SpiderRules::hostAndPort(address);
    m_startProto = address.proto.isEmpty() ? QStringLiteral("http") : address.proto;
    m_robots = RobotsTxt::allowAll();
    m_sitemaps.clear();
    m_robotsRead = false;
    m_pagesFetched = 0;
}

QString PoliteCrawler::robotsUrl() const
{
    return m_startProto + QStringLiteral("://") + m_startHost + QStringLiteral("/robots.txt");
}

void PoliteCrawler::robotsBegin()
{
    m_robotsBody.clear();
    m_robotsRedirects = 0;
    m_robotsGaveUp = false;
}

void PoliteCrawler::robotsData(const char* data, int len)
{
    if (m_robotsBody.size() < RobotsTxt::MaxBytes)
        m_robotsBody.append(data, qMin<qsizetype>(len, RobotsTxt::MaxBytes - m_robotsBody.size()));
}

bool PoliteCrawler::robotsRedirect()
{
    if (++m_robotsRedirects > MaxRobotsRedirects)
        m_robotsGaveUp = true;
    return !m_robotsGaveUp;
}

void PoliteCrawler::robotsDone(int code, bool answered)
{
    m_robotsRead = false;
    m_sitemaps.clear();
    if (m_robotsGaveUp) {
        m_robots = RobotsTxt::allowAll();
    } else if (!answered && code != 0) {
        // No answer at all: the client's own failure, not the site's.
        m_robots = RobotsTxt::disallowAll(QStringLiteral("robots.txt unreachable, nothing may be fetched"));
    } else if (code >= 500) {
        m_robots = RobotsTxt::disallowAll(QStringLiteral("robots.txt answered %1, nothing may be fetched").arg(code));
    } else if (code >= 300) {
        m_robots = RobotsTxt::allowAll();
    } else {
        m_robots = RobotsTxt::parse(m_robotsBody);
        m_sitemaps = m_robots.sitemaps();
        m_robotsRead = code >= 200;
    }
    m_robotsBody.clear();
}

QString PoliteCrawler::robotsRefusal(const QString& url) const
{
    const SpiderRules::Address address = SpiderRules::split(url);
    // The rules are those of the start address's server; other servers are not asked.
    if (SpiderRules::hostAndPort(address) != m_startHost)
        return QString();
    const RobotsTxt::Verdict verdict = m_robots.check(address.path);
    if (verdict.allowed)
        return QString();
    if (m_robots.refusesAll())
        return verdict.rule;
    return QStringLiteral("Refused by robots.txt (%1): %2").arg(verdict.rule, url);
}

int PoliteCrawler::steadyWait(int delayMs) const
{
    return qMax(delayMs, static_cast<int>(m_robots.crawlDelay() * 1000));
}

int PoliteCrawler::waitAfter(int delayMs, int code, const QStringList& header, const QDateTime& nowUtc,
                             int* retryAfter) const
{
    int waitMs = steadyWait(delayMs);
    int seconds = -1;
    if (code == 429 || code == 503) {
        for (const QString& line : header) {
            if (line.startsWith(QLatin1String("Retry-After:"), Qt::CaseInsensitive)) {
                seconds = retryAfterSeconds(line.mid(12), nowUtc);
                break;
            }
        }
        if (seconds > 0)
            waitMs = qMax(waitMs, seconds * 1000);
    }
    if (retryAfter)
        *retryAfter = seconds > 0 ? seconds : -1;
    return waitMs;
}

QUrl PoliteCrawler::normalized(QUrl url)
{
    url.setFragment(QString());
    url.setScheme(url.scheme().toLower());
    url.setHost(url.host().toLower());
    if ((url.scheme() == QLatin1String("http") && url.port() == 80) ||
        (url.scheme() == QLatin1String("https") && url.port() == 443))
        url.setPort(-1);
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    return url;
}

QUrl PoliteCrawler::resolveLink(const QUrl& page, const QString& href)
{
    const QString text = href.trimmed();
    if (text.isEmpty() && !href.isEmpty())
        return QUrl();
    const QUrl relative(text, QUrl::TolerantMode);
    if (!relative.isValid())
        return QUrl();
    QUrl url = page.resolved(relative);
    const QString scheme = url.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return QUrl();
    return normalized(url);
}
