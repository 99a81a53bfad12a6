#pragma once

#include "RequestParser.h"
#include "SandboxResponse.h"

#include <QObject>

class QTcpSocket;
class QTimer;
class SandboxLog;
class SandboxRouter;

struct SandboxLimits
{
    int requestTimeoutMs = 30 * 1000;       // the whole request must arrive within this, else 408
    int stallLimitMs = 10 * 60 * 1000;      // a stalled connection is dropped after this
    int lingerMs = 2000;                    // after the answer, unread input is drained this long
    qint64 maxDrainBytes = 8 * 1024 * 1024; // input read and thrown away after the request, at most
};

// One accepted connection: reads one request, answers it (or stalls, or
// closes), then closes. Owns its socket and deletes itself when done.
class SandboxConnection : public QObject
{
    Q_OBJECT

public:
    SandboxConnection(QTcpSocket* socket, const SandboxRouter& router, SandboxLog& log, const SandboxLimits& limits,
                      QObject* parent);
    ~SandboxConnection() override;

signals:
    void finished();

private:
    enum class Phase { Reading, Delaying, Writing, Draining, Stalling, Done };

    void readSome();
    void answer(const SandboxResponse& response, const SandboxRequest& request, bool logIt = true);
    void write(const QByteArray& bytes);
    void writeDone();
    void timedOut();
    void finish();

    QTcpSocket* m_socket;
    QTimer* m_timer;
    const SandboxRouter& m_router;
    SandboxLog& m_log;
    SandboxLimits m_limits;
    RequestParser m_parser;
    Phase m_phase = Phase::Reading;
    qint64 m_drained = 0;
};
