#include "IndexNowLedger.h"

#include "history/HistoryStore.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

namespace IndexNowLedger {

QString feature()
{
    return QStringLiteral("indexnow");
}

bool ensure(HistoryStore& store)
{
    return store.ensureSchema(feature(), version, [](QSqlDatabase& db, int from) {
        if (from >= 1)
            return true;
        const char* statements[] = {
            "CREATE TABLE indexnow_posts(id INTEGER PRIMARY KEY AUTOINCREMENT, at INTEGER NOT NULL,"
            " project TEXT NOT NULL, engine TEXT NOT NULL, endpoint TEXT NOT NULL, status INTEGER NOT NULL DEFAULT 0,"
            " accepted INTEGER NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '', detail TEXT NOT NULL DEFAULT '')",
            "CREATE INDEX indexnow_posts_engine ON indexnow_posts(engine, accepted)",
            "CREATE INDEX indexnow_posts_project ON indexnow_posts(project)",
            "CREATE TABLE indexnow_urls(post_id INTEGER NOT NULL REFERENCES indexnow_posts(id),"
            " url TEXT NOT NULL, content_sha256 TEXT NOT NULL DEFAULT '')",
            "CREATE INDEX indexnow_urls_post ON indexnow_urls(post_id)",
            "CREATE INDEX indexnow_urls_url ON indexnow_urls(url)",
        };
        QSqlQuery query(db);
        for (const char* statement : statements) {
            if (!query.exec(QString::fromLatin1(statement)))
                return false;
        }
        return true;
    });
}

qint64 begin(HistoryStore& store, qint64 at, const QString& project, const QString& engine,
             const QString& endpoint, const QStringList& urls, const QStringList& hashes)
{
    if (!store.beginTransaction())
        return -1;
    QSqlQuery post(store.database());
    post.prepare(QStringLiteral("INSERT INTO indexnow_posts(at, project, engine, endpoint, reason)"
                                " VALUES(?, COALESCE(?, ''), COALESCE(?, ''), COALESCE(?, ''), 'no answer')"));
    post.addBindValue(at);
    post.addBindValue(project);
    post.addBindValue(engine);
    post.addBindValue(endpoint);
    if (!post.exec()) {
        store.rollback();
        return -1;
    }
    const qint64 id = post.lastInsertId().toLongLong();
    QSqlQuery row(store.database());
    row.prepare(QStringLiteral("INSERT INTO indexnow_urls(post_id, url, content_sha256) VALUES(?, ?, COALESCE(?, ''))"));
    for (qsizetype i = 0; i < urls.size(); ++i) {
        row.bindValue(0, id);
        row.bindValue(1, urls[i]);
        row.bindValue(2, hashes.value(i));
        if (!row.exec()) {
            store.rollback();
            return -1;
        }
    }
    return store.commit() ? id : -1;
}

bool answer(HistoryStore& store, qint64 postId, int status, bool accepted, const QString& reason,
            const QString& detail)
{
    QSqlQuery query(store.database());
    query.prepare(QStringLiteral("UPDATE indexnow_posts SET status = ?, accepted = ?, reason = COALESCE(?, ''),"
                                 " detail = COALESCE(?, '') WHERE id = ?"));
    query.addBindValue(status);
    query.addBindValue(accepted ? 1 : 0);
    query.addBindValue(reason);
    query.addBindValue(detail.left(KeptBodyChars));
    query.addBindValue(postId);
    return query.exec();
}

QHash<QString, QString> acceptedHashes(HistoryStore& store, const QString& engine, bool* ok)
{
    QHash<QString, QString> hashes;
    QSqlQuery query(store.database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT u.url, u.content_sha256 FROM indexnow_posts p JOIN indexnow_urls u"
                                 " ON u.post_id = p.id WHERE p.engine = ? AND p.accepted = 1 ORDER BY p.id"));
    query.addBindValue(engine);
    const bool done = query.exec();
    while (done && query.next())
        hashes.insert(query.value(0).toString(), query.value(1).toString());
    if (ok)
        *ok = done;
    return hashes;
}

bool read(HistoryStore& store, const Filter& filter, const std::function<bool(const Row&)>& visit)
{
    QString where = QStringLiteral(" WHERE 1");
    QVariantList values;
    if (!filter.project.isEmpty()) {
        where += QStringLiteral(" AND p.project = ?");
        values << filter.project;
    }
    if (!filter.engine.isEmpty()) {
        where += QStringLiteral(" AND p.engine = ?");
        values << filter.engine;
    }
    if (!filter.address.isEmpty()) {
        where += QStringLiteral(" AND instr(u.url, ?) > 0");
        values << filter.address;
    }
    if (filter.result == Filter::Result::Accepted)
        where += QStringLiteral(" AND p.accepted = 1");
    else if (filter.result == Filter::Result::NotAccepted)
        where += QStringLiteral(" AND p.accepted = 0");
    const QString columns = QStringLiteral(
        "SELECT p.at, p.project, p.engine, u.url, u.content_sha256, p.status, p.accepted, p.reason, p.detail, u.rowid"
        " FROM indexnow_posts p JOIN indexnow_urls u ON u.post_id = p.id");
    QString sql = columns + where + QStringLiteral(" ORDER BY p.id, u.rowid");
    if (filter.limit >= 0) {
        sql = QStringLiteral("SELECT * FROM (") + columns + where
              + QStringLiteral(" ORDER BY p.id DESC, u.rowid DESC LIMIT %1) ORDER BY 10").arg(filter.limit);
    }
    QSqlQuery query(store.database());
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return false;
    while (query.next()) {
        Row row;
        row.at = query.value(0).toLongLong();
        row.project = query.value(1).toString();
        row.engine = query.value(2).toString();
        row.url = query.value(3).toString();
        row.hash = query.value(4).toString();
        row.status = query.value(5).toInt();
        row.accepted = query.value(6).toInt() != 0;
        const QString reason = query.value(7).toString();
        const QString detail = query.value(8).toString();
        row.detail = detail.isEmpty() ? reason : reason + QStringLiteral(": ") + detail;
        if (!visit(row))
            break;
    }
    return true;
}

QStringList csvHeader()
{
    return {QStringLiteral("time"), QStringLiteral("project"), QStringLiteral("engine"), QStringLiteral("url"),
            QStringLiteral("content_sha256"), QStringLiteral("status"), QStringLiteral("accepted"),
            QStringLiteral("detail")};
}

QStringList csvFields(const Row& row)
{
    return {QDateTime::fromSecsSinceEpoch(row.at, Qt::UTC).toString(Qt::ISODate), row.project, row.engine,
            row.url, row.hash, row.status > 0 ? QString::number(row.status) : QString(),
            row.accepted ? QStringLiteral("yes") : QStringLiteral("no"), row.detail};
}

} // namespace IndexNowLedger
