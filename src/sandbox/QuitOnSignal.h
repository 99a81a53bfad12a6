#pragma once

#include <QObject>

class QSocketNotifier;

// Quits the application's event loop on SIGTERM or SIGINT. The handler only
// writes a byte to a pipe; the quit happens in the event loop, where it is safe.
class QuitOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

    bool isActive() const { return m_notifier != nullptr; }

private:
    static void handle(int signal);

    QSocketNotifier* m_notifier = nullptr;
};
