#pragma once

#include "RankChartModel.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

class HistoryStore;
class QAbstractSeries;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class RankHistory;
class RankSummaryModel;

// "Rank History": every stored check for a keyword and site address, drawn
// per engine over time, with a table per engine and an export to CSV.
class RankHistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit RankHistoryWindow(const QString& programDir, QWidget* parent = nullptr);
    ~RankHistoryWindow() override;

    QComboBox* KeywordBox = nullptr;
    QComboBox* UrlBox = nullptr;
    QChartView* ChartView = nullptr;
    QTableView* EngineTable = nullptr;
    QPushButton* ExportButton = nullptr;

    const RankChartModel& chartModel() const { return m_chart; }
    RankSummaryModel* summary() const { return m_summary; }

public slots:
    // Shows the history of this keyword and address and brings the window up.
    void showFor(const QString& keyword, const QString& url);
    // Reads the store again (after a check has stored new rows).
    void reload();
    void exportCsv();

private:
    bool openStore();
    void rebuildChart();
    void pointHovered(const QPointF& point, bool state);

    QString m_programDir;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<RankHistory> m_history;
    QLabel* m_status = nullptr;
    RankSummaryModel* m_summary = nullptr;
    QVector<RankResult> m_rows;
    RankChartModel m_chart;
    // Each drawn series' points, by the row of the chart model they show.
    QHash<QObject*, QVector<int>> m_seriesRows;
};
