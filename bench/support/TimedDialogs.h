#pragma once

#include "support/ScriptedDialogs.h"

#include <QElapsedTimer>
#include <QList>

// Records the moment each message box is asked for, so a run's completion is
// timed where it happens, not where the polling loop notices it.
class TimedDialogs : public ScriptedDialogs
{
public:
    explicit TimedDialogs(const QElapsedTimer& clock) : m_clock(clock) {}
    int message(QWidget* parent, const QString& caption, const QString& text, Dialogs::Icon icon, int buttons) override
    {
        m_atNs.append(m_clock.isValid() ? m_clock.nsecsElapsed() : 0);
        return ScriptedDialogs::message(parent, caption, text, icon, buttons);
    }
    qint64 atNs(int message) const { return m_atNs.value(message, -1); }

private:
    const QElapsedTimer& m_clock;
    QList<qint64> m_atNs;
};
