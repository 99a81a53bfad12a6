#include "tools/LinkScan.h"
#include "tools/ProjectImport.h"
#include "tools/RobotsTxt.h"

#include <QTest>

class TestSpiderRules : public QObject
{
    Q_OBJECT

private slots:
    void resolve_data();
    void resolve();
    void acceptance_data();
    void acceptance();
    void siteNameAndScope_data();
    void siteNameAndScope();
    void scopeByParts_data();
    void scopeByParts();
    void duplicateStatusNamesEarlierEntry();
    void linkCutByBlockEndIsKept();
    void robots_data();
    void robots();
    void robotsGroups();
    void retryAfter_data();
    void retryAfter();
    void savImport_data();
    void savImport();
    void zroImport();
};

void TestSpiderRules::resolve_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<QByteArray>("resolved"); // normalised too
    QTest::newRow("relative in a directory")
        << "http://h/docs/intro.html" << QByteArray("faq.html") << QByteArray("http://h/docs/faq.html");
    QTest::newRow("directory with a dot")
        << "http://h/ver1.2/intro.html" << QByteArray("faq.html") << QByteArray("http://h/faq.html");
    QTest::newRow("../ goes to the root")
        << "http://h/a/b/c.html" << QByteArray("../up.html") << QByteArray("http://h/up.html");
    QTest::newRow("./ goes to the root") << "http://h/a/b/c.html" << QByteArray("./up.html")
                                         << QByteArray("http://h/up.html");
    QTest::newRow("start page with closing slash")
        << "http://www.shop.com/" << QByteArray("a.html") << QByteArray("http://www.shop.com/a.html");
    QTest::newRow("absolute stays") << "http://h/x" << QByteArray("http://other/y.html")
                                    << QByteArray("http://other/y.html");
    QTest::newRow("absolute https stays")
        << "http://h/x" << QByteArray("https://other/y.html") << QByteArray("https://other/y.html");
    QTest::newRow("slash alone is empty") << "http://h/x" << QByteArray("/") << QByteArray();
    QTest::newRow("dots only are empty") << "http://h/x" << QByteArray("...") << QByteArray();
    QTest::newRow("/index. cut") << "http://h/" << QByteArray("/index.html") << QByteArray("http://h");
    QTest::newRow("/Index. kept") << "http://h/" << QByteArray("/Index.html") << QByteArray("http://h/Index.html");
    QTest::newRow("/default. cut") << "http://h/" << QByteArray("/d/default.asp") << QByteArray("http://h/d");
    QTest::newRow("closing slash dropped") << "http://h/" << QByteArray("/d/") << QByteArray("http://h/d");
    // Mended: the page's port and scheme stay on the resolved link.
    QTest::newRow("port kept") << "http://127.0.0.1:8088/spider/" << QByteArray("about.html")
                               << QByteArray("http://127.0.0.1:8088/spider/about.html");
    QTest::newRow("root link keeps port")
        << "http://h:81/a" << QByteArray("/b.html") << QByteArray("http://h:81/b.html");
    QTest::newRow("https kept") << "https://h/a/b.html" << QByteArray("c.html") << QByteArray("https://h/a/c.html");
}

void TestSpiderRules::resolve()
{
    QFETCH(QString, page);
    QFETCH(QByteArray, link);
    QFETCH(QByteArray, resolved);
    QCOMPARE(SpiderRules::normalise(SpiderRules::resolve(link, SpiderRules::split(page))), resolved);
}

void TestSpiderRules::acceptance_data()
{
    QTest::addColumn<QByteArray>("link");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << QByteArray("http://h/d/a.html") << true;
    QTest::newRow("out of scope") << QByteArray("http://other/d/a.html") << false;
    for (const char* bad :
         {"javascript:x", "a#b",   "mailto:x", "a@b",   "a?b",   "a=b", "x.cgi", "x.pl",  "x.GIF", "x.jpg",
          "x.exe",        "x.tar", "x.zip",    "x.rar", "ftp:x", "a;b", "x.zro", "x.zdb", "a>b",   "a<b"})
        QTest::newRow(bad) << QByteArray("http://h/d/") + bad << false;
    QTest::newRow("host with .pl") << QByteArray("http://h/d/x.plan.html") << false;
    QTest::newRow("99 characters") << QByteArray("http://h/d/") + QByteArray(88, 'a') << true;
    QTest::newRow("100 characters") << QByteArray("http://h/d/") + QByteArray(89, 'a') << false;
}

void TestSpiderRules::acceptance()
{
    QFETCH(QByteArray, link);
    QFETCH(bool, accepted);
    QCOMPARE(SpiderRules::refusal(link, QStringLiteral("h/d")).isEmpty(), accepted);
}

void TestSpiderRules::siteNameAndScope_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("scope");
    QTest::newRow("www and closing slash") << "http://www.shop.com/"
                                           << "shop"
                                           << "www.shop.com/";
    QTest::newRow("no path") << "http://www.shop.com"
                             << "shop"
                             << "www.shop.com";
    QTest::newRow("two directories") << "http://shop.com/a/b/page.html"
                                     << "shop"
                                     << "shop.com/a/b";
    QTest::newRow("file in the root") << "http://shop.com/page.html"
                                      << "shop"
                                      << "shop.com";
    QTest::newRow("directory without slash") << "http://shop.com/dir"
                                             << "shop"
                                             << "shop.com/dir";
    QTest::newRow("no dot in host") << "http://localhost/"
                                    << ""
                                    << "localhost/";
    QTest::newRow("port carried") << "http://127.0.0.1:8088/spider/"
                                  << "127"
                                  << "127.0.0.1:8088/spider";
    QTest::newRow("query only") << "http://shop.com?x"
                                << "shop"
                                << "shop.com";
}

void TestSpiderRules::siteNameAndScope()
{
    QFETCH(QString, start);
    QFETCH(QString, site);
    QFETCH(QString, scope);
    const SpiderRules::Address address = SpiderRules::split(start);
    QCOMPARE(SpiderRules::siteName(address.host), site);
    QCOMPARE(SpiderRules::scope(address), scope);
}

void TestSpiderRules::scopeByParts_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("inScope");
    const QString start = QStringLiteral("http://127.0.0.1:8088/d/");
    QTest::newRow("same site, in the directory") << start << "http://127.0.0.1:8088/d/a.html" << true;
    QTest::newRow("scope text in another host's path") << start << "http://other-host/127.0.0.1:8088/d/x" << false;
    QTest::newRow("scope text in another port's path") << start << "http://127.0.0.1:9/127.0.0.1:8088/d/x" << false;
    QTest::newRow("host that begins with the start host") << start << "http://127.0.0.1:80889/d/x" << false;
    QTest::newRow("another scheme") << start << "https://127.0.0.1:8088/d/x" << false;
    QTest::newRow("outside the directory") << start << "http://127.0.0.1:8088/e/d/x" << false;
    QTest::newRow("host letter case") << "http://Shop.example/d/"
                                      << "http://shop.EXAMPLE/d/x" << true;
    QTest::newRow("default port written out") << "http://shop.example/d/"
                                              << "http://shop.example:80/d/x" << true;
    QTest::newRow("https default port") << "https://shop.example/"
                                        << "https://shop.example:443/x" << true;
    QTest::newRow("other port") << "http://shop.example/"
                                << "http://shop.example:8080/x" << false;
    QTest::newRow("user part naming the host") << "http://shop.example/"
                                               << "http://shop.example@evil.example/x" << false;
}

void TestSpiderRules::scopeByParts()
{
    QFETCH(QString, start);
    QFETCH(QString, link);
    QFETCH(bool, inScope);
    const SpiderRules::Address address = SpiderRules::split(start);
    const SpiderRules::Scope scope = SpiderRules::scopeOf(address.proto, SpiderRules::scope(address));
    QCOMPARE(SpiderRules::inScope(link, scope), inScope);
    // The link scan applies the same test.
    QCOMPARE(SpiderRules::refusal(link.toUtf8(), scope) == QLatin1String("out of scope"), !inScope);
}

void TestSpiderRules::duplicateStatusNamesEarlierEntry()
{
    LinkCollector links;
    links.addStart(QStringLiteral("http://h/d"));
    QStringList statuses;
    links.appendBlock("<a href=\"a.html\"><a href=b.html><a href=\"a.html\"><A HREF=\"/d/\">");
    const int accepted = links.scan(QStringLiteral("http://h/d/index.html"), QStringLiteral("h/d"),
                                    [&statuses](const QString& s) { statuses << s; });
    QCOMPARE(accepted, 2);
    QCOMPARE(links.found(), (QStringList{"http://h/d", "http://h/d/a.html", "http://h/d/b.html"}));
    QCOMPARE(statuses, (QStringList{"Checking Duplicates 1", "Checking Duplicates 0"}));
    QCOMPARE(links.takeFirst(), QStringLiteral("http://h/d"));
    QCOMPARE(links.queuedCount(), 2);
}

// Mended: a link cut by the end of a block is finished by the next block.
void TestSpiderRules::linkCutByBlockEndIsKept()
{
    const QByteArray page = "<p><a href=\"one.html\">1</a> <A HREF=two.html>2</A> <a href=\"three.html\">3</a>";
    for (int size = 1; size <= 9; ++size) {
        LinkCollector links;
        links.addStart(QStringLiteral("http://h/d"));
        for (qsizetype at = 0; at < page.size(); at += size) {
            links.appendBlock(page.mid(at, size));
            links.scan(QStringLiteral("http://h/d/"), QStringLiteral("h/d"), {});
        }
        QCOMPARE(links.foundCount(), 4);
    }
}

void TestSpiderRules::robots_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QString>("rule");
    const QByteArray basic = "User-agent: *\nDisallow: /private/\nAllow: /private/open\n";
    QTest::newRow("disallowed") << basic << "/private/x.html" << false << "Disallow: /private/";
    QTest::newRow("longest wins") << basic << "/private/open.html" << true << "Allow: /private/open";
    QTest::newRow("no match") << basic << "/public.html" << true << "";
    QTest::newRow("robots.txt itself") << QByteArray("User-agent: *\nDisallow: /\n") << "/robots.txt" << true << "";
    QTest::newRow("wildcard") << QByteArray("User-agent: *\nDisallow: /*.pdf$\n") << "/a/b.pdf" << false
                              << "Disallow: /*.pdf$";
    QTest::newRow("dollar anchors") << QByteArray("User-agent: *\nDisallow: /*.pdf$\n") << "/a/b.pdf?x" << true << "";
    QTest::newRow("tie goes to allow") << QByteArray("User-agent: *\nDisallow: /a\nAllow: /a\n") << "/a" << true
                                       << "Allow: /a";
    QTest::newRow("tie goes to allow, allow first")
        << QByteArray("User-agent: *\nAllow: /a\nDisallow: /a\n") << "/a" << true << "Allow: /a";
    QTest::newRow("empty disallow") << QByteArray("User-agent: *\nDisallow:\n") << "/x" << true << "";
    QTest::newRow("escapes compare equal")
        << QByteArray("User-agent: *\nDisallow: /%7ejoe/\n") << "/~joe/x" << false << "Disallow: /~joe/";
    QTest::newRow("comments and CR") << QByteArray("User-agent: * # all\r\nDisallow: /x # not x\r\n") << "/x/y" << false
                                     << "Disallow: /x";
}

void TestSpiderRules::robots()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, path);
    QFETCH(bool, allowed);
    QFETCH(QString, rule);
    const RobotsTxt::Verdict verdict = RobotsTxt::parse(text).check(path);
    QCOMPARE(verdict.allowed, allowed);
    QCOMPARE(verdict.rule, rule);
}

void TestSpiderRules::robotsGroups()
{
    const QByteArray text = "User-agent: *\nDisallow: /\nCrawl-delay: 1\n\n"
                            "User-agent: OtherBot\nUser-agent: vantorpro/2.0\nDisallow: /cgi\nCrawl-delay: 2.5\n"
                            "User-agent: VantorPro\nDisallow: /tmp\n";
    const RobotsTxt robots = RobotsTxt::parse(text);
    QVERIFY(robots.check(QStringLiteral("/page")).allowed);
    QVERIFY(!robots.check(QStringLiteral("/cgi/x")).allowed);
    QVERIFY(!robots.check(QStringLiteral("/tmp/x")).allowed); // both groups of our token merge
    QCOMPARE(robots.crawlDelay(), 2.5);
    const RobotsTxt others = RobotsTxt::parse(text, QStringLiteral("Someone"));
    QVERIFY(!others.check(QStringLiteral("/page")).allowed);
    QCOMPARE(others.crawlDelay(), 1.0);
    QVERIFY(RobotsTxt::parse("Disallow: /\n").check(QStringLiteral("/x")).allowed); // no group at all
    QVERIFY(!RobotsTxt::disallowAll(QStringLiteral("down")).check(QStringLiteral("/x")).allowed);
}

void TestSpiderRules::retryAfter_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("seconds");
    QTest::newRow("seconds") << "5" << 5;
    QTest::newRow("capped") << "3600" << 60;
    QTest::newRow("date") << "Tue, 08 Dec 2026 12:00:10 GMT" << 10;
    QTest::newRow("past date") << "Tue, 08 Dec 2026 11:00:00 GMT" << 0;
    QTest::newRow("garbage") << "soon" << -1;
}

void TestSpiderRules::retryAfter()
{
    QFETCH(QString, value);
    QFETCH(int, seconds);
    const QDateTime now(QDate(2026, 12, 8), QTime(12, 0, 0), Qt::UTC);
    QCOMPARE(retryAfterSeconds(value, now), seconds);
}

void TestSpiderRules::savImport_data()
{
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QString>("name");
    const QStringList none;
    QTest::newRow("fresh") << none << "shop";
    QTest::newRow("taken") << QStringList{"Other", "SHOP"} << "shop1";
    QTest::newRow("taken twice") << QStringList{"shop", "Shop1"} << "shop2";
}

void TestSpiderRules::savImport()
{
    QFETCH(QStringList, projects);
    QFETCH(QString, name);
    const QByteArray sav = "[URL]\r\nhttp://www.shop.com/\r\n[DESC]\r\nMy \r\nShop\r\n[Submitter]\r\nAnn B Cole\r\n";
    const ProjectImport::Fields fields = ProjectImport::fromSav(sav, QStringLiteral("keep"), QStringLiteral("me"));
    QCOMPARE(fields.value(ProjectField::Title), QStringLiteral("My Shop"));
    QCOMPARE(fields.value(ProjectField::FirstName), QStringLiteral("Ann"));
    QCOMPARE(fields.value(ProjectField::LastName), QStringLiteral("Cole"));
    QCOMPARE(fields.value(ProjectField::Email), QString());
    QCOMPARE(ProjectImport::savName(fields.value(ProjectField::Url), projects), name);
}

void TestSpiderRules::zroImport()
{
    const QByteArray zro = "[My Site]\r\nurl=http://x/\r\nkey1=a\r\nkey3=c\r\nkey16=p\r\nname=Ann\r\n";
    const ProjectImport::Fields fields = ProjectImport::fromZro(zro, QStringLiteral("f.zro"));
    QCOMPARE(fields.value(ProjectField::SessionName), QStringLiteral("My Site"));
    QCOMPARE(fields.value(ProjectField::Keywords), QStringLiteral("a, c, p"));
    QCOMPARE(fields.value(ProjectField::FirstName), QStringLiteral("Ann"));
    QVERIFY_THROWS_EXCEPTION(ProjectImport::ImportError, ProjectImport::fromZro("url=x\r\n", QStringLiteral("f.zro")));
    QVERIFY_THROWS_EXCEPTION(ProjectImport::ImportError,
                             ProjectImport::fromSav(QByteArray("\x7f\x45\x4c\x46\0\0", 6), QString(), QString()));
}

QTEST_GUILESS_MAIN(TestSpiderRules)
#include "tst_spiderrules.moc"
