#include "EngineModel.h"

#include "EngineLine.h"

namespace {

// The roles a setter changes, built once: a run changes rows hundreds of times a second.
const QList<int>& textRoles()
{
    static const QList<int> roles{Qt::DisplayRole, Qt::ToolTipRole};
    return roles;
}

const QList<int>& imageRoles()
{
    static const QList<int> roles{Qt::DecorationRole};
    return roles;
}

} // namespace

EngineModel::EngineModel(QObject* parent) : QAbstractTableModel(parent) {}

int EngineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int EngineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EngineModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !isValidRow(index.row()))
        return QVariant();
    const EngineRow& r = m_rows.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case EnginesColumn:
            return r.name;
        case UrlColumn:
            return r.siteUrl;
        case ResultColumn:
            return r.result;
        case DateColumn:
            return r.date;
        case TypeColumn:
            return r.type;
        default:
            return QVariant();
        }
    }
    if (index.column() != EnginesColumn)
        return QVariant();
    if (role == Qt::CheckStateRole)
        return r.checked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::DecorationRole && r.image != RowImage::None) {
        QIcon& icon = m_icons[static_cast<int>(r.image)];
        if (icon.isNull())
            icon = EngineRowImages::icon(r.image);
        return icon;
    }
    return QVariant();
}

bool EngineModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !isValidRow(index.row()) || index.column() != EnginesColumn || role != Qt::CheckStateRole)
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (m_rows[index.row()].checked == checked)
        return true;
    m_rows[index.row()].checked = checked;
    changed(index.row(), EnginesColumn, EnginesColumn, {Qt::CheckStateRole});
    // Only views write check states through setData: it is the user's toggle.
    emit checkToggled(index.row());
    return true;
}

Qt::ItemFlags EngineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == EnginesColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant EngineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case EnginesColumn:
        return QStringLiteral("Engines");
    case UrlColumn:
        return QStringLiteral("URL");
    case ResultColumn:
        return QStringLiteral("Result");
    case DateColumn:
        return QStringLiteral("Date");
    case TypeColumn:
        return QStringLiteral("Type");
    default:
        return QVariant();
    }
}

void EngineModel::setRows(QVector<EngineRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_dirtyFirst = m_dirtyLast = -1;
    endResetModel();
}

void EngineModel::clear()
{
    setRows({});
}

void EngineModel::removeEngine(int row)
{
    if (!isValidRow(row))
        return;
    flushChecks();
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void EngineModel::setChecked(int row, bool checked)
{
    if (!isValidRow(row) || m_rows.at(row).checked == checked)
        return;
    m_rows[row].checked = checked;
    changed(row, EnginesColumn, EnginesColumn, {Qt::CheckStateRole});
}

void EngineModel::setCheckedQuietly(int row, bool checked)
{
    if (!isValidRow(row) || m_rows.at(row).checked == checked)
        return;
    m_rows[row].checked = checked;
    if (m_dirtyFirst < 0 || row < m_dirtyFirst)
        m_dirtyFirst = row;
    if (row > m_dirtyLast)
        m_dirtyLast = row;
}

void EngineModel::flushChecks()
{
    if (m_dirtyFirst < 0)
        return;
    const int first = m_dirtyFirst;
    const int last = qMin(m_dirtyLast, count() - 1);
    m_dirtyFirst = m_dirtyLast = -1;
    if (first <= last)
        emit dataChanged(index(first, EnginesColumn), index(last, EnginesColumn), {Qt::CheckStateRole});
}

void EngineModel::toggleByUser(int row)
{
    if (!isValidRow(row))
        return;
    setData(index(row, EnginesColumn), m_rows.at(row).checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

QVector<int> EngineModel::checkedRows() const
{
    QVector<int> out;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).checked)
            out.append(i);
    }
    return out;
}

void EngineModel::setResult(int row, const QString& text)
{
    if (!isValidRow(row) || m_rows.at(row).result == text)
        return;
    m_rows[row].result = text;
    changed(row, ResultColumn, ResultColumn, textRoles());
}

void EngineModel::setDate(int row, const QString& text)
{
    if (!isValidRow(row) || m_rows.at(row).date == text)
        return;
    m_rows[row].date = text;
    changed(row, DateColumn, DateColumn, textRoles());
}

void EngineModel::setRowImage(int row, RowImage image)
{
    if (!isValidRow(row) || m_rows.at(row).image == image)
        return;
    m_rows[row].image = image;
    changed(row, EnginesColumn, EnginesColumn, imageRoles());
}

void EngineModel::setOutcome(int row, const QString& result, RowImage image, const QString& date)
{
    if (!isValidRow(row))
        return;
    EngineRow& r = m_rows[row];
    if (r.result == result && r.image == image && r.date == date)
        return;
    r.result = result;
    r.image = image;
    r.date = date;
    static const QList<int> roles{Qt::DisplayRole, Qt::ToolTipRole, Qt::DecorationRole};
    changed(row, EnginesColumn, DateColumn, roles);
}

void EngineModel::clearResult(int row)
{
    if (!isValidRow(row))
        return;
    EngineRow& r = m_rows[row];
    if (r.result.isEmpty() && r.date.isEmpty() && r.image == RowImage::None)
        return;
    r.result.clear();
    r.date.clear();
    r.image = RowImage::None;
    changed(row, EnginesColumn, DateColumn, {});
}

void EngineModel::changed(int row, int firstColumn, int lastColumn, const QList<int>& roles)
{
    emit dataChanged(index(row, firstColumn), index(row, lastColumn), roles);
}
