#pragma once

#include "AuditOptions.h"

#include <QObject>
#include <QString>

#include <memory>

// The audit's controller, which the window and `vantor-cli audit` both run:
// a breadth-first polite crawl of one site that stores every address's facts,
// its links and the findings in the history store as it goes.
class AuditCrawl : public QObject
{
    Q_OBJECT

public:
    explicit AuditCrawl(const QString& programDir, QObject* parent = nullptr);
    ~AuditCrawl() override;

    // False when the crawl cannot begin; errorText() says why (the store
    // cannot be opened, the address is not an http(s) address).
    bool start(const AuditOptions& options);
    // Aborts the requests in flight; the crawl stays stored as unfinished.
    void stop();
    bool isRunning() const;
    // Its id in audit_crawls once started, else 0.
    qint64 crawlId() const;
    // Why the crawl could not start, or why it could not do its work
    // (the start address refused by robots.txt or not fetched).
    QString errorText() const;
    // After finished(): whether the start address gave an answer and was allowed.
    bool startFetched() const;
    // Pages stored and findings stored so far.
    int pageCount() const;
    int findingCount() const;

signals:
    void progress(int pagesDone, int pagesQueued);
    // completed: ran to its end from a start address that answered, and was
    // stored as finished. Otherwise errorText() says why (stopped, the start
    // address refused or unreachable, the store failing); the pages fetched stay stored.
    void finished(bool completed);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
