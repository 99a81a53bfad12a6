#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into the interrupted() signal, delivered in the
// event loop (the handler only writes a byte to a pipe). A second signal
// after the first ends the process at once, as users expect of a second Ctrl-C.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    bool wasInterrupted() const { return m_interrupted; }

signals:
    void interrupted();

private:
    static void handle(int signal);

    QSocketNotifier* m_notifier = nullptr;
    bool m_interrupted = false;
};
