#include "AuditPagesModel.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

QStringList AuditPagesModel::columnNames()
{
    return {QStringLiteral("url"),         QStringLiteral("status"),         QStringLiteral("redirect_hops"),
            QStringLiteral("final_url"),   QStringLiteral("content_type"),   QStringLiteral("bytes"),
            QStringLiteral("response_ms"), QStringLiteral("depth"),          QStringLiteral("title"),
            QStringLiteral("description"), QStringLiteral("h1_count"),       QStringLiteral("canonical"),
            QStringLiteral("robots"),      QStringLiteral("indexable"),      QStringLiteral("content_sha256")};
}

AuditPagesModel::AuditPagesModel(QObject* parent) : QAbstractTableModel(parent) {}

void AuditPagesModel::setCrawl(qint64 crawlId)
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_crawlId = crawlId;
    m_lastRowId = 0;
    m_error.clear();
    endResetModel();
}

int AuditPagesModel::fetchNew(const QSqlDatabase& db, int maxRows)
{
    if (m_crawlId <= 0)
        return 0;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT rowid, seq, %1 FROM audit_pages WHERE rowid > ? AND crawl_id = ? ORDER BY rowid LIMIT ?")
            .arg(columnNames().join(QStringLiteral(", "))));
    query.addBindValue(m_lastRowId);
    query.addBindValue(m_crawlId);
    query.addBindValue(maxRows);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return -1;
    }
    std::vector<Row> batch;
    while (query.next()) {
        m_lastRowId = query.value(0).toLongLong();
        Row row;
        row.seq = query.value(1).toLongLong();
        for (int c = 0; c < ColumnCount; ++c)
            row.cells[static_cast<size_t>(c)] = query.value(c + 2);
        batch.push_back(std::move(row));
    }
    if (batch.empty())
        return 0;
    const auto bySeq = [](const Row& a, const Row& b) { return a.seq < b.seq; };
    std::stable_sort(batch.begin(), batch.end(), bySeq);
    auto next = batch.begin();
    // Rows whose fetch started before the last one shown go to their place, one by one; they are few.
    for (; next != batch.end() && !m_rows.empty() && next->seq < m_rows.back().seq; ++next) {
        const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), *next, bySeq);
        const int row = static_cast<int>(at - m_rows.begin());
        beginInsertRows(QModelIndex(), row, row);
        m_rows.insert(at, std::move(*next));
        endInsertRows();
    }
    if (next != batch.end()) {
        const int first = static_cast<int>(m_rows.size());
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(batch.end() - next) - 1);
        m_rows.insert(m_rows.end(), std::make_move_iterator(next), std::make_move_iterator(batch.end()));
        endInsertRows();
    }
    return static_cast<int>(batch.size());
}

int AuditPagesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int AuditPagesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString AuditPagesModel::text(int row, int column) const
{
    const QVariant& value = m_rows[static_cast<size_t>(row)].cells[static_cast<size_t>(column)];
    if (column == Indexable)
        return value.toInt() != 0 ? QStringLiteral("yes") : QStringLiteral("no");
    return value.isNull() ? QString() : value.toString();
}

QVariant AuditPagesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return QVariant();
    const QVariant& value = m_rows[static_cast<size_t>(index.row())].cells[static_cast<size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::EditRole: // what the sort compares: numbers as numbers
        return index.column() == Indexable ? QVariant(text(index.row(), index.column())) : value;
    case Qt::ToolTipRole:
        return index.column() == Title || index.column() == Description || index.column() == Url ||
                       index.column() == RedirectHops
                   ? QVariant(text(index.row(), index.column()))
                   : QVariant();
    case Qt::TextAlignmentRole: {
        static const QList<int> numeric = {Status, Bytes, ResponseMs, Depth, H1Count};
        return numeric.contains(index.column()) ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant AuditPagesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < ColumnCount ? QVariant(columnNames().at(section)) : QVariant();
}
