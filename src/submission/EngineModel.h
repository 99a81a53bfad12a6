#pragma once

#include "EngineRow.h"
#include "EngineRowImages.h"
#include "RunEngineRows.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QVector>

// The rows of the "Auto Submit Engines" view, addressed by position (the
// submission queue stores positions). Check marks, cells and state images
// live here; the filters, the recount and the run work on this model.
class EngineModel : public QAbstractTableModel, public RunEngineRows
{
    Q_OBJECT

public:
    enum Column { EnginesColumn, UrlColumn, ResultColumn, DateColumn, TypeColumn, ColumnCount };

    explicit EngineModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The whole set of rows at once (one reset).
    void setRows(QVector<EngineRow> rows);
    void clear();
    void removeEngine(int row);

    int count() const override { return static_cast<int>(m_rows.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < m_rows.size(); }
    const EngineRow& row(int row) const override { return m_rows.at(row); }
    QString engineName(int row) const { return m_rows.at(row).name; }
    QString engineType(int row) const { return m_rows.at(row).type; }
    // N for a batch row (1 when N is not a whole number), 1 for every other.
    int submissionWeight(int row) const { return m_rows.at(row).weight; }

    bool isChecked(int row) const { return m_rows.at(row).checked; }
    // Sets a mark by program (no checkToggled); tells the views at once.
    void setChecked(int row, bool checked);
    // Sets a mark without telling the views; flushChecks() tells them of
    // every mark changed since the last flush, in one range. For passes over
    // many rows.
    void setCheckedQuietly(int row, bool checked) override;
    void flushChecks() override;
    // The user's toggle: flips the mark and emits checkToggled.
    void toggleByUser(int row);
    QVector<int> checkedRows() const;

    // What the run writes into a row.
    void setResult(int row, const QString& text);
    void setDate(int row, const QString& text);
    void setRowImage(int row, RowImage image) override;
    // The three at once, as a request ends: one change told to the views, not three.
    void setOutcome(int row, const QString& result, RowImage image, const QString& date) override;
    // Empties "Result" and "Date" and removes the image.
    void clearResult(int row) override;

signals:
    // The user changed a row's check box (click, the check area or the keyboard).
    void checkToggled(int row);

private:
    void changed(int row, int firstColumn, int lastColumn, const QList<int>& roles);

    QVector<EngineRow> m_rows;
    int m_dirtyFirst = -1;
    int m_dirtyLast = -1;
    mutable QIcon m_icons[4];
};
