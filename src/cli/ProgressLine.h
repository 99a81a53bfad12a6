#pragma once

#include <QElapsedTimer>
#include <QString>

// One line of progress on standard error, redrawn in place as wget and curl
// do; only when standard error is a terminal, so logs and pipes stay clean.
class ProgressLine
{
public:
    explicit ProgressLine(bool enabled);
    ~ProgressLine();

    // Whether anything is drawn (a terminal, and not --quiet).
    bool isEnabled() const { return m_enabled; }
    static bool stderrIsTerminal();

    // "DONE done, QUEUED queued, RATE/s, ELAPSED", drawn at most ten times a
    // second; `force` draws now.
    void update(qint64 done, qint64 queued, bool force = false);
    void show(const QString& text, bool force = false);
    // Wipes the line, so a message or the results start at the margin.
    void clear();

    static QString format(qint64 done, qint64 queued, qint64 elapsedMs);

private:
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDraw;
};
