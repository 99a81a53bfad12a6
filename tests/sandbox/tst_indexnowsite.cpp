// The sandbox's IndexNow endpoint and key files, routed without sockets, on a
// clock the test moves.
#include "sandbox/IndexNowSite.h"
#include "sandbox/SandboxRouter.h"

#include <QTest>

namespace {

const QByteArray Fresh = "fresh-key-0001";
const QByteArray Old = "0123456789abcdef";

struct Site
{
    Site()
    {
        keys->setClock([this] { return now; });
        keys->add(Old, now - 2 * IndexNowKeys::FreshMs);
        IndexNowSite::addPaths(router, keys);
    }

    SandboxResponse request(const QByteArray& method, const QByteArray& target, const QByteArray& body = {})
    {
        SandboxRequest r;
        r.method = method;
        r.target = target;
        const qsizetype q = target.indexOf('?');
        r.path = q < 0 ? target : target.left(q);
        r.query = q < 0 ? QByteArray() : target.mid(q + 1);
        r.body = body;
        return router.route(r);
    }

    qint64 now = 1'800'000'000'000;
    std::shared_ptr<IndexNowKeys> keys = std::make_shared<IndexNowKeys>();
    SandboxRouter router;
};

} // namespace

class TestIndexNowSite : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("status");
        const QByteArray page = "url=https%3A%2F%2Fsite.example%2Fa%3Fb%3Dc";
        QTest::newRow("known key") << "/indexnow?" + page + "&key=" + Old << 200;
        QTest::newRow("key first") << "/indexnow?key=" + Old + "&" + page << 200;
        QTest::newRow("fresh key") << "/indexnow?" + page + "&key=" + Fresh << 202;
        QTest::newRow("no url") << "/indexnow?key=" + Old << 400;
        QTest::newRow("empty key") << "/indexnow?" + page + "&key=" << 400;
        QTest::newRow("no query") << QByteArray("/indexnow") << 400;
        QTest::newRow("short key") << "/indexnow?" + page + "&key=abc" << 422;
        QTest::newRow("key with %26") << "/indexnow?" + page + "&key=abcdefgh%26x%3D1" << 422;
        QTest::newRow("url not web") << "/indexnow?url=ftp%3A%2F%2Fx&key=" + Old << 422;
        QTest::newRow("unknown key") << "/indexnow?" + page + "&key=nobody-knows-me" << 403;
        QTest::newRow("key file") << "/" + Old + ".txt" << 200;
        QTest::newRow("unknown key file") << QByteArray("/nobody-knows-me.txt") << 404;
        QTest::newRow("other path") << QByteArray("/x/y.txt") << 404;
    }

    void answers()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, status);
        Site site;
        site.keys->add(Fresh, site.now - IndexNowKeys::FreshMs + 1000);
        const SandboxResponse r = site.request("GET", target);
        QCOMPARE(r.status, status);
        if (target.endsWith(".txt") && status == 200)
            QCOMPARE(r.body, Old);
    }

    void uploadMakesAKeyKnownAndFreshForAMinute()
    {
        Site site;
        const QByteArray submit = "/indexnow?url=http%3A%2F%2Fa.example%2F&key=" + Fresh;
        QCOMPARE(site.request("GET", submit).status, 403);
        QCOMPARE(site.request("PUT", "/" + Fresh + ".txt", "another-key\n").status, 400);
        QCOMPARE(site.request("PUT", "/" + Fresh + ".txt", Fresh + "\r\n").status, 201);
        QCOMPARE(site.request("GET", "/" + Fresh + ".txt").body, Fresh);
        QCOMPARE(site.request("GET", submit).status, 202);
        site.now += IndexNowKeys::FreshMs;
        QCOMPARE(site.request("GET", submit).status, 200);
        // Uploading it again does not make it new.
        QCOMPARE(site.request("PUT", "/" + Fresh + ".txt", Fresh).status, 201);
        QCOMPARE(site.request("GET", submit).status, 200);
    }

    void rateLimitPerKeyAndWindow()
    {
        Site site;
        QVERIFY(site.keys->add("second-key", 0));
        const QByteArray submit = "/indexnow?url=http%3A%2F%2Fa.example%2F&key=" + Old;
        for (int i = 0; i < IndexNowKeys::RateLimit; ++i) {
            QCOMPARE(site.request("GET", submit).status, 200);
            site.now += 1000;
        }
        QCOMPARE(site.request("GET", submit).status, 429);
        QCOMPARE(site.request("GET", submit).reason, QByteArray("Too Many Requests"));
        // Another key is not held back.
        QCOMPARE(site.request("GET", "/indexnow?url=http%3A%2F%2Fa.example%2F&key=second-key").status, 200);
        // Refused ones do not count: the window slides past the first one only.
        site.now += IndexNowKeys::RateWindowMs - IndexNowKeys::RateLimit * 1000;
        QCOMPARE(site.request("GET", submit).status, 200);
        QCOMPARE(site.request("GET", submit).status, 429);
    }
};

QTEST_GUILESS_MAIN(TestIndexNowSite)
#include "tst_indexnowsite.moc"
