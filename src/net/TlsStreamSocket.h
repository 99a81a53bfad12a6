#pragma once

#include "net/StreamSocket.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

#include <memory>

struct bio_st;
struct ssl_session_st;
struct ssl_st;

// TLS over a plain connection, on OpenSSL directly: every connection of the
// process shares one TLS context (trust store, settings) instead of building
// its own, which costs far more than a resumed handshake. The connection
// starts plain (a proxy's CONNECT answer is read through it) and turns to TLS
// at startClientEncryption. The peer is always verified: against the system's
// authorities and the extra ones, for the name asked for.
class TlsStreamSocket : public StreamSocket
{
    Q_OBJECT

public:
    // Authorities trusted besides the system's; connections started later use them.
    static void setExtraAuthorities(const QList<QSslCertificate>& certificates);

    // A session a server handed out, kept as it is: offering it again costs no encoding.
    using Session = std::shared_ptr<ssl_session_st>;

    explicit TlsStreamSocket(QObject* parent = nullptr);
    ~TlsStreamSocket() override;

    // Starts the handshake. `peerName` is sent for SNI (unless it is an address)
    // and must match the certificate; `offered` (session() of an earlier
    // connection to the same name) is offered for resumption.
    void startClientEncryption(const QString& peerName, const Session& offered);
    bool isEncrypted() const { return m_encrypted; }
    // The last resumable session the server handed out on this connection; null if none.
    Session session() const { return m_session; }
    // After the peer's close: whether it ended the stream with TLS's goodbye (close_notify). Without
    // it, a cut connection cannot be told from a complete stream.
    bool closedCleanly() const;

    void connectToHost(const QHostAddress& address, quint16 port) override;
    bool bind(const QHostAddress& local) override;
    void setConnectTimeout(int ms) override { m_transport->setConnectTimeout(ms); }
    qint64 write(const char* data, qint64 len) override;
    using StreamSocket::write;
    bool flush() override;
    qint64 read(char* data, qint64 maxLen) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    void abort() override;
    void setReadBufferSize(qint64 size) override;
    QAbstractSocket::SocketState state() const override;
    QAbstractSocket::SocketError error() const override;
    QString errorString() const override;

signals:
    // The handshake passed, the peer verified.
    void encrypted();
    // The server sent a session for resumption (TLS 1.3 sends them after the handshake).
    void sessionReceived();

private:
    void transportReadyRead();
    void transportDisconnected();
    void transportError(QAbstractSocket::SocketError error);
    // Feeds what the connection holds to TLS and takes out what TLS has for the peer or for us.
    void pump();
    // Moves ciphertext the connection holds into TLS, while the decrypted bytes leave room.
    void takeFromTransport();
    void continueHandshake();
    // Decrypts what TLS holds; readyRead only when asked to (not from within read()).
    void decrypt(bool notify);
    void sendPending(bool now);
    void brokenConnection(QAbstractSocket::SocketError error, const QString& reason);
    void release();
    static int newSession(ssl_st* ssl, ssl_session_st* session);
    // Emits sessionReceived for a session that came in the last call into OpenSSL; false when a
    // slot closed or reused the socket meanwhile.
    bool reportSession();

    StreamSocket* m_transport;
    ssl_st* m_ssl = nullptr;
    bio_st* m_fromPeer = nullptr; // ciphertext received, for TLS to read (owned by m_ssl)
    bio_st* m_toPeer = nullptr;   // ciphertext TLS wrote, to send (owned by m_ssl)
    Session m_session;
    bool m_started = false;
    bool m_encrypted = false;
    bool m_failed = false;
    bool m_sessionPending = false; // a session came while OpenSSL ran; not told yet
    bool m_peerEnded = false;      // the peer closed the connection
    bool m_closeNotified = false;  // ... after its close_notify
    bool m_streamEnded = false;    // ... without it, and all it sent has been read
    quint64 m_generation = 0;      // one per release: a caller of a signal knows the socket moved on
    QAbstractSocket::SocketError m_error = QAbstractSocket::UnknownSocketError;
    QString m_errorString;
    qint64 m_readBufferSize = 0;
    QByteArray m_in; // decrypted, not yet read
    qsizetype m_inPos = 0;
};
