// The crawl machinery shared by the spider and the audit: scope, link
// resolution, robots.txt decisions, the waits and the page cap.
#include "tools/PoliteCrawler.h"

#include <QtTest>

class TestPoliteCrawler : public QObject
{
    Q_OBJECT

private slots:
    void scope_data();
    void scope();
    void resolveLink_data();
    void resolveLink();
    void robotsAnswers_data();
    void robotsAnswers();
    void waits();
    void pageCapAndQueue();
};

void TestPoliteCrawler::scope_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("inside");
    QTest::newRow("same site") << "http://Site.test/a/b.html" << false << "http://site.test/z" << true;
    QTest::newRow("default port written") << "http://site.test/" << false << "http://site.test:80/x" << true;
    QTest::newRow("other port") << "http://site.test:8080/" << false << "http://site.test/x" << false;
    QTest::newRow("other scheme") << "http://site.test/" << false << "https://site.test/" << false;
    QTest::newRow("subdomain") << "http://site.test/" << false << "http://www.site.test/" << false;
    QTest::newRow("folder: under it") << "http://site.test/docs/intro.html" << true << "http://site.test/docs/x/y"
                                      << true;
    QTest::newRow("folder: beside it") << "http://site.test/docs/intro.html" << true << "http://site.test/docsx"
                                       << false;
    QTest::newRow("folder: above it") << "http://site.test/docs/" << true << "http://site.test/" << false;
}

void TestPoliteCrawler::scope()
{
    QFETCH(QString, start);
    QFETCH(bool, folder);
    QFETCH(QString, url);
    QFETCH(bool, inside);
    QCOMPARE(CrawlScope(QUrl(start), folder).contains(QUrl(url)), inside);
}

void TestPoliteCrawler::resolveLink_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("relative") << "http://s.test/a/b.html"
                              << "c.html"
                              << "http://s.test/a/c.html";
    QTest::newRow("dot segments") << "http://s.test/a/b/c"
                                  << "../../d"
                                  << "http://s.test/d";
    QTest::newRow("fragment dropped") << "http://s.test/"
                                      << "/x#top"
                                      << "http://s.test/x";
    QTest::newRow("query kept") << "http://s.test/"
                                << "?p=2"
                                << "http://s.test/?p=2";
    QTest::newRow("host lower case, port dropped") << "http://s.test/"
                                                   << "HTTP://S.Test:80"
                                                   << "http://s.test/";
    QTest::newRow("scheme relative") << "https://s.test/"
                                     << "//cdn.test/j.js"
                                     << "https://cdn.test/j.js";
    QTest::newRow("blanks trimmed") << "http://s.test/"
                                    << "  /x \n"
                                    << "http://s.test/x";
    QTest::newRow("mail") << "http://s.test/"
                          << "mailto:a@s.test"
                          << "";
    QTest::newRow("script") << "http://s.test/"
                            << "javascript:go()"
                            << "";
    QTest::newRow("blank only") << "http://s.test/"
                                << "   "
                                << "";
}

void TestPoliteCrawler::resolveLink()
{
    QFETCH(QString, page);
    QFETCH(QString, href);
    QFETCH(QString, resolved);
    const QUrl url = PoliteCrawler::resolveLink(QUrl(page), href);
    QCOMPARE(url.isValid() ? url.toString(QUrl::FullyEncoded) : QString(), resolved);
}

void TestPoliteCrawler::robotsAnswers_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QStringList>("sitemaps");
    const QByteArray file = "Sitemap: http://s.test/a.xml\nUser-agent: *\nDisallow: /p\nSitemap: /b.xml\n";
    QTest::newRow("a file") << 200 << true << file << false << QStringList({"http://s.test/a.xml", "/b.xml"});
    QTest::newRow("no file") << 404 << true << QByteArray() << true << QStringList();
    QTest::newRow("server error refuses all") << 503 << true << file << false << QStringList();
    QTest::newRow("no answer refuses all") << 404 << false << QByteArray() << false << QStringList();
}

void TestPoliteCrawler::robotsAnswers()
{
    QFETCH(int, code);
    QFETCH(bool, answered);
    QFETCH(QByteArray, body);
    PoliteCrawler crawler;
    crawler.begin(QStringLiteral("http://s.test:81/"));
    QCOMPARE(crawler.robotsUrl(), QString("http://s.test:81/robots.txt"));
    crawler.robotsBegin();
    crawler.robotsData(body.constData(), static_cast<int>(body.size()));
    crawler.robotsDone(code, answered);
    QFETCH(bool, allowed);
    QCOMPARE(crawler.robotsRefusal(QStringLiteral("http://s.test:81/page")).isEmpty(), allowed);
    // Another server's addresses are never refused by this file.
    QVERIFY(crawler.robotsRefusal(QStringLiteral("http://s.test:82/page")).isEmpty());
    QFETCH(QStringList, sitemaps);
    QCOMPARE(crawler.sitemaps(), sitemaps);
}

void TestPoliteCrawler::waits()
{
    PoliteCrawler crawler;
    crawler.begin(QStringLiteral("http://s.test/"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QCOMPARE(crawler.waitAfter(0, 200, {}, now), 0);
    QCOMPARE(crawler.waitAfter(250, 200, {}, now), 250);
    crawler.robotsBegin();
    const QByteArray file = "User-agent: *\nCrawl-delay: 1.5\n";
    crawler.robotsData(file.constData(), static_cast<int>(file.size()));
    crawler.robotsDone(200, true);
    QCOMPARE(crawler.steadyWait(250), 1500);
    int retry = 0;
    QCOMPARE(crawler.waitAfter(0, 503, {"Retry-After: 3"}, now, &retry), 3000);
    QCOMPARE(retry, 3);
    // Retry-After counts only on 429 and 503.
    QCOMPARE(crawler.waitAfter(0, 200, {"Retry-After: 3"}, now, &retry), 1500);
    QCOMPARE(retry, -1);
}

void TestPoliteCrawler::pageCapAndQueue()
{
    PoliteCrawler crawler;
    crawler.begin(QStringLiteral("http://s.test/"));
    crawler.setPageLimit(2);
    QVERIFY(!crawler.links().offer(QStringLiteral("http://s.test/")));
    QVERIFY(crawler.links().offer(QStringLiteral("http://s.test/a")));
    QVERIFY(!crawler.links().offer(QStringLiteral("http://s.test/a")));
    QCOMPARE(crawler.links().takeFirst(), QString("http://s.test/"));
    crawler.countPage();
    QVERIFY(!crawler.limitReached());
    crawler.countPage();
    QVERIFY(crawler.limitReached());
    crawler.begin(QStringLiteral("http://s.test/"));
    QCOMPARE(crawler.pagesFetched(), 0);
    QCOMPARE(crawler.links().queuedCount(), 1);
}

QTEST_GUILESS_MAIN(TestPoliteCrawler)
#include "tst_politecrawler.moc"
