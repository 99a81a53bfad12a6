#include "HttpEventLog.h"

#include "net/EHttpException.h"
#include "net/THttpCli.h"
#include "support/NginxPeer.h"
#include "support/TinyproxyPeer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray Page = "<html><head><title>Peer page</title></head><body>served by nginx</body></html>\n";

QByteArray largeFile()
{
    QByteArray bytes;
    bytes.reserve(20 * 1024 * 1024);
    quint32 x = 12345;
    while (bytes.size() < 20 * 1024 * 1024) {
        x = x * 1103515245u + 12345u;
        bytes += char(x >> 24);
    }
    return bytes;
}

} // namespace

// The client against real servers: nginx for pages, redirects, errors and a
// large file, tinyproxy as a real HTTP proxy in front of it.
class TestHttpPeers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void page();
    void realRedirect();
    void notFound();
    void largeFile();
    void throughProxy();
    void proxyLogin_data();
    void proxyLogin();

private:
    std::unique_ptr<NginxPeer> m_nginx;
    std::unique_ptr<TinyproxyPeer> m_proxy;
    std::unique_ptr<TinyproxyPeer> m_authProxy;
    QByteArray m_large;
};

void TestHttpPeers::initTestCase()
{
    m_nginx = std::make_unique<NginxPeer>();
    if (m_nginx->program().isEmpty())
        QSKIP("nginx is not installed (scripts/setup installs nginx-light)");
    m_large = ::largeFile();
    QVERIFY(m_nginx->addFile(QStringLiteral("/index.html"), Page));
    QVERIFY(m_nginx->addFile(QStringLiteral("/large.bin"), m_large));
    QVERIFY2(m_nginx->start(), qPrintable(m_nginx->errorString()));

    m_proxy = std::make_unique<TinyproxyPeer>();
    m_authProxy = std::make_unique<TinyproxyPeer>();
    if (m_proxy->program().isEmpty())
        return; // the proxy tests skip themselves
    QVERIFY2(m_proxy->start(), qPrintable(m_proxy->errorString()));
    m_authProxy->setLogin(QStringLiteral("alice"), QStringLiteral("s3cret"));
    QVERIFY2(m_authProxy->start(), qPrintable(m_authProxy->errorString()));
}

void TestHttpPeers::cleanupTestCase()
{
    m_authProxy.reset();
    m_proxy.reset();
    m_nginx.reset();
}

void TestHttpPeers::page()
{
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(m_nginx->url(QStringLiteral("/index.html")));
    c.RunGet();
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(c.ResponseText(), QStringLiteral("OK"));
    QCOMPARE(c.ResponseType(), QStringLiteral("text/html"));
    QCOMPARE(c.ResponseLength(), Page.size());
    QCOMPARE(log.body(), Page);
    QVERIFY(log.waitForDone());
    QCOMPARE(log.done[0].rqType, 1);
}

void TestHttpPeers::realRedirect()
{
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(m_nginx->url(QStringLiteral("/moved")));
    c.RunGet();
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(log.body(), Page);
    QCOMPARE(log.count(QStringLiteral("LocationChange")), 1);
    QCOMPARE(c.Location(), m_nginx->url(QStringLiteral("/index.html")));
    QVERIFY(log.waitForDone());
    QCOMPARE(log.done.size(), 1);
}

void TestHttpPeers::notFound()
{
    THttpCli c;
    HttpEventLog log(&c);
    c.setURL(m_nginx->url(QStringLiteral("/nothing-here.html")));
    try {
        c.RunGet();
        QFAIL("no exception for a 404");
    } catch (const EHttpException& e) {
        QCOMPARE(e.Code(), 404);
        QCOMPARE(e.message(), QStringLiteral("Not Found"));
    }
    QCOMPARE(c.ResponseCode(), 404);
    QVERIFY(log.waitForDone());
    QCOMPARE(log.done.size(), 1);
}

void TestHttpPeers::largeFile()
{
    QTemporaryDir dir;
    QFile out(dir.filePath(QStringLiteral("large.bin")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    THttpCli c;
    HttpEventLog log(&c);
    c.setReceiveStream(&out);
    c.setURL(m_nginx->url(QStringLiteral("/large.bin")));
    c.RunGet();
    out.close();
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(c.ReceivedBytes(), m_large.size());
    QCOMPARE(c.ResponseLength(), m_large.size());
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(QCryptographicHash::hash(out.readAll(), QCryptographicHash::Sha1),
             QCryptographicHash::hash(m_large, QCryptographicHash::Sha1));
    for (const QByteArray& chunk : qAsConst(log.chunks))
        QVERIFY(chunk.size() <= 8192);
}

void TestHttpPeers::throughProxy()
{
    if (!m_proxy || !m_proxy->isRunning())
        QSKIP("tinyproxy is not installed (scripts/setup installs it)");
    THttpCli c;
    HttpEventLog log(&c);
    c.setProxy(QStringLiteral("127.0.0.1:%1").arg(m_proxy->port()));
    const QString url = m_nginx->url(QStringLiteral("/index.html"));
    c.setURL(url);
    c.RunGet();
    QCOMPARE(c.ResponseCode(), 200);
    QCOMPARE(log.body(), Page);
    QCOMPARE(log.commands.first(), QStringLiteral("GET %1 HTTP/1.0").arg(url));
    // The proxy saw the full address in the request line.
    QTRY_VERIFY_WITH_TIMEOUT(m_proxy->logText().contains(QStringLiteral("GET %1 HTTP/1.0").arg(url)), 3000);
}

void TestHttpPeers::proxyLogin_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right login") << "alice"
                                 << "s3cret" << true;
    QTest::newRow("wrong password") << "alice"
                                    << "wrong" << false;
    QTest::newRow("no login") << ""
                              << "" << false;
}

void TestHttpPeers::proxyLogin()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    if (!m_authProxy || !m_authProxy->isRunning())
        QSKIP("tinyproxy is not installed (scripts/setup installs it)");
    THttpCli c;
    HttpEventLog log(&c);
    c.setProxy(QStringLiteral("127.0.0.1"));
    c.setProxyPort(QString::number(m_authProxy->port()));
    c.setProxyUsername(user);
    c.setProxyPassword(password);
    c.setURL(m_nginx->url(QStringLiteral("/index.html")));
    c.BeginGet();
    QVERIFY(log.waitForDone());
    QCOMPARE(log.commands.filter(QStringLiteral("Proxy-Authorization: Basic ")).size(), user.isEmpty() ? 0 : 1);
    if (accepted) {
        QCOMPARE(c.ResponseCode(), 200);
        QCOMPARE(log.body(), Page);
    } else {
        // tinyproxy asks for a login with 407 and refuses a wrong one with 401.
        QVERIFY2(c.ResponseCode() == 407 || c.ResponseCode() == 401, qPrintable(QString::number(c.ResponseCode())));
    }
}

QTEST_GUILESS_MAIN(TestHttpPeers)
#include "tst_httppeers.moc"
