// The page extraction: texts, robots directives, canonical addresses, charsets, links.
#include "audit/AuditRules.h"
#include "audit/PageExtract.h"

#include <QtTest>

class TestAuditExtract : public QObject
{
    Q_OBJECT

private slots:
    void titles_data();
    void titles();
    void descriptions_data();
    void descriptions();
    void robotsMerging_data();
    void robotsMerging();
    void canonical_data();
    void canonical();
    void charsets_data();
    void charsets();
    void links();
    void hreflangAndResources();
    void characterCounts();
};

void TestAuditExtract::titles_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << QByteArray("<title>Home</title>") << true << QString("Home");
    QTest::newRow("entities") << QByteArray("<title>Fish &amp; Chips &eacute;t&#233; &#x263A;</title>") << true
                              << QString::fromUtf8("Fish & Chips été ☺");
    QTest::newRow("whitespace collapsed")
        << QByteArray("<title>\n  Two\t\twords \r\n </title>") << true << QString("Two words");
    QTest::newRow("absent") << QByteArray("<html><body><h1>x</h1></body></html>") << false << QString();
    QTest::newRow("empty") << QByteArray("<title>   </title>") << true << QString();
    QTest::newRow("first of two") << QByteArray("<title>One</title><title>Two</title>") << true << QString("One");
    QTest::newRow("tags inside are text")
        << QByteArray("<title>a <b>bold</b> move</title>") << true << QString("a <b>bold</b> move");
    QTest::newRow("svg title is not the page's")
        << QByteArray("<body><svg><title>icon</title></svg></body>") << false << QString();
}

void TestAuditExtract::titles()
{
    QFETCH(QByteArray, html);
    const PageFacts facts = PageExtract::extract(html, "text/html", QUrl("http://site.test/"));
    QFETCH(bool, present);
    QCOMPARE(facts.hasTitle, present);
    QFETCH(QString, title);
    QCOMPARE(facts.title, title);
}

void TestAuditExtract::descriptions_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("description");
    QTest::newRow("plain") << QByteArray("<meta name=description content='About us'>") << true << QString("About us");
    QTest::newRow("name in capitals") << QByteArray("<META NAME=\"Description\" CONTENT=\"Upper\">") << true
                                      << QString("Upper");
    QTest::newRow("entities and blanks") << QByteArray("<meta name=description content=\"  a &lt;b&gt;\n c &quot;\">")
                                         << true << QString("a <b> c \"");
    QTest::newRow("absent") << QByteArray("<meta name=keywords content=x>") << false << QString();
    QTest::newRow("empty") << QByteArray("<meta name=description content=''>") << true << QString();
    QTest::newRow("first wins") << QByteArray("<meta name=description content=A><meta name=description content=B>")
                                << true << QString("A");
}

void TestAuditExtract::descriptions()
{
    QFETCH(QByteArray, html);
    const PageFacts facts = PageExtract::extract(html, "text/html", QUrl("http://site.test/"));
    QFETCH(bool, present);
    QCOMPARE(facts.hasDescription, present);
    QFETCH(QString, description);
    QCOMPARE(facts.description, description);
}

void TestAuditExtract::robotsMerging_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("merged");
    QTest::addColumn<bool>("noindex");
    QTest::newRow("meta only") << QByteArray("<meta name=robots content='NOINDEX, Follow'>") << QString()
                               << QString("noindex,follow") << true;
    QTest::newRow("header only") << QByteArray("<title>t</title>") << QString("noindex") << QString("noindex") << true;
    QTest::newRow("duplicates dropped")
        << QByteArray("<meta name=robots content='noindex,nofollow'><meta name=ROBOTS content='nofollow'>")
        << QString(" NoFollow , noarchive") << QString("noindex,nofollow,noarchive") << true;
    QTest::newRow("none") << QByteArray("<title>t</title>") << QString() << QString() << false;
    QTest::newRow("none directive") << QByteArray("<meta name=robots content=none>") << QString() << QString("none")
                                    << true;
}

void TestAuditExtract::robotsMerging()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, header);
    const PageFacts facts = PageExtract::extract(html, "text/html", QUrl("http://site.test/"));
    AuditPage page;
    page.robotsMeta = facts.robotsMeta;
    PageExtract::addDirectives(page.robotsHeader, header);
    QFETCH(QString, merged);
    QCOMPARE(page.robots(), merged);
    QFETCH(bool, noindex);
    QCOMPARE(page.noindex(), noindex);
}

void TestAuditExtract::canonical_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("absolute") << QByteArray("<link rel=canonical href='http://Site.TEST:80/a#top'>")
                              << QString("http://site.test/x") << QString("http://site.test/a");
    QTest::newRow("relative") << QByteArray("<link rel=canonical href='../b.html'>")
                              << QString("http://site.test/d/e/f.html") << QString("http://site.test/d/b.html");
    QTest::newRow("root relative") << QByteArray("<link rel='Canonical' href='/c?q=1'>")
                                   << QString("https://site.test/x/y") << QString("https://site.test/c?q=1");
    QTest::newRow("against base") << QByteArray("<base href='http://other.test/dir/'><link rel=canonical href=p>")
                                  << QString("http://site.test/") << QString("http://other.test/dir/p");
    QTest::newRow("several rel tokens") << QByteArray("<link rel='nofollow canonical' href='/k'>")
                                        << QString("http://site.test/") << QString("http://site.test/k");
    QTest::newRow("tokens split on any HTML space") << QByteArray("<link rel='\tnoopener\n\fCANONICAL\r' href='/t'>")
                                                    << QString("http://site.test/") << QString("http://site.test/t");
    QTest::newRow("a token is whole") << QByteArray("<link rel='canonical-ish' href='/n'>") << QString("http://site.test/")
                                      << QString();
    QTest::newRow("empty href ignored") << QByteArray("<link rel=canonical href=''>") << QString("http://site.test/")
                                        << QString();
    QTest::newRow("not http") << QByteArray("<link rel=canonical href='mailto:x@y'>") << QString("http://site.test/")
                              << QString();
}

void TestAuditExtract::canonical()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, page);
    const PageFacts facts = PageExtract::extract(html, "text/html", QUrl(page));
    QFETCH(QString, canonical);
    QCOMPARE(facts.canonical, canonical);
}

void TestAuditExtract::charsets_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("title");
    QTest::newRow("header latin-1 read as windows-1252")
        << QByteArray("<title>caf\xE9 \x80</title>") << QString("text/html; charset=ISO-8859-1")
        << QString("iso-8859-1") << QString::fromUtf8("café €");
    QTest::newRow("header beats meta") << QByteArray("<meta charset=windows-1252><title>\xC3\xA9</title>")
                                       << QString("text/html;charset=\"utf-8\"") << QString("utf-8")
                                       << QString::fromUtf8("é");
    QTest::newRow("meta charset") << QByteArray("<meta charset='windows-1252'><title>\x93q\x94</title>")
                                  << QString("text/html") << QString("windows-1252") << QString::fromUtf8("“q”");
    QTest::newRow("meta http-equiv")
        << QByteArray("<meta http-equiv=Content-Type content='text/html; charset=koi8-r'><title>\xF0\xD2</title>")
        << QString("text/html") << QString("koi8-r") << QString::fromUtf8("Пр");
    QTest::newRow("valid utf-8 without a label") << QByteArray("<title>\xE2\x82\xAC 5</title>") << QString("text/html")
                                                 << QString("utf-8") << QString::fromUtf8("€ 5");
    QTest::newRow("invalid utf-8 falls back") << QByteArray("<title>na\xEFve \xE9</title>") << QString("text/html")
                                              << QString("windows-1252") << QString::fromUtf8("naïve é");
    QTest::newRow("declared utf-8 with a bad byte") << QByteArray("<title>\xC3\xA9 \xFF</title>")
                                                    << QString("text/html; charset=UTF-8") << QString("utf-8")
                                                    << QString::fromUtf8("é \xEF\xBF\xBD");
    QTest::newRow("meta utf8 label") << QByteArray("<meta charset=utf8><title>\xC3\xA9</title>") << QString("text/html")
                                     << QString("utf8") << QString::fromUtf8("é");
    QTest::newRow("unknown label falls through")
        << QByteArray("<title>\xC3\xA9</title>") << QString("text/html; charset=x-none") << QString("utf-8")
        << QString::fromUtf8("é");
}

void TestAuditExtract::charsets()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, contentType);
    const PageFacts facts = PageExtract::extract(html, contentType, QUrl("http://site.test/"));
    QFETCH(QString, charset);
    QCOMPARE(facts.charset, charset);
    QFETCH(QString, title);
    QCOMPARE(facts.title, title);
}

void TestAuditExtract::links()
{
    const QByteArray html = "<body><a href='a.html'>  First\n <b>link</b> </a>"
                            "<a href='/b' rel='nofollow noopener'>B</a>"
                            "<a href='javascript:void(0)'>js</a>"
                            "<a href='https://ext.test/#frag'><img src=x.png alt=pic></a>"
                            "<a name=anchor>no href</a></body>";
    const PageFacts facts = PageExtract::extract(html, "text/html", QUrl("http://site.test/dir/page.html"));
    QCOMPARE(facts.links.size(), 4);
    QCOMPARE(facts.links[0].url, QString("http://site.test/dir/a.html"));
    QCOMPARE(facts.links[0].anchor, QString("First link"));
    QVERIFY(!facts.links[0].nofollow);
    QCOMPARE(facts.links[1].url, QString("http://site.test/b"));
    QVERIFY(facts.links[1].nofollow);
    QVERIFY(facts.links[2].url.isEmpty());
    QCOMPARE(facts.links[3].url, QString("https://ext.test/"));
    QCOMPARE(facts.links[3].anchor, QString());
}

void TestAuditExtract::hreflangAndResources()
{
    const QByteArray html = "<head><link rel=alternate hreflang=DE href='/de/'>"
                            "<link rel=alternate href='/feed' type='application/rss+xml'>"
                            "<link rel=stylesheet href='http://cdn.test/s.css'><script src='//cdn.test/j.js'></script>"
                            "</head><body><h1>One</h1><h1> Two </h1><img src='http://img.test/a.png'></body>";
    const PageFacts facts = PageExtract::extract(html, "text/html", QUrl("https://site.test/en/"));
    QCOMPARE(facts.hreflang.size(), 1);
    QCOMPARE(facts.hreflang[0].first, QString("de"));
    QCOMPARE(facts.hreflang[0].second, QString("https://site.test/de/"));
    QCOMPARE(facts.resources, QStringList({"http://cdn.test/s.css", "https://cdn.test/j.js", "http://img.test/a.png"}));
    QCOMPARE(facts.h1s, QStringList({"One", "Two"}));
}

void TestAuditExtract::characterCounts()
{
    // Lengths count characters: an astral character is one, not two UTF-16 units.
    QCOMPARE(PageExtract::characterCount(QString::fromUtf8("a😀é")), 3);
    QCOMPARE(PageExtract::characterCount(QString()), 0);
}

QTEST_GUILESS_MAIN(TestAuditExtract)
#include "tst_auditextract.moc"
