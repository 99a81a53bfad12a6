#include "SandboxServer.h"

#include "ManualSite.h"
#include "TargetSite.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

SandboxServer::SandboxServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    // Many peers connect at the same moment in a run; a short backlog would drop their SYNs.
    m_server->setListenBacklogSize(1024);
    m_server->setMaxPendingConnections(1024);
    connect(m_server, &QTcpServer::newConnection, this, &SandboxServer::acceptPending);
}

SandboxServer::~SandboxServer()
{
    // Connections refer to the router and the log: they go first.
    m_server->close();
    const QList<SandboxConnection*> connections =
        findChildren<SandboxConnection*>(QString(), Qt::FindDirectChildrenOnly);
    for (SandboxConnection* c : connections)
        delete c;
}

bool SandboxServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 SandboxServer::port() const
{
    return m_server->serverPort();
}

QString SandboxServer::errorString() const
{
    return m_server->errorString();
}

void SandboxServer::addStandardSites()
{
    TargetSite::addPaths(m_router);
    ManualSite::addPaths(m_router);
}

void SandboxServer::acceptPending()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_open >= m_maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        auto* connection = new SandboxConnection(socket, m_router, m_log, m_limits, this);
        connect(connection, &SandboxConnection::finished, this, [this] {
            --m_open;
            emit connectionFinished();
        });
    }
}
