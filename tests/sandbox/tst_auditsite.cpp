// The sandbox's audit site over real sockets: each page's status, the
// headers that make its problem (Location, X-Robots-Tag), the slow page's
// hold, the large page's size and the robots.txt rules it relies on.
#include "sandbox/AuditSite.h"
#include "sandbox/SandboxServer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

// Sends one GET and keeps the whole answer; the server closes after it.
class Fetch : public QObject
{
    Q_OBJECT

public:
    Fetch(quint16 port, const QByteArray& path)
    {
        connect(&socket, &QTcpSocket::connected, this,
                [this, path] { socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"); });
        connect(&socket, &QTcpSocket::readyRead, this, [this] { received += socket.readAll(); });
        connect(&socket, &QTcpSocket::disconnected, this, [this] {
            received += socket.readAll();
            closed = true;
        });
        connect(&socket, &QTcpSocket::errorOccurred, this, [this] { closed = true; });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    QByteArray statusLine() const { return received.left(received.indexOf("\r\n")); }
    QByteArray body() const { return received.mid(received.indexOf("\r\n\r\n") + 4); }
    QByteArray header(const QByteArray& name) const
    {
        for (const QByteArray& line : received.left(received.indexOf("\r\n\r\n")).split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith(name + ": "))
                return trimmed.mid(name.size() + 2);
        }
        return QByteArray();
    }

    QTcpSocket socket;
    QByteArray received;
    bool closed = false;
};

} // namespace

class TestAuditSite : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pages_data();
    void pages();
    void slowPageHoldsItsAnswer();
    void slowPageLetsAnEarlyCloseGo();
    void robotsRefusesOnlyThePrivateFolder();

private:
    QByteArray fetchBody(const QByteArray& path);

    std::unique_ptr<SandboxServer> m_server;
    quint16 m_port = 0;
};

void TestAuditSite::init()
{
    m_server = std::make_unique<SandboxServer>();
    m_server->addStandardSites();
    QVERIFY(m_server->listen(0));
    m_port = m_server->port();
}

void TestAuditSite::cleanup()
{
    m_server.reset();
}

QByteArray TestAuditSite::fetchBody(const QByteArray& path)
{
    Fetch fetch(m_port, path);
    if (!QTest::qWaitFor([&] { return fetch.closed; }, 5000))
        return QByteArray();
    return fetch.body();
}

void TestAuditSite::pages_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<QByteArray>("headerName");
    QTest::addColumn<QByteArray>("headerValue"); // after "http://127.0.0.1:<port>" for Location
    QTest::addColumn<QByteArrayList>("bodyParts");
    QTest::addColumn<QByteArrayList>("bodyLacks");

    const QByteArray ok = "HTTP/1.0 200 OK";
    const QByteArray missingLink = "<a href=\"/audit/missing.html\">";
    QTest::newRow("home links every page and the 404")
        << QByteArray("/audit/") << ok << QByteArray() << QByteArray()
        << QByteArrayList{missingLink, "href=\"/audit/old.html\"", "href=\"/audit/loop-a.html\"",
                          "href=\"/audit/private/report.html\"", "<title>Home | Audit Sandbox</title>"}
        << QByteArrayList{};
    QTest::newRow("about links the 404") << QByteArray("/audit/about.html") << ok << QByteArray() << QByteArray()
                                         << QByteArrayList{missingLink} << QByteArrayList{};
    QTest::newRow("contact links the 404") << QByteArray("/audit/contact.html") << ok << QByteArray() << QByteArray()
                                           << QByteArrayList{missingLink} << QByteArrayList{};
    QTest::newRow("the 404") << QByteArray("/audit/missing.html") << QByteArray("HTTP/1.0 404 Not Found")
                             << QByteArray() << QByteArray() << QByteArrayList{} << QByteArrayList{};
    QTest::newRow("500") << QByteArray("/audit/error.html") << QByteArray("HTTP/1.0 500 Internal Server Error")
                         << QByteArray() << QByteArray() << QByteArrayList{} << QByteArrayList{};
    QTest::newRow("chain: 301") << QByteArray("/audit/old.html") << QByteArray("HTTP/1.0 301 Moved Permanently")
                                << QByteArray("Location") << QByteArray("/audit/older.html") << QByteArrayList{}
                                << QByteArrayList{};
    QTest::newRow("chain: 302") << QByteArray("/audit/older.html") << QByteArray("HTTP/1.0 302 Found")
                                << QByteArray("Location") << QByteArray("/audit/new.html") << QByteArrayList{}
                                << QByteArrayList{};
    QTest::newRow("chain: 200") << QByteArray("/audit/new.html") << ok << QByteArray() << QByteArray()
                                << QByteArrayList{} << QByteArrayList{};
    QTest::newRow("loop a") << QByteArray("/audit/loop-a.html") << QByteArray("HTTP/1.0 302 Found")
                            << QByteArray("Location") << QByteArray("/audit/loop-b.html") << QByteArrayList{}
                            << QByteArrayList{};
    QTest::newRow("loop b") << QByteArray("/audit/loop-b.html") << QByteArray("HTTP/1.0 302 Found")
                            << QByteArray("Location") << QByteArray("/audit/loop-a.html") << QByteArrayList{}
                            << QByteArrayList{};
    QTest::newRow("noindex by header only")
        << QByteArray("/audit/header-noindex.html") << ok << QByteArray("X-Robots-Tag") << QByteArray("noindex")
        << QByteArrayList{} << QByteArrayList{"noindex"};
    QTest::newRow("canonical elsewhere") << QByteArray("/audit/canonical.html") << ok << QByteArray() << QByteArray()
                                         << QByteArrayList{"<link rel=\"canonical\" href=\"about.html\">"}
                                         << QByteArrayList{};
    QTest::newRow("canonical to the 404")
        << QByteArray("/audit/canonical-broken.html") << ok << QByteArray() << QByteArray()
        << QByteArrayList{"<link rel=\"canonical\" href=\"/audit/missing.html\">"} << QByteArrayList{};
    const QByteArray shoes = "<title>Shoes | Audit Sandbox</title>";
    QTest::newRow("duplicate title, red") << QByteArray("/audit/shoes-red.html") << ok << QByteArray() << QByteArray()
                                          << QByteArrayList{shoes} << QByteArrayList{};
    QTest::newRow("duplicate title, blue") << QByteArray("/audit/shoes-blue.html") << ok << QByteArray()
                                           << QByteArray() << QByteArrayList{shoes} << QByteArrayList{};
    QTest::newRow("no title") << QByteArray("/audit/no-title.html") << ok << QByteArray() << QByteArray()
                              << QByteArrayList{"name=\"description\"", "<h1>"} << QByteArrayList{"<title>"};
    QTest::newRow("no description") << QByteArray("/audit/no-description.html") << ok << QByteArray() << QByteArray()
                                    << QByteArrayList{"<title>"} << QByteArrayList{"name=\"description\""};
    QTest::newRow("no h1") << QByteArray("/audit/no-h1.html") << ok << QByteArray() << QByteArray()
                           << QByteArrayList{"<title>"} << QByteArrayList{"<h1>"};
    QTest::newRow("two h1") << QByteArray("/audit/two-h1.html") << ok << QByteArray() << QByteArray()
                            << QByteArrayList{"<h1>Two headings</h1>\n<h1>A second heading</h1>"} << QByteArrayList{};
    QTest::newRow("hreflang names the German page")
        << QByteArray("/audit/en.html") << ok << QByteArray() << QByteArray()
        << QByteArrayList{"hreflang=\"de\" href=\"/audit/de.html\""} << QByteArrayList{};
    QTest::newRow("German page does not link back") << QByteArray("/audit/de.html") << ok << QByteArray()
                                                    << QByteArray() << QByteArrayList{} << QByteArrayList{"hreflang"};
    QTest::newRow("Windows-1252 without a charset")
        << QByteArray("/audit/cafe.html") << ok << QByteArray("Content-Type") << QByteArray("text/html")
        << QByteArrayList{"Caf\xE9"} << QByteArrayList{"charset"};
    QTest::newRow("private page exists") << QByteArray("/audit/private/report.html") << ok << QByteArray()
                                         << QByteArray() << QByteArrayList{} << QByteArrayList{};
}

void TestAuditSite::pages()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, statusLine);
    QFETCH(QByteArray, headerName);
    QFETCH(QByteArray, headerValue);
    QFETCH(QByteArrayList, bodyParts);
    QFETCH(QByteArrayList, bodyLacks);

    Fetch fetch(m_port, path);
    QTRY_VERIFY_WITH_TIMEOUT(fetch.closed, 5000);
    QCOMPARE(fetch.statusLine(), statusLine);
    if (headerName == "Location")
        QCOMPARE(fetch.header("Location"), "http://127.0.0.1:" + QByteArray::number(m_port) + headerValue);
    else if (!headerName.isEmpty())
        QCOMPARE(fetch.header(headerName), headerValue);
    if (headerName != "X-Robots-Tag")
        QCOMPARE(fetch.header("X-Robots-Tag"), QByteArray());
    for (const QByteArray& part : bodyParts)
        QVERIFY2(fetch.body().contains(part), part.constData());
    for (const QByteArray& part : bodyLacks)
        QVERIFY2(!fetch.body().contains(part), part.constData());

}

void TestAuditSite::slowPageHoldsItsAnswer()
{
    QElapsedTimer timer;
    timer.start();
    Fetch slow(m_port, "/audit/slow.html");
    // Other pages answer at once meanwhile: the hold is a timer, not a blocked server.
    const QByteArray large = fetchBody("/audit/large.html");
    QVERIFY(timer.elapsed() < AuditSite::SlowPageDelayMs);
    QVERIFY(large.size() > 1024 * 1024);
    QVERIFY(large.endsWith("</html>\n"));
    QVERIFY(!slow.closed);
    QTRY_VERIFY_WITH_TIMEOUT(slow.closed, 5000);
    QVERIFY(timer.elapsed() >= AuditSite::SlowPageDelayMs);
    QCOMPARE(slow.statusLine(), QByteArray("HTTP/1.0 200 OK"));
    QVERIFY(slow.body().contains("<title>Slow page | Audit Sandbox</title>"));
}

void TestAuditSite::slowPageLetsAnEarlyCloseGo()
{
    {
        Fetch slow(m_port, "/audit/slow.html");
        QTRY_COMPARE(m_server->openConnections(), 1);
        slow.socket.abort();
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_server->openConnections(), 0, 3000);
    // The dropped answer does not fire into a deleted connection.
    QTest::qWait(AuditSite::SlowPageDelayMs + 200);
    QVERIFY(fetchBody("/audit/about.html").contains("About | Audit Sandbox"));
}

void TestAuditSite::robotsRefusesOnlyThePrivateFolder()
{
    const QByteArray robots = fetchBody("/robots.txt");
    QVERIFY(robots.contains("User-agent: *\n"));
    QVERIFY(robots.contains("\nDisallow: /audit/private/\n"));
    QVERIFY(robots.contains("\nDisallow: /spider/private/\n"));
    const QByteArrayList lines = robots.split('\n');
    for (const QByteArray& line : lines) {
        QVERIFY2(!line.toLower().startsWith("sitemap:"), line.constData());
        if (line.startsWith("Disallow:"))
            QVERIFY(line.endsWith("/private/"));
    }
}

QTEST_MAIN(TestAuditSite)
#include "tst_auditsite.moc"
