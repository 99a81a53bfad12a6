#pragma once

#include "RunEngineRows.h"

#include <QVector>

class EngineDatabase;

// Engine rows without a view, for a run that no window shows.
class EngineRowList : public RunEngineRows
{
public:
    EngineRowList() = default;
    explicit EngineRowList(QVector<EngineRow> rows) : m_rows(std::move(rows)) {}

    // One unchecked row per line of the database, in its order.
    static EngineRowList fromDatabase(const EngineDatabase& database);

    int count() const override { return static_cast<int>(m_rows.size()); }
    const EngineRow& row(int row) const override { return m_rows.at(row); }
    void setChecked(int row, bool checked) { m_rows[row].checked = checked; }
    void setCheckedQuietly(int row, bool checked) override { m_rows[row].checked = checked; }
    void flushChecks() override {}
    void setRowImage(int row, RowImage image) override { m_rows[row].image = image; }
    void setOutcome(int row, const QString& result, RowImage image, const QString& date) override;
    void clearResult(int row) override;

private:
    QVector<EngineRow> m_rows;
};
