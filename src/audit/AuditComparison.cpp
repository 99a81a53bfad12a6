#include "AuditComparison.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

struct PageState
{
    int status = 0;
    QString title;
    QString description;
    QString hash;
};

QHash<QString, PageState> pagesOf(const QSqlDatabase& db, qint64 crawlId)
{
    QHash<QString, PageState> pages;
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT url, status, title, description, content_sha256 FROM audit_pages WHERE crawl_id = ? ORDER BY seq"));
    query.addBindValue(crawlId);
    if (!query.exec())
        return pages;
    while (query.next()) {
        const QString url = query.value(0).toString();
        if (pages.contains(url))
            continue;
        pages.insert(url, {query.value(1).toInt(), query.value(2).toString(), query.value(3).toString(),
                           query.value(4).toString()});
    }
    return pages;
}

QSet<QString> findingsOf(const QSqlDatabase& db, qint64 crawlId, QHash<QString, AuditChange>* byKey)
{
    QSet<QString> keys;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT code, url, detail FROM audit_findings WHERE crawl_id = ?"));
    query.addBindValue(crawlId);
    if (!query.exec())
        return keys;
    while (query.next()) {
        const QString code = query.value(0).toString();
        const QString url = query.value(1).toString();
        const QString detail = query.value(2).toString();
        const QString key = code + QLatin1Char('\n') + url + QLatin1Char('\n') + detail;
        keys.insert(key);
        byKey->insert(key, {code, url, detail.isEmpty() ? code : code + QLatin1Char(' ') + detail});
    }
    return keys;
}

QString change(const QString& before, const QString& after)
{
    return before + QStringLiteral(" -> ") + after;
}

} // namespace

qint64 previousFinishedCrawl(const QSqlDatabase& db, qint64 crawlId)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT p.id FROM audit_crawls p JOIN audit_crawls c ON c.id = ? "
        "WHERE p.start_url = c.start_url AND p.finished = 1 AND p.id < c.id ORDER BY p.id DESC LIMIT 1"));
    query.addBindValue(crawlId);
    if (!query.exec() || !query.next())
        return 0;
    return query.value(0).toLongLong();
}

QList<AuditChange> compareCrawls(const QSqlDatabase& db, qint64 previousCrawlId, qint64 crawlId)
{
    const QHash<QString, PageState> before = pagesOf(db, previousCrawlId);
    const QHash<QString, PageState> after = pagesOf(db, crawlId);
    QList<AuditChange> changes;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const auto old = before.constFind(it.key());
        if (old == before.cend()) {
            changes.append({QStringLiteral("page-new"), it.key(), QString::number(it->status)});
            continue;
        }
        if (old->status != it->status)
            changes.append({QStringLiteral("status-changed"), it.key(),
                            change(QString::number(old->status), QString::number(it->status))});
        if (old->title != it->title)
            changes.append({QStringLiteral("title-changed"), it.key(), change(old->title, it->title)});
        if (old->description != it->description)
            changes.append(
                {QStringLiteral("description-changed"), it.key(), change(old->description, it->description)});
        if (old->hash != it->hash && !old->hash.isEmpty() && !it->hash.isEmpty())
            changes.append({QStringLiteral("content-changed"), it.key(), QString()});
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changes.append({QStringLiteral("page-gone"), it.key(), QString::number(it->status)});
    }
    QHash<QString, AuditChange> described;
    const QSet<QString> oldFindings = findingsOf(db, previousCrawlId, &described);
    const QSet<QString> newFindings = findingsOf(db, crawlId, &described);
    for (const QString& key : newFindings) {
        if (!oldFindings.contains(key)) {
            AuditChange c = described.value(key);
            changes.append({QStringLiteral("finding-new"), c.url, c.detail});
        }
    }
    for (const QString& key : oldFindings) {
        if (!newFindings.contains(key)) {
            AuditChange c = described.value(key);
            changes.append({QStringLiteral("finding-resolved"), c.url, c.detail});
        }
    }
    static const QStringList order = {
        QStringLiteral("page-new"),      QStringLiteral("page-gone"),           QStringLiteral("status-changed"),
        QStringLiteral("title-changed"), QStringLiteral("description-changed"), QStringLiteral("content-changed"),
        QStringLiteral("finding-new"),   QStringLiteral("finding-resolved")};
    std::sort(changes.begin(), changes.end(), [](const AuditChange& a, const AuditChange& b) {
        const qsizetype ka = order.indexOf(a.kind), kb = order.indexOf(b.kind);
        if (ka != kb)
            return ka < kb;
        if (a.url != b.url)
            return a.url < b.url;
        return a.detail < b.detail;
    });
    return changes;
}
