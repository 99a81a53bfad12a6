#include "net/THttpCli.h"

#include "net/EHttpException.h"
#include "net/PolledTcpSocket.h"
#include "net/SocketErrors.h"
#include "net/SplitHttpUrl.h"
#include "net/StreamSocket.h"
#include "net/TlsStreamSocket.h"

#include <QEventLoop>
#include <QHash>
#include <QHostInfo>
#include <QIODevice>
#include <QPointer>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

const char* const DayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The date of If-Modified-Since, in English whatever the locale, and without a
// time-zone conversion: the stored value is sent as it is.
QString httpDate(const QDateTime& when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d", DayNames[d.dayOfWeek() - 1], d.day(),
                             MonthNames[d.month() - 1], d.year(), t.hour(), t.minute(), t.second());
}

QString basicAuth(const QString& user, const QString& password)
{
    return QString::fromLatin1((user + QLatin1Char(':') + password).toUtf8().toBase64());
}

// A target's directory: up to and including its last "/" or ":" before any "?".
QString targetDirectory(const QString& target)
{
    const int query = target.indexOf(QLatin1Char('?'));
    const QString scope = query < 0 ? target : target.left(query);
    const int cut = std::max(scope.lastIndexOf(QLatin1Char('/')), scope.lastIndexOf(QLatin1Char(':')));
    return target.left(cut + 1);
}

QList<QSslCertificate>& extraCas()
{
    static QList<QSslCertificate> certificates;
    return certificates;
}

// The last session ticket a verified connection received, per host name and port: the next connection
// to the same name and port offers it and may skip the full handshake. Never offered to another name;
// a server that refuses it makes a full handshake, verified as always. Bounded, oldest dropped first.
class TlsSessionCache
{
public:
    static constexpr int Capacity = 256;

    TlsStreamSocket::Session find(const QString& key) const { return m_tickets.value(key); }
    void store(const QString& key, const TlsStreamSocket::Session& ticket)
    {
        if (!ticket)
            return;
        if (m_tickets.contains(key)) {
            m_order.removeOne(key);
        } else if (m_tickets.size() >= Capacity) {
            m_tickets.remove(m_order.takeFirst());
        }
        m_tickets.insert(key, ticket);
        m_order.append(key);
    }
    void clear()
    {
        m_tickets.clear();
        m_order.clear();
    }
    int size() const { return static_cast<int>(m_tickets.size()); }

private:
    QHash<QString, TlsStreamSocket::Session> m_tickets;
    QList<QString> m_order; // least recently stored first
};

TlsSessionCache& tlsSessions()
{
    // Never destroyed: freeing its sessions at exit could come after OpenSSL has shut down.
    static auto* cache = new TlsSessionCache;
    return *cache;
}

QString defaultPort(bool tls)
{
    return tls ? QStringLiteral("443") : QStringLiteral("80");
}

// A blank or control character in the request line would break it (every
// server refuses "GET /q=a b HTTP/1.0"), so those go out percent-encoded;
// everything else is sent as it stands.
QString requestTarget(const QString& target)
{
    const auto unsafe = [](QChar ch) { return ch.unicode() <= 0x20 || ch.unicode() == 0x7F; };
    if (std::none_of(target.cbegin(), target.cend(), unsafe))
        return target; // the usual case: shared, not copied
    QString out;
    out.reserve(target.size());
    for (const QChar ch : target) {
        const char16_t c = ch.unicode();
        if (c <= 0x20 || c == 0x7F)
            out += QString::asprintf("%%%02X", unsigned(c));
        else
            out += ch;
    }
    return out;
}

// Scheme, host and port of an address, the way credentials are kept to where they were given.
QString originOf(const QString& address)
{
    QString proto, user, password, host, port, path;
    SplitHttpUrl(address, proto, user, password, host, port, path);
    if (proto.isEmpty())
        proto = QStringLiteral("http");
    if (port.isEmpty())
        port = defaultPort(proto == QLatin1String("https"));
    return proto + QLatin1String("://") + host.toLower() + QLatin1Char(':') + port;
}

QString withoutFragment(const QString& address)
{
    const int hash = address.indexOf(QLatin1Char('#'));
    return hash < 0 ? address : address.left(hash);
}

} // namespace

THttpCli::THttpCli(QObject* parent) : QObject(parent), m_parser(*this) {}

void THttpCli::setExtraCaCertificates(const QList<QSslCertificate>& certificates)
{
    extraCas() = certificates;
    TlsStreamSocket::setExtraAuthorities(certificates);
    // A session was verified against the trust of its time: with other authorities, none is resumed.
    tlsSessions().clear();
}

int THttpCli::tlsSessionCount()
{
    return tlsSessions().size();
}

void THttpCli::clearTlsSessions()
{
    tlsSessions().clear();
}

QString THttpCli::tlsSessionKey() const
{
    const bool tunnel = !m_proxy.isEmpty();
    return (tunnel ? m_tunnelHost : m_connectHost).toLower() + QLatin1Char(':') + (tunnel ? m_tunnelPort : m_port);
}

void THttpCli::keepTlsSession()
{
    auto* tls = qobject_cast<TlsStreamSocket*>(m_socket);
    // Only a session whose handshake passed verification (encrypted() came) is kept.
    if (!tls || !m_connected || !tls->isEncrypted())
        return;
    tlsSessions().store(tlsSessionKey(), tls->session());
}

QList<QSslCertificate> THttpCli::extraCaCertificates()
{
    return extraCas();
}

THttpCli::~THttpCli()
{
    // A lookup under way reports to this object as its context, so it is dropped with it.
    // Detach first: a socket destroyed while connected would report its close to a half-destroyed client.
    dropSocket();
}

bool THttpCli::stale(quint64 serial) const
{
    return serial != m_serial || m_phase == Idle || m_phase == Aborting;
}

void THttpCli::setPhase(HttpPhase phase)
{
    m_phase = phase;
    emit OnStateChange(this);
}

// ---------------------------------------------------------------- starting

void THttpCli::BeginGet()
{
    startRequest(RqGet);
}

void THttpCli::BeginPost()
{
    startRequest(RqPost);
}

void THttpCli::RunGet()
{
    BeginGet();
    QPointer<THttpCli> self(this);
    if (m_phase != Idle) {
        QEventLoop loop;
        connect(this, &THttpCli::OnStateChange, &loop, [this, &loop] {
            if (m_phase == Idle)
                loop.quit();
        });
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec(m_multiThreaded ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
    }
    if (self && m_parser.code >= 400)
        throw EHttpException(m_parser.text, m_parser.code);
}

void THttpCli::startRequest(int kind)
{
    if (m_phase != Idle)
        throw EHttpException(QStringLiteral("HTTP component is busy"), EHttpException::ComponentBusy);
    if (kind == RqPost && !m_requestBody)
        throw EHttpException(QStringLiteral("HTTP component has nothing to post"), EHttpException::NothingToPost);

    // The connection of the last answer may still be open (Content-Length 0);
    // its late close must not reach this request.
    dropSocket();
    ++m_serial;
    const quint64 serial = m_serial;
    m_closeAction = CloseAction::Normal;
    m_rqType = kind;
    setPhase(Starting);
    if (stale(serial))
        return;

    m_parser.reset();
    m_requestDoneError = 0;
    m_receivedBytes = 0;
    m_sentBytes = 0;
    m_bodyChunks = 0;
    m_redirects = 0;
    m_locationSeen = false;
    m_allowSending = false;
    m_closeAfterReceive = false;
    m_failed = false;
    m_lastSocketError = 0;
    m_location = m_url;
    startDeadlines();

    QString user, password, host, port, path;
    SplitHttpUrl(m_url, m_proto, user, password, host, port, path);
    if (!user.isEmpty())
        m_username = user;
    if (!password.isEmpty())
        m_password = password;
    // Where the credentials belong; without any, nothing to keep (a Location with a login sets it).
    m_origin.clear();
    if (!m_username.isEmpty() || !m_cookie.isEmpty())
        m_origin = (m_proto.isEmpty() ? QStringLiteral("http") : m_proto) + QLatin1String("://") + host.toLower() +
                   QLatin1Char(':') + (port.isEmpty() ? defaultPort(m_proto == QLatin1String("https")) : port);
    m_hostHeader = host;
    m_tls = m_proto == QLatin1String("https");
    m_tunnelHost.clear();
    m_tunnelPort.clear();
    if (m_proxy.isEmpty()) {
        m_target = path;
        m_connectHost = host;
        m_port = port.isEmpty() ? defaultPort(m_tls) : port;
        m_proxyConnectPort.clear();
    } else {
        if (m_tls) {
            // The proxy only carries the bytes: the request inside the tunnel names the path alone.
            m_target = path;
            m_tunnelHost = host;
            m_tunnelPort = port.isEmpty() ? defaultPort(true) : port;
        } else {
            m_target = (m_proto.isEmpty() ? QStringLiteral("http") : m_proto) + QLatin1String("://") + host +
                       (port.isEmpty() ? QString() : QLatin1Char(':') + port) + path;
        }
        QString pProto, pUser, pPassword, pPath;
        SplitHttpUrl(m_proxy, pProto, pUser, pPassword, m_connectHost, m_proxyConnectPort, pPath);
        if (m_proxyConnectPort.isEmpty())
            m_proxyConnectPort = m_proxyPort;
        m_port = m_proxyConnectPort;
    }
    if (m_target.isEmpty())
        m_target = QStringLiteral("/");

    startResolving();
}

void THttpCli::startResolving()
{
    const quint64 serial = m_serial;
    setPhase(Resolving);
    if (stale(serial))
        return;
    // An address in dotted form needs no resolver: it is resolved at once (the connection still
    // opens asynchronously), which saves a turn of the event loop on every request.
    const QHostAddress literal(m_connectHost);
    if (!literal.isNull()) {
        QHostInfo info;
        info.setAddresses({literal});
        resolved(info);
        return;
    }
    m_lookupId = 0;
    lookupHost(m_connectHost);
}

void THttpCli::lookupHost(const QString& name)
{
    const quint64 serial = m_serial;
    const int id = QHostInfo::lookupHost(name, this, [this, serial](const QHostInfo& info) {
        if (serial == m_serial)
            hostLookedUp(info);
    });
    if (m_lookupId == 0)
        m_lookupId = id;
}

void THttpCli::hostLookedUp(const QHostInfo& info)
{
    if (m_lookupId < 0 || m_phase != Resolving)
        return; // cancelled, or an answer for a lookup the request has left behind
    m_lookupId = -1;
    resolved(info);
}

void THttpCli::resolved(const QHostInfo& info)
{
    // Every address is tried in turn until one connects: the IPv4 ones first, then the others,
    // each family in the resolver's order.
    m_addresses.clear();
    m_nextAddress = 0;
    for (const QHostAddress& a : info.addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            m_addresses << a;
    }
    for (const QHostAddress& a : info.addresses()) {
        if (a.protocol() != QAbstractSocket::IPv4Protocol && !a.isNull())
            m_addresses << a;
    }
    if (info.error() != QHostInfo::NoError || m_addresses.isEmpty()) {
        const int code =
            info.error() != QHostInfo::NoError ? SocketErrors::codeFor(info.error()) : int(SocketErrors::NoData);
        m_requestDoneError = code;
        m_parser.code = 404;
        m_parser.text = QStringLiteral("can't resolve hostname to IP address");
        closeHandling(code);
        return;
    }
    const quint64 serial = m_serial;
    setPhase(Resolved);
    if (stale(serial))
        return;
    m_connectClock.start();
    connectTo(m_addresses.at(m_nextAddress++));
}

// After a failed attempt: the next address, while the connect time-out lasts.
bool THttpCli::tryNextAddress()
{
    if (m_nextAddress >= m_addresses.size() || m_connectClock.hasExpired(PolledTcpSocket::ConnectTimeoutMs))
        return false;
    dropSocket();
    const quint64 serial = m_serial;
    // From the loop, not from within the failed socket's notification.
    QMetaObject::invokeMethod(
        this,
        [this, serial] {
            if (!stale(serial) && m_phase == Resolved && !m_socket && m_nextAddress < m_addresses.size())
                connectTo(m_addresses.at(m_nextAddress++));
        },
        Qt::QueuedConnection);
    return true;
}

void THttpCli::connectTo(const QHostAddress& address)
{
    createSocket();
    // The connect time-out covers all addresses: each attempt gets an even share of what is left.
    const qint64 left = PolledTcpSocket::ConnectTimeoutMs - m_connectClock.elapsed();
    const qint64 attempts = m_addresses.size() - m_nextAddress + 1;
    m_socket->setConnectTimeout(static_cast<int>(std::max<qint64>(1000, left / std::max<qint64>(1, attempts))));
    bool portOk = false;
    const uint port = m_port.toUInt(&portOk);
    int failure = 0;
    if (!portOk || port == 0 || port > 65535) {
        failure = SocketErrors::AddressNotAvailable;
    } else if (!m_localAddr.isEmpty() && m_localAddr != QLatin1String("0.0.0.0")) {
        const QHostAddress local(m_localAddr);
        // A failed bind is reported here, as the connect call failing, not as a connection error.
        const QSignalBlocker quiet(m_socket);
        if (local.isNull())
            failure = SocketErrors::AddressNotAvailable;
        else if (!m_socket->bind(local))
            failure = SocketErrors::codeFor(m_socket->error());
    }
    if (failure != 0) {
        m_requestDoneError = failure;
        m_parser.code = 404;
        m_parser.text =
            QStringLiteral("can't connect: %1 (Error #%2)").arg(SocketErrors::SocketErrorDesc(failure)).arg(failure);
        dropSocket();
        closeHandling(failure);
        return;
    }
    m_socket->connectToHost(address, static_cast<quint16>(port));
}

// ---------------------------------------------------------------- the socket

void THttpCli::createSocket()
{
    dropSocket();
    // Plain TCP for "http", a TLS socket (still unencrypted while it connects) for "https"; a
    // closed socket of the same kind is reused: it saves work on every request.
    StreamSocket*& spare = spareFor(m_tls);
    StreamSocket* socket = spare;
    spare = nullptr;
    if (!socket) {
        if (m_tls)
            socket = new TlsStreamSocket(this);
        else
            socket = new PolledTcpSocket(this);
        // What the kernel holds stays there until the parser takes it: a fast
        // server must not fill our memory ahead of the header limit.
        socket->setReadBufferSize(ReadBufferBytes);
    }
    m_socket = socket;
    m_connected = false;
    m_lastSocketError = 0;
    m_setup = Setup::None;
    m_tunnelAnswer.clear();
    if (auto* tls = qobject_cast<TlsStreamSocket*>(socket)) {
        connect(tls, &TlsStreamSocket::encrypted, this, &THttpCli::sessionStarted);
        // TLS 1.3 sends its tickets after the handshake.
        connect(tls, &TlsStreamSocket::sessionReceived, this, &THttpCli::keepTlsSession);
    }
    connect(socket, &StreamSocket::connected, this, &THttpCli::socketConnected);
    connect(socket, &StreamSocket::readyRead, this, &THttpCli::receiveAvailable);
    connect(socket, &StreamSocket::bytesWritten, this, &THttpCli::socketBytesWritten);
    connect(socket, &StreamSocket::disconnected, this, &THttpCli::socketDisconnected);
    connect(socket, &StreamSocket::errorOccurred, this, &THttpCli::socketError);
}

void THttpCli::dropSocket()
{
    if (!m_socket)
        return;
    StreamSocket* socket = m_socket;
    m_socket = nullptr;
    m_connected = false;
    // Detached before the abort, so neither its close nor anything late reaches a request.
    socket->disconnect(this);
    socket->abort();
    m_setup = Setup::None;
    StreamSocket*& spare = spareFor(qobject_cast<TlsStreamSocket*>(socket) != nullptr);
    if (!spare)
        spare = socket;
    else
        socket->deleteLater(); // we may be inside one of its notifications
}

void THttpCli::closeConnection()
{
    const bool wasConnected = m_connected;
    dropSocket();
    if (wasConnected)
        connectionClosed(0);
}

void THttpCli::socketConnected()
{
    noteActivity();
    if (!m_tls) {
        sessionStarted();
        return;
    }
    // The session begins only once TLS is up; until then a failure is a connection failure.
    if (!m_proxy.isEmpty())
        sendTunnelRequest();
    else
        startTls();
}

void THttpCli::sendTunnelRequest()
{
    m_setup = Setup::Tunnel;
    const QString authority = m_tunnelHost + QLatin1Char(':') + m_tunnelPort;
    QByteArray request = "CONNECT " + authority.toUtf8() + " HTTP/1.0\r\nHost: " + authority.toUtf8() + "\r\n";
    if (!m_proxyUsername.isEmpty())
        request += "Proxy-Authorization: Basic " + basicAuth(m_proxyUsername, m_proxyPassword).toLatin1() + "\r\n";
    request += "\r\n";
    m_socket->write(request);
    m_socket->flush();
}

void THttpCli::receiveTunnelAnswer()
{
    m_tunnelAnswer += m_socket->readAll();
    const int end = m_tunnelAnswer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (m_tunnelAnswer.size() > MaxTunnelAnswer)
            tlsFailed(QStringLiteral("Proxy answer to CONNECT too long"));
        return;
    }
    const QByteArray statusLine = m_tunnelAnswer.left(m_tunnelAnswer.indexOf("\r\n"));
    // "HTTP/1.x 200 Connection established"
    const QList<QByteArray> parts = statusLine.split(' ');
    const int code = parts.size() >= 2 && statusLine.startsWith("HTTP/") ? parts.at(1).toInt() : 0;
    if (code != 200) {
        const int space = statusLine.indexOf(' ', statusLine.indexOf(' ') + 1);
        QString text = space < 0 ? QString() : QString::fromLatin1(statusLine.mid(space + 1)).trimmed();
        if (text.isEmpty())
            text = QStringLiteral("Proxy refused the tunnel");
        m_parser.code = 404;
        m_parser.text = text;
        dropSocket();
        closeHandling(0);
        return;
    }
    // Nothing may follow the answer before our own handshake starts.
    if (m_tunnelAnswer.size() > end + 4) {
        tlsFailed(QStringLiteral("Proxy sent data before the TLS handshake"));
        return;
    }
    m_tunnelAnswer.clear();
    startTls();
}

void THttpCli::startTls()
{
    auto* tls = qobject_cast<TlsStreamSocket*>(m_socket);
    if (!tls)
        return;
    m_setup = Setup::Handshake;
    // The name of the address: sent for SNI and matched against the certificate.
    tls->startClientEncryption(m_proxy.isEmpty() ? m_connectHost : m_tunnelHost,
                               tlsSessions().find(tlsSessionKey()));
}

// A failed handshake (or tunnel) ends the request as a failed connection would.
void THttpCli::tlsFailed(const QString& reason)
{
    const int code = SocketErrors::ConnectionAborted;
    m_lastSocketError = code;
    const quint64 serial = m_serial;
    emit OnSocketError(this, code);
    if (stale(serial) || !m_socket)
        return;
    m_requestDoneError = code;
    m_parser.code = 404;
    m_parser.text = reason;
    dropSocket();
    closeHandling(code);
}

void THttpCli::sessionStarted()
{
    const quint64 serial = m_serial;
    const bool tls = m_setup == Setup::Handshake;
    m_setup = Setup::None;
    m_connected = true;
    if (tls)
        keepTlsSession();
    setPhase(Connected);
    if (stale(serial))
        return;
    emit OnSessionConnected(this);
    if (stale(serial))
        return;
    setPhase(AwaitingHeader);
    if (stale(serial))
        return;
    sendRequestHeader();
    if (stale(serial) || m_rqType != RqPost || !m_socket)
        return;
    emit OnSendBegin(this);
    if (stale(serial))
        return;
    m_allowSending = true;
    pushBody();
}

void THttpCli::socketError()
{
    if (!m_socket)
        return;
    if (m_setup == Setup::Handshake) {
        tlsFailed(QStringLiteral("TLS handshake failed: ") + m_socket->errorString());
        return;
    }
    if (m_setup == Setup::Tunnel && m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        tlsFailed(QStringLiteral("Proxy closed the connection before answering CONNECT"));
        return;
    }
    const int code = SocketErrors::codeFor(m_socket->error());
    m_lastSocketError = code;
    const quint64 serial = m_serial;
    if (code != 0) {
        emit OnSocketError(this, code);
        if (stale(serial) || !m_socket)
            return;
    }
    if (m_connected)
        return; // the close notification follows and carries the code
    // The connection attempt failed.
    if (m_setup == Setup::None && tryNextAddress())
        return;
    m_requestDoneError = code;
    m_parser.code = 404;
    m_parser.text = QStringLiteral("%1 (Error #%2)").arg(SocketErrors::SocketErrorDesc(code)).arg(code);
    dropSocket();
    closeHandling(code);
}

void THttpCli::socketDisconnected()
{
    if (!m_socket)
        return;
    StreamSocket* socket = m_socket;
    // Whatever arrived just before the close still belongs to the answer.
    if (socket->bytesAvailable() > 0)
        receiveAvailable();
    if (m_socket != socket)
        return;
    int error = m_lastSocketError;
    const bool wasConnected = m_connected;
    const auto* tls = qobject_cast<TlsStreamSocket*>(socket);
    if (tls && wasConnected && m_phase == ReceivingBody && m_closeAction == CloseAction::Normal &&
        !tls->closedCleanly() && !(m_parser.length >= 0 && m_receivedBytes >= m_parser.length)) {
        // Over TLS only a goodbye (close_notify) tells a whole body from one cut short, unless the
        // body has the length the header gave. A server that skips the goodbye is common; its body
        // still counts when the length proves it whole, and otherwise the request fails.
        error = SocketErrors::ConnectionAborted;
        m_requestDoneError = error;
        m_failed = true;
        m_parser.code = 404;
        m_parser.text = QStringLiteral("The answer was cut short: the connection closed without TLS close_notify");
    }
    if (m_setup == Setup::Handshake) {
        tlsFailed(QStringLiteral("TLS handshake failed: The remote host closed the connection"));
        return;
    }
    if (m_setup == Setup::Tunnel) {
        tlsFailed(QStringLiteral("Proxy closed the connection before answering CONNECT"));
        return;
    }
    dropSocket();
    if (wasConnected)
        connectionClosed(error);
}

void THttpCli::connectionClosed(int error)
{
    switch (m_closeAction) {
    case CloseAction::Ignore:
        break;
    case CloseAction::Redirect:
        redirectStart();
        break;
    case CloseAction::Normal:
        closeHandling(error);
        break;
    }
}

void THttpCli::socketBytesWritten()
{
    noteActivity();
    if (m_socket && m_socket->bytesToWrite() == 0)
        pushBody();
}

// ---------------------------------------------------------------- sending

void THttpCli::sendRequestHeader()
{
    const quint64 serial = m_serial;
    emit OnRequestHeaderBegin(this);
    if (stale(serial))
        return;

    const bool post = m_rqType == RqPost;
    QString method = post ? QStringLiteral("POST") : QStringLiteral("GET");
    QStringList lines;
    lines.reserve(16);
    lines << method + QLatin1Char(' ') + requestTarget(m_target) + QLatin1String(" HTTP/1.0");
    if (!m_sender.isEmpty())
        lines << QLatin1String("From: ") + m_sender;
    if (!m_accept.isEmpty())
        lines << QLatin1String("Accept: ") + m_accept;
    if (!m_reference.isEmpty())
        lines << QLatin1String("Referer: ") + m_reference;
    if (!m_acceptLanguage.isEmpty())
        lines << QLatin1String("Accept-Language: ") + m_acceptLanguage;
    if (post && !m_contentTypePost.isEmpty())
        lines << QLatin1String("Content-Type: ") + m_contentTypePost;
    if (!m_agent.isEmpty())
        lines << QLatin1String("User-Agent: ") + m_agent;
    lines << QLatin1String("Host: ") + m_hostHeader;
    if (m_noCache)
        lines << QStringLiteral("Pragma: no-cache");
    if (post)
        lines << QLatin1String("Content-Length: ") + QString::number(m_requestBody->size());
    if (m_modifiedSince.isValid())
        lines << QLatin1String("If-Modified-Since: ") + httpDate(m_modifiedSince) + QLatin1String(" GMT");
    // Credentials go only where they were given: after a redirect to another scheme, host or port
    // (https to http included) neither the login nor the cookie is sent.
    const bool credentials =
        m_redirects == 0 || (m_username.isEmpty() && m_cookie.isEmpty()) || originOf(m_location) == m_origin;
    if (!m_username.isEmpty() && credentials)
        lines << QLatin1String("Authorization: Basic ") + basicAuth(m_username, m_password);
    // Inside a tunnel the request goes to the target itself, which must never see the proxy's login.
    if (fullUrlTarget() && !m_proxyUsername.isEmpty())
        lines << QLatin1String("Proxy-Authorization: Basic ") + basicAuth(m_proxyUsername, m_proxyPassword);
    if (!m_cookie.isEmpty() && credentials)
        lines << QLatin1String("Cookie: ") + m_cookie;
    if (!m_contentRangeBegin.isEmpty() || !m_contentRangeEnd.isEmpty()) {
        lines << QLatin1String("Range: bytes=") + m_contentRangeBegin + QLatin1Char('-') + m_contentRangeEnd;
        m_contentRangeBegin.clear();
        m_contentRangeEnd.clear();
    }
    m_acceptRanges.clear();

    emit OnBeforeHeaderSend(this, method, lines);
    if (stale(serial))
        return;
    // Collected as text and encoded once: the line ends keep the lines' encodings apart.
    QString text;
    text.reserve(1024);
    for (QString line : qAsConst(lines)) {
        emit OnCommand(this, line);
        if (stale(serial))
            return;
        text += line;
        text += QLatin1String("\r\n");
    }
    emit OnRequestHeaderEnd(this);
    if (stale(serial))
        return;
    QString blank;
    emit OnCommand(this, blank);
    if (stale(serial))
        return;
    text += blank;
    text += QLatin1String("\r\n");
    // One write for the whole header.
    if (m_socket) {
        m_socket->write(text.toUtf8());
        m_socket->flush(); // now, not on the next turn of the loop
    }
}

void THttpCli::pushBody()
{
    if (!m_allowSending || !m_requestBody || !m_socket)
        return;
    const quint64 serial = m_serial;
    char chunk[SendChunkSize + 1];
    const qint64 n = m_requestBody->read(chunk, SendChunkSize);
    if (n > 0) {
        chunk[n] = 0;
        m_sentBytes += n;
        emit OnSendData(this, chunk, static_cast<int>(n));
        if (stale(serial) || !m_socket)
            return;
        // No flush here: the data-sent notification of this chunk must come from the loop, not from inside this call.
        m_socket->write(chunk, n);
        return;
    }
    m_allowSending = false;
    emit OnSendEnd(this);
}

// ---------------------------------------------------------------- receiving

void THttpCli::receiveAvailable()
{
    StreamSocket* socket = m_socket;
    if (!socket)
        return;
    noteActivity();
    if (m_setup == Setup::Tunnel) {
        receiveTunnelAnswer();
        return;
    }
    if (m_setup == Setup::Handshake)
        return; // nothing is readable before the session
    const bool taking = m_rqType != RqNone && m_closeAction != CloseAction::Ignore &&
                        (m_phase == AwaitingHeader || m_phase == ReceivingBody) && !m_parser.stopped();
    if (!taking) {
        socket->readAll(); // late bytes of an answer already finished
        return;
    }
    const quint64 serial = m_serial;
    try {
        while (m_socket == socket && serial == m_serial && !m_parser.stopped() && socket->bytesAvailable() > 0) {
            int free = 0;
            char* space = m_parser.receiveSpace(free);
            const qint64 n = socket->read(space, free);
            if (n <= 0)
                break;
            m_parser.received(static_cast<int>(n));
            if (m_closeAfterReceive && serial == m_serial) {
                m_closeAfterReceive = false;
                closeConnection();
                return;
            }
        }
    } catch (const EHttpException& e) {
        if (serial == m_serial && m_phase != Idle && m_phase != Aborting)
            failRequest(e.message());
    }
    if (m_socket == socket && serial == m_serial && m_parser.stopped())
        socket->readAll();
}

// A broken answer ends the request as a failure instead of leaving it hanging.
void THttpCli::failRequest(const QString& text)
{
    m_failed = true;
    m_parser.stop();
    m_parser.abandonHeader();
    m_parser.code = 404;
    m_parser.text = text;
    m_locationSeen = false;
    m_closeAction = CloseAction::Normal;
    if (m_connected)
        closeConnection();
    else
        becomeReady();
}

void THttpCli::headerBegin()
{
    emit OnHeaderBegin(this);
}

void THttpCli::headerData()
{
    emit OnHeaderData(this);
}

void THttpCli::contentRange(const QString& begin, const QString& end)
{
    m_contentRangeBegin = begin;
    m_contentRangeEnd = end;
}

void THttpCli::acceptRanges(const QString& value)
{
    m_acceptRanges = value;
}

void THttpCli::cookie(const QString& value)
{
    bool accept = true;
    emit OnCookie(this, value, accept);
}

void THttpCli::htmlWithoutHeader()
{
    const quint64 serial = m_serial;
    setPhase(ReceivingBody);
    if (stale(serial))
        return;
    emit OnHeaderEnd(this);
}

HttpResponseParser::HeaderEndAction THttpCli::headerEnd()
{
    const quint64 serial = m_serial;
    if (m_locationSeen) {
        emit OnHeaderEnd(this);
        if (serial == m_serial && m_phase != Idle && m_phase != Aborting) {
            m_bodyChunks = 0;
            m_closeAction = CloseAction::Redirect;
            m_closeAfterReceive = true;
        }
        return HttpResponseParser::HeaderEndAction::Stop;
    }
    if (m_parser.length != 0) {
        setPhase(ReceivingBody);
        if (serial != m_serial)
            return HttpResponseParser::HeaderEndAction::Stop;
        emit OnHeaderEnd(this);
        if (serial != m_serial)
            return HttpResponseParser::HeaderEndAction::Stop;
        // An error page is read only as far as it came with the header.
        if (m_parser.code >= 400 && m_phase != Idle && m_phase != Aborting)
            m_closeAfterReceive = true;
        // Even after a cancel from OnHeaderEnd the bytes that came with the header are handed on.
        return HttpResponseParser::HeaderEndAction::Body;
    }
    emit OnHeaderEnd(this);
    if (!stale(serial)) {
        // Ready without waiting for the server to close; its close no longer concerns us.
        m_closeAction = CloseAction::Ignore;
        becomeReady();
    }
    return HttpResponseParser::HeaderEndAction::Stop;
}

void THttpCli::bodyChunk(const char* data, int len)
{
    if (m_bodyChunks == 0)
        emit OnDocBegin(this);
    ++m_bodyChunks;
    m_receivedBytes += len;
    if (m_receiveStream)
        m_receiveStream->write(data, len);
    emit OnDocData(this, data, len);
}

// ---------------------------------------------------------------- redirects

void THttpCli::location(const QString& value)
{
    m_locationSeen = true;
    const bool absolute = value.left(7) == QLatin1String("http://") || value.left(8) == QLatin1String("https://");
    if (value.startsWith(QLatin1Char('/'))) {
        if (!fullUrlTarget()) {
            m_target = value;
        } else {
            QString proto, user, password, host, port, path;
            SplitHttpUrl(m_target, proto, user, password, host, port, path);
            // The port of the current target is kept: dropping it would send the request to another server.
            m_target = (proto.isEmpty() ? QStringLiteral("http") : proto) + QLatin1String("://") + host +
                       (port.isEmpty() ? QString() : QLatin1Char(':') + port) + value;
        }
    } else if (!absolute) {
        m_target = targetDirectory(m_target) + value;
    } else {
        QString proto, user, password, host, port, path;
        SplitHttpUrl(value, proto, user, password, host, port, path);
        // The new address decides between plain TCP and TLS, whatever the last one used.
        m_tls = proto == QLatin1String("https");
        if (m_proxy.isEmpty()) {
            if (!host.isEmpty()) {
                m_connectHost = host;
                m_hostHeader = host;
            }
            m_port = port.isEmpty() ? defaultPort(m_tls) : port;
            m_target = path.isEmpty() ? QStringLiteral("/") : path;
        } else if (m_tls) {
            if (!host.isEmpty())
                m_hostHeader = host;
            m_tunnelHost = m_hostHeader;
            m_tunnelPort = port.isEmpty() ? defaultPort(true) : port;
            m_target = path.isEmpty() ? QStringLiteral("/") : path;
        } else {
            if (!host.isEmpty())
                m_hostHeader = host;
            // A port named in the address stays in the target for the same reason as above.
            m_target = QLatin1String("http://") + m_hostHeader +
                       (port.isEmpty() ? QString() : QLatin1Char(':') + port) +
                       (path.isEmpty() ? QStringLiteral("/") : path);
        }
        if (!user.isEmpty() && !password.isEmpty()) {
            // A login the address gives itself is for that address.
            m_username = user;
            m_password = password;
            m_origin = originOf(value);
        }
    }
    if (absolute) {
        m_location = value;
    } else if (fullUrlTarget()) {
        m_location = m_target;
    } else {
        const QString& port = m_proxy.isEmpty() ? m_port : m_tunnelPort;
        m_location = (m_tls ? QLatin1String("https://") : QLatin1String("http://")) + m_hostHeader +
                     (port == defaultPort(m_tls) ? QString() : QLatin1Char(':') + port) + m_target;
    }
}

void THttpCli::redirectStart()
{
    const quint64 serial = m_serial;
    m_location = withoutFragment(m_location);
    m_target = withoutFragment(m_target);
    m_connected = false;
    m_locationSeen = false;
    m_closeAction = CloseAction::Normal;
    if (m_redirects >= MaxRedirects) {
        m_parser.stop();
        m_parser.code = 404;
        m_parser.text = QStringLiteral("Too many redirects");
        becomeReady();
        return;
    }
    ++m_redirects;
    if (m_rqType == RqPost)
        m_rqType = RqGet; // the body is not sent again
    m_allowSending = false;
    emit OnLocationChange(this);
    if (stale(serial))
        return;
    m_parser.resetForRedirect();
    m_bodyChunks = 0;
    if (!m_proxy.isEmpty())
        m_port = m_proxyConnectPort;
    QMetaObject::invokeMethod(
        this,
        [this, serial] {
            if (!stale(serial))
                startResolving();
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- ending

void THttpCli::closeHandling(int error)
{
    if (error != 0)
        m_requestDoneError = error;
    m_connected = false;
    if (m_phase == Aborting) {
        // The abort makes the client idle itself; a body already begun still gets its end.
        if (m_bodyChunks > 0 && !m_parser.headerInProgress())
            emit OnDocEnd(this);
        return;
    }
    if (m_phase == AwaitingHeader) {
        const quint64 serial = m_serial;
        if (m_parser.headerInProgress()) {
            if (!m_locationSeen) {
                m_parser.code = 404;
                m_parser.text = QStringLiteral("Connection closed before the response header");
            }
            emit OnHeaderEnd(this);
            if (stale(serial))
                return;
            if (m_locationSeen) {
                redirectStart();
                return;
            }
        } else if (!m_failed) {
            // Closed before a single line of the answer came.
            m_parser.code = 404;
            m_parser.text = QStringLiteral("Connection closed before the response header");
        }
        becomeReady();
        return;
    }
    if (m_phase == ReceivingBody) {
        const quint64 serial = m_serial;
        m_parser.flush();
        if (stale(serial))
            return;
    }
    if (m_bodyChunks > 0) {
        const quint64 serial = m_serial;
        emit OnDocEnd(this);
        if (stale(serial))
            return;
    }
    becomeReady();
}

void THttpCli::becomeReady()
{
    stopDeadlines();
    const quint64 serial = m_serial;
    // One posted notification makes the client idle and then reports the request done: both still
    // come from a later turn of the loop than the one that ended the request, in their order.
    QMetaObject::invokeMethod(
        this,
        [this, serial] {
            if (serial != m_serial || m_phase == Idle)
                return;
            const int kind = m_rqType;
            const int error = m_requestDoneError;
            const QPointer<THttpCli> self(this);
            setPhase(Idle);
            if (self)
                emit OnRequestDone(this, kind, error);
        },
        Qt::QueuedConnection);
}

void THttpCli::setIdle()
{
    stopDeadlines();
    if (m_phase == Idle)
        return;
    const int kind = m_rqType;
    const int error = m_requestDoneError;
    setPhase(Idle);
    QMetaObject::invokeMethod(
        this, [this, kind, error] { emit OnRequestDone(this, kind, error); }, Qt::QueuedConnection);
}

void THttpCli::CancelRequest()
{
    if (m_phase == Idle) {
        if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState)
            dropSocket();
        return;
    }
    abortRequest(404, QStringLiteral("Connection aborted on request"), ErrAborted);
}

// ---------------------------------------------------------------- deadlines

void THttpCli::setIdleTimeout(int seconds)
{
    m_idleTimeout = std::max(0, seconds);
}

void THttpCli::setTotalTimeout(int seconds)
{
    m_totalTimeout = std::max(0, seconds);
}

void THttpCli::startDeadlines()
{
    m_deadlinesOn = m_idleTimeout > 0 || m_totalTimeout > 0;
    if (!m_deadlinesOn) {
        stopDeadlines();
        return;
    }
    if (!m_deadline) {
        m_deadline = new QTimer(this);
        m_deadline->setSingleShot(true);
        connect(m_deadline, &QTimer::timeout, this, &THttpCli::checkDeadlines);
    }
    m_requestClock.start();
    m_lastActivityMs = 0;
    armDeadline();
}

void THttpCli::stopDeadlines()
{
    m_deadlinesOn = false;
    if (m_deadline)
        m_deadline->stop();
}

void THttpCli::armDeadline()
{
    // Activity only moves a time stamp; the timer is set again when it fires, not on every byte.
    const qint64 now = m_requestClock.elapsed();
    qint64 wait = std::numeric_limits<qint64>::max();
    if (m_idleTimeout > 0)
        wait = m_lastActivityMs + m_idleTimeout * 1000LL - now;
    if (m_totalTimeout > 0)
        wait = std::min(wait, m_totalTimeout * 1000LL - now);
    m_deadline->start(static_cast<int>(std::clamp<qint64>(wait, 0, std::numeric_limits<int>::max())));
}

void THttpCli::checkDeadlines()
{
    if (!m_deadlinesOn || m_phase == Idle || m_phase == Aborting)
        return;
    const qint64 now = m_requestClock.elapsed();
    if (m_totalTimeout > 0 && now >= m_totalTimeout * 1000LL) {
        abortRequest(408, QStringLiteral("Request Timeout (no answer within %1 s)").arg(m_totalTimeout),
                     SocketErrors::TimedOut);
        return;
    }
    if (m_idleTimeout > 0 && now - m_lastActivityMs >= m_idleTimeout * 1000LL) {
        abortRequest(408, QStringLiteral("Request Timeout (no data for %1 s)").arg(m_idleTimeout),
                     SocketErrors::TimedOut);
        return;
    }
    armDeadline();
}

// ---------------------------------------------------------------- aborting

void THttpCli::abortRequest(int code, const QString& text, int error)
{
    if (m_phase == Idle || m_phase == Aborting)
        return;
    const bool wasResolving = m_phase == Resolving;
    setPhase(Aborting);
    // The resolution is cancelled by dropping its answer when it comes: QHostInfo::abortHostLookup
    // loses the callback of a lookup already running (a leak per cancel), and a lookup cannot hurt.
    m_lookupId = -1;
    m_parser.code = code;
    m_parser.text = text;
    m_requestDoneError = error;
    m_closeAfterReceive = false;
    m_allowSending = false;
    m_closeAction = CloseAction::Normal;
    if (wasResolving)
        closeHandling(0);
    else
        closeConnection();
    m_parser.stop();
    setIdle();
}
