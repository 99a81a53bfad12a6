#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

// Repaints a widget at most once per interval however often its content
// changes: a request after a quiet spell repaints at once, later ones within
// the interval are gathered into one repaint at its end. Only the painting
// waits; whatever the widget shows is already its state.
class RepaintPacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultIntervalMs = 40;

    explicit RepaintPacer(QWidget* widget, int intervalMs = DefaultIntervalMs);
    // Repaints by calling `repaint` (say, an update of the changed part only) instead of update().
    RepaintPacer(QWidget* widget, std::function<void()> repaint, int intervalMs = DefaultIntervalMs);

    // Instead of QWidget::update().
    void request();
    bool pending() const { return m_timer.isActive(); }

private:
    void repaint();

    QWidget* m_widget;
    std::function<void()> m_repaint;
    int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_last;
};
