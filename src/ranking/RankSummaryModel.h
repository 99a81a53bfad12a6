#pragma once

#include "RankResult.h"

#include <QAbstractTableModel>
#include <QVector>

// The table under the History window's chart: one row per engine with its
// latest and previous result, the change between them, its best bound and
// when it was first reached, and how many checks it had (skipped rows are
// not checks).
class RankSummaryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { EngineColumn, LatestColumn, PreviousColumn, ChangeColumn, BestColumn, BestDateColumn,
                  ChecksColumn, ColumnCount };

    struct Engine
    {
        QString name;
        std::optional<RankResult> latest;
        std::optional<RankResult> previous;
        int best = 0; // 0: never found
        QDateTime bestTime;
        int checks = 0;
    };

    explicit RankSummaryModel(QObject* parent = nullptr);

    // Rows oldest first, as RankHistory::rows gives them.
    void setRows(const QVector<RankResult>& rows);
    const QVector<Engine>& engines() const { return m_engines; }

    // "up", "down", "same", "up (was not found)", "was an error", or empty.
    static QString changeText(RankChange change);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVector<Engine> m_engines;
};
