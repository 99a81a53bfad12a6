#include "AuditSchema.h"

#include "history/HistoryStore.h"

#include <QSqlQuery>
#include <QUrl>

namespace AuditSchema {

QString feature()
{
    return QStringLiteral("audit");
}

bool ensure(HistoryStore& store)
{
    return store.ensureSchema(feature(), version, [](QSqlDatabase& db, int from) {
        if (from >= 1)
            return true;
        const char* statements[] = {
            "CREATE TABLE audit_crawls(id INTEGER PRIMARY KEY AUTOINCREMENT, start_url TEXT NOT NULL,"
            " settings TEXT NOT NULL DEFAULT '', started_at INTEGER NOT NULL, ended_at INTEGER,"
            " finished INTEGER NOT NULL DEFAULT 0)",
            "CREATE INDEX audit_crawls_start ON audit_crawls(start_url, finished, id)",
            "CREATE TABLE audit_pages(crawl_id INTEGER NOT NULL REFERENCES audit_crawls(id) ON DELETE CASCADE,"
            " seq INTEGER NOT NULL, url TEXT NOT NULL, status INTEGER NOT NULL, redirect_hops TEXT NOT NULL DEFAULT '',"
            " final_url TEXT NOT NULL DEFAULT '', content_type TEXT, bytes INTEGER, response_ms INTEGER,"
            " depth INTEGER NOT NULL DEFAULT 0, title TEXT, description TEXT, h1_count INTEGER, canonical TEXT,"
            " robots TEXT, indexable INTEGER NOT NULL DEFAULT 0, content_sha256 TEXT,"
            " PRIMARY KEY(crawl_id, seq))",
            "CREATE INDEX audit_pages_url ON audit_pages(crawl_id, url)",
            "CREATE TABLE audit_links(crawl_id INTEGER NOT NULL REFERENCES audit_crawls(id) ON DELETE CASCADE,"
            " from_url TEXT NOT NULL, to_url TEXT NOT NULL, anchor TEXT NOT NULL DEFAULT '',"
            " nofollow INTEGER NOT NULL DEFAULT 0, status INTEGER)",
            "CREATE INDEX audit_links_crawl ON audit_links(crawl_id)",
            "CREATE TABLE audit_findings(crawl_id INTEGER NOT NULL REFERENCES audit_crawls(id) ON DELETE CASCADE,"
            " code TEXT NOT NULL, url TEXT NOT NULL, detail TEXT NOT NULL DEFAULT '')",
            "CREATE INDEX audit_findings_crawl ON audit_findings(crawl_id, code)",
        };
        QSqlQuery query(db);
        for (const char* statement : statements) {
            if (!query.exec(QString::fromLatin1(statement)))
                return false;
        }
        return true;
    });
}

QString normalizedStart(const QString& address)
{
    QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!url.isValid())
        return address.trimmed();
    url.setScheme(url.scheme().toLower());
    url.setFragment(QString());
    if ((url.scheme() == QLatin1String("http") && url.port() == 80)
        || (url.scheme() == QLatin1String("https") && url.port() == 443))
        url.setPort(-1);
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    return url.toString(QUrl::FullyEncoded);
}

} // namespace AuditSchema
