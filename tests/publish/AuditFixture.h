#pragma once

#include "audit/AuditSchema.h"
#include "history/HistoryStore.h"

#include <QSqlQuery>
#include <QString>
#include <QTest>

// Stored audit crawls made by hand, as the audit would leave them.
class AuditFixture
{
public:
    explicit AuditFixture(const QString& programDir) : m_store(programDir)
    {
        if (!m_store.open() || !AuditSchema::ensure(m_store))
            qFatal("history store: %s", qPrintable(m_store.errorText()));
    }

    HistoryStore& store() { return m_store; }

    qint64 addCrawl(const QString& start, qint64 startedAt, bool finished = true)
    {
        QSqlQuery q(m_store.database());
        q.prepare(QStringLiteral("INSERT INTO audit_crawls(start_url, started_at, ended_at, finished) VALUES(?,?,?,?)"));
        q.addBindValue(AuditSchema::normalizedStart(start));
        q.addBindValue(startedAt);
        q.addBindValue(startedAt + 5);
        q.addBindValue(finished ? 1 : 0);
        if (!q.exec())
            qFatal("insert crawl failed");
        m_seq = 0;
        return q.lastInsertId().toLongLong();
    }

    void addPage(qint64 crawl, const QString& url, const QString& hash, bool indexable = true)
    {
        QSqlQuery q(m_store.database());
        q.prepare(QStringLiteral("INSERT INTO audit_pages(crawl_id, seq, url, status, indexable, content_sha256)"
                                 " VALUES(?,?,?,200,?,?)"));
        q.addBindValue(crawl);
        q.addBindValue(++m_seq);
        q.addBindValue(url);
        q.addBindValue(indexable ? 1 : 0);
        q.addBindValue(hash);
        if (!q.exec())
            qFatal("insert page failed");
    }

    void addFinding(qint64 crawl, const QString& code, const QString& url)
    {
        QSqlQuery q(m_store.database());
        q.prepare(QStringLiteral("INSERT INTO audit_findings(crawl_id, code, url) VALUES(?,?,?)"));
        q.addBindValue(crawl);
        q.addBindValue(code);
        q.addBindValue(url);
        if (!q.exec())
            qFatal("insert finding failed");
    }

private:
    HistoryStore m_store;
    int m_seq = 0;
};
