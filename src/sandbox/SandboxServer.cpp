#include "SandboxServer.h"

#include "AuditSite.h"
#include "IndexNowSite.h"
#include "ManualSite.h"
#include "SpiderSite.h"
#include "SearchSite.h"
#include "TargetSite.h"
#include "UpdateService.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <sys/resource.h>

namespace {

// Descriptors kept free for the log, the listener and the accept of a
// connection that is over the limit and gets closed at once.
constexpr rlim_t ReservedDescriptors = 32;

int defaultMaxConnections()
{
    rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return SandboxServer::DefaultMaxConnections;
    if (limit.rlim_cur <= 2 * ReservedDescriptors)
        return static_cast<int>(std::max<rlim_t>(1, limit.rlim_cur / 2));
    return static_cast<int>(
        std::min<rlim_t>(SandboxServer::DefaultMaxConnections, limit.rlim_cur - ReservedDescriptors));
}

} // namespace

SandboxServer::SandboxServer(QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_maxConnections(defaultMaxConnections())
{
    // Many peers connect at the same moment in a run; a short backlog would drop their SYNs.
    m_server->setListenBacklogSize(1024);
    m_server->setMaxPendingConnections(1024);
    connect(m_server, &QTcpServer::newConnection, this, &SandboxServer::acceptPending);
    // Qt pauses accepting after a failed accept (out of descriptors, say); the
    // sandbox must not go deaf for good, so it tries again a little later.
    connect(m_server, &QTcpServer::acceptError, this,
            [this] { QTimer::singleShot(100, m_server, [this] { m_server->resumeAccepting(); }); });
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
    SpiderSite::addPaths(m_router);
    AuditSite::addPaths(m_router);
    SearchSite::addPaths(m_router);
    IndexNowSite::addPaths(m_router);
    UpdateService::addPaths(m_router);
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
