#pragma once

#include <QSqlDatabase>
#include <QString>

class HistoryStore;

// The audit's tables in the history store. A crawl is one row of
// `audit_crawls`; its pages (in the order their fetches started), links and
// findings hang off it. Times are seconds since the epoch, UTC.
//
//   audit_crawls(id, start_url, settings, started_at, ended_at, finished)
//   audit_pages(crawl_id, seq, url, status, redirect_hops, final_url,
//               content_type, bytes, response_ms, depth, title, description,
//               h1_count, canonical, robots, indexable, content_sha256)
//   audit_links(crawl_id, from_url, to_url, anchor, nofollow, status)
//   audit_findings(crawl_id, code, url, detail)
namespace AuditSchema {

constexpr int version = 1;
QString feature();

// Creates or upgrades the tables; false with the store's errorText() set.
bool ensure(HistoryStore& store);

// The form a start address is stored and looked up in: scheme and host in
// lower case, the default port dropped, an empty path made "/", no fragment.
QString normalizedStart(const QString& address);

} // namespace AuditSchema
