#include "RankChartModel.h"

#include <QHash>
#include <QLocale>

#include <algorithm>

RankChartModel::RankChartModel(const QVector<RankResult>& rows) : m_rows(rows)
{
    if (m_rows.isEmpty())
        return;

    // The axis covers the bounds found, in whole pages, with at most ten labels.
    int low = 0;
    int high = 0;
    for (const RankResult& r : m_rows) {
        if (r.kind != RankKind::Found)
            continue;
        low = low == 0 ? r.bound : std::min(low, r.bound);
        high = std::max(high, r.bound);
    }
    if (low == 0)
        low = high = 10;
    int step = 10;
    for (int i = 0; (high - low + step - 1) / step > 9; ++i)
        step = (i % 3 == 1 ? 5 * step / 2 : 2 * step); // 20, 50, 100, 200, 500, ...
    // Bounds start at 10: a first label of 0 would name no bound.
    int label = std::max(10, low - low % step);
    m_labels.append(label);
    while (label < high) {
        label = label < step ? step : label + step;
        m_labels.append(label);
    }
    m_axisMin = std::max(0.0, m_labels.first() - step / 2.0);
    m_bandY = m_labels.last() + step * 1.5;
    m_axisMax = m_bandY + step / 2.0;

    QHash<QString, int> engineIndex;
    QVector<double> lastLevel; // per engine: the bound of its last found check, 0 for none yet
    QVector<bool> broken; // per engine: the next found check starts a new segment
    QVector<QVector<int>> pendingGaps; // gaps before an engine's first found check
    m_firstTime = m_lastTime = m_rows.first().time.toMSecsSinceEpoch();
    for (int i = 0; i < m_rows.size(); ++i) {
        const RankResult& r = m_rows.at(i);
        const qint64 t = r.time.toMSecsSinceEpoch();
        m_firstTime = std::min(m_firstTime, t);
        m_lastTime = std::max(m_lastTime, t);
        auto it = engineIndex.find(r.engine);
        if (it == engineIndex.end()) {
            it = engineIndex.insert(r.engine, int(m_engines.size()));
            EngineSeries fresh;
            fresh.engine = r.engine;
            m_engines.append(fresh);
            lastLevel.append(0);
            broken.append(true);
            pendingGaps.append(QVector<int>());
        }
        const int e = it.value();
        EngineSeries& series = m_engines[e];
        switch (r.kind) {
        case RankKind::Found:
            if (broken[e])
                series.segments.append(QVector<Point>());
            series.segments.last().append({QPointF(t, r.bound), i});
            broken[e] = false;
            // Failed checks before the first bound take its level.
            for (int g : pendingGaps[e])
                series.gaps.append({QPointF(m_rows.at(g).time.toMSecsSinceEpoch(), r.bound), g});
            pendingGaps[e].clear();
            lastLevel[e] = r.bound;
            break;
        case RankKind::NotFound:
            series.notFound.append({QPointF(t, m_bandY), i});
            broken[e] = true;
            break;
        case RankKind::Error:
        case RankKind::Skipped:
            if (lastLevel[e] > 0)
                series.gaps.append({QPointF(t, lastLevel[e]), i});
            else
                pendingGaps[e].append(i);
            broken[e] = true;
            break;
        }
    }
    // An engine never found keeps its failed checks at the top of the axis.
    for (int e = 0; e < m_engines.size(); ++e) {
        for (int g : pendingGaps[e])
            m_engines[e].gaps.append({QPointF(m_rows.at(g).time.toMSecsSinceEpoch(), m_labels.first()), g});
        std::sort(m_engines[e].gaps.begin(), m_engines[e].gaps.end(),
                  [](const Point& a, const Point& b) { return a.row < b.row; });
    }
    // A margin on both sides, so the first and last checks are not cut by the edges.
    const qint64 margin = m_firstTime == m_lastTime ? 3600 * 1000 : std::max<qint64>(1000, (m_lastTime - m_firstTime) / 20);
    m_firstTime -= margin;
    m_lastTime += margin;
}

QString RankChartModel::tip(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return QString();
    const RankResult& r = m_rows.at(row);
    const QString when = QLocale::system().toString(r.time.toLocalTime(), QLocale::ShortFormat);
    return QStringLiteral("%1\n%2: %3").arg(when, r.engine, r.describe());
}
