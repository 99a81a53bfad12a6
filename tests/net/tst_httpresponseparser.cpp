#include "net/EHttpException.h"
#include "net/HttpResponseParser.h"

#include <QtTest>

#include <cstring>

namespace {

// Records what the parser hands on; the header end answers Body unless told otherwise.
class Recorder : public HttpResponseParser::Handler
{
public:
    QStringList events;
    QList<QByteArray> chunks;
    QStringList locations, cookies;
    QString rangeBegin, rangeEnd, ranges;
    bool zeroAfterEveryChunk = true;
    HttpResponseParser::HeaderEndAction atEnd = HttpResponseParser::HeaderEndAction::Body;

    void headerBegin() override { events << QStringLiteral("HeaderBegin"); }
    void headerData() override { events << QStringLiteral("HeaderData"); }
    void location(const QString& v) override { locations << v; }
    void contentRange(const QString& b, const QString& e) override
    {
        rangeBegin = b;
        rangeEnd = e;
    }
    void acceptRanges(const QString& v) override { ranges = v; }
    void cookie(const QString& v) override { cookies << v; }
    void htmlWithoutHeader() override { events << QStringLiteral("HtmlWithoutHeader"); }
    HttpResponseParser::HeaderEndAction headerEnd() override
    {
        events << QStringLiteral("HeaderEnd");
        return atEnd;
    }
    void bodyChunk(const char* data, int len) override
    {
        if (data[len] != 0)
            zeroAfterEveryChunk = false;
        chunks << QByteArray(data, len);
    }
    QByteArray body() const
    {
        QByteArray all;
        for (const QByteArray& c : chunks)
            all += c;
        return all;
    }
};

// Feeds `bytes` in pieces of at most `piece` bytes, the way the client does.
void feed(HttpResponseParser& parser, const QByteArray& bytes, int piece)
{
    int at = 0;
    while (at < bytes.size() && !parser.stopped()) {
        int free = 0;
        char* space = parser.receiveSpace(free);
        const int n = std::min({free, piece, static_cast<int>(bytes.size()) - at});
        std::memcpy(space, bytes.constData() + at, static_cast<size_t>(n));
        at += n;
        parser.received(n);
    }
}

} // namespace

class TestHttpResponseParser : public QObject
{
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
    void pieceSizeDoesNotMatter_data();
    void pieceSizeDoesNotMatter();
    void htmlWithoutHeader();
    void bodyBehindHeaderIsOneChunk();
    void stopDropsTheRest();
    void lineTooLong_data();
    void lineTooLong();
    void notADecimalNumber_data();
    void notADecimalNumber();
    void headerTooLong_data();
    void headerTooLong();
    void headerSetters();
};

void TestHttpResponseParser::fields_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("length");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("header");

    QTest::newRow("plain 200") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n") << 200 << "OK" << 5LL << ""
                               << QStringList{"HTTP/1.0 200 OK", "Content-Length: 5"};
    QTest::newRow("status on a later line") << QByteArray("X-First: 1\r\nHTTP/1.1 302 Found\r\n\r\n") << 302 << "Found"
                                            << -1LL << "" << QStringList{"X-First: 1", "HTTP/1.1 302 Found"};
    QTest::newRow("two status lines, the last wins")
        << QByteArray("HTTP/1.1 100 Continue\r\nHTTP/1.1 404 Not Found\r\n\r\n") << 404 << "Not Found" << -1LL << ""
        << QStringList{"HTTP/1.1 100 Continue", "HTTP/1.1 404 Not Found"};
    QTest::newRow("other versions are plain lines")
        << QByteArray("HTTP/2.0 500 X\r\n\r\n") << 0 << "" << -1LL << "" << QStringList{"HTTP/2.0 500 X"};
    QTest::newRow("content type lower-cased")
        << QByteArray("Content-Type: Text/HTML; Charset=X\r\n\r\n") << 0 << "" << -1LL << "text/html; charset=x"
        << QStringList{"Content-Type: Text/HTML; Charset=X"};
    QTest::newRow("names in any case, spaces skipped")
        << QByteArray("CONTENT-LENGTH:    42  \r\ncontent-type:text/plain\r\n\r\n") << 0 << "" << 42LL << "text/plain"
        << QStringList{"CONTENT-LENGTH:    42  ", "content-type:text/plain"};
    QTest::newRow("value of only spaces keeps one")
        << QByteArray("Content-Type:    \r\n\r\n") << 0 << "" << -1LL << " " << QStringList{"Content-Type:    "};
    QTest::newRow("LF alone ends lines, one CR is dropped")
        << QByteArray("HTTP/1.0 201 Made\nX: a\r\r\n\n") << 201 << "Made" << -1LL << ""
        << QStringList{"HTTP/1.0 201 Made", "X: a\r"};
    QTest::newRow("short status line") << QByteArray("HTTP/1.1 204\r\n\r\n") << 204 << "" << -1LL << ""
                                       << QStringList{"HTTP/1.1 204"};
}

void TestHttpResponseParser::fields()
{
    QFETCH(QByteArray, answer);
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    feed(parser, answer, 8192);
    QTEST(parser.code, "code");
    QTEST(parser.text, "text");
    QTEST(static_cast<qlonglong>(parser.length), "length");
    QTEST(parser.type, "type");
    QTEST(parser.header(), "header");
    QCOMPARE(r.events.first(), QStringLiteral("HeaderBegin"));
    QCOMPARE(r.events.last(), QStringLiteral("HeaderEnd"));
    QCOMPARE(r.events.count(QStringLiteral("HeaderData")), parser.header().size());
    QVERIFY(!parser.headerInProgress());
}

void TestHttpResponseParser::pieceSizeDoesNotMatter_data()
{
    QTest::addColumn<int>("piece");
    for (int piece : {1, 2, 3, 7, 64, 8192})
        QTest::newRow(qPrintable(QString::number(piece))) << piece;
}

void TestHttpResponseParser::pieceSizeDoesNotMatter()
{
    QFETCH(int, piece);
    QByteArray body;
    for (int i = 0; i < 3000; ++i)
        body += char('a' + i % 26);
    const QByteArray answer = "HTTP/1.1 200 OK\r\nLocation: /next\r\nSet-Cookie: a=b; path=/\r\n"
                              "Content-Range: bytes 100-199/1000\r\nAccept-Ranges: bytes\r\n\r\n" +
                              body;
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    feed(parser, answer, piece);
    QCOMPARE(parser.code, 200);
    QCOMPARE(r.locations, QStringList{"/next"});
    QCOMPARE(r.cookies, QStringList{"a=b; path=/"});
    QCOMPARE(r.rangeBegin, QStringLiteral("100"));
    QCOMPARE(r.rangeEnd, QStringLiteral("199"));
    QCOMPARE(r.ranges, QStringLiteral("bytes"));
    QCOMPARE(r.body(), body);
    QVERIFY(r.zeroAfterEveryChunk);
    for (const QByteArray& c : qAsConst(r.chunks))
        QVERIFY(c.size() <= HttpResponseParser::BufferSize);
}

void TestHttpResponseParser::htmlWithoutHeader()
{
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    feed(parser, "<html>\r\n<body>x</body>\r\n</ht", 8192);
    QCOMPARE(parser.code, 0);
    QCOMPARE(parser.type, QStringLiteral("text/html"));
    QCOMPARE(r.events, (QStringList{"HeaderBegin", "HtmlWithoutHeader"}));
    QCOMPARE(r.chunks, (QList<QByteArray>{"<html>", "<body>x</body>"}));
    QVERIFY(parser.inBody());
    // Later data comes raw, with the unfinished line in front.
    feed(parser, "ml>\r\n", 8192);
    QCOMPARE(r.chunks.last(), QByteArray("</html>\r\n"));
    QVERIFY(r.zeroAfterEveryChunk);
}

void TestHttpResponseParser::bodyBehindHeaderIsOneChunk()
{
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    feed(parser, "HTTP/1.0 200 OK\r\n\r\nline1\r\nline2\r\n", 8192);
    QCOMPARE(r.chunks, QList<QByteArray>{"line1\r\nline2\r\n"});
    // A flush at the close has nothing left to hand on.
    parser.flush();
    QCOMPARE(r.chunks.size(), 1);
}

void TestHttpResponseParser::stopDropsTheRest()
{
    Recorder r;
    r.atEnd = HttpResponseParser::HeaderEndAction::Stop;
    HttpResponseParser parser(r);
    parser.reset();
    feed(parser, "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\nbody of the redirect", 8192);
    QVERIFY(parser.stopped());
    QVERIFY(r.chunks.isEmpty());
    QCOMPARE(parser.bufferedBytes(), 0);
}

void TestHttpResponseParser::lineTooLong_data()
{
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<bool>("fails");
    QTest::newRow("8191 bytes and LF fit") << 8191 << false;
    QTest::newRow("8192 bytes without LF fill the buffer") << 8192 << true;
    QTest::newRow("20000 bytes") << 20000 << true;
}

void TestHttpResponseParser::lineTooLong()
{
    QFETCH(int, lineLength);
    QFETCH(bool, fails);
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    const QByteArray answer = "X-Long: " + QByteArray(lineLength - 8, 'a') + "\n\n";
    try {
        feed(parser, answer, 1000);
        QVERIFY(!fails);
        QCOMPARE(parser.header().size(), 1);
    } catch (const EHttpException& e) {
        QVERIFY(fails);
        QCOMPARE(e.message(), QStringLiteral("HTTP line too long"));
        QCOMPARE(e.Code(), 4);
    }
}

void TestHttpResponseParser::notADecimalNumber_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("status") << QByteArray("HTTP/1.1 2x0 OK") << "'2x0' is not a valid integer value";
    QTest::newRow("status missing") << QByteArray("HTTP/1.0") << "'' is not a valid integer value";
    QTest::newRow("content-length letters")
        << QByteArray("Content-Length: 12a") << "'12a' is not a valid integer value";
    QTest::newRow("content-length hex") << QByteArray("Content-Length: $FF") << "'$FF' is not a valid integer value";
    QTest::newRow("content-length too big")
        << QByteArray("Content-Length: 99999999999999999999") << "'99999999999999999999' is not a valid integer value";
}

void TestHttpResponseParser::notADecimalNumber()
{
    QFETCH(QByteArray, line);
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    try {
        feed(parser, line + "\r\n\r\n", 8192);
        QFAIL("no exception");
    } catch (const EHttpException& e) {
        QTEST(e.message(), "message");
    }
}

void TestHttpResponseParser::headerTooLong_data()
{
    // Header bytes with every line feed counted, the blank line that ends the header included.
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<bool>("fails");
    QTest::newRow("well below the limit") << qint64(5000) << false;
    QTest::newRow("exactly the limit") << HttpResponseParser::MaxHeaderBytes << false;
    QTest::newRow("one byte over the limit") << HttpResponseParser::MaxHeaderBytes + 1 << true;
    QTest::newRow("twice the limit") << 2 * HttpResponseParser::MaxHeaderBytes << true;
}

void TestHttpResponseParser::headerTooLong()
{
    QFETCH(qint64, bytes);
    QFETCH(bool, fails);
    const QByteArray filler = "X-Filler: 0123456789012345678901234567890123456789\n";
    QByteArray lines;
    int count = 0;
    // Room is left for the blank line and a last line of at least "X-Pad: \n".
    while (lines.size() + filler.size() + 1 + 8 <= bytes) {
        lines += filler;
        ++count;
    }
    // The last line takes up what is left, so the header ends exactly at `bytes`.
    if (const qint64 rest = bytes - 1 - lines.size(); rest > 0) {
        lines += "X-Pad: " + QByteArray(rest - 8, 'p') + '\n';
        ++count;
    }
    lines += '\n';
    QCOMPARE(lines.size(), bytes);
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    try {
        feed(parser, lines, 8192);
        QVERIFY2(!fails, "no exception");
        QCOMPARE(parser.header().size(), count);
        QCOMPARE(r.events.last(), QStringLiteral("HeaderEnd"));
    } catch (const EHttpException& e) {
        QVERIFY2(fails, qPrintable(e.message()));
        QCOMPARE(e.message(), QStringLiteral("HTTP header too long"));
    }
}

void TestHttpResponseParser::headerSetters()
{
    Recorder r;
    HttpResponseParser parser(r);
    parser.reset();
    feed(parser, "HTTP/1.0 200 OK\r\nContent-Type: A\r\nContent-Length: 3\r\n\r\nabc", 8192);
    parser.text = QStringLiteral("kept");
    parser.resetForRedirect();
    QCOMPARE(parser.code, 0);
    QCOMPARE(parser.length, -1);
    QVERIFY(parser.type.isEmpty());
    QVERIFY(parser.header().isEmpty());
    QCOMPARE(parser.text, QStringLiteral("kept"));
    parser.reset();
    QVERIFY(parser.text.isEmpty());
}

QTEST_GUILESS_MAIN(TestHttpResponseParser)
#include "tst_httpresponseparser.moc"
