#pragma once

#include "LinkScan.h"
#include "RobotsTxt.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

// Which addresses belong to a crawl: the start address's scheme, host and
// port, and optionally only the addresses under its folder.
class CrawlScope
{
public:
    CrawlScope() = default;
    CrawlScope(const QUrl& start, bool folder);

    bool contains(const QUrl& url) const;
    // The path every address in scope starts with ("/" for the whole site).
    QString pathPrefix() const { return m_prefix; }

private:
    QString m_scheme;
    QString m_host;
    int m_port = -1;
    QString m_prefix = QStringLiteral("/");
};

// The crawl machinery that the spider and the site audit share: the robots.txt
// of the start address's server (read, decided, applied), the politeness wait
// (the delay, Crawl-delay and Retry-After), the page cap, the queue with its
// duplicate test, and the resolution of a link against its page. It fetches
// nothing itself: its owner drives its client and reports what came back.
class PoliteCrawler
{
public:
    // robots.txt is read with redirects followed up to this many.
    static constexpr int MaxRobotsRedirects = 5;

    // A new crawl from `startUrl`: the lists emptied, the start address queued,
    // every path allowed until robots.txt has been read.
    void begin(const QString& startUrl);

    // The address of robots.txt on the start address's server.
    QString robotsUrl() const;
    // Host and port the robots rules apply to ("host" or "host:port").
    QString startHost() const { return m_startHost; }
    QString startProto() const { return m_startProto; }

    // robots.txt while it is read: its body is gathered up to RobotsTxt::MaxBytes.
    void robotsBegin();
    void robotsData(const char* data, int len);
    // A redirect of robots.txt; false once there were too many, so the read is given up.
    bool robotsRedirect();
    // How robots.txt answered; decides the rules. `answered` is false when no
    // header came at all (the client's own failure).
    void robotsDone(int code, bool answered);
    const RobotsTxt& robots() const { return m_robots; }
    void setRobots(const RobotsTxt& robots) { m_robots = robots; }
    // The Sitemap: lines of the robots.txt read (also when its rules are not applied).
    QStringList sitemaps() const { return m_sitemaps; }
    // Whether a robots.txt file was read (a 2xx answer).
    bool robotsFileRead() const { return m_robotsRead; }

    // Why robots.txt refuses `url`, empty when it may be fetched. Addresses on
    // other servers are not refused: their robots.txt is not asked.
    QString robotsRefusal(const QString& url) const;

    // The page cap; 0 for none.
    void setPageLimit(int limit) { m_pageLimit = limit; }
    int pageLimit() const { return m_pageLimit; }
    void countPage() { ++m_pagesFetched; }
    int pagesFetched() const { return m_pagesFetched; }
    bool limitReached() const { return m_pageLimit > 0 && m_pagesFetched >= m_pageLimit; }

    // Milliseconds to wait before the next request after an answer with `code`
    // and `header`: the delay, robots.txt's Crawl-delay and a Retry-After of a
    // 429 or 503, whichever is longest. `retryAfter` receives the Retry-After
    // seconds that applied, else -1.
    int waitAfter(int delayMs, int code, const QStringList& header, const QDateTime& nowUtc,
                  int* retryAfter = nullptr) const;
    // The wait that applies between any two requests (the delay or Crawl-delay).
    int steadyWait(int delayMs) const;

    // The queue and the found list with their duplicate test.
    LinkCollector& links() { return m_links; }
    const LinkCollector& links() const { return m_links; }

    // A link as written on the page at `page`, made absolute by RFC 3986: the
    // fragment dropped, scheme and host in lower case, a default port dropped,
    // an empty path made "/". Invalid when it is not an http(s) address.
    static QUrl resolveLink(const QUrl& page, const QString& href);
    static QUrl normalized(QUrl url);

private:
    LinkCollector m_links;
    QString m_startHost;
    QString m_startProto;
    RobotsTxt m_robots;
    QStringList m_sitemaps;
    bool m_robotsRead = false;
    QByteArray m_robotsBody;
    int m_robotsRedirects = 0;
    bool m_robotsGaveUp = false;
    int m_pageLimit = 0;
    int m_pagesFetched = 0;
};
