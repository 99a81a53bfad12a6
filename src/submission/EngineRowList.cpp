#include "EngineRowList.h"

#include "EngineDatabase.h"

EngineRowList EngineRowList::fromDatabase(const EngineDatabase& database)
{
    QVector<EngineRow> rows;
    rows.reserve(database.count());
    for (int i = 0; i < database.count(); ++i)
        rows.append(EngineRow::fromLine(database.line(i)));
    return EngineRowList(std::move(rows));
}

void EngineRowList::setOutcome(int row, const QString& result, RowImage image, const QString& date)
{
    EngineRow& r = m_rows[row];
    r.result = result;
    r.image = image;
    r.date = date;
}

void EngineRowList::clearResult(int row)
{
    EngineRow& r = m_rows[row];
    r.result.clear();
    r.date.clear();
    r.image = RowImage::None;
}
