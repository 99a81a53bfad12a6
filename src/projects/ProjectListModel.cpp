#include "ProjectListModel.h"

#include <algorithm>

ProjectListModel::ProjectListModel(QObject* parent) : QAbstractListModel(parent) {}

int ProjectListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ProjectListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry& entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return entry.name;
    case Qt::CheckStateRole:
        return entry.checked ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool ProjectListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ProjectListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

QString ProjectListModel::name(int row) const
{
    return (row >= 0 && row < count()) ? m_entries.at(row).name : QString();
}

QStringList ProjectListModel::names() const
{
    QStringList out;
    out.reserve(count());
    for (const Entry& entry : m_entries)
        out.append(entry.name);
    return out;
}

bool ProjectListModel::isChecked(int row) const
{
    return row >= 0 && row < count() && m_entries.at(row).checked;
}

void ProjectListModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= count() || m_entries.at(row).checked == checked)
        return;
    m_entries[row].checked = checked;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

QStringList ProjectListModel::checkedNames() const
{
    QStringList out;
    for (const Entry& entry : m_entries) {
        if (entry.checked)
            out.append(entry.name);
    }
    return out;
}

void ProjectListModel::setNames(const QStringList& names)
{
    beginResetModel();
    m_entries.clear();
    m_entries.reserve(names.size());
    for (const QString& name : names)
        m_entries.append({name, false});
    m_sorted = std::is_sorted(m_entries.cbegin(), m_entries.cend(),
                              [](const Entry& a, const Entry& b) { return compareNames(a.name, b.name) < 0; });
    const bool hadSelection = m_selected >= 0;
    m_selected = -1;
    endResetModel();
    if (hadSelection)
        emit selectedRowChanged(-1);
}

int ProjectListModel::insertSorted(const QString& name)
{
    int row = 0;
    if (m_sorted) {
        const auto after = std::upper_bound(m_entries.cbegin(), m_entries.cend(), name,
                                            [](const QString& n, const Entry& e) { return compareNames(n, e.name) < 0; });
        row = static_cast<int>(after - m_entries.cbegin());
    } else {
        while (row < count() && compareNames(m_entries.at(row).name, name) <= 0)
            ++row;
    }
    // The selection moves with its entry before any view hears of the change.
    const bool moved = m_selected >= row;
    if (moved)
        ++m_selected;
    beginInsertRows(QModelIndex(), row, row);
    m_entries.insert(row, {name, false});
    endInsertRows();
    if (moved)
        emit selectedRowChanged(m_selected);
    return row;
}

void ProjectListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    const int before = m_selected;
    if (m_selected == row)
        m_selected = -1;
    else if (m_selected > row)
        --m_selected;
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(row);
    endRemoveRows();
    if (m_selected != before)
        emit selectedRowChanged(m_selected);
}

int ProjectListModel::indexOfName(const QString& name) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_entries.at(row).name == name)
            return row;
    }
    return -1;
}

int ProjectListModel::indexOfCheckedName(const QString& name) const
{
    for (int row = 0; row < count(); ++row) {
        if (m_entries.at(row).checked && m_entries.at(row).name == name)
            return row;
    }
    return -1;
}

void ProjectListModel::setSelectedRow(int row)
{
    if (row < 0 || row >= count())
        row = -1;
    if (row == m_selected)
        return;
    m_selected = row;
    emit selectedRowChanged(row);
}

int ProjectListModel::compareNames(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}
