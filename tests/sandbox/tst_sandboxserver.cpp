// The sandbox over real sockets on 127.0.0.1: every path's answer, the stall,
// the close, the log, bad and huge requests, many connections at once, and
// the program itself.
#include "sandbox/RequestParser.h"
#include "sandbox/SandboxServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <memory>
#include <vector>

namespace {

// A peer that sends its bytes once connected and keeps what comes back until
// the server closes. Driven by the event loop only: the server runs on this thread.
class Peer : public QObject
{
    Q_OBJECT

public:
    Peer(quint16 port, const QByteArray& request, bool sendAtOnce = true) : m_request(request)
    {
        connect(&socket, &QTcpSocket::connected, this, [this, sendAtOnce] {
            connected = true;
            if (sendAtOnce)
                send();
        });
        connect(&socket, &QTcpSocket::readyRead, this, [this] { received += socket.readAll(); });
        connect(&socket, &QTcpSocket::disconnected, this, [this] {
            if (socket.isOpen())
                received += socket.readAll();
            closed = true;
        });
        connect(&socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError)
                error = socket.errorString();
            closed = true;
        });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    void send() { socket.write(m_request); }
    QByteArray statusLine() const { return received.left(received.indexOf("\r\n")); }
    QByteArray body() const
    {
        const qsizetype end = received.indexOf("\r\n\r\n");
        return end < 0 ? QByteArray() : received.mid(end + 4);
    }
    QByteArray header(const QByteArray& name) const
    {
        const qsizetype end = received.indexOf("\r\n\r\n");
        for (const QByteArray& line : received.left(end).split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith(name + ": "))
                return trimmed.mid(name.size() + 2);
        }
        return QByteArray();
    }

    QTcpSocket socket;
    QByteArray received;
    QString error;
    bool connected = false;
    bool closed = false;

private:
    QByteArray m_request;
};

QList<QByteArray> logLines(const QBuffer& log)
{
    QList<QByteArray> lines = log.data().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestSandboxServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void paths_data();
    void paths();
    void stallSendsNothing();
    void stallIsDroppedAtItsLimit();
    void closeSendsNothing();
    void logLine_data();
    void logLine();
    void badRequests_data();
    void badRequests();
    void floodIsCutOff();
    void slowRequestTimesOut();
    void silentConnectionIsNotLogged();
    void manyAtOnce();
    void connectionCap();
    void programListensAndExits();
    void programStopsOnSigterm();
    void programShedsLoadAtItsDescriptorLimit();
    void programRefusesBusyPortAndBadOptions_data();
    void programRefusesBusyPortAndBadOptions();

private:
    std::unique_ptr<SandboxServer> m_server;
    std::unique_ptr<QBuffer> m_log;
    quint16 m_port = 0;
};

void TestSandboxServer::init()
{
    m_log = std::make_unique<QBuffer>();
    m_log->open(QIODevice::ReadWrite);
    m_server = std::make_unique<SandboxServer>();
    m_server->addStandardSites();
    m_server->setLogDevice(m_log.get());
    QVERIFY(m_server->listen(0));
    m_port = m_server->port();
    QVERIFY(m_port != 0);
}

void TestSandboxServer::cleanup()
{
    m_server.reset();
    m_log.reset();
}

void TestSandboxServer::paths_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<bool>("redirects");
    QTest::addColumn<QByteArray>("bodyPart");

    const QByteArray end =
        " HTTP/1.0\r\nAccept: */*\r\nUser-Agent: Mozilla/3.0 (compatible)\r\nHost: 127.0.0.1\r\n\r\n";
    QTest::newRow("ok") << "GET /ok" + end << QByteArray("HTTP/1.0 200 OK") << false << QByteArray("Thank you");
    QTest::newRow("ok, query ignored") << "GET /ok?t=a+b&u=http://x/" + end << QByteArray("HTTP/1.0 200 OK") << false
                                       << QByteArray("Thank you");
    QTest::newRow("ok without reason") << "GET /ok-noreason" + end << QByteArray("HTTP/1.0 200") << false
                                       << QByteArray("Thank you");
    QTest::newRow("moved") << "GET /moved" + end << QByteArray("HTTP/1.0 301 Moved Permanently") << true
                           << QByteArray("/ok");
    QTest::newRow("found") << "GET /found?x=1" + end << QByteArray("HTTP/1.0 302 Found") << true << QByteArray("/ok");
    QTest::newRow("missing") << "GET /missing" + end << QByteArray("HTTP/1.0 404 Not Found") << false
                             << QByteArray("Not Found");
    QTest::newRow("timeout") << "GET /timeout" + end << QByteArray("HTTP/1.0 408 Request Timeout") << false
                             << QByteArray("Request Timeout");
    QTest::newRow("error") << "GET /error" + end << QByteArray("HTTP/1.0 500 Internal Server Error") << false
                           << QByteArray("Internal Server Error");
    QTest::newRow("unknown path") << "GET /no/such/page.htm" + end << QByteArray("HTTP/1.0 404 Not Found") << false
                                  << QByteArray("Not Found");
    QTest::newRow("unknown, ok in query")
        << "GET /nothing?/ok" + end << QByteArray("HTTP/1.0 404 Not Found") << false << QByteArray();
    QTest::newRow("post") << QByteArray("POST /ok HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                        "Content-Length: 3\r\n\r\na=b")
                          << QByteArray("HTTP/1.0 200 OK") << false << QByteArray("Thank you");
    QTest::newRow("post to error") << QByteArray("POST /error HTTP/1.0\r\nContent-Length: 3\r\n\r\na=b")
                                   << QByteArray("HTTP/1.0 500 Internal Server Error") << false << QByteArray();
    QTest::newRow("through a proxy") << "GET http://engine.example/found?a=b" + end << QByteArray("HTTP/1.0 302 Found")
                                     << true << QByteArray();
    QTest::newRow("manual") << "GET /help.htm" + end << QByteArray("HTTP/1.0 200 OK") << false
                            << QByteArray("Vantor Pro Help");
    QTest::newRow("home lists the paths")
        << "GET /" + end << QByteArray("HTTP/1.0 200 OK") << false << QByteArray("<A HREF=\"/ok-noreason\">");
}

void TestSandboxServer::paths()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    QFETCH(bool, redirects);
    QFETCH(QByteArray, bodyPart);

    Peer peer(m_port, request);
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    QCOMPARE(peer.error, QString());
    QCOMPARE(peer.statusLine(), statusLine);
    QVERIFY(peer.received.contains("\r\n\r\n"));
    QCOMPARE(peer.header("Content-Length"), QByteArray::number(peer.body().size()));
    QCOMPARE(peer.header("Connection"), QByteArray("close"));
    QVERIFY(peer.body().contains(bodyPart));
    if (redirects)
        QCOMPARE(peer.header("Location"), "http://127.0.0.1:" + QByteArray::number(m_port) + "/ok");
    else
        QCOMPARE(peer.header("Location"), QByteArray());
    QCOMPARE(logLines(*m_log).size(), 1);
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestSandboxServer::stallSendsNothing()
{
    Peer peer(m_port, "GET /stall?a=b HTTP/1.0\r\nReferer: http://site/\r\n\r\n");
    QTRY_VERIFY(peer.connected);
    QTRY_COMPARE(logLines(*m_log).size(), 1);
    QTest::qWait(500);
    QCOMPARE(peer.received, QByteArray());
    QVERIFY(!peer.closed);
    QCOMPARE(m_server->openConnections(), 1);
    QVERIFY(logLines(*m_log).first().contains("\tGET\t/stall?a=b\tstall\thttp://site/\t"));

    // The peer gives up: the sandbox lets the connection go.
    peer.socket.abort();
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestSandboxServer::stallIsDroppedAtItsLimit()
{
    SandboxLimits limits;
    limits.stallLimitMs = 300;
    m_server->setLimits(limits);
    QElapsedTimer clock;
    clock.start();
    Peer peer(m_port, "GET /stall HTTP/1.0\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    QVERIFY(clock.elapsed() >= 250);
    QCOMPARE(peer.received, QByteArray());
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestSandboxServer::closeSendsNothing()
{
    Peer peer(m_port, "GET /close HTTP/1.0\r\n\r\n");
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(peer.received, QByteArray());
    QCOMPARE(logLines(*m_log).size(), 1);
    QVERIFY(logLines(*m_log).first().contains("\tGET\t/close\tclose\t"));
}

void TestSandboxServer::logLine_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<QByteArray>>("fields"); // everything after the time

    QTest::newRow("get with query")
        << QByteArray("GET /ok?t=Fast+%26+Cheap&u=X&e=M HTTP/1.0\r\nAccept: */*\r\nReferer: http://engine/add.htm\r\n"
                      "User-Agent: Mozilla/3.0 (compatible)\r\nHost: 127.0.0.1\r\n\r\n")
        << QList<QByteArray>{"GET", "/ok?t=Fast+%26+Cheap&u=X&e=M", "200", "http://engine/add.htm", "", ""};
    QTest::newRow("post with body")
        << QByteArray("POST /found HTTP/1.0\r\nReferer: http://engine/\r\n"
                      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 24\r\n\r\n"
                      "t=Fast+%26+Cheap&u=X&e=M")
        << QList<QByteArray>{"POST",
                             "/found",
                             "302",
                             "http://engine/",
                             "application/x-www-form-urlencoded",
                             "t=Fast+%26+Cheap&u=X&e=M"};
    QTest::newRow("no referer") << QByteArray("GET /missing HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
                                << QList<QByteArray>{"GET", "/missing", "404", "", "", ""};
    QTest::newRow("malformed") << QByteArray("BROKEN\r\n\r\n") << QList<QByteArray>{"", "", "400", "", "", ""};
}

void TestSandboxServer::logLine()
{
    QFETCH(QByteArray, request);
    QFETCH(QList<QByteArray>, fields);

    Peer peer(m_port, request);
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    const QList<QByteArray> lines = logLines(*m_log);
    QCOMPARE(lines.size(), 1);
    QList<QByteArray> got = lines.first().split('\t');
    QCOMPARE(got.size(), 7);
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(got.takeFirst()), Qt::ISODateWithMs);
    QVERIFY(time.isValid());
    QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60);
    QCOMPARE(got, fields);
}

void TestSandboxServer::badRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");

    QTest::newRow("not http") << QByteArray("hello there\r\n\r\n") << QByteArray("HTTP/1.0 400 Bad Request");
    QTest::newRow("binary") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n", 13)
                            << QByteArray("HTTP/1.0 400 Bad Request");
    QTest::newRow("header over 64 KB")
        << "GET /ok HTTP/1.0\r\n" +
               QByteArray("X-Filler: 0123456789012345678901234567890123456789\r\n").repeated(1400) + "\r\n"
        << QByteArray("HTTP/1.0 400 Bad Request");
    // Most of it arrives after the answer: the sandbox must read it away, not reset the connection.
    QTest::newRow("header of 2 MB")
        << "GET /ok HTTP/1.0\r\n" +
               QByteArray("X-Filler: 0123456789012345678901234567890123456789\r\n").repeated(40000) + "\r\n"
        << QByteArray("HTTP/1.0 400 Bad Request");
    QTest::newRow("line over 64 KB") << "GET /" + QByteArray(70 * 1024, 'a') + " HTTP/1.0\r\n\r\n"
                                     << QByteArray("HTTP/1.0 400 Bad Request");
    QTest::newRow("bad length") << QByteArray("POST /ok HTTP/1.0\r\nContent-Length: x\r\n\r\n")
                                << QByteArray("HTTP/1.0 400 Bad Request");
    QTest::newRow("body too large") << QByteArray("POST /ok HTTP/1.0\r\nContent-Length: 2000000\r\n\r\nabc")
                                    << QByteArray("HTTP/1.0 413 Payload Too Large");
}

void TestSandboxServer::badRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);

    Peer peer(m_port, request);
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    // The answer arrives whole although the peer's bytes were not all read.
    QCOMPARE(peer.statusLine(), statusLine);
    QCOMPARE(peer.header("Content-Length"), QByteArray::number(peer.body().size()));
    QCOMPARE(logLines(*m_log).size(), 1);
    QVERIFY(logLines(*m_log).first().contains('\t' + statusLine.mid(9, 3) + '\t'));

    // The sandbox is still there for the next peer.
    Peer next(m_port, "GET /ok HTTP/1.0\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(next.closed, 5000);
    QCOMPARE(next.statusLine(), QByteArray("HTTP/1.0 200 OK"));
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestSandboxServer::floodIsCutOff()
{
    // A peer that goes on sending after its request is cut off after a bounded amount.
    Peer peer(m_port, "POST /stall HTTP/1.0\r\nContent-Length: 1\r\n\r\nx");
    qint64 sent = 0;
    const qint64 flood = 4 * m_server->limits().maxDrainBytes;
    const QByteArray block(256 * 1024, 'z');
    connect(&peer.socket, &QTcpSocket::bytesWritten, &peer, [&] {
        if (peer.socket.bytesToWrite() < block.size() && sent < flood) {
            peer.socket.write(block);
            sent += block.size();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 30000);
    QVERIFY(sent > m_server->limits().maxDrainBytes);
    QVERIFY(sent < flood);
    QCOMPARE(peer.received, QByteArray());
    QTRY_COMPARE(m_server->openConnections(), 0);
    Peer next(m_port, "GET /ok HTTP/1.0\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(next.closed, 5000);
    QCOMPARE(next.statusLine(), QByteArray("HTTP/1.0 200 OK"));
}

void TestSandboxServer::slowRequestTimesOut()
{
    SandboxLimits limits;
    limits.requestTimeoutMs = 300;
    m_server->setLimits(limits);
    Peer peer(m_port, "GET /ok HTTP/1.0\r\nReferer: http://slow/\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    QCOMPARE(peer.statusLine(), QByteArray("HTTP/1.0 408 Request Timeout"));
    const QList<QByteArray> lines = logLines(*m_log);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().endsWith("\tGET\t/ok\t408\thttp://slow/\t\t"));
}

void TestSandboxServer::silentConnectionIsNotLogged()
{
    SandboxLimits limits;
    limits.requestTimeoutMs = 200;
    m_server->setLimits(limits);
    Peer peer(m_port, QByteArray());
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    QCOMPARE(peer.statusLine(), QByteArray("HTTP/1.0 408 Request Timeout"));
    QCOMPARE(logLines(*m_log).size(), 0);
}

void TestSandboxServer::manyAtOnce()
{
    constexpr int Count = 200;
    std::vector<std::unique_ptr<Peer>> stalls;
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < Count; ++i) {
        stalls.push_back(std::make_unique<Peer>(m_port, "GET /stall HTTP/1.0\r\n\r\n"));
        peers.push_back(
            std::make_unique<Peer>(m_port, "GET /ok?n=" + QByteArray::number(i) + " HTTP/1.0\r\n\r\n", false));
    }
    // All 400 are connected before any of the 200 asks, so they are served at the same time.
    QTRY_COMPARE_WITH_TIMEOUT(m_server->openConnections(), 2 * Count, 20000);
    for (auto& p : peers)
        QVERIFY(p->connected);
    for (auto& p : peers)
        p->send();
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(peers.begin(), peers.end(), [](const auto& p) { return p->closed; }), 20000);
    for (int i = 0; i < Count; ++i) {
        QCOMPARE(peers[i]->statusLine(), QByteArray("HTTP/1.0 200 OK"));
        QCOMPARE(peers[i]->error, QString());
    }
    QTRY_COMPARE(m_server->openConnections(), Count);
    for (auto& s : stalls) {
        QVERIFY(!s->closed);
        QCOMPARE(s->received, QByteArray());
    }
    const QList<QByteArray> lines = logLines(*m_log);
    QCOMPARE(lines.size(), 2 * Count);
    int answered = 0;
    int stalled = 0;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split('\t');
        QCOMPARE(fields.size(), 7);
        answered += fields[2].startsWith("/ok?n=") && fields[3] == "200";
        stalled += fields[2] == "/stall" && fields[3] == "stall";
    }
    QCOMPARE(answered, Count);
    QCOMPARE(stalled, Count);
    stalls.clear();
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestSandboxServer::connectionCap()
{
    m_server->setMaxConnections(2);
    Peer a(m_port, "GET /stall HTTP/1.0\r\n\r\n");
    Peer b(m_port, "GET /stall HTTP/1.0\r\n\r\n");
    QTRY_COMPARE(m_server->openConnections(), 2);
    Peer c(m_port, "GET /ok HTTP/1.0\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(c.closed, 5000);
    QCOMPARE(c.received, QByteArray());
    QVERIFY(!a.closed && !b.closed);
    a.socket.abort();
    QTRY_COMPARE(m_server->openConnections(), 1);
    Peer d(m_port, "GET /ok HTTP/1.0\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(d.closed, 5000);
    QCOMPARE(d.statusLine(), QByteArray("HTTP/1.0 200 OK"));
}

namespace {

quint16 readListeningPort(QProcess& process)
{
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine() && clock.elapsed() < 10000 && process.state() == QProcess::Running)
        QTest::qWait(20);
    const QByteArray line = process.readLine();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)\n$")).match(QString::fromLatin1(line));
    return m.hasMatch() ? static_cast<quint16>(m.captured(1).toUInt()) : 0;
}

} // namespace

void TestSandboxServer::programListensAndExits()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString logPath = dir.filePath(QStringLiteral("sandbox.log"));
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(VANTOR_SANDBOX_EXE),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--exit-after"), QStringLiteral("2"),
                   QStringLiteral("--log"), logPath});
    QVERIFY(process.waitForStarted(5000));
    const quint16 port = readListeningPort(process);
    QVERIFY(port != 0);

    Peer peer(port, "GET /found?u=X HTTP/1.0\r\nReferer: http://engine/\r\n\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 5000);
    QCOMPARE(peer.statusLine(), QByteArray("HTTP/1.0 302 Found"));
    QCOMPARE(peer.header("Location"), "http://127.0.0.1:" + QByteArray::number(port) + "/ok");

    // The log line is there while the program still runs.
    const auto logText = [&logPath] {
        QFile log(logPath);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    };
    QTRY_VERIFY(logText().contains("\tGET\t/found?u=X\t302\thttp://engine/\t"));

    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
    QVERIFY(clock.elapsed() >= 1900);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardError(), QByteArray());
}

void TestSandboxServer::programStopsOnSigterm()
{
    QProcess process;
    process.start(QStringLiteral(VANTOR_SANDBOX_EXE), {QStringLiteral("--port"), QStringLiteral("0"),
                                                       QStringLiteral("--exit-after"), QStringLiteral("60")});
    QVERIFY(process.waitForStarted(5000));
    const quint16 port = readListeningPort(process);
    QVERIFY(port != 0);
    // A held connection does not keep it from stopping.
    Peer stall(port, "GET /stall HTTP/1.0\r\n\r\n");
    QTRY_VERIFY(process.canReadLine()); // its log line on stdout
    QCOMPARE(process.readLine().split('\t').value(3), QByteArray("stall"));

    QElapsedTimer clock;
    clock.start();
    process.terminate();
    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QTRY_VERIFY(stall.closed);
    QCOMPARE(stall.received, QByteArray());
}

void TestSandboxServer::programShedsLoadAtItsDescriptorLimit()
{
    QProcess process;
    // A hard limit of 64 descriptors, which the program cannot raise.
    process.setChildProcessModifier([] {
        rlimit limit = {64, 64};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
    process.start(QStringLiteral(VANTOR_SANDBOX_EXE), {QStringLiteral("--port"), QStringLiteral("0"),
                                                       QStringLiteral("--exit-after"), QStringLiteral("60")});
    QVERIFY(process.waitForStarted(5000));
    const quint16 port = readListeningPort(process);
    QVERIFY(port != 0);

    constexpr int Count = 100;
    std::vector<std::unique_ptr<Peer>> stalls;
    for (int i = 0; i < Count; ++i)
        stalls.push_back(std::make_unique<Peer>(port, "GET /stall HTTP/1.0\r\n\r\n"));
    // The program holds what its descriptors allow and closes the rest at once,
    // rather than leaving them unanswered in the queue.
    QByteArray log;
    const auto closedCount = [&stalls] {
        return std::count_if(stalls.begin(), stalls.end(), [](const auto& p) { return p->closed; });
    };
    QTRY_VERIFY_WITH_TIMEOUT((log += process.readAllStandardOutput(), log.count("\tstall\t") + closedCount() == Count),
                             10000);
    QTest::qWait(200);
    const qsizetype held = log.count("\tstall\t");
    QVERIFY2(held >= 16 && held <= 40, QByteArray::number(held).constData());
    QCOMPARE(closedCount(), Count - held);
    for (const auto& p : stalls)
        QCOMPARE(p->received, QByteArray());
    stalls.clear();

    // Once the held peers have gone it answers again; it may take the program
    // a moment to see their closes, so a peer that comes too soon is shed too.
    QByteArray status;
    for (int attempt = 0; attempt < 50 && status.isEmpty(); ++attempt) {
        Peer peer(port, "GET /ok HTTP/1.0\r\n\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(peer.closed, 10000);
        status = peer.statusLine();
        if (status.isEmpty())
            QTest::qWait(100);
    }
    QCOMPARE(status, QByteArray("HTTP/1.0 200 OK"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardError(), QByteArray());
}

void TestSandboxServer::programRefusesBusyPortAndBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("busy port") << QStringList{QStringLiteral("--port"), QStringLiteral("BUSY")}
                               << QStringLiteral("vantor-sandbox: cannot listen on 127.0.0.1:");
    QTest::newRow("port not a number") << QStringList{QStringLiteral("--port"), QStringLiteral("80x")}
                                       << QStringLiteral("vantor-sandbox: --port wants a number");
    QTest::newRow("port too big") << QStringList{QStringLiteral("--port"), QStringLiteral("65536")}
                                  << QStringLiteral("vantor-sandbox: --port wants a number");
    QTest::newRow("exit-after zero") << QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                                    QStringLiteral("--exit-after"), QStringLiteral("0")}
                                     << QStringLiteral("vantor-sandbox: --exit-after wants whole seconds");
    QTest::newRow("log in a missing folder")
        << QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--log"),
                       QStringLiteral("/nonexistent-folder/x.log")}
        << QStringLiteral("vantor-sandbox: cannot open the log /nonexistent-folder/x.log");
}

void TestSandboxServer::programRefusesBusyPortAndBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    arguments.replaceInStrings(QStringLiteral("BUSY"), QString::number(holder.serverPort()));
    QProcess process;
    // A safety stop first: a later --exit-after in the row wins.
    process.start(QStringLiteral(VANTOR_SANDBOX_EXE),
                  QStringList{QStringLiteral("--exit-after"), QStringLiteral("5")} + arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY2(process.readAllStandardError().startsWith(message.toUtf8()), qPrintable(message));
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestSandboxServer)
#include "tst_sandboxserver.moc"
