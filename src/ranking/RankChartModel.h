#pragma once

#include "RankResult.h"

#include <QPointF>
#include <QVector>

// What the History window's chart draws, built from stored rows without any
// widget: per engine, the found checks as lines on the page-bound axis (10 at
// the top), broken wherever a check was not a found one; the not-found checks
// on a band of their own below the axis; failed and skipped checks as markers
// on the line's level, never as a drop.
class RankChartModel
{
public:
    struct Point
    {
        QPointF at; // x: milliseconds since the epoch; y: page bound (or the band)
        int row = -1; // index into rows()
    };

    struct EngineSeries
    {
        QString engine;
        QVector<QVector<Point>> segments; // each an unbroken run of found checks
        QVector<Point> notFound;
        QVector<Point> gaps; // error and skipped checks
    };

    RankChartModel() = default;
    explicit RankChartModel(const QVector<RankResult>& rows);

    const QVector<RankResult>& rows() const { return m_rows; }
    // In the order each engine first appears.
    const QVector<EngineSeries>& engines() const { return m_engines; }
    bool isEmpty() const { return m_rows.isEmpty(); }

    // The bound axis runs from axisMin (top) to axisMax (bottom), zoomed to the
    // bounds found; its labels (at most ten, in steps of 10, 20, 50, 100, ...)
    // cover them. The not-found band lies below, at bandY.
    double axisMin() const { return m_axisMin; }
    double axisMax() const { return m_axisMax; }
    const QVector<int>& labels() const { return m_labels; }
    double bandY() const { return m_bandY; }
    // The time axis, with a margin so no check is drawn on an edge.
    qint64 firstTime() const { return m_firstTime; }
    qint64 lastTime() const { return m_lastTime; }

    // What hovering the point of a row shows: its time, engine and result.
    QString tip(int row) const;

private:
    QVector<RankResult> m_rows;
    QVector<EngineSeries> m_engines;
    double m_axisMin = 0;
    double m_axisMax = 0;
    QVector<int> m_labels;
    double m_bandY = 0;
    qint64 m_firstTime = 0;
    qint64 m_lastTime = 0;
};
