#include "RankHistory.h"

#include "history/HistoryStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char* const Columns = "id, checked_at, keyword, url, engine, top, result, bound, page_address, error";

RankResult fromQuery(const QSqlQuery& q)
{
    RankResult r;
    r.id = q.value(0).toLongLong();
    r.time = QDateTime::fromSecsSinceEpoch(q.value(1).toLongLong(), Qt::UTC);
    r.keyword = q.value(2).toString();
    r.url = q.value(3).toString();
    r.engine = q.value(4).toString();
    r.top = q.value(5).toInt();
    // A kind this program does not know (a newer one wrote it) is no result it can draw.
    r.kind = RankResults::kindFromName(q.value(6).toString()).value_or(RankKind::Skipped);
    r.bound = q.value(7).isNull() ? 0 : q.value(7).toInt();
    r.pageAddress = q.value(8).toString();
    r.error = q.value(9).toString();
    return r;
}

} // namespace

bool RankHistory::fail(const QString& what, const QString& detail)
{
    m_error = detail.isEmpty() ? what : what + QStringLiteral(": ") + detail;
    return false;
}

bool RankHistory::ensure()
{
    const bool ok = m_store.ensureSchema(feature(), version, [](QSqlDatabase& db, int from) {
        if (from >= 1)
            return true;
        QSqlQuery query(db);
        return query.exec(QStringLiteral(
                   "CREATE TABLE rank_checks(id INTEGER PRIMARY KEY AUTOINCREMENT, checked_at INTEGER NOT NULL,"
                   " keyword TEXT NOT NULL, url TEXT NOT NULL, engine TEXT NOT NULL, top INTEGER NOT NULL,"
                   " result TEXT NOT NULL, bound INTEGER, page_address TEXT NOT NULL DEFAULT '',"
                   " error TEXT NOT NULL DEFAULT '')")) &&
               query.exec(QStringLiteral("CREATE INDEX rank_checks_key ON rank_checks(keyword, url, engine, id)"));
    });
    if (!ok)
        return fail(QStringLiteral("The rank history cannot be prepared"), m_store.errorText());
    return true;
}

bool RankHistory::record(RankResult& result)
{
    QSqlQuery q(m_store.database());
    // Qt binds an empty text that was never set as NULL; the columns hold text.
    q.prepare(QStringLiteral("INSERT INTO rank_checks(checked_at, keyword, url, engine, top, result, bound,"
                             " page_address, error) VALUES(?, COALESCE(?, ''), COALESCE(?, ''), COALESCE(?, ''), ?,"
                             " ?, ?, COALESCE(?, ''), COALESCE(?, ''))"));
    q.addBindValue(result.time.toSecsSinceEpoch());
    q.addBindValue(result.keyword);
    q.addBindValue(result.url);
    q.addBindValue(result.engine);
    q.addBindValue(result.top);
    q.addBindValue(RankResults::kindName(result.kind));
    q.addBindValue(result.kind == RankKind::Found ? QVariant(result.bound) : QVariant(QMetaType(QMetaType::Int)));
    q.addBindValue(result.pageAddress);
    q.addBindValue(result.error);
    if (!q.exec())
        return fail(QStringLiteral("Unable to store the rank check"), q.lastError().text());
    result.id = q.lastInsertId().toLongLong();
    return true;
}

std::optional<RankResult> RankHistory::previous(const QString& engine, const QString& keyword, const QString& url,
                                                qint64 beforeId)
{
    QSqlQuery q(m_store.database());
    q.prepare(QStringLiteral("SELECT %1 FROM rank_checks WHERE keyword = ? AND url = ? AND engine = ?"
                             " AND result <> 'skipped' AND (? = 0 OR id < ?) ORDER BY id DESC LIMIT 1")
                  .arg(QLatin1String(Columns)));
    q.addBindValue(keyword);
    q.addBindValue(url);
    q.addBindValue(engine);
    q.addBindValue(beforeId);
    q.addBindValue(beforeId);
    if (!q.exec()) {
        fail(QStringLiteral("Unable to read the rank history"), q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return fromQuery(q);
}

QVector<RankResult> RankHistory::rows(const QString& keyword, const QString& url)
{
    QVector<RankResult> result;
    QSqlQuery q(m_store.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM rank_checks WHERE keyword = ? AND url = ? ORDER BY checked_at, id")
                  .arg(QLatin1String(Columns)));
    q.addBindValue(keyword);
    q.addBindValue(url);
    if (!q.exec()) {
        fail(QStringLiteral("Unable to read the rank history"), q.lastError().text());
        return result;
    }
    while (q.next())
        result.append(fromQuery(q));
    return result;
}

QStringList RankHistory::keywords()
{
    QStringList result;
    QSqlQuery q(m_store.database());
    if (!q.exec(QStringLiteral("SELECT keyword FROM rank_checks GROUP BY keyword ORDER BY MAX(id) DESC")))
        return result;
    while (q.next())
        result.append(q.value(0).toString());
    return result;
}

QStringList RankHistory::urls(const QString& keyword)
{
    QStringList result;
    QSqlQuery q(m_store.database());
    q.prepare(QStringLiteral("SELECT url FROM rank_checks WHERE keyword = ? GROUP BY url ORDER BY MAX(id) DESC"));
    q.addBindValue(keyword);
    if (!q.exec())
        return result;
    while (q.next())
        result.append(q.value(0).toString());
    return result;
}
