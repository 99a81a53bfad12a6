#include "HttpEventLog.h"

#include "net/EHttpException.h"
#include "net/SocketErrors.h"
#include "net/THttpCli.h"
#include "support/LocalPeer.h"
#include "support/ScriptedServer.h"

#include <QBuffer>
#include <QHostInfo>
#include <QFile>
#include <QPointer>
#include <QtTest>

#include <functional>
#include <memory>
#include <sys/resource.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using Script = ScriptedServer::Script;
using Hook = std::function<void(THttpCli*, HttpEventLog*)>;
Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Hook)

namespace {

[[maybe_unused]] long residentKb();

const QByteArray DefaultAccept = "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
const QByteArray DefaultAgent = "User-Agent: Mozilla/3.0 (compatible)";

QByteArray okAnswer(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
}

Script answer(const QByteArray& bytes)
{
    return Script().awaitRequest().send(bytes).close();
}

// The request header lines a server received, without the blank line.
QList<QByteArray> headerLines(const QByteArray& request)
{
    const int end = request.indexOf("\r\n\r\n");
    return end < 0 ? QList<QByteArray>{} : request.left(end).split('\n');
}

QByteArray requestLine(const QByteArray& request)
{
    return request.left(request.indexOf("\r\n"));
}

QByteArray bodyOf(const QByteArray& request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

QList<QByteArray> trimmed(QList<QByteArray> lines)
{
    for (QByteArray& l : lines)
        l = l.trimmed();
    return lines;
}

// Memory in use. Under AddressSanitizer freed blocks sit in its quarantine and
// inflate the resident size, so its count of live heap bytes is used instead.
long memoryInUseKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return residentKb();
#endif
}

[[maybe_unused]] long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A client whose names resolve to the addresses the test gives.
class FixedNamesClient : public THttpCli
{
public:
    QList<QHostAddress> addresses;

protected:
    void lookupHost(const QString&) override
    {
        QHostInfo info;
        info.setAddresses(addresses);
        QTimer::singleShot(0, this, [this, info] { hostLookedUp(info); });
    }
};

} // namespace

class TestHttpCli : public QObject
{
    Q_OBJECT
private slots:
    void defaults();
    void getEventsInOrder();
    void requestHeaderLines_data();
    void requestHeaderLines();
    void headerHandlersMayEdit();
    void rangeAndContentRange();
    void postBodyInChunks();
    void startRefusals();
    void locationOn200IsFollowed();
    void postRedirectedToGet();
    void redirectTargets_data();
    void redirectTargets();
    void redirectToAnotherServer();
    void locationBeforeAClose();
    void tooManyRedirects();
    void contentLengthZeroOnOpenConnection();
    void errorBodyCutAtFirstRead();
    void htmlWithoutHeader();
    void responseFields();
    void proxyRequestLine_data();
    void proxyRequestLine();
    void cancelInEveryPhase_data();
    void cancelInEveryPhase();
    void cancelFromHeaderEndStillDeliversBytes();
    void cancelOnIdleReportsNothing();
    void targetBlanksEncoded_data();
    void targetBlanksEncoded();
    void upperCaseSchemeUnreachable();
    void failures_data();
    void failures();
    void bigBodyKeepsMemoryFlat();
    void deleteInRequestDone();
    void deleteWhileBusy();
    void deleteWhileResolving();
    void runGet();
    void runGetDoesNotSpin();
    void socketErrorTexts_data();
    void socketErrorTexts();
    void credentialsStayWithTheirOrigin_data();
    void credentialsStayWithTheirOrigin();
    void deadlines_data();
    void deadlines();
    void everyAddressTried_data();
    void everyAddressTried();
};

void TestHttpCli::defaults()
{
    THttpCli c;
    QCOMPARE(c.LocalAddr(), QStringLiteral("0.0.0.0"));
    QCOMPARE(c.ProxyPort(), QStringLiteral("80"));
    QCOMPARE(c.Agent(), QStringLiteral("Mozilla/3.0 (compatible)"));
    QCOMPARE(c.Accept(), QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"));
    QCOMPARE(c.ContentTypePost(), QStringLiteral("application/x-www-form-urlencoded"));
    QVERIFY(c.URL().isEmpty() && c.Proxy().isEmpty() && c.Cookie().isEmpty() && c.Reference().isEmpty());
    QVERIFY(!c.NoCache() && !c.MultiThreaded() && c.ModifiedSince().isNull());
    QCOMPARE(c.Phase(), THttpCli::Idle);
    QCOMPARE(c.ResponseCode(), 0);
    QCOMPARE(c.Tag(), 0);
}

void TestHttpCli::getEventsInOrder()
{
    ScriptedServer server;
    server.play(answer(okAnswer("<p>hello</p>")));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/x")));
    c.BeginGet();
    // A dotted address needs no lookup; the connection opens in a later turn.
    QCOMPARE(c.Phase(), THttpCli::Resolved);
    QVERIFY(log.waitForDone());

    const QStringList expected = {"State:Starting",
                                  "State:Resolving",
                                  "State:Resolved",
                                  "State:Connected",
                                  "SessionConnected",
                                  "State:AwaitingHeader",
                                  "RequestHeaderBegin",
                                  "BeforeHeaderSend",
                                  "Command",
                                  "Command",
                                  "Command",
                                  "Command",
                                  "RequestHeaderEnd",
                                  "Command",
                                  "HeaderBegin",
                                  "HeaderData",
                                  "HeaderData",
                                  "State:ReceivingBody",
                                  "HeaderEnd",
                                  "DocBegin",
                                  "DocData",
                                  "DocEnd",
                                  "State:Idle",
                                  "RequestDone"};
    QCOMPARE(log.events, expected);
    QCOMPARE(server.received(),
             QByteArray("GET /x HTTP/1.0\r\n" + DefaultAccept + "\r\n" + DefaultAgent + "\r\nHost: 127.0.0.1\r\n\r\n"));
    QCOMPARE(log.body(), QByteArray("<p>hello</p>"));
    QVERIFY(log.zeroAfterEveryChunk);
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(log.done[0].rqType, 1);
    QCOMPARE(log.done[0].error, 0);
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(c.ResponseText(), QStringLiteral("OK"));
    QCOMPARE(c.ResponseType(), QStringLiteral("text/html"));
    QCOMPARE(c.ResponseLength(), -1);
    QCOMPARE(c.ResponseHeader(), (QStringList{"HTTP/1.0 200 OK", "Content-Type: text/html"}));
    QCOMPARE(c.ReceivedBytes(), 12);
    QCOMPARE(c.Phase(), THttpCli::Idle);
}

void TestHttpCli::requestHeaderLines_data()
{
    QTest::addColumn<Hook>("setup");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<QByteArray>>("lines");

    const QByteArray host = "Host: 127.0.0.1";
    QTest::newRow("defaults, no path") << Hook([](THttpCli*, HttpEventLog*) {}) << ""
                                       << QList<QByteArray>{"GET / HTTP/1.0", DefaultAccept, DefaultAgent, host};
    QTest::newRow("every optional line") << Hook([](THttpCli* c, HttpEventLog*) {
        c->setSender(QStringLiteral("me@example.org"));
        c->setReference(QStringLiteral("http://ref/"));
        c->setAcceptLanguage(QStringLiteral("en"));
        c->setNoCache(true);
        c->setModifiedSince(QDateTime(QDate(2004, 3, 7), QTime(5, 6, 9)));
        c->setUsername(QStringLiteral("user"));
        c->setPassword(QStringLiteral("pass"));
        c->setProxyUsername(QStringLiteral("puser")); // no proxy: no Proxy-Authorization
        c->setCookie(QStringLiteral("a=1; b=2"));
        c->setContentRangeBegin(QStringLiteral("100"));
    }) << "/p"
                                         << QList<QByteArray>{"GET /p HTTP/1.0",
                                                              "From: me@example.org",
                                                              DefaultAccept,
                                                              "Referer: http://ref/",
                                                              "Accept-Language: en",
                                                              DefaultAgent,
                                                              host,
                                                              "Pragma: no-cache",
                                                              "If-Modified-Since: Sun, 07 Mar 2004 05:06:09 GMT",
                                                              "Authorization: Basic dXNlcjpwYXNz",
                                                              "Cookie: a=1; b=2",
                                                              "Range: bytes=100-"};
    QTest::newRow("empty accept and agent are left out") << Hook([](THttpCli* c, HttpEventLog*) {
        c->setAccept(QString());
        c->setAgent(QString());
        c->setContentRangeEnd(QStringLiteral("99"));
    }) << "/" << QList<QByteArray>{"GET / HTTP/1.0", host, "Range: bytes=-99"};
    QTest::newRow("empty password still sends the colon")
        << Hook([](THttpCli* c, HttpEventLog*) { c->setUsername(QStringLiteral("solo")); }) << "/"
        << QList<QByteArray>{"GET / HTTP/1.0", DefaultAccept, DefaultAgent, host, "Authorization: Basic c29sbzo="};
    QTest::newRow("login from the address")
        << Hook([](THttpCli* c, HttpEventLog*) {
               c->setUsername(QStringLiteral("old"));
               c->setURL(c->URL().replace(QStringLiteral("http://"), QStringLiteral("http://ann:pw@")));
           })
        << "/l"
        << QList<QByteArray>{"GET /l HTTP/1.0", DefaultAccept, DefaultAgent, host, "Authorization: Basic YW5uOnB3"};
    QTest::newRow("local address bound") << Hook([](THttpCli* c, HttpEventLog*) {
        c->setLocalAddr(QStringLiteral("127.0.0.1"));
    }) << "/" << QList<QByteArray>{"GET / HTTP/1.0", DefaultAccept, DefaultAgent, host};
}

void TestHttpCli::requestHeaderLines()
{
    QFETCH(Hook, setup);
    QFETCH(QString, path);
    QFETCH(QList<QByteArray>, lines);
    ScriptedServer server;
    server.play(answer("HTTP/1.0 200 OK\r\n\r\n"));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(path));
    setup(&c, &log);
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(trimmed(headerLines(server.received())), lines);
    QVERIFY(server.received().endsWith("\r\n\r\n"));
    // The range is asked for once.
    QVERIFY(c.ContentRangeBegin().isEmpty() && c.ContentRangeEnd().isEmpty());
    QCOMPARE(log.commands.size(), lines.size() + 1);
}

void TestHttpCli::headerHandlersMayEdit()
{
    ScriptedServer server;
    server.play(answer("HTTP/1.0 200 OK\r\n\r\n"));
    THttpCli c;
    HttpEventLog log(&c);
    connect(&c, &THttpCli::OnBeforeHeaderSend, &c, [](THttpCli*, QString& method, QStringList& lines) {
        QCOMPARE(method, QStringLiteral("GET"));
        lines.append(QStringLiteral("X-Extra: 1"));
    });
    connect(&c, &THttpCli::OnCommand, &c, [](THttpCli*, QString& line) {
        if (line.startsWith(QLatin1String("User-Agent")))
            line = QStringLiteral("User-Agent: edited");
    });
    c.setURL(server.url(QStringLiteral("/")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(
        trimmed(headerLines(server.received())),
        (QList<QByteArray>{"GET / HTTP/1.0", DefaultAccept, "User-Agent: edited", "Host: 127.0.0.1", "X-Extra: 1"}));
}

void TestHttpCli::rangeAndContentRange()
{
    ScriptedServer server;
    server.play(answer("HTTP/1.0 206 Partial\r\nContent-Range: bytes 100-199/1000\r\nAccept-Ranges: bytes\r\n\r\n"
                       "0123456789"));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/r")));
    c.setContentRangeBegin(QStringLiteral("100"));
    c.setContentRangeEnd(QStringLiteral("199"));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QVERIFY(server.received().contains("\r\nRange: bytes=100-199\r\n"));
    QCOMPARE(c.ContentRangeBegin(), QStringLiteral("100"));
    QCOMPARE(c.ContentRangeEnd(), QStringLiteral("199"));
    QCOMPARE(c.AcceptRanges(), QStringLiteral("bytes"));
    QCOMPARE(c.ResponseCode(), 206);
    QCOMPARE(log.body(), QByteArray("0123456789"));
}

void TestHttpCli::postBodyInChunks()
{
    ScriptedServer server;
    server.play(answer("HTTP/1.0 200 OK\r\n\r\ndone"));
    QByteArray payload;
    for (int i = 0; i < 20000; ++i)
        payload += char('A' + i % 26);
    QBuffer body(&payload);
    body.open(QIODevice::ReadOnly);
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/form")));
    c.setRequestBody(&body);
    c.BeginPost();
    QVERIFY(log.waitForDone());
    const QByteArray request = server.received();
    QCOMPARE(trimmed(headerLines(request)),
             (QList<QByteArray>{"POST /form HTTP/1.0", DefaultAccept, "Content-Type: application/x-www-form-urlencoded",
                                DefaultAgent, "Host: 127.0.0.1", "Content-Length: 20000"}));
    QCOMPARE(bodyOf(request), payload);
    QCOMPARE(log.sent, (QList<int>{8193, 8193, 3614}));
    QCOMPARE(log.count("SendBegin"), 1);
    QCOMPARE(log.count("SendEnd"), 1);
    QCOMPARE(c.SentBytes(), 20000);
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(log.done[0].rqType, 2);
    QCOMPARE(log.body(), QByteArray("done"));
}

void TestHttpCli::startRefusals()
{
    ScriptedServer server;
    server.play(Script().awaitRequest().stall());
    THttpCli c;
    HttpEventLog log(&c);
    try {
        c.BeginPost();
        QFAIL("POST without a body started");
    } catch (const EHttpException& e) {
        QCOMPARE(e.message(), QStringLiteral("HTTP component has nothing to post"));
        QCOMPARE(e.Code(), 2);
    }
    QCOMPARE(c.Phase(), THttpCli::Idle);
    c.setURL(server.url(QStringLiteral("/")));
    c.BeginGet();
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (attempt == 0)
                c.BeginGet();
            else
                c.RunGet();
            QFAIL("second start while busy");
        } catch (const EHttpException& e) {
            QCOMPARE(e.message(), QStringLiteral("HTTP component is busy"));
            QCOMPARE(e.Code(), 1);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(c.Phase(), THttpCli::AwaitingHeader, 5000);
    QCOMPARE(server.connectionCount(), 1);
    c.CancelRequest();
    QVERIFY(log.waitForDone());
    QCOMPARE(log.done.size(), 1);
}

void TestHttpCli::locationOn200IsFollowed()
{
    ScriptedServer server;
    server.play(
        {answer("HTTP/1.0 200 OK\r\nLocation: /next\r\n\r\nbody of the first answer"), answer(okAnswer("second"))});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/first")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(requestLine(server.received(1)), QByteArray("GET /next HTTP/1.0"));
    QVERIFY(server.received(1).contains("\r\nHost: 127.0.0.1\r\n"));
    QCOMPARE(log.body(), QByteArray("second"));
    QCOMPARE(c.ReceivedBytes(), 6);
    QCOMPARE(log.count("LocationChange"), 1);
    QCOMPARE(log.count("HeaderEnd"), 2);
    QCOMPARE(c.Location(), server.url(QStringLiteral("/next")));
    QCOMPARE(log.done.size(), 1);
}

void TestHttpCli::postRedirectedToGet()
{
    ScriptedServer server;
    server.play({answer("HTTP/1.0 302 Found\r\nLocation: /thanks\r\n\r\n"), answer(okAnswer("thanks"))});
    QByteArray payload("a=1&b=2");
    QBuffer body(&payload);
    body.open(QIODevice::ReadOnly);
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/post")));
    c.setRequestBody(&body);
    c.BeginPost();
    QVERIFY(log.waitForDone());
    QCOMPARE(bodyOf(server.received(0)), payload);
    const QByteArray second = server.received(1);
    QCOMPARE(requestLine(second), QByteArray("GET /thanks HTTP/1.0"));
    QVERIFY(!second.contains("Content-Length"));
    QVERIFY(!second.contains("Content-Type"));
    QVERIFY(bodyOf(second).isEmpty());
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(log.done[0].rqType, 1);
    QCOMPARE(c.ResponseCode(), 200);
}

void TestHttpCli::redirectTargets_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QByteArray>("secondLine");
    QTest::addColumn<QString>("finalLocation");

    QTest::newRow("relative to the directory")
        << "/dir/a.htm?q=/x" << QByteArray("b.htm") << QByteArray("GET /dir/b.htm HTTP/1.0") << "/dir/b.htm";
    QTest::newRow("absolute path") << "/dir/a.htm" << QByteArray("/top.htm") << QByteArray("GET /top.htm HTTP/1.0")
                                   << "/top.htm";
    QTest::newRow("fragment dropped") << "/a" << QByteArray("/b#part") << QByteArray("GET /b HTTP/1.0") << "/b";
    QTest::newRow("absolute address, same server")
        << "/a" << QByteArray("http://127.0.0.1:%PORT%/abs?x=1") << QByteArray("GET /abs?x=1 HTTP/1.0") << "/abs?x=1";
    QTest::newRow("absolute address without path")
        << "/a" << QByteArray("http://127.0.0.1:%PORT%") << QByteArray("GET / HTTP/1.0") << "";
}

void TestHttpCli::redirectTargets()
{
    QFETCH(QString, start);
    QFETCH(QByteArray, location);
    QFETCH(QByteArray, secondLine);
    QFETCH(QString, finalLocation);
    ScriptedServer server;
    location.replace("%PORT%", QByteArray::number(server.port()));
    server.play({answer("HTTP/1.0 301 Moved\r\nLocation: " + location + "\r\n\r\n"), answer(okAnswer("end"))});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(start));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(requestLine(server.received(1)), secondLine);
    QCOMPARE(c.Location(), server.url(finalLocation));
    QCOMPARE(log.body(), QByteArray("end"));
}

void TestHttpCli::redirectToAnotherServer()
{
    ScriptedServer first;
    ScriptedServer second;
    second.play(answer(okAnswer("elsewhere")));
    first.play(answer("HTTP/1.0 301 Moved\r\nLocation: http://kim:pw@127.0.0.1:" + QByteArray::number(second.port()) +
                      "/there#top\r\n\r\n"));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(first.url(QStringLiteral("/here")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(first.connectionCount(), 1);
    QCOMPARE(second.connectionCount(), 1);
    const QList<QByteArray> lines = trimmed(headerLines(second.received()));
    QCOMPARE(lines.first(), QByteArray("GET /there HTTP/1.0"));
    QVERIFY(lines.contains("Host: 127.0.0.1"));
    // The login of the address replaces the client's.
    QVERIFY(lines.contains("Authorization: Basic a2ltOnB3"));
    QCOMPARE(c.Username(), QStringLiteral("kim"));
    QCOMPARE(c.Location(), QStringLiteral("http://kim:pw@127.0.0.1:%1/there").arg(second.port()));
    QCOMPARE(log.body(), QByteArray("elsewhere"));
}

void TestHttpCli::locationBeforeAClose()
{
    // The server closes before the blank line; the Location seen is still followed.
    ScriptedServer server;
    server.play({answer("HTTP/1.0 302 Found\r\nLocation: /after\r\n"), answer(okAnswer("after"))});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/before")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(requestLine(server.received(1)), QByteArray("GET /after HTTP/1.0"));
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(log.body(), QByteArray("after"));
    QCOMPARE(log.done.size(), 1);
}

void TestHttpCli::tooManyRedirects()
{
    ScriptedServer server;
    server.play(answer("HTTP/1.0 302 Found\r\nLocation: /again\r\n\r\n"));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/")));
    c.BeginGet();
    QVERIFY(log.waitForDone(1, 20000));
    QCOMPARE(server.connectionCount(), THttpCli::MaxRedirects + 1);
    QCOMPARE(log.count("LocationChange"), THttpCli::MaxRedirects);
    QCOMPARE(c.ResponseCode(), 404);
    QCOMPARE(c.ResponseText(), QStringLiteral("Too many redirects"));
    QCOMPARE(log.done.size(), 1);

    // Twenty redirects are still followed.
    ScriptedServer twenty;
    QList<Script> scripts;
    for (int i = 0; i < THttpCli::MaxRedirects; ++i)
        scripts << answer("HTTP/1.0 302 Found\r\nLocation: /n" + QByteArray::number(i) + "\r\n\r\n");
    scripts << answer(okAnswer("arrived"));
    twenty.play(scripts);
    c.setURL(twenty.url(QStringLiteral("/")));
    c.BeginGet();
    QVERIFY(log.waitForDone(2, 20000));
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(log.body(), QByteArray("arrived"));
}

void TestHttpCli::contentLengthZeroOnOpenConnection()
{
    ScriptedServer server;
    // The first connection stays open and closes late, while the second request is running.
    server.play({Script().awaitRequest().send("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n").wait(400).close(),
                 Script().awaitRequest().wait(800).send(okAnswer("second")).close()});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/empty")));
    QElapsedTimer t;
    t.start();
    c.BeginGet();
    QVERIFY(log.waitForDone(1, 5000));
    QVERIFY2(t.elapsed() < 350, "the request waited for the server to close");
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(c.ResponseLength(), 0);
    QCOMPARE(log.count("DocData"), 0);
    QCOMPARE(log.count("DocEnd"), 0);

    c.setURL(server.url(QStringLiteral("/second")));
    c.BeginGet();
    QVERIFY(log.waitForDone(2, 5000));
    QCOMPARE(log.done.size(), 2);
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(log.body(), QByteArray("second"));
    QTest::qWait(200);
    QCOMPARE(log.done.size(), 2);
}

void TestHttpCli::errorBodyCutAtFirstRead()
{
    ScriptedServer server;
    const QByteArray first(1000, 'e');
    server.play(Script()
                    .awaitRequest()
                    .send("HTTP/1.0 404 Not Found\r\nContent-Length: 100000\r\n\r\n" + first)
                    .wait(300)
                    .sendRepeated(QByteArray(1000, 'f'), 99)
                    .close());
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/missing")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(c.ResponseCode(), 404);
    QCOMPARE(c.ResponseText(), QStringLiteral("Not Found"));
    QCOMPARE(log.body(), first);
    QCOMPARE(c.ReceivedBytes(), 1000);
    QCOMPARE(log.count("DocEnd"), 1);
    QTRY_COMPARE_WITH_TIMEOUT(server.closedCount(), 1, 2000);
}

void TestHttpCli::htmlWithoutHeader()
{
    ScriptedServer server;
    server.play(answer("<html>\r\n<body>x</body>\r\n</html>"));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(c.ResponseCode(), 0);
    QCOMPARE(c.ResponseType(), QStringLiteral("text/html"));
    QVERIFY(!log.chunks.isEmpty());
    QCOMPARE(log.chunks.first(), QByteArray("<html>"));
    // The last line has no line end; it still arrives before the close.
    QCOMPARE(log.body(), QByteArray("<html><body>x</body></html>"));
    QCOMPARE(log.count("HeaderEnd"), 1);
    QCOMPARE(log.count("DocEnd"), 1);
    QCOMPARE(log.done.size(), 1);
}

void TestHttpCli::responseFields()
{
    ScriptedServer server;
    server.play(answer("HTTP/1.1 200 OK\r\nContent-Type: Text/HTML; Charset=X\r\nSet-Cookie: id=7; path=/\r\n"
                       "Content-Length: 3\r\n\r\nabc"));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(c.ResponseType(), QStringLiteral("text/html; charset=x"));
    QCOMPARE(log.cookies, QStringList{"id=7; path=/"});
    QCOMPARE(c.ResponseLength(), 3);
    QCOMPARE(c.ResponseHeader().size(), 4);
    // The body ends with the close, not with the length.
    QCOMPARE(log.body(), QByteArray("abc"));
}

void TestHttpCli::proxyRequestLine_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("proxy"); // %PORT% is the scripted server's port
    QTest::addColumn<QString>("proxyPort");
    QTest::addColumn<QString>("proxyUser");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QList<QByteArray>>("firstLines");
    QTest::addColumn<QByteArray>("secondLine");

    const QByteArray pa = "Proxy-Authorization: Basic cHU6cHA=";
    QTest::newRow("port in the proxy") << "http://site.test/x"
                                       << "127.0.0.1:%PORT%"
                                       << "1"
                                       << "" << QByteArray()
                                       << QList<QByteArray>{"GET http://site.test/x HTTP/1.0", "Host: site.test"}
                                       << QByteArray();
    QTest::newRow("ProxyPort when the proxy has none")
        << "http://site.test/x"
        << "127.0.0.1"
        << "%PORT%"
        << "" << QByteArray() << QList<QByteArray>{"GET http://site.test/x HTTP/1.0", "Host: site.test"}
        << QByteArray();
    QTest::newRow("port of the address kept, Host without it")
        << "http://site.test:81/x?y"
        << "127.0.0.1:%PORT%"
        << "80"
        << "" << QByteArray() << QList<QByteArray>{"GET http://site.test:81/x?y HTTP/1.0", "Host: site.test"}
        << QByteArray();
    QTest::newRow("no proto, no path") << "site.test"
                                       << "127.0.0.1:%PORT%"
                                       << "80"
                                       << "" << QByteArray()
                                       << QList<QByteArray>{"GET http://site.test HTTP/1.0", "Host: site.test"}
                                       << QByteArray();
    QTest::newRow("proxy login") << "http://site.test/"
                                 << "127.0.0.1:%PORT%"
                                 << "80"
                                 << "pu" << QByteArray()
                                 << QList<QByteArray>{"GET http://site.test/ HTTP/1.0", "Host: site.test", pa}
                                 << QByteArray();
    QTest::newRow("blank in the address")
        << "http://site.test/s?q=a b"
        << "127.0.0.1:%PORT%"
        << "80"
        << "" << QByteArray() << QList<QByteArray>{"GET http://site.test/s?q=a%20b HTTP/1.0", "Host: site.test"}
        << QByteArray();
    QTest::newRow("redirect to a path") << "http://site.test:81/a/b"
                                        << "127.0.0.1:%PORT%"
                                        << "80"
                                        << "" << QByteArray("/c")
                                        << QList<QByteArray>{"GET http://site.test:81/a/b HTTP/1.0", "Host: site.test"}
                                        << QByteArray("GET http://site.test:81/c HTTP/1.0");
    QTest::newRow("relative redirect") << "http://site.test/a/b"
                                       << "127.0.0.1:%PORT%"
                                       << "80"
                                       << "" << QByteArray("c")
                                       << QList<QByteArray>{"GET http://site.test/a/b HTTP/1.0", "Host: site.test"}
                                       << QByteArray("GET http://site.test/a/c HTTP/1.0");
    QTest::newRow("absolute redirect stays on the proxy")
        << "http://site.test/a"
        << "127.0.0.1:%PORT%"
        << "80"
        << "" << QByteArray("http://other.test/z")
        << QList<QByteArray>{"GET http://site.test/a HTTP/1.0", "Host: site.test"}
        << QByteArray("GET http://other.test/z HTTP/1.0");
    QTest::newRow("absolute redirect keeps its port")
        << "http://site.test/a"
        << "127.0.0.1:%PORT%"
        << "80"
        << "" << QByteArray("http://other.test:8081/z")
        << QList<QByteArray>{"GET http://site.test/a HTTP/1.0", "Host: site.test"}
        << QByteArray("GET http://other.test:8081/z HTTP/1.0");
}

void TestHttpCli::proxyRequestLine()
{
    QFETCH(QString, url);
    QFETCH(QString, proxy);
    QFETCH(QString, proxyPort);
    QFETCH(QString, proxyUser);
    QFETCH(QByteArray, location);
    QFETCH(QList<QByteArray>, firstLines);
    QFETCH(QByteArray, secondLine);
    ScriptedServer server;
    const QString port = QString::number(server.port());
    if (location.isEmpty())
        server.play(answer(okAnswer("via proxy")));
    else
        server.play(
            {answer("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n"), answer(okAnswer("via proxy"))});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(url);
    c.setProxy(proxy.replace(QStringLiteral("%PORT%"), port));
    c.setProxyPort(proxyPort.replace(QStringLiteral("%PORT%"), port));
    c.setProxyUsername(proxyUser);
    c.setProxyPassword(QStringLiteral("pp"));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    const QList<QByteArray> lines = trimmed(headerLines(server.received(0)));
    QCOMPARE(lines.first(), firstLines.first());
    for (const QByteArray& l : firstLines)
        QVERIFY2(lines.contains(l), l.constData());
    if (proxyUser.isEmpty())
        QVERIFY(!server.received(0).contains("Proxy-Authorization"));
    if (!secondLine.isEmpty()) {
        QCOMPARE(server.connectionCount(), 2);
        QCOMPARE(requestLine(server.received(1)), secondLine);
    }
    QCOMPARE(log.body(), QByteArray("via proxy"));
}

void TestHttpCli::cancelInEveryPhase_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QStringList>("absent"); // events that must not come after the cancel

    const Script stall = Script().awaitRequest().stall();
    QTest::newRow("resolving a name") << "localhost" << stall << "afterBegin" << QStringList{"SessionConnected"};
    QTest::newRow("connecting right after the start")
        << "127.0.0.1" << stall << "afterBegin" << QStringList{"SessionConnected"};
    QTest::newRow("resolved, connecting")
        << "127.0.0.1" << stall << "State:Resolved" << QStringList{"SessionConnected"};
    QTest::newRow("connected") << "127.0.0.1" << stall << "SessionConnected" << QStringList{"RequestHeaderBegin"};
    QTest::newRow("request header composed")
        << "127.0.0.1" << stall << "RequestHeaderEnd" << QStringList{"HeaderBegin"};
    QTest::newRow("never answers") << "127.0.0.1" << stall << "timer" << QStringList{"HeaderBegin"};
    QTest::newRow("header in progress") << "127.0.0.1" << Script().awaitRequest().send("HTTP/1.0 200 OK\r\n").stall()
                                        << "HeaderData" << QStringList{"HeaderEnd", "DocData"};
    QTest::newRow("receiving the body") << "127.0.0.1"
                                        << Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\npart").stall()
                                        << "DocData" << QStringList{};
    QTest::newRow("redirect pending")
        << "127.0.0.1" << Script().awaitRequest().send("HTTP/1.0 302 Found\r\nLocation: /b\r\n\r\n").stall()
        << "LocationChange" << QStringList{"State:Resolving"};
    QTest::newRow("ready pending after Content-Length 0")
        << "127.0.0.1" << Script().awaitRequest().send("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n").stall()
        << "HeaderEnd" << QStringList{};
}

void TestHttpCli::cancelInEveryPhase()
{
    QFETCH(QString, host);
    QFETCH(Script, script);
    QFETCH(QString, trigger);
    QFETCH(QStringList, absent);
    ScriptedServer server;
    server.play(script);
    THttpCli c;
    HttpEventLog log(&c);
    int cancels = 0;
    const auto cancel = [&] {
        if (cancels++ == 0)
            c.CancelRequest();
    };
    const auto on = [&](const char* name) {
        return [&, name](THttpCli*) {
            if (trigger == QLatin1String(name))
                cancel();
        };
    };
    connect(&c, &THttpCli::OnStateChange, this, [&](THttpCli*) {
        if (trigger == QLatin1String("State:Resolved") && c.Phase() == THttpCli::Resolved)
            cancel();
    });
    connect(&c, &THttpCli::OnSessionConnected, this, on("SessionConnected"));
    connect(&c, &THttpCli::OnRequestHeaderEnd, this, on("RequestHeaderEnd"));
    connect(&c, &THttpCli::OnHeaderData, this, on("HeaderData"));
    connect(&c, &THttpCli::OnHeaderEnd, this, on("HeaderEnd"));
    connect(&c, &THttpCli::OnLocationChange, this, on("LocationChange"));
    connect(&c, &THttpCli::OnDocData, this, [&](THttpCli*, const char*, int) {
        if (trigger == QLatin1String("DocData"))
            cancel();
    });
    c.setURL(QStringLiteral("http://%1:%2/a").arg(host).arg(server.port()));
    c.BeginGet();
    if (trigger == QLatin1String("afterBegin"))
        cancel();
    if (trigger == QLatin1String("timer"))
        QTimer::singleShot(300, this, cancel);
    QVERIFY(log.waitForDone());
    QTest::qWait(200);
    QCOMPARE(cancels, 1);
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(log.done[0].error, 3);
    QCOMPARE(c.ResponseCode(), 404);
    QCOMPARE(c.ResponseText(), QStringLiteral("Connection aborted on request"));
    QCOMPARE(c.Phase(), THttpCli::Idle);
    QCOMPARE(log.count("State:Aborting"), 1);
    QCOMPARE(log.count("State:Idle"), 1);
    const int at = static_cast<int>(log.events.indexOf(QStringLiteral("State:Aborting")));
    for (const QString& e : absent)
        QVERIFY2(!log.events.mid(at).contains(e), qPrintable(e));
    QVERIFY(server.connectionCount() <= 1);
}

void TestHttpCli::cancelFromHeaderEndStillDeliversBytes()
{
    ScriptedServer server;
    server.play(Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\nwith the header").stall());
    THttpCli c;
    HttpEventLog log(&c);
    int code = 0;
    connect(&c, &THttpCli::OnHeaderEnd, this, [&](THttpCli* sender) {
        code = sender->ResponseCode();
        sender->CancelRequest();
    });
    c.setURL(server.url(QStringLiteral("/")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(code, 200);
    QCOMPARE(log.body(), QByteArray("with the header"));
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(log.done[0].error, 3);
}

void TestHttpCli::cancelOnIdleReportsNothing()
{
    THttpCli c;
    HttpEventLog log(&c);
    c.CancelRequest();
    QTest::qWait(50);
    QVERIFY(log.events.isEmpty());
}

void TestHttpCli::targetBlanksEncoded_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("location"); // a redirect answered first, when set
    QTest::addColumn<QByteArray>("lastLine");

    QTest::newRow("blanks") << "/a b?c d" << QByteArray() << QByteArray("GET /a%20b?c%20d HTTP/1.0");
    QTest::newRow("controls") << QStringLiteral("/x\ty\x7Fz\x01") << QByteArray()
                              << QByteArray("GET /x%09y%7Fz%01 HTTP/1.0");
    QTest::newRow("the rest as it stands")
        << QStringLiteral("/s?q=web+design&p=%41&k=caf\u00e9\"<>") << QByteArray()
        << QByteArray("GET /s?q=web+design&p=%41&k=caf\xc3\xa9\"<> HTTP/1.0");
    QTest::newRow("redirect target") << "/x" << QByteArray("/next page") << QByteArray("GET /next%20page HTTP/1.0");
}

void TestHttpCli::targetBlanksEncoded()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, location);
    QFETCH(QByteArray, lastLine);
    ScriptedServer server;
    if (location.isEmpty())
        server.play(answer(okAnswer("")));
    else
        server.play({answer("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n"), answer(okAnswer(""))});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(path));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(requestLine(server.received(server.connectionCount() - 1)), lastLine);
}

void TestHttpCli::upperCaseSchemeUnreachable()
{
    ScriptedServer server;
    server.play(answer(okAnswer("")));
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(QStringLiteral("HTTP://127.0.0.1:%1/x").arg(server.port()));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(c.ResponseCode(), 404);
    QCOMPARE(c.ResponseText(), QStringLiteral("can't resolve hostname to IP address"));
    QCOMPARE(log.done[0].error, 11001);
    QCOMPARE(server.connectionCount(), 0);
}

void TestHttpCli::failures_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("localAddr");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("error");

    QTest::newRow("connection refused") << Script() << "0.0.0.0" << false << "Connection refused (Error #10061)"
                                        << 10061;
    QTest::newRow("local address not ours")
        << Script() << "192.0.2.1" << true << "can't connect: Cannot assign requested address (Error #10049)" << 10049;
    QTest::newRow("closed without a byte")
        << Script().awaitRequest().close() << "0.0.0.0" << true << "Connection closed before the response header" << 0;
    QTest::newRow("closed in the header") << Script().awaitRequest().send("HTTP/1.0 200 OK\r\nX-A: 1\r\n").close()
                                          << "0.0.0.0" << true << "Connection closed before the response header" << 0;
    QTest::newRow("reset in the header") << Script().awaitRequest().send("HTTP/1.0 200 OK\r\nX-A: ").wait(50).reset()
                                         << "0.0.0.0" << true << "Connection closed before the response header" << -2;
    QTest::newRow("endless header line") << Script().awaitRequest().sendRepeated(QByteArray(1024, 'a'), 64).stall()
                                         << "0.0.0.0" << true << "HTTP line too long" << 0;
    QTest::newRow("status not a number") << Script().awaitRequest().send("HTTP/1.1 2O0 OK\r\n\r\nbody").stall()
                                         << "0.0.0.0" << true << "'2O0' is not a valid integer value" << 0;
    QTest::newRow("length not a number")
        << Script().awaitRequest().send("HTTP/1.1 200 OK\r\nContent-Length: ten\r\n\r\nbody").stall() << "0.0.0.0"
        << true << "'ten' is not a valid integer value" << 0;
    QTest::newRow("10 MB of header lines") << Script()
                                                  .awaitRequest()
                                                  .sendRepeated("X-Filler: " + QByteArray(90, 'x') + "\r\n", 100000)
                                                  .send("\r\nbody")
                                                  .close()
                                           << "0.0.0.0" << true << "HTTP header too long" << 0;
}

void TestHttpCli::failures()
{
    QFETCH(Script, script);
    QFETCH(QString, localAddr);
    QFETCH(bool, listening);
    QFETCH(QString, text);
    QFETCH(int, error);
    std::unique_ptr<ScriptedServer> server;
    quint16 port = 0;
    if (listening) {
        server = std::make_unique<ScriptedServer>();
        server->play(script);
        port = server->port();
    } else {
        port = LocalPeer::freePort();
    }
    THttpCli c;
    HttpEventLog log(&c);
    c.setLocalAddr(localAddr);
    c.setURL(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    c.BeginGet();
    QVERIFY(log.waitForDone(1, 20000));
    QCOMPARE(c.ResponseCode(), 404);
    QCOMPARE(c.ResponseText(), text);
    QCOMPARE(log.done.size(), 1);
    if (error >= 0)
        QCOMPARE(log.done[0].error, error);
    QVERIFY(log.chunks.isEmpty());
    QCOMPARE(c.Phase(), THttpCli::Idle);
}

void TestHttpCli::bigBodyKeepsMemoryFlat()
{
    const qint64 blocks = 200 * 16; // 200 MB in 64 KB blocks
    const QByteArray block(64 * 1024, 'b');
    ScriptedServer server;
    server.play(Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\n").sendRepeated(block, blocks).close());
    THttpCli c;
    qint64 total = 0;
    int largest = 0;
    long peakKb = 0;
    int calls = 0;
    connect(&c, &THttpCli::OnDocData, this, [&](THttpCli*, const char*, int len) {
        total += len;
        largest = std::max(largest, len);
        if (++calls % 2000 == 0)
            peakKb = std::max(peakKb, memoryInUseKb());
    });
    bool done = false;
    connect(&c, &THttpCli::OnRequestDone, this, [&](THttpCli*, int, int) { done = true; });
    const long startKb = memoryInUseKb();
    c.setURL(server.url(QStringLiteral("/big")));
    c.BeginGet();
    QTRY_VERIFY_WITH_TIMEOUT(done, 120000);
    QCOMPARE(total, blocks * block.size());
    QCOMPARE(c.ReceivedBytes(), total);
    QVERIFY(largest <= 8192);
    qInfo("memory in use: %ld kB at the start, %ld kB at most while receiving", startKb, peakKb);
    QVERIFY2(peakKb - startKb < 40 * 1024, "memory grew with the document");
}

void TestHttpCli::deleteInRequestDone()
{
    ScriptedServer server;
    server.play(Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\n").stall());
    QPointer<THttpCli> c = new THttpCli;
    auto* body = new QBuffer; // freed with the client, like the live submitter's RequestBody
    int doneCount = 0;
    connect(c, &THttpCli::OnRequestDone, this, [&](THttpCli* sender, int, int) {
        ++doneCount;
        delete sender;
        delete body;
    });
    // Cancel from OnHeaderEnd: a ready notification may still be pending when the client goes.
    connect(c, &THttpCli::OnHeaderEnd, this, [](THttpCli* sender) { sender->CancelRequest(); });
    c->setURL(server.url(QStringLiteral("/")));
    c->BeginGet();
    QTRY_VERIFY_WITH_TIMEOUT(c.isNull(), 5000);
    QTest::qWait(100);
    QCOMPARE(doneCount, 1);
}

void TestHttpCli::deleteWhileBusy()
{
    ScriptedServer server;
    server.play(Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\nsome").stall());
    auto* c = new THttpCli;
    int doneCount = 0;
    connect(c, &THttpCli::OnRequestDone, this, [&](THttpCli*, int, int) { ++doneCount; });
    c->setURL(server.url(QStringLiteral("/")));
    c->BeginGet();
    QTRY_COMPARE_WITH_TIMEOUT(c->Phase(), THttpCli::ReceivingBody, 5000);
    delete c;
    QTest::qWait(100);
    QCOMPARE(doneCount, 0);
    QTRY_COMPARE_WITH_TIMEOUT(server.closedCount(), 1, 2000);
}

void TestHttpCli::deleteWhileResolving()
{
    ScriptedServer server;
    server.play(Script().awaitRequest().stall());
    auto* c = new THttpCli;
    int events = 0;
    connect(c, &THttpCli::OnSessionConnected, this, [&](THttpCli*) { ++events; });
    connect(c, &THttpCli::OnRequestDone, this, [&](THttpCli*, int, int) { ++events; });
    c->setURL(QStringLiteral("http://localhost:%1/").arg(server.port()));
    c->BeginGet();
    QCOMPARE(c->Phase(), THttpCli::Resolving);
    delete c;
    QTest::qWait(300);
    QCOMPARE(events, 0);
    QCOMPARE(server.connectionCount(), 0);
}

void TestHttpCli::runGet()
{
    ScriptedServer server;
    server.play({answer(okAnswer("sync")), answer("HTTP/1.0 404 Not Found\r\n\r\nmissing")});
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(server.url(QStringLiteral("/a")));
    c.RunGet();
    QCOMPARE(c.Phase(), THttpCli::Idle);
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(log.body(), QByteArray("sync"));
    c.setURL(server.url(QStringLiteral("/b")));
    try {
        c.RunGet();
        QFAIL("no exception for a 404");
    } catch (const EHttpException& e) {
        QCOMPARE(e.Code(), 404);
        QCOMPARE(e.message(), QStringLiteral("Not Found"));
    }
    QVERIFY(log.waitForDone(2));
}

void TestHttpCli::runGetDoesNotSpin()
{
    ScriptedServer server;
    server.play(Script().awaitRequest().stall());
    THttpCli c;
    c.setMultiThreaded(true);
    c.setURL(server.url(QStringLiteral("/")));
    // The waiting loop lets a cancel (a Cancel button in the program) through.
    QTimer::singleShot(600, &c, [&c] { c.CancelRequest(); });
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    try {
        c.RunGet();
        QFAIL("no exception for the cancelled request");
    } catch (const EHttpException& e) {
        QCOMPARE(e.Code(), 404);
        QCOMPARE(e.message(), QStringLiteral("Connection aborted on request"));
    }
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = double(wall.elapsed()) / 1000.0;
    qInfo("RunGet waited %.2f s using %.3f s of processor time", seconds, cpu);
    QVERIFY(seconds >= 0.5);
    QVERIFY2(cpu < 0.3 * seconds, "RunGet spins while it waits");
}

void TestHttpCli::socketErrorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "No Error";
    QTest::newRow("10060") << 10060 << "Connection timed out";
    QTest::newRow("10061") << 10061 << "Connection refused";
    QTest::newRow("10065") << 10065 << "No route to host";
    QTest::newRow("11001") << 11001 << "Host not found";
    QTest::newRow("unknown") << 12345 << "Not a WinSock error";
    QTest::newRow("negative") << -1 << "Not a WinSock error";
}

void TestHttpCli::socketErrorTexts()
{
    QFETCH(int, code);
    QTEST(SocketErrors::SocketErrorDesc(code), "text");
    QCOMPARE(SocketErrors::codeFor(QAbstractSocket::ConnectionRefusedError), 10061);
    QCOMPARE(SocketErrors::codeFor(QAbstractSocket::SocketTimeoutError), 10060);
    QCOMPARE(SocketErrors::codeFor(QAbstractSocket::NetworkError), 10065);
    QCOMPARE(SocketErrors::codeFor(QHostInfo::HostNotFound), 11001);
}

void TestHttpCli::credentialsStayWithTheirOrigin_data()
{
    QTest::addColumn<QString>("location"); // %1: the second server's port, %2: the first's
    QTest::addColumn<bool>("sent");
    QTest::newRow("same origin, another path") << "http://127.0.0.1:%2/next" << true;
    QTest::newRow("relative") << "/next" << true;
    QTest::newRow("another port") << "http://127.0.0.1:%1/next" << false;
    QTest::newRow("another host, same port") << "http://localhost:%2/next" << false;
}

void TestHttpCli::credentialsStayWithTheirOrigin()
{
    QFETCH(QString, location);
    QFETCH(bool, sent);
    ScriptedServer first;
    ScriptedServer second;
    second.play(answer(okAnswer("there")));
    const QByteArray to = QString(location)
                              .replace(QLatin1String("%1"), QString::number(second.port()))
                              .replace(QLatin1String("%2"), QString::number(first.port()))
                              .toLatin1();
    first.play({answer("HTTP/1.0 302 Found\r\nLocation: " + to + "\r\n\r\n"), answer(okAnswer("here"))});
    THttpCli c;
    HttpEventLog log(&c);
    c.setUsername(QStringLiteral("ann"));
    c.setPassword(QStringLiteral("secret"));
    c.setCookie(QStringLiteral("session=42"));
    c.setURL(first.url(QStringLiteral("/start")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(c.ResponseCode(), 200);
    const QList<QByteArray> asked = trimmed(headerLines(first.received(0)));
    QVERIFY(asked.contains("Authorization: Basic YW5uOnNlY3JldA=="));
    QVERIFY(asked.contains("Cookie: session=42"));
    const bool sameServer = second.connectionCount() == 0;
    const QList<QByteArray> redirected = trimmed(headerLines(sameServer ? first.received(1) : second.received(0)));
    QVERIFY(!redirected.isEmpty());
    QCOMPARE(redirected.contains("Authorization: Basic YW5uOnNlY3JldA=="), sent);
    QCOMPARE(redirected.contains("Cookie: session=42"), sent);
    // The client keeps them for its next request.
    QCOMPARE(c.Username(), QStringLiteral("ann"));
    QCOMPARE(c.Cookie(), QStringLiteral("session=42"));
}

void TestHttpCli::deadlines_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("idle");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("body");
    const Script trickle = Script()
                               .awaitRequest()
                               .send("HTTP/1.0 200 OK\r\n\r\n")
                               .wait(500)
                               .send("a")
                               .wait(500)
                               .send("b")
                               .wait(500)
                               .send("c")
                               .wait(500)
                               .send("d")
                               .close();
    QTest::newRow("stalls after the header, idle") << Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\nab").stall()
                                                   << 1 << 0 << 408 << "Request Timeout (no data for 1 s)"
                                                   << QByteArray("ab");
    QTest::newRow("never answers, idle") << Script().awaitRequest().stall() << 1 << 0 << 408
                                         << "Request Timeout (no data for 1 s)" << QByteArray();
    QTest::newRow("trickles, idle") << trickle << 1 << 0 << 200 << "OK" << QByteArray("abcd");
    // The total deadline falls well between two sends: at the edge of one, a loaded machine decides the body.
    const Script slowTrickle =
        Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\n").wait(300).send("a").wait(1400).send("b").close();
    QTest::newRow("trickles, total") << slowTrickle << 0 << 1 << 408 << "Request Timeout (no answer within 1 s)"
                                     << QByteArray("a");
    QTest::newRow("trickles, both") << trickle << 1 << 5 << 200 << "OK" << QByteArray("abcd");
}

void TestHttpCli::deadlines()
{
    QFETCH(Script, script);
    QFETCH(int, idle);
    QFETCH(int, total);
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(QByteArray, body);
    ScriptedServer server;
    server.play(script);
    THttpCli c;
    HttpEventLog log(&c);
    c.setIdleTimeout(idle);
    c.setTotalTimeout(total);
    c.setURL(server.url());
    QElapsedTimer clock;
    clock.start();
    c.BeginGet();
    QVERIFY(log.waitForDone(1, 10000));
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(c.ResponseCode(), code);
    QCOMPARE(c.ResponseText(), text);
    QCOMPARE(log.body(), body);
    if (code == 408) {
        QCOMPARE(log.done[0].error, int(SocketErrors::TimedOut));
        QVERIFY2(clock.elapsed() >= 900 && clock.elapsed() < 3000, QByteArray::number(clock.elapsed()).constData());
        // RunGet reports it as a failure.
        c.setURL(server.url());
        QVERIFY_THROWS_EXCEPTION(EHttpException, c.RunGet());
    }
}

void TestHttpCli::everyAddressTried_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<int>("code");
    // Nothing listens on 127.0.0.2 at the server's port.
    QTest::newRow("dead, then live") << QStringList{"127.0.0.2", "127.0.0.1"} << 200;
    QTest::newRow("two dead, then live") << QStringList{"127.0.0.2", "127.0.0.3", "127.0.0.1"} << 200;
    QTest::newRow("IPv6 dead, IPv4 live") << QStringList{"::1", "127.0.0.1"} << 200;
    QTest::newRow("all dead") << QStringList{"127.0.0.2", "127.0.0.3"} << 404;
}

void TestHttpCli::everyAddressTried()
{
    QFETCH(QStringList, addresses);
    QFETCH(int, code);
    ScriptedServer server;
    server.play(answer(okAnswer("found")));
    FixedNamesClient c;
    for (const QString& a : addresses)
        c.addresses << QHostAddress(a);
    HttpEventLog log(&c);
    c.setURL(QStringLiteral("http://twice.test:%1/").arg(server.port()));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(log.done.size(), 1);
    QCOMPARE(c.ResponseCode(), code);
    if (code == 200) {
        QCOMPARE(log.body(), QByteArray("found"));
        QVERIFY(server.received().startsWith("GET / HTTP/1.0\r\n"));
    } else {
        QCOMPARE(c.ResponseText(), QStringLiteral("Connection refused (Error #10061)"));
        QCOMPARE(server.connectionCount(), 0);
    }
    // One connection made, one request.
    QCOMPARE(log.count(QStringLiteral("SessionConnected")), code == 200 ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestHttpCli)
#include "tst_httpcli.moc"
