#pragma once

#include <QElapsedTimer>

#include <functional>

// Lets pending window events run from inside a long loop, but only every
// `intervalMs` milliseconds, so the window stays responsive without the loop
// paying for an event round on every item. `beforeEvents` runs just before,
// to bring what the window shows up to date.
class EventPacer
{
public:
    explicit EventPacer(int intervalMs = 15, std::function<void()> beforeEvents = {});

    // Called once per item; lets events run when the interval has passed.
    void tick();
    // Lets events run now.
    void runEvents();

private:
    int m_intervalMs;
    std::function<void()> m_beforeEvents;
    QElapsedTimer m_clock;
};
