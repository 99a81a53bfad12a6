#include "ManualEngineModel.h"

#include "ManualList.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

ManualEngineModel::ManualEngineModel(QObject* parent) : QAbstractTableModel(parent) {}

int ManualEngineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ManualEngineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ManualEngineModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns)
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    return m_rows.at(index.row()).value(index.column());
}

Qt::ItemFlags ManualEngineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant ManualEngineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case 0:
        return QStringLiteral("Engines");
    case 1:
        return QStringLiteral("Home Page");
    case 2:
        return QStringLiteral("Submit Here");
    default:
        return section < m_columns ? QVariant(QString()) : QVariant();
    }
}

void ManualEngineModel::appendRows(const QVector<QStringList>& rows)
{
    if (rows.isEmpty())
        return;
    int widest = m_columns;
    for (const QStringList& row : rows)
        widest = qMax(widest, static_cast<int>(row.size()));
    if (widest > m_columns) {
        beginInsertColumns(QModelIndex(), m_columns, widest - 1);
        m_columns = widest;
        endInsertColumns();
    }
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    m_rows.append(rows);
    endInsertRows();
}

void ManualEngineModel::removeEngine(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void ManualEngineModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_columns = NamedColumns;
    endResetModel();
}

void ManualEngineModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns || m_rows.size() < 2)
        return;
    QCollator collator{QLocale::system()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const bool cLocale = collator.locale().language() == QLocale::C;
    auto compare = [&](const QString& a, const QString& b) {
        return cLocale ? a.compare(b, Qt::CaseInsensitive) : collator.compare(a, b);
    };

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order_(static_cast<size_t>(m_rows.size()));
    std::iota(order_.begin(), order_.end(), 0);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const int c = compare(m_rows.at(a).value(column), m_rows.at(b).value(column));
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    QVector<QStringList> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newPosition(order_.size());
    for (size_t i = 0; i < order_.size(); ++i) {
        sorted.append(m_rows.at(order_[i]));
        newPosition[static_cast<size_t>(order_[i])] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(newPosition[static_cast<size_t>(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QStringList ManualEngineModel::toLines() const
{
    const QChar delimiter = m_delimiter.isNull() ? QChar(u',') : m_delimiter;
    QStringList lines;
    lines.reserve(m_rows.size());
    for (const QStringList& row : m_rows)
        lines.append(ManualList::joinLine(row, delimiter));
    return lines;
}
