#include "RankListModel.h"

#include "RankLine.h"

RankListModel::RankListModel(QObject* parent) : QAbstractTableModel(parent) {}

int RankListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RankListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RankListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !isValidRow(index.row()))
        return QVariant();
    const Row& r = m_rows.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case EnginesColumn:
            return r.caption;
        case ResultColumn:
            return r.result;
        case DateColumn:
            return r.date;
        default:
            return QVariant();
        }
    }
    if (role == Qt::DecorationRole)
        return m_decorations ? m_decorations(r, index.column()) : QVariant();
    if (role == Qt::ToolTipRole && index.column() == ResultColumn && !r.changeTip.isEmpty())
        return r.changeTip;
    if (index.column() == EnginesColumn && role == Qt::CheckStateRole)
        return r.checked ? Qt::Checked : Qt::Unchecked;
    return QVariant();
}

bool RankListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !isValidRow(index.row()) || index.column() != EnginesColumn || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags RankListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == EnginesColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant RankListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case EnginesColumn:
        return QStringLiteral("Engines");
    case ResultColumn:
        return QStringLiteral("Current Ranking      Click Result To Show Listing");
    case DateColumn:
        return QStringLiteral("Date Ranked");
    default:
        return QVariant();
    }
}

void RankListModel::setLines(const QStringList& lines)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(lines.size());
    for (const QString& line : lines) {
        Row r;
        r.caption = RankLines::caption(line);
        m_rows.append(r);
    }
    endResetModel();
}

void RankListModel::setChecked(int row, bool checked)
{
    if (!isValidRow(row) || m_rows.at(row).checked == checked)
        return;
    m_rows[row].checked = checked;
    changed(row, EnginesColumn, EnginesColumn, {Qt::CheckStateRole});
}

void RankListModel::setResult(int row, const QString& html)
{
    if (!isValidRow(row) || m_rows.at(row).result == html)
        return;
    m_rows[row].result = html;
    changed(row, ResultColumn, ResultColumn, {Qt::DisplayRole});
}

void RankListModel::setDate(int row, const QString& text)
{
    if (!isValidRow(row) || m_rows.at(row).date == text)
        return;
    m_rows[row].date = text;
    changed(row, DateColumn, DateColumn, {Qt::DisplayRole});
}

void RankListModel::setRowImage(int row, RowImage image)
{
    if (!isValidRow(row) || m_rows.at(row).image == image)
        return;
    m_rows[row].image = image;
    changed(row, EnginesColumn, EnginesColumn, {Qt::DecorationRole});
}

void RankListModel::setChange(int row, RankChange change, const QString& tip)
{
    if (!isValidRow(row) || (m_rows.at(row).change == change && m_rows.at(row).changeTip == tip))
        return;
    m_rows[row].change = change;
    m_rows[row].changeTip = tip;
    changed(row, ResultColumn, ResultColumn, {Qt::DecorationRole, Qt::ToolTipRole});
}

void RankListModel::resetRows(bool checkAll)
{
    if (m_rows.isEmpty())
        return;
    for (Row& r : m_rows) {
        r.result.clear();
        r.date.clear();
        r.image = RowImage::None;
        r.change = RankChange::None;
        r.changeTip.clear();
        if (checkAll)
            r.checked = true;
    }
    emit dataChanged(index(0, 0), index(count() - 1, ColumnCount - 1));
}

void RankListModel::changed(int row, int firstColumn, int lastColumn, const QList<int>& roles)
{
    emit dataChanged(index(row, firstColumn), index(row, lastColumn), roles);
}
