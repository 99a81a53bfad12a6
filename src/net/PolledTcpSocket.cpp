#include "net/PolledTcpSocket.h"

#include <QCoreApplication>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

// One epoll set per thread, watched by one read notifier of the thread's event
// loop. Connections register under a token rather than a pointer: an event
// already fetched for a connection that has closed since finds no one.
class SocketPoller : public QObject
{
public:
    static SocketPoller* forThisThread()
    {
        thread_local QPointer<SocketPoller> poller;
        if (!poller) {
            // Out of descriptors, say: the next connection tries again.
            const int fd = ::epoll_create1(EPOLL_CLOEXEC);
            if (fd < 0)
                return nullptr;
            QCoreApplication* app = QCoreApplication::instance();
            const bool appThread = app && app->thread() == QThread::currentThread();
            poller = new SocketPoller(fd, appThread ? app : nullptr);
            // Other threads drop theirs when they end.
            if (!appThread)
                connect(QThread::currentThread(), &QThread::finished, poller.data(), &QObject::deleteLater);
        }
        return poller;
    }

    ~SocketPoller() override { ::close(m_epoll); }

    // Puts the socket's descriptor into the set, changes what is watched, or (no events) takes it out.
    bool watch(PolledTcpSocket* socket, quint32 events)
    {
        if (socket->m_token == 0) {
            socket->m_token = m_nextToken++;
            m_sockets.insert(socket->m_token, socket);
        }
        epoll_event ev{};
        ev.events = events;
        ev.data.u64 = socket->m_token;
        const int op = socket->m_watched == 0 ? EPOLL_CTL_ADD : events == 0 ? EPOLL_CTL_DEL : EPOLL_CTL_MOD;
        if (::epoll_ctl(m_epoll, op, socket->m_fd, &ev) != 0)
            return false;
        if (events & EPOLLOUT && socket->m_state == QAbstractSocket::ConnectingState && !m_deadlines.isActive())
            m_deadlines.start();
        return true;
    }

    // Called before the descriptor is closed. Closing it is not enough: the set watches the open
    // file, not the number, and a copy of the descriptor elsewhere (a child process's, say) would
    // keep it watched and reported under a number that may already name another socket.
    void forget(PolledTcpSocket* socket)
    {
        if (socket->m_watched != 0) {
            epoll_event ev{};
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket->m_fd, &ev);
        }
        m_sockets.remove(socket->m_token);
        socket->m_token = 0;
    }

    // Bytes queued while events are handled are mostly sent by a flush before the handling
    // ends; watching for writability is decided after it, which saves two changes of the set.
    bool deferWatch(PolledTcpSocket* socket)
    {
        if (m_depth == 0)
            return false;
        m_unsettled.append(socket->m_token);
        return true;
    }

private:
    SocketPoller(int epoll, QObject* parent) : QObject(parent), m_epoll(epoll)
    {
        auto* notifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, &SocketPoller::dispatch);
        m_deadlines.setInterval(1000);
        connect(&m_deadlines, &QTimer::timeout, this, &SocketPoller::checkDeadlines);
    }

    void dispatch()
    {
        // One batch per turn of the event loop: what is left is reported again at once, and the
        // window's own events get their turn in between.
        epoll_event events[64];
        const int n = ::epoll_wait(m_epoll, events, 64, 0);
        // A handler may run a local event loop, which dispatches again from within: each level
        // settles what is deferred so far, and the outer one goes on deferring after it.
        ++m_depth;
        for (int i = 0; i < n; ++i) {
            if (PolledTcpSocket* socket = m_sockets.value(events[i].data.u64))
                socket->handleEvents(events[i].events);
        }
        const QList<quint64> unsettled = std::exchange(m_unsettled, {});
        for (const quint64 token : unsettled) {
            if (PolledTcpSocket* socket = m_sockets.value(token))
                socket->watch(socket->wanted());
        }
        --m_depth;
    }

    void checkDeadlines()
    {
        QList<QPointer<PolledTcpSocket>> late;
        bool waiting = false;
        for (PolledTcpSocket* socket : qAsConst(m_sockets)) {
            if (socket->connecting(socket->m_connectTimeoutMs))
                late << socket;
            else if (socket->m_state == QAbstractSocket::ConnectingState)
                waiting = true;
        }
        for (const QPointer<PolledTcpSocket>& socket : qAsConst(late)) {
            if (socket)
                socket->connectTimedOut();
        }
        if (!waiting)
            m_deadlines.stop();
    }

    int m_epoll;
    quint64 m_nextToken = 1;
    QHash<quint64, PolledTcpSocket*> m_sockets;
    int m_depth = 0; // dispatches running, nested ones included
    QList<quint64> m_unsettled; // sockets whose watched events are decided after the handling
    QTimer m_deadlines; // runs while connection attempts wait
};

namespace {

constexpr qint64 ReadChunk = 64 * 1024;

// How Qt's sockets name the errno of a failed connection attempt.
QAbstractSocket::SocketError connectError(int errnoValue)
{
    switch (errnoValue) {
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EADDRINUSE:
        return QAbstractSocket::NetworkError;
    case EACCES:
    case EPERM:
        return QAbstractSocket::SocketAccessError;
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
        return QAbstractSocket::SocketResourceError;
    default:
        return QAbstractSocket::ConnectionRefusedError;
    }
}

QAbstractSocket::SocketError bindError(int errnoValue)
{
    switch (errnoValue) {
    case EADDRINUSE:
        return QAbstractSocket::AddressInUseError;
    case EACCES:
        return QAbstractSocket::SocketAccessError;
    case EINVAL:
        return QAbstractSocket::UnsupportedSocketOperationError;
    default:
        return QAbstractSocket::SocketAddressNotAvailableError;
    }
}

// The socket address of `address` for a socket of `family`; an IPv4 address
// reaches an IPv6 socket in its mapped form.
socklen_t socketAddress(const QHostAddress& address, quint16 port, int family, sockaddr_storage& out)
{
    std::memset(&out, 0, sizeof out);
    if (family == AF_INET6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&out);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        const QHostAddress v6 = address.protocol() == QAbstractSocket::IPv4Protocol
                                    ? QHostAddress(QStringLiteral("::ffff:") + address.toString())
                                    : address;
        const Q_IPV6ADDR bytes = v6.toIPv6Address();
        std::memcpy(&a->sin6_addr, &bytes, sizeof bytes);
        a->sin6_scope_id = v6.scopeId().toUInt();
        return sizeof(sockaddr_in6);
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&out);
    a->sin_family = AF_INET;
    a->sin_port = htons(port);
    a->sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof(sockaddr_in);
}

} // namespace

PolledTcpSocket::PolledTcpSocket(QObject* parent) : StreamSocket(parent) {}

PolledTcpSocket::~PolledTcpSocket()
{
    closeSocket();
}

bool PolledTcpSocket::openSocket(int family)
{
    m_fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        setError(errno == EACCES ? QAbstractSocket::SocketAccessError : QAbstractSocket::SocketResourceError, errno);
        return false;
    }
    m_family = family;
    return true;
}

bool PolledTcpSocket::bind(const QHostAddress& local)
{
    abort();
    const int family = local.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
    if (!openSocket(family))
        return false;
    sockaddr_storage address;
    const socklen_t length = socketAddress(local, 0, family, address);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        const int e = errno;
        closeSocket();
        setError(bindError(e), e);
        return false;
    }
    m_state = QAbstractSocket::BoundState;
    return true;
}

void PolledTcpSocket::connectToHost(const QHostAddress& address, quint16 port)
{
    const bool bound = m_state == QAbstractSocket::BoundState && m_fd >= 0;
    if (!bound)
        abort();
    m_poller = SocketPoller::forThisThread();
    const int family = address.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
    if (bound && family != m_family) {
        // The kernel would take an IPv6 address as IPv4 bytes (and connect to 0.0.0.0), or an
        // IPv4 one in its mapped form from an address that cannot reach it: refused, plainly.
        closeSocket();
        m_error = QAbstractSocket::UnsupportedSocketOperationError;
        m_errorString = m_family == AF_INET ? QStringLiteral("The local address is IPv4, the peer's IPv6")
                                            : QStringLiteral("The local address is IPv6, the peer's IPv4");
        emit errorOccurred(m_error);
        return;
    }
    if (!m_poller || (!bound && !openSocket(family))) {
        if (!m_poller)
            setError(QAbstractSocket::SocketResourceError, errno);
        closeSocket();
        emit errorOccurred(m_error);
        return;
    }
    sockaddr_storage target;
    const socklen_t length = socketAddress(address, port, m_family, target);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&target), length) != 0 && errno != EINPROGRESS &&
        errno != EINTR) {
        // Refused at once: reported from within the call, as Qt's socket does.
        failAndClose(connectError(errno), errno);
        return;
    }
    m_state = QAbstractSocket::ConnectingState;
    m_connectClock.start();
    watch(EPOLLOUT);
}

quint32 PolledTcpSocket::wanted() const
{
    if (m_state == QAbstractSocket::ConnectingState)
        return EPOLLOUT;
    if (m_state != QAbstractSocket::ConnectedState)
        return 0;
    quint32 events = 0;
    if (m_readBufferSize <= 0 || bytesAvailable() < m_readBufferSize)
        events |= EPOLLIN;
    if (bytesToWrite() > 0)
        events |= EPOLLOUT;
    return events;
}

void PolledTcpSocket::watch(quint32 events)
{
    if (events == m_watched || !m_poller || m_fd < 0)
        return;
    if (!m_poller->watch(this, events)) {
        failAndClose(QAbstractSocket::SocketResourceError, errno);
        return;
    }
    m_watched = events;
}

void PolledTcpSocket::handleEvents(quint32 events)
{
    const quint64 generation = m_generation;
    if (m_state == QAbstractSocket::ConnectingState) {
        if (!(events & (EPOLLOUT | EPOLLERR | EPOLLHUP)))
            return;
        int result = 0;
        socklen_t length = sizeof result;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
            result = errno;
        if (result != 0) {
            failAndClose(connectError(result), result);
            return;
        }
        m_state = QAbstractSocket::ConnectedState;
        watch(wanted());
        if (m_generation == generation)
            emit connected();
        return;
    }
    if (m_state != QAbstractSocket::ConnectedState)
        return;
    const QPointer<PolledTcpSocket> self(this);
    if (events & EPOLLOUT && bytesToWrite() > 0) {
        writeToSocket();
        if (!self || m_generation != generation || m_state != QAbstractSocket::ConnectedState)
            return;
    }
    if (events & (EPOLLIN | EPOLLHUP | EPOLLERR))
        readFromSocket();
}

void PolledTcpSocket::connectTimedOut()
{
    closeSocket();
    setError(QAbstractSocket::SocketTimeoutError, ETIMEDOUT);
    emit errorOccurred(m_error);
}

void PolledTcpSocket::readFromSocket(bool lookForEnd)
{
    const qint64 room = m_readBufferSize > 0 ? std::min(ReadChunk, m_readBufferSize - bytesAvailable()) : ReadChunk;
    if (room <= 0) {
        // Full: nothing is read until the reader has made room (read() watches again).
        watch(0);
        return;
    }
    if (m_inPos > 0 && m_inPos == m_in.size()) {
        m_in.resize(0);
        m_inPos = 0;
    }
    static thread_local char chunk[ReadChunk];
    const ssize_t n = ::read(m_fd, chunk, static_cast<size_t>(room));
    if (n > 0) {
        m_in.append(chunk, n);
        const quint64 generation = m_generation;
        const QPointer<PolledTcpSocket> self(this);
        emit readyRead();
        // A server that answers and closes sends both at once: when the reader left the connection
        // open and took less than a full read, its end is very likely there already.
        if (lookForEnd && self && m_generation == generation && m_state == QAbstractSocket::ConnectedState &&
            n < room && bytesAvailable() == 0)
            readFromSocket(false);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    // The end of the stream, or a reset: both are the peer's close to Qt's sockets too.
    failAndClose(QAbstractSocket::RemoteHostClosedError, n == 0 ? 0 : errno);
}

bool PolledTcpSocket::writeToSocket()
{
    const ssize_t n = ::send(m_fd, m_out.constData() + m_outPos, static_cast<size_t>(bytesToWrite()), MSG_NOSIGNAL);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            watch(wanted());
            return false;
        }
        failAndClose(QAbstractSocket::RemoteHostClosedError, errno);
        return false;
    }
    m_outPos += n;
    if (m_outPos == m_out.size()) {
        m_out.resize(0);
        m_outPos = 0;
    }
    watch(wanted());
    if (n > 0 && !m_emittingBytesWritten && m_state == QAbstractSocket::ConnectedState) {
        const QPointer<PolledTcpSocket> self(this);
        m_emittingBytesWritten = true;
        emit bytesWritten(n);
        if (self)
            m_emittingBytesWritten = false;
    }
    return n > 0;
}

qint64 PolledTcpSocket::write(const char* data, qint64 len)
{
    if (m_state != QAbstractSocket::ConnectedState && m_state != QAbstractSocket::ConnectingState)
        return -1;
    m_out.append(data, len);
    if (m_state == QAbstractSocket::ConnectedState && !(m_poller && m_poller->deferWatch(this)))
        watch(wanted());
    return len;
}

bool PolledTcpSocket::flush()
{
    if (m_state != QAbstractSocket::ConnectedState || bytesToWrite() == 0)
        return false;
    return writeToSocket();
}

qint64 PolledTcpSocket::read(char* data, qint64 maxLen)
{
    const qint64 n = std::min(maxLen, bytesAvailable());
    if (n <= 0)
        return 0;
    std::memcpy(data, m_in.constData() + m_inPos, static_cast<size_t>(n));
    m_inPos += n;
    if (m_inPos == m_in.size()) {
        m_in.resize(0);
        m_inPos = 0;
    }
    if (!(m_watched & EPOLLIN))
        watch(wanted());
    return n;
}

QByteArray PolledTcpSocket::readAll()
{
    QByteArray out = m_in.mid(m_inPos);
    m_in.resize(0);
    m_inPos = 0;
    if (!(m_watched & EPOLLIN))
        watch(wanted());
    return out;
}

void PolledTcpSocket::abort()
{
    closeSocket();
    m_in.resize(0);
    m_inPos = 0;
    m_out.resize(0);
    m_outPos = 0;
}

void PolledTcpSocket::closeSocket()
{
    ++m_generation;
    if (m_fd >= 0) {
        if (m_poller && m_token != 0)
            m_poller->forget(this);
        ::close(m_fd);
        m_fd = -1;
    }
    m_token = 0;
    m_watched = 0;
    m_state = QAbstractSocket::UnconnectedState;
}

void PolledTcpSocket::setError(QAbstractSocket::SocketError error, int errnoValue)
{
    m_error = error;
    m_errorString = error == QAbstractSocket::RemoteHostClosedError
                        ? QStringLiteral("The remote host closed the connection")
                        : QString::fromLocal8Bit(std::strerror(errnoValue));
}

void PolledTcpSocket::failAndClose(QAbstractSocket::SocketError error, int errnoValue)
{
    const bool wasConnected = m_state == QAbstractSocket::ConnectedState;
    closeSocket();
    setError(error, errnoValue);
    const quint64 generation = m_generation;
    const QPointer<PolledTcpSocket> self(this);
    emit errorOccurred(error);
    if (self && wasConnected && m_generation == generation)
        emit disconnected();
}
