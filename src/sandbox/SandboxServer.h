#pragma once

#include "SandboxConnection.h"
#include "SandboxLog.h"
#include "SandboxRouter.h"

#include <QObject>
#include <QString>

class QIODevice;
class QTcpServer;

// The sandbox's listener on 127.0.0.1. Every connection is served on the
// thread that owns the server, through its event loop; connections beyond
// maxConnections are closed at once so descriptors cannot run out. By default
// that is 2000, or fewer when the descriptor limit leaves less room.
class SandboxServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultMaxConnections = 2000;

    explicit SandboxServer(QObject* parent = nullptr);
    ~SandboxServer() override;

    SandboxRouter& router() { return m_router; }
    void setLogDevice(QIODevice* device) { m_log.setDevice(device); }
    void setLimits(const SandboxLimits& limits) { m_limits = limits; }
    SandboxLimits limits() const { return m_limits; }
    void setMaxConnections(int count) { m_maxConnections = count; }
    int maxConnections() const { return m_maxConnections; }

    // Listens on 127.0.0.1:port; port 0 picks a free one.
    bool listen(quint16 port);
    quint16 port() const;
    QString errorString() const;
    int openConnections() const { return m_open; }

    // Every site the sandbox serves today: target sites and the manual.
    void addStandardSites();

signals:
    void connectionFinished();

private:
    void acceptPending();

    QTcpServer* m_server;
    SandboxRouter m_router;
    SandboxLog m_log;
    SandboxLimits m_limits;
    int m_maxConnections;
    int m_open = 0;
};
