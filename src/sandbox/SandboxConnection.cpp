#include "SandboxConnection.h"

#include "SandboxLog.h"
#include "SandboxRouter.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {
constexpr qint64 ReadChunk = 64 * 1024;
}

SandboxConnection::SandboxConnection(QTcpSocket* socket, const SandboxRouter& router, SandboxLog& log,
                                     const SandboxLimits& limits, QObject* parent)
    : QObject(parent), m_socket(socket), m_timer(new QTimer(this)), m_router(router), m_log(log), m_limits(limits)
{
    m_socket->setParent(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &SandboxConnection::timedOut);
    connect(m_socket, &QTcpSocket::readyRead, this, &SandboxConnection::readSome);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &SandboxConnection::writeDone);
    connect(m_socket, &QTcpSocket::disconnected, this, &SandboxConnection::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &SandboxConnection::finish);
    m_timer->start(m_limits.requestTimeoutMs);
    // Bytes may have arrived before the signals were connected.
    QTimer::singleShot(0, this, &SandboxConnection::readSome);
}

SandboxConnection::~SandboxConnection()
{
    m_socket->disconnect(this);
}

void SandboxConnection::readSome()
{
    while (m_phase != Phase::Done && m_socket->bytesAvailable() > 0) {
        const QByteArray chunk = m_socket->read(ReadChunk);
        if (chunk.isEmpty())
            break;
        if (m_phase != Phase::Reading) {
            // A stalled or answered connection only waits for the peer to close.
            m_drained += chunk.size();
            if (m_drained > m_limits.maxDrainBytes) {
                finish();
                return;
            }
            continue;
        }
        switch (m_parser.feed(chunk)) {
        case RequestParser::State::Incomplete:
            break;
        case RequestParser::State::Complete: {
            const SandboxRequest& request = m_parser.request();
            SandboxRequest routed = request;
            routed.localPort = m_socket->localPort();
            answer(m_router.route(routed), routed);
            break;
        }
        case RequestParser::State::Invalid:
            answer(SandboxResponse::page(m_parser.errorStatus(), m_parser.errorReason(), m_parser.errorReason(),
                                         "The sandbox could not read this request."),
                   m_parser.request());
            break;
        }
    }
}

void SandboxConnection::answer(const SandboxResponse& response, const SandboxRequest& request, bool logIt)
{
    if (logIt && response.replacesLogBody) {
        SandboxRequest shown = request;
        shown.body = response.logBody;
        m_log.write(shown, response.logAnswer());
    } else if (logIt) {
        m_log.write(request, response.logAnswer());
    }
    m_timer->stop();
    switch (response.action) {
    case SandboxResponse::Action::Stall:
        m_phase = Phase::Stalling;
        m_timer->start(m_limits.stallLimitMs);
        return;
    case SandboxResponse::Action::Close:
        finish();
        return;
    case SandboxResponse::Action::Answer:
        break;
    }
    const QByteArray bytes = response.toBytes(request.method != "HEAD");
    if (response.delayMs > 0) {
        // Held like a stall, then answered; a peer that closes first ends the connection and drops the answer.
        m_phase = Phase::Delaying;
        m_timer->start(m_limits.stallLimitMs);
        QTimer::singleShot(response.delayMs, this, [this, bytes] {
            if (m_phase == Phase::Delaying)
                write(bytes);
        });
        return;
    }
    write(bytes);
}

void SandboxConnection::write(const QByteArray& bytes)
{
    m_phase = Phase::Writing;
    m_timer->start(m_limits.lingerMs + m_limits.requestTimeoutMs);
    m_socket->write(bytes);
}

void SandboxConnection::writeDone()
{
    if (m_phase != Phase::Writing || m_socket->bytesToWrite() > 0)
        return;
    // Half-close and read on: closing with unread input would reset the
    // connection and could destroy the answer before the peer reads it.
    m_phase = Phase::Draining;
    ::shutdown(static_cast<int>(m_socket->socketDescriptor()), SHUT_WR);
    m_timer->start(m_limits.lingerMs);
    readSome();
}

void SandboxConnection::timedOut()
{
    if (m_phase == Phase::Reading) {
        // A connection that never sent a byte (a port probe) is not a request worth a log line.
        answer(SandboxResponse::page(408, "Request Timeout", "Request Timeout", "The request did not arrive in time."),
               m_parser.request(), m_parser.hasReceived());
        return;
    }
    finish();
}

void SandboxConnection::finish()
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_timer->stop();
    m_socket->disconnect(this);
    m_socket->abort();
    emit finished();
    deleteLater();
}
