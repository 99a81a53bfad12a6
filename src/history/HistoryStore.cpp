#include "HistoryStore.h"

#include "settings/ProgramPaths.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("vantor-history-%1").arg(++counter);
}

} // namespace

HistoryStore::HistoryStore(const QString& programDir)
    : m_filePath(programPath(programDir, relativePath())), m_connection(nextConnectionName())
{
}

HistoryStore::~HistoryStore()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool HistoryStore::fail(const QString& what, const QString& detail)
{
    m_error = detail.isEmpty() ? what : what + QStringLiteral(": ") + detail;
    return false;
}

bool HistoryStore::open()
{
    if (isOpen())
        return true;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("The history store needs Qt's SQLite driver"), QString());
    const QFileInfo info(m_filePath);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("Unable to open %1").arg(m_filePath), QStringLiteral("not a regular file"));
    QDir().mkpath(info.absolutePath());

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return fail(QStringLiteral("Unable to open %1").arg(m_filePath), db.lastError().text());
    // A damaged file opens but fails its first read: check it here, so the
    // message comes now and not from the middle of a job.
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !check.next()) {
        const QString detail = check.lastError().text();
        db.close();
        return fail(QStringLiteral("Unable to open %1").arg(m_filePath), detail);
    }
    check.finish();
    // NORMAL is durable under WAL across a crash of the program; only a
    // power loss can cost the last transactions.
    if (!exec(QStringLiteral("PRAGMA synchronous=NORMAL")) || !exec(QStringLiteral("PRAGMA foreign_keys=ON"))
        || !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema(feature TEXT PRIMARY KEY, version INTEGER NOT NULL)"))) {
        const QString error = m_error;
        db.close();
        m_error = QStringLiteral("Unable to open %1: %2").arg(m_filePath, error);
        return false;
    }
    m_error.clear();
    return true;
}

bool HistoryStore::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

QSqlDatabase HistoryStore::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool HistoryStore::exec(const QString& sql)
{
    QSqlQuery query(database());
    if (!query.exec(sql))
        return fail(sql, query.lastError().text());
    return true;
}

int HistoryStore::schemaVersion(const QString& feature) const
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT version FROM schema WHERE feature = ?"));
    query.addBindValue(feature);
    if (!query.exec() || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool HistoryStore::ensureSchema(const QString& feature, int version, const Upgrade& upgrade)
{
    if (!isOpen())
        return fail(QStringLiteral("The history store is not open"), QString());
    // IMMEDIATE takes the write lock first, so two processes opening a new
    // file do not both try to create the same tables.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    const int current = schemaVersion(feature);
    if (current == version)
        return commit();
    if (current > version) {
        rollback();
        return fail(QStringLiteral("The history store's %1 tables are of a newer version (%2) than this program "
                                   "knows (%3)")
                        .arg(feature)
                        .arg(current)
                        .arg(version),
                    QString());
    }
    QSqlDatabase db = database();
    if (!upgrade(db, current)) {
        const QString detail = db.lastError().text();
        rollback();
        return fail(QStringLiteral("Unable to prepare the history store's %1 tables").arg(feature), detail);
    }
    QSqlQuery record(db);
    record.prepare(QStringLiteral("INSERT OR REPLACE INTO schema(feature, version) VALUES(?, ?)"));
    record.addBindValue(feature);
    record.addBindValue(version);
    if (!record.exec()) {
        const QString detail = record.lastError().text();
        rollback();
        return fail(QStringLiteral("Unable to prepare the history store's %1 tables").arg(feature), detail);
    }
    return commit();
}

bool HistoryStore::beginTransaction()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        return fail(QStringLiteral("Unable to write to %1").arg(m_filePath), db.lastError().text());
    return true;
}

bool HistoryStore::commit()
{
    QSqlDatabase db = database();
    if (!db.commit())
        return fail(QStringLiteral("Unable to write to %1").arg(m_filePath), db.lastError().text());
    return true;
}

void HistoryStore::rollback()
{
    database().rollback();
}
