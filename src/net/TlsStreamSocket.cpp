#include "net/TlsStreamSocket.h"

#include "net/PolledTcpSocket.h"

#include <QHostAddress>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QSslError>
#include <QUrl>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

// The context every connection shares; replaced (not changed) when the trust changes, so
// connections already running keep theirs.
struct SharedContext
{
    QMutex mutex;
    SSL_CTX* context = nullptr;
    QList<QSslCertificate> extras;
    int socketIndex = -1; // where an SSL keeps its TlsStreamSocket
};

SharedContext& shared()
{
    static SharedContext s;
    return s;
}

// How Qt names a verification failure; its texts are the ones users of the program have seen.
QSslError::SslError sslErrorFor(long verifyResult)
{
    switch (verifyResult) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        return QSslError::UnableToGetIssuerCertificate;
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
        return QSslError::UnableToDecryptCertificateSignature;
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
        return QSslError::UnableToDecodeIssuerPublicKey;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return QSslError::CertificateSignatureFailed;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QSslError::CertificateNotYetValid;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QSslError::CertificateExpired;
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
        return QSslError::InvalidNotBeforeField;
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
        return QSslError::InvalidNotAfterField;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QSslError::SelfSignedCertificate;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QSslError::SelfSignedCertificateInChain;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        return QSslError::UnableToGetLocalIssuerCertificate;
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QSslError::UnableToVerifyFirstCertificate;
    case X509_V_ERR_CERT_REVOKED:
        return QSslError::CertificateRevoked;
    case X509_V_ERR_INVALID_CA:
        return QSslError::InvalidCaCertificate;
    case X509_V_ERR_PATH_LENGTH_EXCEEDED:
        return QSslError::PathLengthExceeded;
    case X509_V_ERR_INVALID_PURPOSE:
        return QSslError::InvalidPurpose;
    case X509_V_ERR_CERT_UNTRUSTED:
        return QSslError::CertificateUntrusted;
    case X509_V_ERR_CERT_REJECTED:
        return QSslError::CertificateRejected;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QSslError::HostNameMismatch;
    default:
        return QSslError::UnspecifiedError;
    }
}

// The text of the first error OpenSSL queued on this thread (and the queue emptied).
QString openSslError(const QString& fallback)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return fallback;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

// Null, with `error` saying why, when any part of the verification set-up fails: a context that
// verifies less than asked for is never used.
SSL_CTX* newContext(const QList<QSslCertificate>& extras, int (*onNewSession)(SSL*, SSL_SESSION*), QString& error)
{
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        error = openSslError(QStringLiteral("TLS is not available"));
        return nullptr;
    }
    const auto fail = [&](const QString& what) {
        error = what + QStringLiteral(": ") + openSslError(QStringLiteral("failed"));
        SSL_CTX_free(context);
        return nullptr;
    };
    if (!SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION))
        return fail(QStringLiteral("The lowest TLS version cannot be set"));
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // The system's authorities, looked up as a chain needs them.
    if (!SSL_CTX_set_default_verify_paths(context))
        return fail(QStringLiteral("The system's certificate authorities cannot be loaded"));
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    for (const QSslCertificate& certificate : extras) {
        const QByteArray der = certificate.toDer();
        const auto* bytes = reinterpret_cast<const unsigned char*>(der.constData());
        X509* x509 = d2i_X509(nullptr, &bytes, der.size());
        const bool added = x509 && X509_STORE_add_cert(store, x509);
        X509_free(x509);
        if (!added)
            return fail(QStringLiteral("A certificate authority cannot be added"));
    }
    // Sessions are kept by the client (per name and port), not by OpenSSL.
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(context, onNewSession);
    ERR_clear_error();
    return context;
}

constexpr int CipherChunk = 16 * 1024;

} // namespace

void TlsStreamSocket::setExtraAuthorities(const QList<QSslCertificate>& certificates)
{
    SharedContext& s = shared();
    QMutexLocker lock(&s.mutex);
    s.extras = certificates;
    // Connections running hold a reference of their own.
    SSL_CTX_free(s.context);
    s.context = nullptr;
}

TlsStreamSocket::TlsStreamSocket(QObject* parent) : StreamSocket(parent), m_transport(new PolledTcpSocket(this))
{
    connect(m_transport, &StreamSocket::connected, this, &StreamSocket::connected);
    connect(m_transport, &StreamSocket::readyRead, this, &TlsStreamSocket::transportReadyRead);
    connect(m_transport, &StreamSocket::bytesWritten, this, [this](qint64 bytes) {
        // Ciphertext of the handshake is no data of the caller's.
        if (!m_started || m_encrypted)
            emit bytesWritten(bytes);
    });
    connect(m_transport, &StreamSocket::disconnected, this, &TlsStreamSocket::transportDisconnected);
    connect(m_transport, &StreamSocket::errorOccurred, this, &TlsStreamSocket::transportError);
}

TlsStreamSocket::~TlsStreamSocket()
{
    release();
}

void TlsStreamSocket::release()
{
    ++m_generation;
    m_sessionPending = false;
    m_peerEnded = false;
    m_closeNotified = false;
    m_streamEnded = false;
    if (m_ssl) {
        SSL_free(m_ssl); // frees both memory buffers with it
        m_ssl = nullptr;
    }
    m_fromPeer = m_toPeer = nullptr;
    m_session.reset();
    m_started = m_encrypted = m_failed = false;
    m_in.resize(0);
    m_inPos = 0;
}

int TlsStreamSocket::newSession(ssl_st* ssl, ssl_session_st* session)
{
    auto* self = static_cast<TlsStreamSocket*>(SSL_get_ex_data(ssl, shared().socketIndex));
    if (!self || !SSL_SESSION_is_resumable(session))
        return 0;
    // A copy of its own: the connection goes on changing the one it uses.
    SSL_SESSION* copy = SSL_SESSION_dup(session);
    if (!copy)
        return 0;
    self->m_session = Session(copy, SSL_SESSION_free);
    // Told once OpenSSL has returned: a slot may abort this socket, which frees `ssl`.
    self->m_sessionPending = true;
    return 0; // the reference OpenSSL passed stays OpenSSL's
}

bool TlsStreamSocket::reportSession()
{
    if (!m_sessionPending)
        return true;
    m_sessionPending = false;
    const QPointer<TlsStreamSocket> self(this);
    const quint64 generation = m_generation;
    emit sessionReceived();
    return self && m_generation == generation;
}

void TlsStreamSocket::startClientEncryption(const QString& peerName, const Session& offered)
{
    SSL_CTX* context = nullptr;
    QString contextError;
    {
        SharedContext& s = shared();
        QMutexLocker lock(&s.mutex);
        if (s.socketIndex < 0)
            s.socketIndex = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
        if (!s.context)
            s.context = newContext(s.extras, &TlsStreamSocket::newSession, contextError);
        context = s.context;
        if (context)
            SSL_CTX_up_ref(context);
    }
    ERR_clear_error();
    m_started = true;
    m_ssl = context && shared().socketIndex >= 0 ? SSL_new(context) : nullptr;
    SSL_CTX_free(context); // the connection holds its own reference
    if (!m_ssl) {
        brokenConnection(QAbstractSocket::SslInternalError,
                         contextError.isEmpty() ? openSslError(QStringLiteral("TLS is not available")) : contextError);
        return;
    }
    m_fromPeer = BIO_new(BIO_s_mem());
    m_toPeer = BIO_new(BIO_s_mem());
    if (!m_fromPeer || !m_toPeer || !SSL_set_ex_data(m_ssl, shared().socketIndex, this)) {
        BIO_free(m_fromPeer);
        BIO_free(m_toPeer);
        m_fromPeer = m_toPeer = nullptr;
        brokenConnection(QAbstractSocket::SslInternalError, openSslError(QStringLiteral("TLS is not available")));
        return;
    }
    SSL_set_bio(m_ssl, m_fromPeer, m_toPeer);
    SSL_set_connect_state(m_ssl);

    // The certificate must name what was asked for: the address itself, or the host name in its
    // ASCII form (which is also what SNI carries; an address is never sent there). A name that
    // cannot be set would leave the certificate unchecked against it: the connection is refused.
    X509_VERIFY_PARAM* param = SSL_get0_param(m_ssl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const QHostAddress literal(peerName);
    if (!literal.isNull()) {
        if (!X509_VERIFY_PARAM_set1_ip_asc(param, literal.toString().toLatin1().constData())) {
            ERR_clear_error();
            brokenConnection(QAbstractSocket::SslHandshakeFailedError,
                             QStringLiteral("The address \"%1\" cannot be verified").arg(peerName));
            return;
        }
    } else {
        const QByteArray name = QUrl::toAce(peerName);
        if (name.isEmpty() || !SSL_set1_host(m_ssl, name.constData()) ||
            !SSL_ctrl(m_ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                      const_cast<char*>(name.constData()))) {
            brokenConnection(QAbstractSocket::SslHandshakeFailedError,
                             QStringLiteral("The host name \"%1\" cannot be verified").arg(peerName));
            return;
        }
    }
    // Each connection resumes from a copy: OpenSSL marks the session a connection used.
    if (offered) {
        if (SSL_SESSION* copy = SSL_SESSION_dup(offered.get())) {
            SSL_set_session(m_ssl, copy);
            SSL_SESSION_free(copy);
        }
    }
    pump();
}

void TlsStreamSocket::pump()
{
    const QPointer<TlsStreamSocket> self(this);
    takeFromTransport();
    if (!m_encrypted) {
        continueHandshake();
        if (!self || !m_encrypted || !m_ssl)
            return;
    }
    decrypt(true);
}

void TlsStreamSocket::takeFromTransport()
{
    while (m_ssl && m_transport->bytesAvailable() > 0 &&
           (m_readBufferSize <= 0 || bytesAvailable() < m_readBufferSize)) {
        char chunk[CipherChunk];
        const qint64 n = m_transport->read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        BIO_write(m_fromPeer, chunk, static_cast<int>(n));
    }
    // Once the peer has closed and all it sent is in, TLS is told the stream ended, so it can
    // tell a goodbye (close_notify) from a connection cut short.
    if (m_ssl && m_peerEnded && m_transport->bytesAvailable() == 0)
        BIO_set_mem_eof_return(m_fromPeer, 0);
}

void TlsStreamSocket::continueHandshake()
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    const QPointer<TlsStreamSocket> self(this);
    if (result == 1 && (SSL_get_verify_result(m_ssl) != X509_V_OK || !SSL_get0_peer_certificate(m_ssl))) {
        // OpenSSL must not have let it pass; if it did, the peer still is not trusted.
        const long verified = SSL_get_verify_result(m_ssl);
        ERR_clear_error();
        brokenConnection(QAbstractSocket::SslHandshakeFailedError,
                         verified != X509_V_OK ? QSslError(sslErrorFor(verified)).errorString()
                                               : QStringLiteral("The peer did not present a certificate"));
        return;
    }
    if (!reportSession())
        return;
    if (result == 1) {
        // Our last handshake message goes out with the first request bytes, in one segment:
        // sent apart, the second would wait for the peer's delayed acknowledgement.
        sendPending(false);
        m_encrypted = true;
        emit encrypted();
        if (self && m_ssl)
            m_transport->flush();
        return;
    }
    sendPending(true);
    if (!self || !m_ssl)
        return;
    const int reason = SSL_get_error(m_ssl, result);
    if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE)
        return;
    const long verified = SSL_get_verify_result(m_ssl);
    const QString text = verified != X509_V_OK ? QSslError(sslErrorFor(verified)).errorString()
                                               : openSslError(QStringLiteral("The TLS handshake failed"));
    ERR_clear_error();
    brokenConnection(QAbstractSocket::SslHandshakeFailedError, text);
}

void TlsStreamSocket::decrypt(bool notify)
{
    if (!m_ssl || !m_encrypted || m_streamEnded)
        return;
    const QPointer<TlsStreamSocket> self(this);
    bool got = false;
    ERR_clear_error();
    while (m_ssl && (m_readBufferSize <= 0 || bytesAvailable() < m_readBufferSize)) {
        char plain[CipherChunk];
        const int n = SSL_read(m_ssl, plain, sizeof plain);
        if (!self)
            return;
        if (n > 0) {
            if (m_inPos > 0 && m_inPos == m_in.size()) {
                m_in.resize(0);
                m_inPos = 0;
            }
            m_in.append(plain, n);
            got = true;
            continue;
        }
        const int reason = SSL_get_error(m_ssl, n);
        if (reason == SSL_ERROR_WANT_READ || reason == SSL_ERROR_WANT_WRITE)
            break; // more must come
        if (reason == SSL_ERROR_ZERO_RETURN) {
            m_closeNotified = true; // the peer said goodbye; its close follows
            break;
        }
        if (m_peerEnded && BIO_ctrl_pending(m_fromPeer) == 0 &&
            (reason == SSL_ERROR_SYSCALL ||
             ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
            // The connection ended without the peer's goodbye: what came is all there is, and
            // whoever reads it is told that it may not be whole (closedCleanly()).
            ERR_clear_error();
            m_streamEnded = true;
            break;
        }
        brokenConnection(QAbstractSocket::SslInternalError, openSslError(QStringLiteral("TLS record error")));
        return;
    }
    if (!m_ssl)
        return;
    sendPending(true);
    if (!self || !reportSession())
        return;
    if (got && notify)
        emit readyRead();
}

void TlsStreamSocket::sendPending(bool now)
{
    if (!m_toPeer)
        return;
    char chunk[CipherChunk];
    int n = 0;
    bool wrote = false;
    while ((n = BIO_read(m_toPeer, chunk, sizeof chunk)) > 0) {
        m_transport->write(chunk, n);
        wrote = true;
    }
    if (wrote && now)
        m_transport->flush();
}

// A TLS failure makes the connection useless: it ends as a failed connection would.
void TlsStreamSocket::brokenConnection(QAbstractSocket::SocketError error, const QString& reason)
{
    const bool wasConnected = m_transport->state() == QAbstractSocket::ConnectedState;
    m_failed = true;
    m_error = error;
    m_errorString = reason;
    const QSignalBlocker quiet(m_transport);
    m_transport->abort();
    const QPointer<TlsStreamSocket> self(this);
    emit errorOccurred(error);
    if (self && wasConnected && m_encrypted && m_failed)
        emit disconnected();
}

void TlsStreamSocket::transportReadyRead()
{
    if (!m_started) {
        emit readyRead(); // plain bytes before TLS: a proxy's answer to CONNECT
        return;
    }
    pump();
}

void TlsStreamSocket::transportDisconnected()
{
    // What came with the close still belongs to the stream.
    if (m_started && m_ssl) {
        const QPointer<TlsStreamSocket> self(this);
        const quint64 generation = m_generation;
        m_peerEnded = true;
        takeFromTransport();
        if (m_encrypted)
            decrypt(false);
        if (!self || m_failed || m_generation != generation)
            return;
    }
    emit disconnected();
}

void TlsStreamSocket::transportError(QAbstractSocket::SocketError error)
{
    m_error = error;
    m_errorString = m_transport->errorString();
    emit errorOccurred(error);
}

void TlsStreamSocket::connectToHost(const QHostAddress& address, quint16 port)
{
    const bool bound = m_transport->state() == QAbstractSocket::BoundState;
    release();
    m_error = QAbstractSocket::UnknownSocketError;
    m_errorString.clear();
    if (!bound)
        m_transport->abort();
    m_transport->connectToHost(address, port);
}

bool TlsStreamSocket::bind(const QHostAddress& local)
{
    const bool ok = m_transport->bind(local);
    if (!ok) {
        m_error = m_transport->error();
        m_errorString = m_transport->errorString();
    }
    return ok;
}

qint64 TlsStreamSocket::write(const char* data, qint64 len)
{
    if (!m_started)
        return m_transport->write(data, len);
    if (!m_encrypted || !m_ssl)
        return -1;
    ERR_clear_error();
    qint64 done = 0;
    while (done < len) {
        const int n = SSL_write(m_ssl, data + done, static_cast<int>(std::min<qint64>(len - done, CipherChunk)));
        if (n <= 0) {
            brokenConnection(QAbstractSocket::SslInternalError, openSslError(QStringLiteral("TLS write error")));
            return -1;
        }
        done += n;
    }
    sendPending(false);
    return len;
}

bool TlsStreamSocket::flush()
{
    return m_transport->flush();
}

qint64 TlsStreamSocket::read(char* data, qint64 maxLen)
{
    if (!m_started)
        return m_transport->read(data, maxLen);
    const QPointer<TlsStreamSocket> self(this);
    if (bytesAvailable() == 0 && m_encrypted) {
        // The reader has made room: what waits in the connection is decrypted now, quietly.
        takeFromTransport();
        decrypt(false);
        if (!self)
            return 0;
    }
    const qint64 n = std::min(maxLen, bytesAvailable());
    if (n <= 0)
        return 0;
    std::memcpy(data, m_in.constData() + m_inPos, static_cast<size_t>(n));
    m_inPos += n;
    // After the close no notification comes for the rest: it is decrypted as it is read, so
    // bytesAvailable() counts it and the end of the stream is reached.
    if (m_peerEnded && bytesAvailable() == 0 && m_encrypted) {
        takeFromTransport();
        decrypt(false);
    }
    return n;
}

bool TlsStreamSocket::closedCleanly() const
{
    return !m_started || m_closeNotified;
}

QByteArray TlsStreamSocket::readAll()
{
    if (!m_started)
        return m_transport->readAll();
    QByteArray out = m_in.mid(m_inPos);
    m_in.resize(0);
    m_inPos = 0;
    return out;
}

qint64 TlsStreamSocket::bytesAvailable() const
{
    return m_started ? m_in.size() - m_inPos : m_transport->bytesAvailable();
}

qint64 TlsStreamSocket::bytesToWrite() const
{
    return m_transport->bytesToWrite();
}

void TlsStreamSocket::abort()
{
    release();
    m_transport->abort();
}

void TlsStreamSocket::setReadBufferSize(qint64 size)
{
    m_readBufferSize = size;
    m_transport->setReadBufferSize(size);
}

QAbstractSocket::SocketState TlsStreamSocket::state() const
{
    return m_transport->state();
}

QAbstractSocket::SocketError TlsStreamSocket::error() const
{
    return m_error != QAbstractSocket::UnknownSocketError ? m_error : m_transport->error();
}

QString TlsStreamSocket::errorString() const
{
    return m_errorString.isEmpty() ? m_transport->errorString() : m_errorString;
}
