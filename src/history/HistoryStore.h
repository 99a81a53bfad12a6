#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

// data/history.sqlite: what the program learns over time (audit crawls, the
// IndexNow ledger, rank checks). One connection per object, WAL journal and a
// busy time-out, so the window and vantor-cli share the file safely.
//
// Each feature owns its tables: it calls ensureSchema() with its name, the
// version its code expects and an upgrade function that takes the tables
// from any older version (0: none yet) to that one. The `schema` table
// records each feature's version, so features land independently.
class HistoryStore
{
public:
    using Upgrade = std::function<bool(QSqlDatabase& db, int fromVersion)>;

    explicit HistoryStore(const QString& programDir);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    static QString relativePath() { return QStringLiteral("data/history.sqlite"); }
    QString filePath() const { return m_filePath; }

    // Opens (and creates) the file. On failure errorText() says why; the
    // rest of the program goes on without the store.
    bool open();
    bool isOpen() const;
    QString errorText() const { return m_error; }
    QSqlDatabase database() const;

    // Brings `feature`'s tables to `version` in one transaction. A file made
    // by a newer program (a higher version) is refused rather than guessed at.
    bool ensureSchema(const QString& feature, int version, const Upgrade& upgrade);
    int schemaVersion(const QString& feature) const;

    bool beginTransaction();
    bool commit();
    void rollback();

    // Runs `sql` (no parameters); false and errorText() on failure.
    bool exec(const QString& sql);

private:
    bool fail(const QString& what, const QString& detail);

    QString m_filePath;
    QString m_connection;
    QString m_error;
};
