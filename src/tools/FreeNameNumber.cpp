#include "FreeNameNumber.h"

#include <QAbstractItemModel>

FreeNameNumber::FreeNameNumber(const QString& base, QAbstractItemModel* model, QObject* parent)
    : QObject(parent), m_upperBase(base.toUpper()), m_model(model)
{
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { addRows(first, last, 1); });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { addRows(first, last, -1); });
    connect(model, &QAbstractItemModel::modelReset, this, &FreeNameNumber::rebuild);
    rebuild();
}

void FreeNameNumber::addRows(int first, int last, int delta)
{
    for (int row = first; row <= last; ++row) {
        const QString name = m_model->index(row, 0).data(Qt::DisplayRole).toString().toUpper();
        for (qsizetype at = name.indexOf(m_upperBase); at >= 0 && at < name.size();
             at = name.indexOf(m_upperBase, at + 1)) {
            const QString tail = name.mid(at);
            auto it = m_tails.find(tail);
            if (it == m_tails.end()) {
                if (delta > 0)
                    m_tails.emplace(tail, delta);
                continue;
            }
            it->second += delta;
            if (it->second <= 0)
                m_tails.erase(it);
        }
    }
}

void FreeNameNumber::rebuild()
{
    m_tails.clear();
    if (m_model->rowCount() > 0)
        addRows(0, m_model->rowCount() - 1, 1);
}

bool FreeNameNumber::contained(const QString& upperNeedle) const
{
    // Every place the needle occurs starts with the base, so it is a prefix
    // of one of the kept texts; the first text not below it is the candidate.
    const auto it = m_tails.lower_bound(upperNeedle);
    return it != m_tails.end() && it->first.startsWith(upperNeedle);
}

int FreeNameNumber::next(int from) const
{
    int n = from < 1 ? 1 : from;
    while (contained(m_upperBase + QString::number(n)))
        ++n;
    return n;
}
