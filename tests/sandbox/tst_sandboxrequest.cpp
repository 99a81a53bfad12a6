// The sandbox's pure parts: reading requests from bytes, the bytes of an
// answer, routing and the log line.
#include "sandbox/RequestParser.h"
#include "sandbox/SandboxLog.h"
#include "sandbox/SandboxResponse.h"
#include "sandbox/SandboxRouter.h"

#include <QTest>

Q_DECLARE_METATYPE(RequestParser::State)

class TestSandboxRequest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void headerCap_data();
    void headerCap();
    void headerLookup();
    void responseBytes_data();
    void responseBytes();
    void routing_data();
    void routing();
    void logLine_data();
    void logLine();
    void escapeRoundTrip_data();
    void escapeRoundTrip();
};

namespace {

RequestParser feedInPieces(const QByteArray& bytes, int piece)
{
    RequestParser parser;
    for (qsizetype i = 0; i < bytes.size(); i += piece)
        parser.feed(bytes.mid(i, piece));
    return parser;
}

} // namespace

void TestSandboxRequest::parse_data()
{
    using S = RequestParser::State;
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<RequestParser::State>("state");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("plain get") << QByteArray("GET /ok HTTP/1.0\r\n\r\n") << S::Complete << 0 << QByteArray("GET")
                               << QByteArray("/ok") << QByteArray() << QByteArray();
    QTest::newRow("query after first ?") << QByteArray("GET /ok?a=b+c&d=%26?e HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n")
                                         << S::Complete << 0 << QByteArray("GET") << QByteArray("/ok")
                                         << QByteArray("a=b+c&d=%26?e") << QByteArray();
    QTest::newRow("bare LF line ends") << QByteArray("GET /x HTTP/1.1\nA: b\n\n") << S::Complete << 0
                                       << QByteArray("GET") << QByteArray("/x") << QByteArray() << QByteArray();
    QTest::newRow("post body, extra bytes ignored")
        << QByteArray("POST /ok HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                      "Content-Length: 7\r\n\r\na=b+c&dXYZ")
        << S::Complete << 0 << QByteArray("POST") << QByteArray("/ok") << QByteArray() << QByteArray("a=b+c&d");
    QTest::newRow("post empty body") << QByteArray("POST /ok HTTP/1.0\r\nContent-Length: 0\r\n\r\n") << S::Complete << 0
                                     << QByteArray("POST") << QByteArray("/ok") << QByteArray() << QByteArray();
    QTest::newRow("length with leading zeros")
        << QByteArray("POST /ok HTTP/1.0\r\nContent-Length: 0003\r\n\r\nabc") << S::Complete << 0 << QByteArray("POST")
        << QByteArray("/ok") << QByteArray() << QByteArray("abc");
    QTest::newRow("same length twice") << QByteArray("POST /ok HTTP/1.0\r\nContent-Length: 2\r\ncontent-length: 2"
                                                     "\r\n\r\nab")
                                       << S::Complete << 0 << QByteArray("POST") << QByteArray("/ok") << QByteArray()
                                       << QByteArray("ab");
    QTest::newRow("absolute target") << QByteArray("GET http://host:81/x/y?q=1 HTTP/1.0\r\n\r\n") << S::Complete << 0
                                     << QByteArray("GET") << QByteArray("/x/y") << QByteArray("q=1") << QByteArray();
    QTest::newRow("absolute without path") << QByteArray("GET HTTP://host HTTP/1.0\r\n\r\n") << S::Complete << 0
                                           << QByteArray("GET") << QByteArray("/") << QByteArray() << QByteArray();
    QTest::newRow("absolute query, no path")
        << QByteArray("GET http://host?q=/a HTTP/1.0\r\n\r\n") << S::Complete << 0 << QByteArray("GET")
        << QByteArray("/") << QByteArray("q=/a") << QByteArray();
    QTest::newRow("blank lines before") << QByteArray("\r\n\r\nGET /ok HTTP/1.0\r\n\r\n") << S::Complete << 0
                                        << QByteArray("GET") << QByteArray("/ok") << QByteArray() << QByteArray();
    QTest::newRow("no blank line yet") << QByteArray("GET /ok HTTP/1.0\r\nHost: x\r\n") << S::Incomplete << 0
                                       << QByteArray("GET") << QByteArray("/ok") << QByteArray() << QByteArray();
    QTest::newRow("body not all there") << QByteArray("POST /ok HTTP/1.0\r\nContent-Length: 10\r\n\r\n12345")
                                        << S::Incomplete << 0 << QByteArray("POST") << QByteArray("/ok") << QByteArray()
                                        << QByteArray("12345");

    const QByteArray none;
    QTest::newRow("garbage") << QByteArray("garbage\r\n") << S::Invalid << 400 << none << none << none << none;
    QTest::newRow("two words") << QByteArray("GET /\r\n\r\n") << S::Invalid << 400 << none << none << none << none;
    QTest::newRow("four words") << QByteArray("GET / x HTTP/1.0\r\n\r\n") << S::Invalid << 400 << none << none << none
                                << none;
    QTest::newRow("double space") << QByteArray("GET  / HTTP/1.0\r\n\r\n") << S::Invalid << 400 << none << none << none
                                  << none;
    QTest::newRow("bad version") << QByteArray("GET / HTTX/1.0\r\n\r\n") << S::Invalid << 400 << none << none << none
                                 << none;
    QTest::newRow("version too long") << QByteArray("GET / HTTP/1.10\r\n\r\n") << S::Invalid << 400 << none << none
                                      << none << none;
    QTest::newRow("target without slash")
        << QByteArray("GET ok HTTP/1.0\r\n\r\n") << S::Invalid << 400 << none << none << none << none;
    QTest::newRow("control byte in target") << QByteArray("GET /a\x01"
                                                          "b HTTP/1.0\r\n\r\n")
                                            << S::Invalid << 400 << none << none << none << none;
    QTest::newRow("nul in method") << QByteArray("G\0T / HTTP/1.0\r\n\r\n", 18) << S::Invalid << 400 << none << none
                                   << none << none;
    QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.0\r\nNoColon\r\n\r\n") << S::Invalid << 400
                                          << QByteArray("GET") << QByteArray("/") << none << none;
    QTest::newRow("empty header name") << QByteArray("GET / HTTP/1.0\r\n: v\r\n\r\n") << S::Invalid << 400
                                       << QByteArray("GET") << QByteArray("/") << none << none;
    QTest::newRow("folded header") << QByteArray("GET / HTTP/1.0\r\nA: b\r\n  more\r\n\r\n") << S::Invalid << 400
                                   << QByteArray("GET") << QByteArray("/") << none << none;
    QTest::newRow("length not a number") << QByteArray("POST / HTTP/1.0\r\nContent-Length: 12a\r\n\r\n") << S::Invalid
                                         << 400 << QByteArray("POST") << QByteArray("/") << none << none;
    QTest::newRow("negative length") << QByteArray("POST / HTTP/1.0\r\nContent-Length: -1\r\n\r\n") << S::Invalid << 400
                                     << QByteArray("POST") << QByteArray("/") << none << none;
    QTest::newRow("two lengths") << QByteArray("POST / HTTP/1.0\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab")
                                 << S::Invalid << 400 << QByteArray("POST") << QByteArray("/") << none << none;
    QTest::newRow("body one over the cap")
        << QByteArray("POST / HTTP/1.0\r\nContent-Length: 1048577\r\n\r\n") << S::Invalid << 413 << QByteArray("POST")
        << QByteArray("/") << none << none;
    QTest::newRow("length of 20 digits") << QByteArray(
                                                "POST / HTTP/1.0\r\nContent-Length: 99999999999999999999\r\n\r\n")
                                         << S::Invalid << 413 << QByteArray("POST") << QByteArray("/") << none << none;
    QTest::newRow("chunked") << QByteArray("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
                             << S::Invalid << 501 << QByteArray("POST") << QByteArray("/") << none << none;
}

void TestSandboxRequest::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(RequestParser::State, state);
    QFETCH(int, error);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, body);

    // However the bytes are cut by the network, the outcome is the same.
    for (int piece : {static_cast<int>(bytes.size()), 1, 2, 7}) {
        const RequestParser parser = feedInPieces(bytes, piece);
        const QByteArray where = "pieces of " + QByteArray::number(piece);
        QVERIFY2(parser.state() == state, where.constData());
        QVERIFY2(parser.hasReceived(), where.constData());
        if (state == RequestParser::State::Invalid) {
            QVERIFY2(parser.errorStatus() == error, where.constData());
            QVERIFY2(!parser.errorReason().isEmpty(), where.constData());
        }
        if (!method.isEmpty()) {
            QCOMPARE(parser.request().method, method);
            QCOMPARE(parser.request().path, path);
            QCOMPARE(parser.request().query, query);
            QCOMPARE(parser.request().body, body);
        }
    }
}

void TestSandboxRequest::headerCap_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("failsBeforeLineEnd");

    const QByteArray head = "GET / HTTP/1.0\r\n";
    const qsizetype room = RequestParser::MaxHeaderBytes - head.size() - 2; // the blank line's CR LF
    // One header line "X: aaa...\r\n" filling the cap exactly, then one byte more.
    QTest::newRow("exactly at the cap") << head + "X: " + QByteArray(room - 5, 'a') + "\r\n\r\n" << true << false;
    QTest::newRow("one byte over") << head + "X: " + QByteArray(room - 4, 'a') + "\r\n\r\n" << false << false;
    QTest::newRow("many short lines") << head + QByteArray("A: b\r\n").repeated(RequestParser::MaxHeaderBytes / 6)
                                      << false << false;
    QTest::newRow("one endless line") << "GET /" + QByteArray(RequestParser::MaxHeaderBytes + 10, 'a') << false << true;
}

void TestSandboxRequest::headerCap()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QFETCH(bool, failsBeforeLineEnd);

    for (int piece : {static_cast<int>(bytes.size()), 1000, 1}) {
        RequestParser parser = feedInPieces(bytes, piece);
        if (accepted) {
            QCOMPARE(parser.state(), RequestParser::State::Complete);
        } else {
            QCOMPARE(parser.state(), RequestParser::State::Invalid);
            QCOMPARE(parser.errorStatus(), 400);
        }
    }
    if (failsBeforeLineEnd) {
        // A peer that never ends its line is refused as soon as it passes the cap.
        RequestParser parser;
        parser.feed(bytes.left(RequestParser::MaxHeaderBytes));
        QCOMPARE(parser.state(), RequestParser::State::Incomplete);
        parser.feed(bytes.mid(RequestParser::MaxHeaderBytes, 1));
        QCOMPARE(parser.state(), RequestParser::State::Invalid);
    }
}

void TestSandboxRequest::headerLookup()
{
    RequestParser parser;
    parser.feed("GET / HTTP/1.0\r\nreferer:   http://a/  \r\nREFERER: http://b/\r\nEmpty:\r\n\r\n");
    QCOMPARE(parser.state(), RequestParser::State::Complete);
    const SandboxRequest& r = parser.request();
    QCOMPARE(r.header("Referer"), QByteArray("http://a/"));
    QVERIFY(r.hasHeader("empty"));
    QCOMPARE(r.header("Empty"), QByteArray());
    QVERIFY(!r.hasHeader("Content-Type"));
    QCOMPARE(r.headers.size(), 3);
}

void TestSandboxRequest::responseBytes_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("withBody");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("with reason") << 200 << QByteArray("OK") << QByteArray("<P>x</P>") << true
                                 << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 8\r\n"
                                               "Connection: close\r\n\r\n<P>x</P>");
    QTest::newRow("no reason") << 200 << QByteArray() << QByteArray("ab") << true
                               << QByteArray("HTTP/1.0 200\r\nContent-Type: text/html\r\nContent-Length: 2\r\n"
                                             "Connection: close\r\n\r\nab");
    QTest::newRow("no body") << 404 << QByteArray("Not Found") << QByteArray() << true
                             << QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    QTest::newRow("head leaves body out")
        << 200 << QByteArray("OK") << QByteArray("abc") << false
        << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 3\r\nConnection: close\r\n\r\n");
}

void TestSandboxRequest::responseBytes()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QByteArray, body);
    QFETCH(bool, withBody);
    QFETCH(QByteArray, expected);

    SandboxResponse r;
    r.status = status;
    r.reason = reason;
    r.body = body;
    QCOMPARE(r.toBytes(withBody), expected);
    QCOMPARE(r.logAnswer(), QByteArray::number(status));
}

void TestSandboxRequest::routing_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("status");

    QTest::newRow("exact") << QByteArray("/a") << 201;
    QTest::newRow("exact beats prefix") << QByteArray("/site/") << 202;
    QTest::newRow("prefix") << QByteArray("/site/page.htm") << 203;
    QTest::newRow("longest prefix") << QByteArray("/site/deep/x") << 204;
    QTest::newRow("replaced registration") << QByteArray("/b") << 206;
    QTest::newRow("case matters") << QByteArray("/A") << 404;
    QTest::newRow("not a prefix of a longer path") << QByteArray("/ab") << 404;
    QTest::newRow("unknown") << QByteArray("/nothing") << 404;
}

void TestSandboxRequest::routing()
{
    QFETCH(QByteArray, path);
    QFETCH(int, status);

    const auto answer = [](int code) {
        return [code](const SandboxRequest&) { return SandboxResponse::page(code, "R", "R", "R"); };
    };
    SandboxRouter router;
    router.addPath("/a", answer(201));
    router.addPath("/site/", answer(202));
    router.addPrefix("/site/", answer(203));
    router.addPrefix("/site/deep/", answer(204));
    router.addPath("/b", answer(205));
    router.addPath("/b", answer(206));

    SandboxRequest request;
    request.method = "GET";
    request.path = path;
    request.query = "a=/b";
    const SandboxResponse response = router.route(request);
    QCOMPARE(response.status, status);
    if (status == 404)
        QCOMPARE(response.reason, QByteArray("Not Found"));
}

void TestSandboxRequest::logLine_data()
{
    QTest::addColumn<QByteArray>("requestBytes");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("get with query")
        << QByteArray("GET /ok?t=Fast+%26+Cheap&u=X HTTP/1.0\r\nReferer: http://site/\r\n\r\n") << QByteArray("200")
        << QByteArray("2026-03-04T05:06:07.089Z\tGET\t/ok?t=Fast+%26+Cheap&u=X\t200\thttp://site/\t\t\n");
    QTest::newRow("post with body")
        << QByteArray("POST /found HTTP/1.0\r\nReferer: http://r/\r\nContent-Type: application/x-www-form-urlencoded"
                      "\r\nContent-Length: 8\r\n\r\na=1&b=\t2")
        << QByteArray("302")
        << QByteArray("2026-03-04T05:06:07.089Z\tPOST\t/found\t302\thttp://r/\tapplication/x-www-form-urlencoded\t"
                      "a=1&b=\\t2\n");
    QTest::newRow("no referer, stall") << QByteArray("GET /stall HTTP/1.0\r\n\r\n") << QByteArray("stall")
                                       << QByteArray("2026-03-04T05:06:07.089Z\tGET\t/stall\tstall\t\t\t\n");
    QTest::newRow("line breaks in body") << QByteArray("POST / HTTP/1.0\r\nContent-Length: 6\r\n\r\na\r\nb\\\x01")
                                         << QByteArray("200")
                                         << QByteArray(
                                                "2026-03-04T05:06:07.089Z\tPOST\t/\t200\t\t\ta\\r\\nb\\\\\\x01\n");
}

void TestSandboxRequest::logLine()
{
    QFETCH(QByteArray, requestBytes);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, expected);

    RequestParser parser;
    QCOMPARE(parser.feed(requestBytes), RequestParser::State::Complete);
    const QDateTime time(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    const QByteArray line = SandboxLog::formatLine(time, parser.request(), answer);
    QCOMPARE(line, expected);
    QCOMPARE(line.count('\n'), 1);
    QCOMPARE(line.split('\t').size(), 7);
    QCOMPARE(SandboxLog::unescape(line.split('\t').at(6).chopped(1)), parser.request().body);
}

void TestSandboxRequest::escapeRoundTrip_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("plain") << QByteArray("a=b&c=d e");
    QTest::newRow("backslashes") << QByteArray("\\t is not a tab \\");
    QTest::newRow("controls") << QByteArray("\t\r\n\x1b\x7f", 5);
    QTest::newRow("nul") << QByteArray("a\0b", 3);
    QTest::newRow("high bytes pass") << QByteArray("caf\xc3\xa9");
}

void TestSandboxRequest::escapeRoundTrip()
{
    QFETCH(QByteArray, field);
    const QByteArray escaped = SandboxLog::escape(field);
    for (char c : escaped) {
        const auto u = static_cast<unsigned char>(c);
        QVERIFY(u >= 0x20 && u != 0x7f);
    }
    QCOMPARE(SandboxLog::unescape(escaped), field);
}

QTEST_GUILESS_MAIN(TestSandboxRequest)
#include "tst_sandboxrequest.moc"
