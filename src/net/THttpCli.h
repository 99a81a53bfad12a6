#pragma once

#include "net/HttpResponseParser.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

class QHostInfo;
class QIODevice;
class QTimer;
class StreamSocket;

// The program's HTTP/1.0 client: one request at a time over its own TCP
// connection, event driven on the UI thread. A request starts with BeginGet or
// BeginPost and ends, whatever happened, with exactly one OnRequestDone from a
// later turn of the event loop; network outcomes are data (ResponseCode and
// ResponseText), not exceptions. An "https" address is requested over TLS,
// through a CONNECT tunnel when a proxy is set; a TLS failure ends the request
// like a connection failure.
class THttpCli : public QObject, private HttpResponseParser::Handler
{
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(QString LocalAddr READ LocalAddr WRITE setLocalAddr)
    Q_PROPERTY(QString Proxy READ Proxy WRITE setProxy)
    Q_PROPERTY(QString ProxyPort READ ProxyPort WRITE setProxyPort)
    Q_PROPERTY(QString ProxyUsername READ ProxyUsername WRITE setProxyUsername)
    Q_PROPERTY(QString ProxyPassword READ ProxyPassword WRITE setProxyPassword)
    Q_PROPERTY(QString Username READ Username WRITE setUsername)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(QString Sender READ Sender WRITE setSender)
    Q_PROPERTY(QString Agent READ Agent WRITE setAgent)
    Q_PROPERTY(QString Accept READ Accept WRITE setAccept)
    Q_PROPERTY(QString AcceptLanguage READ AcceptLanguage WRITE setAcceptLanguage)
    Q_PROPERTY(QString Reference READ Reference WRITE setReference)
    Q_PROPERTY(bool NoCache READ NoCache WRITE setNoCache)
    Q_PROPERTY(QDateTime ModifiedSince READ ModifiedSince WRITE setModifiedSince)
    Q_PROPERTY(QString Cookie READ Cookie WRITE setCookie)
    Q_PROPERTY(QString ContentTypePost READ ContentTypePost WRITE setContentTypePost)
    Q_PROPERTY(QString ContentRangeBegin READ ContentRangeBegin WRITE setContentRangeBegin)
    Q_PROPERTY(QString ContentRangeEnd READ ContentRangeEnd WRITE setContentRangeEnd)
    Q_PROPERTY(QString AcceptRanges READ AcceptRanges)
    Q_PROPERTY(bool MultiThreaded READ MultiThreaded WRITE setMultiThreaded)
    Q_PROPERTY(int Tag READ Tag WRITE setTag)

public:
    enum HttpPhase { Idle, Starting, Resolving, Resolved, Connected, AwaitingHeader, ReceivingBody, Aborting };
    Q_ENUM(HttpPhase)

    // Request kinds as OnRequestDone reports them.
    enum : int { RqNone = 0, RqGet = 1, RqPost = 2 };
    // The Error of a cancelled request.
    enum : int { ErrAborted = 3 };
    // Consecutive redirects followed before a request gives up.
    static constexpr int MaxRedirects = 20;
    // Received bytes the socket may hold before the parser takes them.
    static constexpr int ReadBufferBytes = 64 * 1024;
    // Bytes of a POST body handed to the socket per data-sent notification.
    static constexpr int SendChunkSize = 8193;
    // The longest answer of a proxy to CONNECT that is read before the tunnel is given up.
    static constexpr int MaxTunnelAnswer = 16384;

    // Certificate authorities trusted for TLS by every client besides the system's store
    // (for a private authority, and for tests). There is no way to accept an unverified peer.
    static void setExtraCaCertificates(const QList<QSslCertificate>& certificates);
    static QList<QSslCertificate> extraCaCertificates();
    // TLS sessions kept for resumption (per host name and port), and forgetting them all.
    static int tlsSessionCount();
    static void clearTlsSessions();

    explicit THttpCli(QObject* parent = nullptr);
    ~THttpCli() override;

    void BeginGet();
    void BeginPost();
    // Starts a GET and runs a local event loop until the client is idle again;
    // throws EHttpException (ResponseText, ResponseCode) for a status of 400 or more.
    void RunGet();
    void CancelRequest();

    // Deadlines of a request besides the connect time-out, in whole seconds; 0 (the default)
    // for none. They hold for every request started later. Idle: no byte received or sent for
    // that long. Total: the whole request, redirects included. Either ends the request as the
    // run's time-out does: OnRequestDone with Error 10060, ResponseCode 408 and a ResponseText
    // that begins "Request Timeout" (RunGet throws it).
    void setIdleTimeout(int seconds);
    int idleTimeout() const { return m_idleTimeout; }
    void setTotalTimeout(int seconds);
    int totalTimeout() const { return m_totalTimeout; }

    // Published properties.
    QString URL() const { return m_url; }
    void setURL(const QString& v) { m_url = v; }
    QString LocalAddr() const { return m_localAddr; }
    void setLocalAddr(const QString& v) { m_localAddr = v; }
    QString Proxy() const { return m_proxy; }
    void setProxy(const QString& v) { m_proxy = v; }
    QString ProxyPort() const { return m_proxyPort; }
    void setProxyPort(const QString& v) { m_proxyPort = v; }
    QString ProxyUsername() const { return m_proxyUsername; }
    void setProxyUsername(const QString& v) { m_proxyUsername = v; }
    QString ProxyPassword() const { return m_proxyPassword; }
    void setProxyPassword(const QString& v) { m_proxyPassword = v; }
    QString Username() const { return m_username; }
    void setUsername(const QString& v) { m_username = v; }
    QString Password() const { return m_password; }
    void setPassword(const QString& v) { m_password = v; }
    QString Sender() const { return m_sender; }
    void setSender(const QString& v) { m_sender = v; }
    QString Agent() const { return m_agent; }
    void setAgent(const QString& v) { m_agent = v; }
    QString Accept() const { return m_accept; }
    void setAccept(const QString& v) { m_accept = v; }
    QString AcceptLanguage() const { return m_acceptLanguage; }
    void setAcceptLanguage(const QString& v) { m_acceptLanguage = v; }
    QString Reference() const { return m_reference; }
    void setReference(const QString& v) { m_reference = v; }
    bool NoCache() const { return m_noCache; }
    void setNoCache(bool v) { m_noCache = v; }
    // A null date-time stands for "no date".
    QDateTime ModifiedSince() const { return m_modifiedSince; }
    void setModifiedSince(const QDateTime& v) { m_modifiedSince = v; }
    QString Cookie() const { return m_cookie; }
    void setCookie(const QString& v) { m_cookie = v; }
    QString ContentTypePost() const { return m_contentTypePost; }
    void setContentTypePost(const QString& v) { m_contentTypePost = v; }
    QString ContentRangeBegin() const { return m_contentRangeBegin; }
    void setContentRangeBegin(const QString& v) { m_contentRangeBegin = v; }
    QString ContentRangeEnd() const { return m_contentRangeEnd; }
    void setContentRangeEnd(const QString& v) { m_contentRangeEnd = v; }
    QString AcceptRanges() const { return m_acceptRanges; }
    bool MultiThreaded() const { return m_multiThreaded; }
    void setMultiThreaded(bool v) { m_multiThreaded = v; }
    int Tag() const { return m_tag; }
    void setTag(int v) { m_tag = v; }

    // Run-time properties. The streams belong to the caller and are never freed here.
    QIODevice* RequestBody() const { return m_requestBody; }
    void setRequestBody(QIODevice* v) { m_requestBody = v; }
    QIODevice* ReceiveStream() const { return m_receiveStream; }
    void setReceiveStream(QIODevice* v) { m_receiveStream = v; }
    int ResponseCode() const { return m_parser.code; }
    QString ResponseText() const { return m_parser.text; }
    qint64 ResponseLength() const { return m_parser.length; }
    QString ResponseType() const { return m_parser.type; }
    QStringList ResponseHeader() const { return m_parser.header(); }
    qint64 ReceivedBytes() const { return m_receivedBytes; }
    qint64 SentBytes() const { return m_sentBytes; }
    HttpPhase Phase() const { return m_phase; }
    // The address last requested or redirected to.
    QString Location() const { return m_location; }

signals:
    void OnStateChange(THttpCli* Sender);
    void OnSessionConnected(THttpCli* Sender);
    void OnRequestHeaderBegin(THttpCli* Sender);
    void OnBeforeHeaderSend(THttpCli* Sender, QString& Method, QStringList& Headers);
    void OnCommand(THttpCli* Sender, QString& Line);
    void OnRequestHeaderEnd(THttpCli* Sender);
    void OnSendBegin(THttpCli* Sender);
    void OnSendData(THttpCli* Sender, const char* Buffer, int Len);
    void OnSendEnd(THttpCli* Sender);
    void OnHeaderBegin(THttpCli* Sender);
    void OnHeaderData(THttpCli* Sender);
    void OnCookie(THttpCli* Sender, const QString& Data, bool& Accept);
    void OnHeaderEnd(THttpCli* Sender);
    void OnDocBegin(THttpCli* Sender);
    // Buffer[Len] is a zero byte.
    void OnDocData(THttpCli* Sender, const char* Buffer, int Len);
    void OnDocEnd(THttpCli* Sender);
    void OnLocationChange(THttpCli* Sender);
    void OnRequestDone(THttpCli* Sender, int RqType, int Error);
    // The socket layer's error notification, with its Windows Sockets code.
    void OnSocketError(THttpCli* Sender, int Error);

protected:
    // Asks the resolver for the addresses of `name` and hands its answer to hostLookedUp().
    // (A test gives a name several addresses through it.)
    virtual void lookupHost(const QString& name);
    void hostLookedUp(const QHostInfo& info);

private:
    enum class CloseAction { Normal, Redirect, Ignore };

    // HttpResponseParser::Handler
    void headerBegin() override;
    void headerData() override;
    void location(const QString& value) override;
    void contentRange(const QString& begin, const QString& end) override;
    void acceptRanges(const QString& value) override;
    void cookie(const QString& value) override;
    void htmlWithoutHeader() override;
    HttpResponseParser::HeaderEndAction headerEnd() override;
    void bodyChunk(const char* data, int len) override;

    void startRequest(int kind);
    void startResolving();
    void resolved(const QHostInfo& info);
    void connectTo(const QHostAddress& address);
    bool tryNextAddress();
    void startDeadlines();
    void stopDeadlines();
    void armDeadline();
    void checkDeadlines();
    void noteActivity()
    {
        if (m_deadlinesOn)
            m_lastActivityMs = m_requestClock.elapsed();
    }
    void abortRequest(int code, const QString& text, int error);
    void socketConnected();
    void sessionStarted();
    void sendTunnelRequest();
    void receiveTunnelAnswer();
    void startTls();
    void tlsFailed(const QString& reason);
    QString tlsSessionKey() const;
    void keepTlsSession();
    bool fullUrlTarget() const { return !m_proxy.isEmpty() && !m_tls; }
    void socketError();
    void socketDisconnected();
    void socketBytesWritten();
    void receiveAvailable();
    void sendRequestHeader();
    void pushBody();
    void failRequest(const QString& text);
    void closeConnection();
    void connectionClosed(int error);
    void closeHandling(int error);
    void redirectStart();
    void becomeReady();
    void setPhase(HttpPhase phase);
    void setIdle();
    bool stale(quint64 serial) const;

    // The one place a connection's socket is made, so another kind of socket can come in for another proto.
    void createSocket();
    void dropSocket();
    StreamSocket*& spareFor(bool tls) { return tls ? m_spareTls : m_spare; }

    // Published.
    QString m_url;
    QString m_localAddr = QStringLiteral("0.0.0.0");
    QString m_proxy;
    QString m_proxyPort = QStringLiteral("80");
    QString m_proxyUsername;
    QString m_proxyPassword;
    QString m_username;
    QString m_password;
    QString m_sender;
    QString m_agent = QStringLiteral("Mozilla/3.0 (compatible)");
    QString m_accept = QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    QString m_acceptLanguage;
    QString m_reference;
    bool m_noCache = false;
    QDateTime m_modifiedSince;
    QString m_cookie;
    QString m_contentTypePost = QStringLiteral("application/x-www-form-urlencoded");
    QString m_contentRangeBegin;
    QString m_contentRangeEnd;
    QString m_acceptRanges;
    bool m_multiThreaded = false;
    int m_tag = 0;

    // Run time.
    QIODevice* m_requestBody = nullptr;
    QIODevice* m_receiveStream = nullptr;
    qint64 m_receivedBytes = 0;
    qint64 m_sentBytes = 0;
    HttpPhase m_phase = Idle;

    // The request in progress.
    int m_rqType = RqNone;
    QString m_proto;
    QString m_connectHost;
    QString m_port;
    QString m_proxyConnectPort;
    bool m_tls = false;   // the current address is "https"
    QString m_tunnelHost; // through a proxy over TLS: the target the tunnel leads to
    QString m_tunnelPort;
    QString m_hostHeader;
    QString m_target;
    QString m_location;
    QString m_origin; // scheme, host and port the credentials belong to
    bool m_locationSeen = false;
    int m_requestDoneError = 0;
    int m_bodyChunks = 0;
    int m_redirects = 0;
    bool m_allowSending = false;
    bool m_closeAfterReceive = false;
    bool m_failed = false; // the answer was broken; ResponseText says how
    int m_lastSocketError = 0;
    int m_lookupId = -1;
    QList<QHostAddress> m_addresses; // of the connect host, in the order they are tried
    int m_nextAddress = 0;
    QElapsedTimer m_connectClock;
    int m_idleTimeout = 0;
    int m_totalTimeout = 0;
    bool m_deadlinesOn = false;
    QTimer* m_deadline = nullptr; // made when a deadline is first used
    QElapsedTimer m_requestClock;
    qint64 m_lastActivityMs = 0;
    quint64 m_serial = 0; // one per started request; posted work of an older one is dropped
    CloseAction m_closeAction = CloseAction::Normal;
    StreamSocket* m_socket = nullptr;
    StreamSocket* m_spare = nullptr; // closed, detached, ready for the next connection
    StreamSocket* m_spareTls = nullptr;
    bool m_connected = false;
    // Between the TCP connection and the session: the proxy's answer to CONNECT, then the handshake.
    enum class Setup { None, Tunnel, Handshake };
    Setup m_setup = Setup::None;
    QByteArray m_tunnelAnswer;
    HttpResponseParser m_parser;
};
