#include "AuditCrawl.h"

#include "AuditRules.h"
#include "AuditSchema.h"
#include "PageExtract.h"
#include "history/CommitPacer.h"
#include "history/HistoryStore.h"
#include "net/SocketErrors.h"
#include "net/THttpCli.h"
#include "tools/PoliteCrawler.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

namespace {

// The body kept for parsing; longer pages are counted and hashed whole.
constexpr qsizetype MaxParsedBytes = 8 * 1024 * 1024;

QString agent()
{
    return QStringLiteral("Mozilla/5.0 (compatible; %1; site audit)").arg(RobotsTxt::productToken());
}

} // namespace

struct AuditCrawl::Private
{
    // One request in flight on its own client.
    struct Fetch
    {
        THttpCli* client = nullptr;
        QString url;
        int depth = 0;
        int seq = 0;
        bool external = false;
        bool head = false;
        bool robots = false;
        QElapsedTimer clock;
        QByteArray body;
        qint64 bytes = 0;
        std::unique_ptr<QCryptographicHash> hash;
        QList<RedirectHop> hops;
        QSet<QString> chain;
        bool loop = false;
        bool leftScope = false; // a hop pointed out of scope or to a refused address
        bool timedOut = false;
        int elapsedMs = 0; // from the request's start to the end of its last answer
    };

    AuditCrawl* q = nullptr;
    QString programDir;
    AuditOptions options;
    std::unique_ptr<HistoryStore> store;
    std::unique_ptr<CommitPacer> pacer;
    // Prepared once per crawl: parsing the statements for every page cost more than running them.
    // Declared after the store, so they go before its connection closes.
    std::unique_ptr<QSqlQuery> pageInsert;
    std::unique_ptr<QSqlQuery> linkInsert;
    PoliteCrawler crawler;
    RobotsTxt siteRules; // the file's own rules, for indexability also when they are not obeyed
    CrawlScope scope;
    QString startUrl;
    qint64 crawlId = 0;
    QString error;
    bool running = false;
    bool stopping = false;
    bool startFetched = false;
    bool finalizing = false;
    // The end of a finished crawl, one step after the other.
    enum class Ending { LinkStatuses, CrawlFindings, Findings, Commit, Record };
    Ending ending = Ending::LinkStatuses;
    qint64 lastLinkRowid = 0;      // the links given their status so far
    QSet<QString> brokenSeen;      // broken-link findings made so far (page, detail)
    QString startFailure; // why the start address gave nothing, for the crawl's error
    bool fetchingRobots = false;

    QList<Fetch*> inFlight;
    QHash<QString, int> depths;
    QSet<QString> recorded;
    QStringList externals;
    qsizetype externalHead = 0;
    QSet<QString> externalSeen;
    QHash<QString, int> externalStatus;
    QHash<QString, int> linkStatus; // each fetched address: the status its redirects end with
    QList<AuditPage> pages;         // what the crawl-wide rules need
    QList<AuditFinding> findings;
    int seq = 0;
    int pagesStored = 0;
    int findingsStored = 0;
    qint64 nextAllowedMs = 0; // on `clock`, when the next request may start
    QElapsedTimer clock;
    QTimer waitTimer;

    bool open();
    void fetchRobots();
    void robotsDone(Fetch* f);
    void pump();
    bool takeNext(QString* url, int* depth, bool* external);
    void startFetch(const QString& url, int depth, bool external, bool head = false);
    void done(Fetch* f);
    void pageDone(Fetch* f);
    void externalDone(Fetch* f);
    AuditPage pageFacts(Fetch* f, const QString& url, int status);
    void follow(const AuditPage& page, const PageFacts& facts);
    void record(const AuditPage& page, int rowSeq);
    void storeLinks(const QString& from, const PageFacts& facts);
    void finish(bool completed);
    // The end of a finished crawl, in units between events: each link's
    // status, a few thousand links a unit, then the findings.
    void finalizeUnit();
    bool storeLinkStatuses(int maxLinks, bool* done);
    bool storeFindings(int maxFindings);
    // Marks the crawl's row ended; `notify` emits finished().
    void conclude(bool completed, bool notify = true);
    // Keeps the first failure's text; always false.
    QSqlQuery& prepared(std::unique_ptr<QSqlQuery>& query, const QString& statement)
    {
        if (!query) {
            query = std::make_unique<QSqlQuery>(store->database());
            query->prepare(statement);
        }
        return *query;
    }

    bool failed(const QSqlQuery& query)
    {
        if (error.isEmpty())
            error = QStringLiteral("The history store cannot be written: %1").arg(query.lastError().text());
        return false;
    }
    void release(Fetch* f);
    QString settingsText() const;
    int queued() const { return crawler.links().queuedCount() + static_cast<int>(externals.size() - externalHead); }
};

AuditCrawl::AuditCrawl(const QString& programDir, QObject* parent) : QObject(parent), d(new Private)
{
    d->q = this;
    d->programDir = programDir;
    d->waitTimer.setSingleShot(true);
    d->waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&d->waitTimer, &QTimer::timeout, this, [this] { d->pump(); });
}

AuditCrawl::~AuditCrawl()
{
    if (d->running)
        stop();
    // Ended while its findings were being stored: kept as an unfinished crawl.
    if (d->finalizing)
        d->conclude(false, false);
    const QList<Private::Fetch*> fetches = d->inFlight;
    for (Private::Fetch* f : fetches)
        d->release(f);
}

bool AuditCrawl::isRunning() const
{
    return d->running || d->finalizing;
}

qint64 AuditCrawl::crawlId() const
{
    return d->crawlId;
}

QString AuditCrawl::errorText() const
{
    return d->error;
}

bool AuditCrawl::startFetched() const
{
    return d->startFetched;
}

int AuditCrawl::pageCount() const
{
    return d->pagesStored;
}

int AuditCrawl::findingCount() const
{
    return d->findingsStored;
}

bool AuditCrawl::start(const AuditOptions& options)
{
    if (isRunning()) {
        d->error = QStringLiteral("An audit is already running");
        return false;
    }
    d->options = options;
    d->options.connections = qBound(1, options.connections, AuditOptions::MaxConnections);
    d->error.clear();
    const QUrl start = PoliteCrawler::resolveLink(QUrl(), options.startUrl.trimmed());
    if (!start.isValid() || start.host().isEmpty()) {
        d->error = QStringLiteral("Not an http or https address: %1").arg(options.startUrl);
        return false;
    }
    d->startUrl = start.toString(QUrl::FullyEncoded);
    if (!d->open())
        return false;
    d->scope = CrawlScope(start, options.folderScope);
    d->crawler.begin(d->startUrl);
    d->crawler.setPageLimit(qMax(0, options.maxPages));
    d->depths.clear();
    d->depths.insert(d->startUrl, 0);
    d->recorded.clear();
    d->externals.clear();
    d->externalHead = 0;
    d->externalSeen.clear();
    d->externalStatus.clear();
    d->linkStatus.clear();
    d->pages.clear();
    d->findings.clear();
    d->seq = 0;
    d->pagesStored = 0;
    d->findingsStored = 0;
    d->stopping = false;
    d->startFetched = false;
    d->startFailure.clear();
    d->nextAllowedMs = 0;
    d->clock.start();
    d->running = true;
    d->fetchRobots();
    return true;
}

void AuditCrawl::stop()
{
    if (!d->running)
        return;
    d->stopping = true;
    d->waitTimer.stop();
    const QList<Private::Fetch*> fetches = d->inFlight;
    for (Private::Fetch* f : fetches)
        f->client->CancelRequest();
    // The cancelled requests report their end later; the crawl ends now.
    d->finish(false);
}

QString AuditCrawl::Private::settingsText() const
{
    return QStringLiteral("max-pages=%1 delay=%2 connections=%3 scope=%4 robots=%5 external=%6")
        .arg(options.maxPages)
        .arg(options.delayMs)
        .arg(options.connections)
        .arg(options.folderScope ? QStringLiteral("folder") : QStringLiteral("site"))
        .arg(options.obeyRobots ? QStringLiteral("obey") : QStringLiteral("ignore"))
        .arg(options.checkExternal ? QStringLiteral("check") : QStringLiteral("skip"));
}

bool AuditCrawl::Private::open()
{
    pageInsert.reset();
    linkInsert.reset();
    pacer.reset();
    store = std::make_unique<HistoryStore>(programDir);
    if (!store->open() || !AuditSchema::ensure(*store)) {
        error = QStringLiteral("The history store cannot be used: %1").arg(store->errorText());
        store.reset();
        return false;
    }
    QSqlQuery insert(store->database());
    insert.prepare(QStringLiteral("INSERT INTO audit_crawls(start_url, settings, started_at, finished)"
                                  " VALUES(?, ?, ?, 0)"));
    insert.addBindValue(AuditSchema::normalizedStart(startUrl));
    insert.addBindValue(settingsText());
    insert.addBindValue(QDateTime::currentSecsSinceEpoch());
    if (!insert.exec()) {
        error = QStringLiteral("The history store cannot be used: %1").arg(insert.lastError().text());
        store.reset();
        return false;
    }
    crawlId = insert.lastInsertId().toLongLong();
    pacer = std::make_unique<CommitPacer>(*store);
    QObject::connect(pacer.get(), &CommitPacer::failed, q, [this] {
        error = QStringLiteral("The history store cannot be written: %1").arg(store->errorText());
        q->stop();
    });
    return true;
}

void AuditCrawl::Private::fetchRobots()
{
    crawler.robotsBegin();
    fetchingRobots = true;
    startFetch(crawler.robotsUrl(), 0, false);
    fetchingRobots = false;
}

void AuditCrawl::Private::robotsDone(Fetch* f)
{
    const bool answered = !f->client->ResponseHeader().isEmpty() && !f->timedOut;
    if (!answered && !f->leftScope) {
        // No answer from the server at all: the start address cannot be fetched either.
        const QString why = f->client->ResponseText();
        error = QStringLiteral("The start address %1 cannot be fetched: %2").arg(startUrl, why);
        finish(true);
        return;
    }
    crawler.robotsDone(f->client->ResponseCode(), answered);
    siteRules = crawler.robots();
    if (crawler.sitemaps().isEmpty())
        findings.append({QStringLiteral("no-sitemap-line"), crawler.robotsUrl(), QString()});
    // Ignored rules still leave the Sitemap: lines read.
    if (!options.obeyRobots)
        crawler.setRobots(RobotsTxt::allowAll());
    const QString refused = crawler.robotsRefusal(startUrl);
    if (!refused.isEmpty()) {
        error = QStringLiteral("robots.txt refuses the start address %1 (%2)").arg(startUrl, refused);
        finish(true);
        return;
    }
    // The wait of the first page after robots.txt.
    nextAllowedMs = clock.elapsed() + crawler.steadyWait(options.delayMs);
}

bool AuditCrawl::Private::takeNext(QString* url, int* depth, bool* external)
{
    LinkCollector& links = crawler.links();
    while (links.hasQueued() && !crawler.limitReached()) {
        const QString next = links.takeFirst();
        if (recorded.contains(next))
            continue; // already recorded as the end of a redirect
        *url = next;
        *depth = depths.value(next);
        *external = false;
        return true;
    }
    if (externalHead < externals.size()) {
        *url = externals.at(externalHead++);
        *depth = 0;
        *external = true;
        return true;
    }
    return false;
}

void AuditCrawl::Private::pump()
{
    if (!running || stopping)
        return;
    const int steady = crawler.steadyWait(options.delayMs);
    const int parallel = steady > 0 ? 1 : options.connections;
    while (inFlight.size() < parallel) {
        const qint64 now = clock.elapsed();
        if (now < nextAllowedMs) {
            if (!waitTimer.isActive())
                waitTimer.start(static_cast<int>(nextAllowedMs - now));
            return;
        }
        QString url;
        int depth = 0;
        bool external = false;
        if (!takeNext(&url, &depth, &external))
            break;
        startFetch(url, depth, external, external);
    }
    if (inFlight.isEmpty())
        finish(true);
    else
        emit q->progress(pagesStored, queued());
}

void AuditCrawl::Private::startFetch(const QString& url, int depth, bool external, bool head)
{
    auto* f = new Fetch;
    f->client = new THttpCli(q);
    f->client->setAgent(agent());
    f->client->setAccept(QStringLiteral("text/html,application/xhtml+xml,*/*;q=0.8"));
    f->url = url;
    f->depth = depth;
    f->external = external;
    f->head = head;
    f->hash = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    f->chain.insert(url);
    f->robots = fetchingRobots;
    if (!external && !f->robots) {
        f->seq = ++seq;
        crawler.countPage();
    }
    inFlight.append(f);
    THttpCli* c = f->client;
    QObject::connect(c, &THttpCli::OnBeforeHeaderSend, q, [f](THttpCli*, QString& method, QStringList& lines) {
        if (f->head && !lines.isEmpty() && lines.first().startsWith(QLatin1String("GET "))) {
            method = QStringLiteral("HEAD");
            lines.first().replace(0, 3, QStringLiteral("HEAD"));
        }
    });
    QObject::connect(c, &THttpCli::OnLocationChange, q, [this, f](THttpCli* client) {
        if (f->robots) {
            if (!crawler.robotsRedirect()) {
                f->leftScope = true; // given up: read as no file
                client->CancelRequest();
            }
            return;
        }
        const QUrl target = PoliteCrawler::normalized(QUrl(client->Location()));
        const QString text = target.toString(QUrl::FullyEncoded);
        f->hops.append({client->ResponseCode(), text});
        if (f->external)
            return;
        if (f->chain.contains(text) || f->hops.size() > AuditRules::MaxHops) {
            f->loop = true;
            client->CancelRequest();
            return;
        }
        f->chain.insert(text);
        if (!scope.contains(target) || !crawler.robotsRefusal(text).isEmpty()) {
            f->leftScope = true;
            client->CancelRequest();
        }
    });
    QObject::connect(c, &THttpCli::OnDocData, q, [this, f](THttpCli*, const char* data, int len) {
        if (f->robots) {
            crawler.robotsData(data, len);
            return;
        }
        f->bytes += len;
        f->hash->addData(QByteArrayView(data, len));
        if (f->body.size() < MaxParsedBytes)
            f->body.append(data, qMin<qsizetype>(len, MaxParsedBytes - f->body.size()));
    });
    QObject::connect(c, &THttpCli::OnRequestDone, q, [this, f](THttpCli*, int, int socketError) {
        f->elapsedMs = static_cast<int>(f->clock.elapsed());
        f->timedOut = socketError == SocketErrors::TimedOut;
        // Leave the client's own handler before it is released.
        QTimer::singleShot(0, q, [this, f] { done(f); });
    });
    // A slow page that keeps sending is fetched whole; a silent peer is given up.
    c->setIdleTimeout(options.timeoutSeconds);
    if (!options.proxy.host.isEmpty())
        applyProxy(*c, options.proxy);
    c->setURL(url);
    f->clock.start();
    c->BeginGet();
}

void AuditCrawl::Private::release(Fetch* f)
{
    inFlight.removeOne(f);
    f->client->disconnect(q);
    f->client->deleteLater();
    delete f;
}

void AuditCrawl::Private::done(Fetch* f)
{
    if (!running || stopping) {
        release(f);
        return;
    }
    if (f->robots) {
        robotsDone(f);
    } else {
        if (f->external)
            externalDone(f);
        else
            pageDone(f);
        // The delay, Crawl-delay or a Retry-After counts from the end of this answer.
        const int code = f->timedOut ? 0 : f->client->ResponseCode();
        const qint64 wait =
            crawler.waitAfter(options.delayMs, code, f->client->ResponseHeader(), QDateTime::currentDateTimeUtc());
        nextAllowedMs = qMax(nextAllowedMs, clock.elapsed() + wait);
    }
    release(f);
    pump();
}

void AuditCrawl::Private::externalDone(Fetch* f)
{
    THttpCli* c = f->client;
    const bool answered = !c->ResponseHeader().isEmpty() && !f->timedOut;
    const int code = answered ? c->ResponseCode() : 0;
    if (f->head && (code == 405 || code == 501)) {
        // HEAD refused: ask once more with GET, reading only the answer's start.
        startFetch(f->url, 0, true, false);
        return;
    }
    externalStatus.insert(f->url, code);
}

AuditPage AuditCrawl::Private::pageFacts(Fetch* f, const QString& url, int status)
{
    THttpCli* c = f->client;
    AuditPage page;
    page.url = url;
    page.status = status;
    page.finalUrl = url;
    page.finalStatus = status;
    page.depth = f->depth;
    page.responseMs = f->elapsedMs;
    page.robotsAllowed = siteRules.check(SpiderRules::split(url).path).allowed;
    if (status == 0)
        return page;
    page.contentType = c->ResponseType();
    page.bytes = f->bytes;
    page.sha256 = f->bytes > 0 ? QString::fromLatin1(f->hash->result().toHex()) : QString();
    page.html = AuditRules::isHtml(page.contentType);
    for (const QString& line : c->ResponseHeader()) {
        if (line.startsWith(QLatin1String("X-Robots-Tag:"), Qt::CaseInsensitive))
            PageExtract::addDirectives(page.robotsHeader, line.mid(13));
    }
    return page;
}

void AuditCrawl::Private::pageDone(Fetch* f)
{
    THttpCli* c = f->client;
    const bool answered = !f->timedOut && !c->ResponseHeader().isEmpty();
    const bool stoppedAtHop = f->loop || f->leftScope;
    const int finalCode = stoppedAtHop ? f->hops.last().status : (answered ? c->ResponseCode() : 0);
    QString failure;
    if (!answered && !stoppedAtHop)
        failure = c->ResponseText().isEmpty() ? QStringLiteral("No answer") : c->ResponseText();
    if (f->url == startUrl) {
        startFetched = answered || !f->hops.isEmpty();
        startFailure = failure;
    }

    if (f->hops.isEmpty()) {
        AuditPage page = pageFacts(f, f->url, finalCode);
        page.failure = failure;
        PageFacts facts;
        if (page.html && finalCode >= 200 && finalCode < 300) {
            facts = PageExtract::extract(f->body, page.contentType, QUrl(f->url));
            page.parsed = true;
            page.hasTitle = facts.hasTitle;
            page.title = facts.title;
            page.hasDescription = facts.hasDescription;
            page.description = facts.description;
            page.h1Count = static_cast<int>(facts.h1s.size());
            page.canonical = facts.canonical;
            page.robotsMeta = facts.robotsMeta;
            page.resources = facts.resources;
            page.hreflang = facts.hreflang;
        }
        page.indexable = AuditRules::indexable(page);
        record(page, f->seq);
        storeLinks(page.url, facts);
        follow(page, facts);
        return;
    }

    // A redirecting address: its own row holds the hops, the page it leads to another row.
    AuditPage redirect;
    redirect.url = f->url;
    redirect.status = f->hops.first().status;
    redirect.hops = f->hops;
    redirect.redirectLoop = f->loop;
    redirect.finalUrl = f->hops.last().target;
    redirect.finalStatus = finalCode;
    redirect.depth = f->depth;
    redirect.responseMs = f->elapsedMs;
    redirect.robotsAllowed = siteRules.check(SpiderRules::split(f->url).path).allowed;
    record(redirect, f->seq);
    if (stoppedAtHop) {
        // Out of scope or refused: the target is checked as a link, not crawled here.
        if (f->leftScope && !f->loop) {
            const QUrl target(redirect.finalUrl);
            if (scope.contains(target)) {
                findings.append({QStringLiteral("blocked-by-robots"), f->url, redirect.finalUrl});
            } else if (options.checkExternal && !externalSeen.contains(redirect.finalUrl)) {
                externalSeen.insert(redirect.finalUrl);
                externals.append(redirect.finalUrl);
            }
        }
        return;
    }
    const QString target = redirect.finalUrl;
    if (recorded.contains(target))
        return;
    crawler.links().offer(target); // so it is not queued again
    const int targetSeq = ++seq;
    AuditPage page = pageFacts(f, target, finalCode);
    page.failure = failure;
    PageFacts facts;
    if (page.html && finalCode >= 200 && finalCode < 300) {
        facts = PageExtract::extract(f->body, page.contentType, QUrl(target));
        page.parsed = true;
        page.hasTitle = facts.hasTitle;
        page.title = facts.title;
        page.hasDescription = facts.hasDescription;
        page.description = facts.description;
        page.h1Count = static_cast<int>(facts.h1s.size());
        page.canonical = facts.canonical;
        page.robotsMeta = facts.robotsMeta;
        page.resources = facts.resources;
        page.hreflang = facts.hreflang;
    }
    page.indexable = AuditRules::indexable(page);
    record(page, targetSeq);
    storeLinks(page.url, facts);
    follow(page, facts);
}

void AuditCrawl::Private::follow(const AuditPage& page, const PageFacts& facts)
{
    const bool pageNofollow =
        page.robotsMeta.contains(QLatin1String("nofollow")) || page.robotsHeader.contains(QLatin1String("nofollow")) ||
        page.robotsMeta.contains(QLatin1String("none")) || page.robotsHeader.contains(QLatin1String("none"));
    QSet<QString> blocked;
    for (const PageLink& link : facts.links) {
        if (link.url.isEmpty())
            continue;
        const QUrl url(link.url);
        if (scope.contains(url)) {
            if (!crawler.robotsRefusal(link.url).isEmpty()) {
                if (!blocked.contains(link.url)) {
                    blocked.insert(link.url);
                    findings.append({QStringLiteral("blocked-by-robots"), page.url, link.url});
                }
                continue;
            }
            if (link.nofollow || pageNofollow)
                continue;
            if (crawler.links().offer(link.url))
                depths.insert(link.url, page.depth + 1);
        } else if (options.checkExternal && !externalSeen.contains(link.url)) {
            externalSeen.insert(link.url);
            externals.append(link.url);
        }
    }
}

void AuditCrawl::Private::record(const AuditPage& page, int rowSeq)
{
    recorded.insert(page.url);
    linkStatus.insert(page.url, page.finalStatus);
    findings += AuditRules::pageFindings(page);
    if (!pacer->write())
        return;
    QSqlQuery& insert = prepared(
        pageInsert,
        QStringLiteral(
            "INSERT INTO audit_pages(crawl_id, seq, url, status, redirect_hops, final_url, content_type, bytes,"
            " response_ms, depth, title, description, h1_count, canonical, robots, indexable, content_sha256)"
            " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const bool body = !page.redirected() && page.bytes >= 0;
    const QVariant null;
    insert.addBindValue(crawlId);
    insert.addBindValue(rowSeq);
    insert.addBindValue(page.url);
    insert.addBindValue(page.status);
    // Empty, not NULL: the columns are NOT NULL.
    insert.addBindValue(page.hopText().isEmpty() ? QStringLiteral("") : page.hopText());
    insert.addBindValue(page.finalUrl.isEmpty() ? QStringLiteral("") : page.finalUrl);
    insert.addBindValue(body ? QVariant(page.contentType) : null);
    insert.addBindValue(body ? QVariant(page.bytes) : null);
    insert.addBindValue(page.responseMs);
    insert.addBindValue(page.depth);
    insert.addBindValue(body && page.parsed ? QVariant(page.title) : null);
    insert.addBindValue(body && page.parsed ? QVariant(page.description) : null);
    insert.addBindValue(body && page.parsed ? QVariant(page.h1Count) : null);
    insert.addBindValue(body && page.parsed ? QVariant(page.canonical) : null);
    insert.addBindValue(body ? QVariant(page.robots()) : null);
    insert.addBindValue(page.indexable ? 1 : 0);
    insert.addBindValue(body ? QVariant(page.sha256) : null);
    if (!insert.exec()) {
        // A store that refuses a page ends the crawl; what was stored stays.
        failed(insert);
        QTimer::singleShot(0, q, [this] { q->stop(); });
        return;
    }
    ++pagesStored;
    // What the crawl-wide rules need, without the bulk.
    AuditPage kept;
    kept.url = page.url;
    kept.status = page.status;
    kept.finalStatus = page.finalStatus;
    kept.hops = page.hops;
    kept.bytes = page.bytes;
    kept.indexable = page.indexable;
    kept.title = page.title;
    kept.description = page.description;
    kept.canonical = page.canonical;
    kept.hreflang = page.hreflang;
    pages.append(kept);
}

void AuditCrawl::Private::storeLinks(const QString& from, const PageFacts& facts)
{
    if (facts.links.isEmpty() || !pacer->write())
        return;
    QSqlQuery& insert = prepared(
        linkInsert,
        QStringLiteral("INSERT INTO audit_links(crawl_id, from_url, to_url, anchor, nofollow) VALUES(?, ?, ?, ?, ?)"));
    for (const PageLink& link : facts.links) {
        if (link.url.isEmpty())
            continue;
        insert.addBindValue(crawlId);
        insert.addBindValue(from);
        insert.addBindValue(link.url);
        insert.addBindValue(link.anchor.isEmpty() ? QStringLiteral("") : link.anchor);
        insert.addBindValue(link.nofollow ? 1 : 0);
        insert.exec();
    }
}

bool AuditCrawl::Private::storeLinkStatuses(int maxLinks, bool* done)
{
    // Each link's status, and a broken-link finding for each broken one.
    QSqlQuery select(store->database());
    select.setForwardOnly(true);
    select.prepare(QStringLiteral("SELECT rowid, from_url, to_url, anchor FROM audit_links"
                                  " WHERE crawl_id = ? AND rowid > ? ORDER BY rowid LIMIT ?"));
    select.addBindValue(crawlId);
    select.addBindValue(lastLinkRowid);
    select.addBindValue(maxLinks);
    if (!select.exec())
        return failed(select);
    QList<QPair<qint64, int>> statuses;
    int read = 0;
    while (select.next()) {
        ++read;
        lastLinkRowid = select.value(0).toLongLong();
        const QString to = select.value(2).toString();
        int status = -1;
        auto known = linkStatus.constFind(to);
        if (known != linkStatus.cend())
            status = known.value();
        else if (externalStatus.contains(to))
            status = externalStatus.value(to);
        if (status < 0)
            continue; // not fetched: nofollow, refused, beyond the cap or not checked
        statuses.append({lastLinkRowid, status});
        if (AuditRules::broken(status)) {
            const AuditFinding finding{QStringLiteral("broken-link"), select.value(1).toString(),
                                       AuditRules::brokenLinkDetail(to, status, select.value(3).toString())};
            const QString key = finding.url + QLatin1Char('\n') + finding.detail;
            if (!brokenSeen.contains(key)) {
                brokenSeen.insert(key);
                findings.append(finding);
            }
        }
    }
    select.finish();
    *done = read < maxLinks;
    QSqlQuery update(store->database());
    update.prepare(QStringLiteral("UPDATE audit_links SET status = ? WHERE rowid = ?"));
    for (const auto& [rowid, status] : statuses) {
        update.addBindValue(status);
        update.addBindValue(rowid);
        if (!update.exec())
            return failed(update);
    }
    return true;
}

bool AuditCrawl::Private::storeFindings(int maxFindings)
{
    QSqlQuery insert(store->database());
    insert.prepare(QStringLiteral("INSERT INTO audit_findings(crawl_id, code, url, detail) VALUES(?, ?, ?, ?)"));
    const qsizetype end = qMin(findings.size(), qsizetype(findingsStored) + maxFindings);
    while (findingsStored < end) {
        const AuditFinding& finding = findings.at(findingsStored);
        insert.addBindValue(crawlId);
        insert.addBindValue(finding.code);
        insert.addBindValue(finding.url);
        insert.addBindValue(finding.detail.isEmpty() ? QStringLiteral("") : finding.detail);
        if (!insert.exec())
            return failed(insert);
        ++findingsStored;
    }
    return true;
}

void AuditCrawl::Private::finalizeUnit()
{
    // Thousands of statements, or the commit of all of them, in one go would hold the window up.
    constexpr int RowsPerUnit = 4000;
    if (!pacer->write()) {
        conclude(false);
        return;
    }
    switch (ending) {
    case Ending::LinkStatuses: {
        bool done = false;
        if (!storeLinkStatuses(RowsPerUnit, &done)) {
            conclude(false);
            return;
        }
        if (done)
            ending = Ending::CrawlFindings;
        break;
    }
    case Ending::CrawlFindings:
        findings += AuditRules::crawlFindings(pages);
        AuditRules::sort(findings);
        ending = Ending::Findings;
        break;
    case Ending::Findings:
        if (!storeFindings(RowsPerUnit)) {
            conclude(false);
            return;
        }
        if (findingsStored >= findings.size())
            ending = Ending::Commit;
        break;
    case Ending::Commit:
        if (!pacer->flush()) {
            conclude(false);
            return;
        }
        ending = Ending::Record;
        break;
    case Ending::Record:
        // The crawl's own record, with a commit of its own that is now small.
        conclude(true);
        return;
    }
    QTimer::singleShot(0, q, [this] { finalizeUnit(); });
}

void AuditCrawl::Private::finish(bool completed)
{
    if (!running)
        return;
    running = false;
    waitTimer.stop();
    // A crawl whose start address gave nothing is kept, but never as a finished
    // crawl that a later one would be compared with.
    if (completed && !startFetched) {
        completed = false;
        if (error.isEmpty())
            error = startFailure.isEmpty()
                        ? QStringLiteral("The start address %1 could not be fetched").arg(startUrl)
                        : QStringLiteral("The start address %1 could not be fetched: %2").arg(startUrl, startFailure);
    }
    if (completed && pacer) {
        finalizing = true;
        ending = Ending::LinkStatuses;
        lastLinkRowid = 0;
        brokenSeen.clear();
        QTimer::singleShot(0, q, [this] { finalizeUnit(); });
        return;
    }
    conclude(completed);
}

void AuditCrawl::Private::conclude(bool completed, bool notify)
{
    finalizing = false;
    bool stored = false;
    if (pacer && pacer->write()) {
        QSqlQuery end(store->database());
        end.prepare(QStringLiteral("UPDATE audit_crawls SET ended_at = ?, finished = ? WHERE id = ?"));
        end.addBindValue(QDateTime::currentSecsSinceEpoch());
        end.addBindValue(completed ? 1 : 0);
        end.addBindValue(crawlId);
        stored = end.exec() ? pacer->finish() : failed(end);
    }
    if (!stored && error.isEmpty())
        error = QStringLiteral("The history store cannot be written: %1").arg(store ? store->errorText() : QString());
    if (!notify)
        return;
    emit q->progress(pagesStored, 0);
    emit q->finished(completed && stored);
}
