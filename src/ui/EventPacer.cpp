#include "EventPacer.h"

#include <QCoreApplication>

EventPacer::EventPacer(int intervalMs, std::function<void()> beforeEvents)
    : m_intervalMs(intervalMs), m_beforeEvents(std::move(beforeEvents))
{
    m_clock.start();
}

void EventPacer::tick()
{
    if (m_clock.elapsed() >= m_intervalMs)
        runEvents();
}

void EventPacer::runEvents()
{
    if (m_beforeEvents)
        m_beforeEvents();
    QCoreApplication::processEvents();
    m_clock.restart();
}
