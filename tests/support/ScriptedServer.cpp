#include "support/ScriptedServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

struct ScriptedServer::Connection
{
    QTcpSocket* socket = nullptr;
    Script script;
    size_t step = 0;
    QByteArray received;
    bool waitingForRequest = false;
    bool busy = false; // a wait or a repeated send is under way
    qint64 repeatLeft = 0;
    bool closed = false;
};

ScriptedServer::Script& ScriptedServer::Script::awaitRequest()
{
    m_steps.push_back({Step::AwaitRequest, {}, 0});
    return *this;
}

ScriptedServer::Script& ScriptedServer::Script::send(const QByteArray& bytes)
{
    m_steps.push_back({Step::Send, bytes, 0});
    return *this;
}

ScriptedServer::Script& ScriptedServer::Script::sendInParts(const QByteArray& bytes, int splitAt, int pauseMs)
{
    send(bytes.left(splitAt));
    wait(pauseMs);
    return send(bytes.mid(splitAt));
}

ScriptedServer::Script& ScriptedServer::Script::wait(int ms)
{
    m_steps.push_back({Step::Wait, {}, ms});
    return *this;
}

ScriptedServer::Script& ScriptedServer::Script::sendRepeated(const QByteArray& block, qint64 count)
{
    m_steps.push_back({Step::SendRepeated, block, count});
    return *this;
}

ScriptedServer::Script& ScriptedServer::Script::stall()
{
    m_steps.push_back({Step::Stall, {}, 0});
    return *this;
}

ScriptedServer::Script& ScriptedServer::Script::close()
{
    m_steps.push_back({Step::Close, {}, 0});
    return *this;
}

ScriptedServer::Script& ScriptedServer::Script::reset()
{
    m_steps.push_back({Step::Reset, {}, 0});
    return *this;
}

ScriptedServer::ScriptedServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::accept);
    m_server.listen(QHostAddress::LocalHost, 0);
}

ScriptedServer::~ScriptedServer()
{
    m_server.close();
    for (auto& c : m_connections) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
            delete c->socket;
            c->socket = nullptr;
        }
    }
}

QString ScriptedServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void ScriptedServer::play(const Script& script)
{
    m_scripts = {script};
}

void ScriptedServer::play(const QList<Script>& scripts)
{
    m_scripts = scripts;
}

QByteArray ScriptedServer::received(int connection) const
{
    if (connection < 0 || connection >= connectionCount())
        return {};
    return m_connections[static_cast<size_t>(connection)]->received;
}

int ScriptedServer::closedCount() const
{
    int n = 0;
    for (const auto& c : m_connections)
        n += c->closed ? 1 : 0;
    return n;
}

bool ScriptedServer::requestComplete(const QByteArray& bytes)
{
    const int end = bytes.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QByteArray head = bytes.left(end).toLower();
    const int at = head.indexOf("\ncontent-length:");
    if (at < 0)
        return true;
    const int lineEnd = head.indexOf('\r', at + 1);
    const qint64 length = head.mid(at + 16, lineEnd - at - 16).trimmed().toLongLong();
    return bytes.size() - (end + 4) >= length;
}

void ScriptedServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto owned = std::make_unique<Connection>();
        Connection* c = owned.get();
        c->socket = socket;
        const int index = connectionCount();
        if (!m_scripts.isEmpty())
            c->script = m_scripts.at(std::min(index, static_cast<int>(m_scripts.size()) - 1));
        m_connections.push_back(std::move(owned));
        connect(socket, &QTcpSocket::readyRead, this, [this, c] {
            c->received += c->socket->readAll();
            if (c->waitingForRequest && requestComplete(c->received)) {
                c->waitingForRequest = false;
                ++c->step;
                advance(c);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [c] { c->closed = true; });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, c] {
            if (c->repeatLeft > 0)
                feedRepeated(c);
        });
        advance(c);
    }
}

void ScriptedServer::feedRepeated(Connection* c)
{
    const Script::Step& step = c->script.m_steps[c->step];
    // Keep about a megabyte queued: enough to keep the peer busy, little to hold.
    while (c->repeatLeft > 0 && c->socket->bytesToWrite() < 1024 * 1024) {
        c->socket->write(step.bytes);
        --c->repeatLeft;
    }
    if (c->repeatLeft == 0 && c->busy) {
        c->busy = false;
        ++c->step;
        QTimer::singleShot(0, this, [this, c] { advance(c); });
    }
}

void ScriptedServer::advance(Connection* c)
{
    while (c->socket && !c->busy && c->step < c->script.m_steps.size()) {
        if (c->socket->state() != QAbstractSocket::ConnectedState) {
            c->closed = true;
            return;
        }
        const Script::Step& step = c->script.m_steps[c->step];
        switch (step.kind) {
        case Script::Step::AwaitRequest:
            if (!requestComplete(c->received)) {
                c->waitingForRequest = true;
                return;
            }
            break;
        case Script::Step::Send:
            c->socket->write(step.bytes);
            break;
        case Script::Step::Wait:
            c->busy = true;
            QTimer::singleShot(static_cast<int>(step.count), this, [this, c] {
                c->busy = false;
                ++c->step;
                advance(c);
            });
            return;
        case Script::Step::SendRepeated:
            c->busy = true;
            c->repeatLeft = step.count;
            feedRepeated(c);
            return;
        case Script::Step::Stall:
            return;
        case Script::Step::Close:
            c->socket->disconnectFromHost(); // after what is still queued has gone
            c->closed = true;
            ++c->step;
            return;
        case Script::Step::Reset: {
            struct linger hard = {1, 0};
            ::setsockopt(static_cast<int>(c->socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            c->socket->abort();
            c->closed = true;
            ++c->step;
            return;
        }
        }
        ++c->step;
    }
}
