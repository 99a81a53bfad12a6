#include "RepaintPacer.h"

#include <QWidget>

RepaintPacer::RepaintPacer(QWidget* widget, int intervalMs) : RepaintPacer(widget, {}, intervalMs) {}

RepaintPacer::RepaintPacer(QWidget* widget, std::function<void()> repaint, int intervalMs)
    : QObject(widget), m_widget(widget), m_repaint(std::move(repaint)), m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RepaintPacer::repaint);
}

void RepaintPacer::request()
{
    if (m_timer.isActive())
        return; // a repaint is already due
    const qint64 since = m_last.isValid() ? m_last.elapsed() : m_intervalMs;
    if (since >= m_intervalMs) {
        repaint();
        return;
    }
    m_timer.start(static_cast<int>(m_intervalMs - since));
}

void RepaintPacer::repaint()
{
    m_last.start();
    if (m_repaint)
        m_repaint();
    else
        m_widget->update();
}
