#pragma once

#include "RankResult.h"

#include <QString>
#include <QVector>

#include <optional>

class HistoryStore;

// The rank checks kept in the history store (feature "rank"): one row per
// engine per check, looked up by keyword and site address as they were typed.
class RankHistory
{
public:
    static constexpr int version = 1;
    static QString feature() { return QStringLiteral("rank"); }

    // The store must be open; creates or upgrades the tables.
    explicit RankHistory(HistoryStore& store) : m_store(store) {}
    bool ensure();
    QString errorText() const { return m_error; }

    // Stores one finished row (one statement, so it is kept at once) and
    // sets its id.
    bool record(RankResult& result);
    // The engine's last stored check for this keyword and address before the
    // row with id `beforeId` (0: the last of all). Skipped rows are not
    // checks and are passed over.
    std::optional<RankResult> previous(const QString& engine, const QString& keyword, const QString& url,
                                       qint64 beforeId = 0);
    // Every stored row for the keyword and address, oldest first.
    QVector<RankResult> rows(const QString& keyword, const QString& url);
    // The keywords and addresses checked, most recent first, for the window's choices.
    QStringList keywords();
    QStringList urls(const QString& keyword);

private:
    bool fail(const QString& what, const QString& detail);

    HistoryStore& m_store;
    QString m_error;
};
