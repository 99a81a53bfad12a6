#include "RankSummaryModel.h"

#include <QHash>
#include <QLocale>

RankSummaryModel::RankSummaryModel(QObject* parent) : QAbstractTableModel(parent) {}

void RankSummaryModel::setRows(const QVector<RankResult>& rows)
{
    beginResetModel();
    m_engines.clear();
    QHash<QString, int> index;
    for (const RankResult& r : rows) {
        auto it = index.find(r.engine);
        if (it == index.end()) {
            it = index.insert(r.engine, int(m_engines.size()));
            m_engines.append(Engine{r.engine, std::nullopt, std::nullopt, 0, QDateTime(), 0});
        }
        if (r.kind == RankKind::Skipped)
            continue;
        Engine& e = m_engines[it.value()];
        e.previous = e.latest;
        e.latest = r;
        ++e.checks;
        if (r.kind == RankKind::Found && (e.best == 0 || r.bound < e.best)) {
            e.best = r.bound;
            e.bestTime = r.time;
        }
    }
    endResetModel();
}

QString RankSummaryModel::changeText(RankChange change)
{
    switch (change) {
    case RankChange::Up:
        return QStringLiteral("up");
    case RankChange::Down:
        return QStringLiteral("down");
    case RankChange::Same:
        return QStringLiteral("same");
    case RankChange::WasNotFound:
        return QStringLiteral("up (was not found)");
    case RankChange::WasError:
        return QStringLiteral("was an error");
    case RankChange::None:
        break;
    }
    return QString();
}

int RankSummaryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_engines.size());
}

int RankSummaryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RankSummaryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_engines.size() || role != Qt::DisplayRole)
        return QVariant();
    const Engine& e = m_engines.at(index.row());
    const QLocale locale = QLocale::system();
    switch (index.column()) {
    case EngineColumn:
        return e.name;
    case LatestColumn:
        return e.latest ? e.latest->describe() : QString();
    case PreviousColumn:
        return e.previous ? e.previous->describe() : QString();
    case ChangeColumn:
        return e.latest ? changeText(RankResults::change(*e.latest, e.previous)) : QString();
    case BestColumn:
        return e.best > 0 ? QStringLiteral("top %1").arg(e.best) : QString();
    case BestDateColumn:
        return e.best > 0 ? locale.toString(e.bestTime.toLocalTime(), QLocale::ShortFormat) : QString();
    case ChecksColumn:
        return e.checks;
    default:
        return QVariant();
    }
}

QVariant RankSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[] = {"Engine", "Latest", "Previous", "Change", "Best", "Best on", "Checks"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}
