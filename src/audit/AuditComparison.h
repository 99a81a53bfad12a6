#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>

// One difference between two stored crawls of the same start address.
// kinds: "page-new", "page-gone", "status-changed", "title-changed",
//        "description-changed", "content-changed", "finding-new", "finding-resolved"
struct AuditChange
{
    QString kind;
    QString url;
    QString detail;
};

// The latest finished crawl of the same start address older than `crawlId`; 0 when there is none.
qint64 previousFinishedCrawl(const QSqlDatabase& db, qint64 crawlId);
// What changed from `previousCrawlId` to `crawlId`, grouped by kind, then by address.
QList<AuditChange> compareCrawls(const QSqlDatabase& db, qint64 previousCrawlId, qint64 crawlId);
