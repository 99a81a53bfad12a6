#include "AuditFixture.h"
#include "CliProcess.h"
#include "audit/Sitemap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// The <loc> and <lastmod> texts of a sitemap or sitemap index, and its root.
struct ParsedXml
{
    QString root;
    QStringList locs;
    QStringList lastmods;
    bool wellFormed = false;
};

ParsedXml parseFile(const QString& path)
{
    ParsedXml parsed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return parsed;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (parsed.root.isEmpty()) {
            parsed.root = xml.name().toString();
            if (xml.namespaceUri() != QLatin1String("http://www.sitemaps.org/schemas/sitemap/0.9"))
                return parsed;
        } else if (xml.name() == QLatin1String("loc")) {
            parsed.locs.append(xml.readElementText());
        } else if (xml.name() == QLatin1String("lastmod")) {
            parsed.lastmods.append(xml.readElementText());
        }
    }
    parsed.wellFormed = !xml.hasError();
    return parsed;
}

QList<SitemapEntry> entries(int count)
{
    QList<SitemapEntry> list;
    for (int i = 1; i <= count; ++i)
        list.append({QStringLiteral("https://site.example/p%1?a=1&b=<2>").arg(i), 1700000000 + i, QString()});
    return list;
}

} // namespace

class TestSitemap : public QObject
{
    Q_OBJECT

private slots:
    void locIsEscaped_data();
    void locIsEscaped();
    void addressesAreRefused_data();
    void addressesAreRefused();
    void splitsAtTheLimits_data();
    void splitsAtTheLimits();
    void lastmodFollowsTheContent();
    void commandWritesAndReports();
};

void TestSitemap::locIsEscaped_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("plain") << QStringLiteral("https://a.example/x") << QByteArray("https://a.example/x");
    QTest::newRow("ampersand") << QStringLiteral("https://a.example/?a=1&b=2")
                               << QByteArray("https://a.example/?a=1&amp;b=2");
    QTest::newRow("all five") << QStringLiteral("&<>'\"") << QByteArray("&amp;&lt;&gt;&apos;&quot;");
    QTest::newRow("utf-8") << QStringLiteral("https://a.example/\u00fc\U0001F600")
                           << QByteArray("https://a.example/\xc3\xbc\xf0\x9f\x98\x80");
    QTest::newRow("control char refused") << QStringLiteral("https://a.example/\u0001") << QByteArray();
    QTest::newRow("lone surrogate refused") << QString(QChar(0xD800)) << QByteArray();
    QTest::newRow("FFFE refused") << QString(QChar(0xFFFE)) << QByteArray();
}

void TestSitemap::locIsEscaped()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, escaped);
    QCOMPARE(Sitemap::escapeLoc(address), escaped);
}

void TestSitemap::addressesAreRefused_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("refused");
    const QString head = QStringLiteral("https://a.example/");
    QTest::newRow("2047 characters") << head + QString(2047 - head.size(), QLatin1Char('x')) << false;
    QTest::newRow("2048 characters") << head + QString(2048 - head.size(), QLatin1Char('x')) << true;
    QTest::newRow("ftp") << QStringLiteral("ftp://a.example/") << true;
    QTest::newRow("relative") << QStringLiteral("/page") << true;
    QTest::newRow("blank inside") << QStringLiteral("https://a.example/a b") << true;
    QTest::newRow("query with ampersand") << QStringLiteral("https://a.example/?a=1&b=2") << false;
}

void TestSitemap::addressesAreRefused()
{
    QFETCH(QString, address);
    QFETCH(bool, refused);
    QCOMPARE(!Sitemap::refusal(address).isEmpty(), refused);
}

void TestSitemap::splitsAtTheLimits_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("maxUrls");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<int>("files");
    QTest::newRow("one file") << 5 << 5 << Sitemap::MaxBytes << 1;
    QTest::newRow("split by count") << 5 << 2 << Sitemap::MaxBytes << 3;
    // Each element is about 110 bytes; the frame about 120.
    QTest::newRow("split by size") << 10 << 50000 << qint64(600) << 3;
    QTest::newRow("empty") << 0 << 10 << Sitemap::MaxBytes << 0;
}

void TestSitemap::splitsAtTheLimits()
{
    QFETCH(int, count);
    QFETCH(int, maxUrls);
    QFETCH(qint64, maxBytes);
    QFETCH(int, files);
    QTemporaryDir dir;
    // A longer, earlier sitemap's numbered files must not outlive it.
    Sitemap::write(entries(9), dir.path(), QStringLiteral("https://cdn.example/maps/"), 1);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("sitemap-9.xml"))));

    const QList<SitemapEntry> list = entries(count);
    const Sitemap::WriteResult result =
        Sitemap::write(list, dir.path(), QStringLiteral("https://cdn.example/maps/"), maxUrls, maxBytes);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.files, files);
    QCOMPARE(result.urls, count);

    QStringList locs;
    if (files <= 1) {
        const ParsedXml single = parseFile(dir.filePath(QStringLiteral("sitemap.xml")));
        QVERIFY(single.wellFormed);
        QCOMPARE(single.root, QStringLiteral("urlset"));
        locs = single.locs;
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("sitemap-1.xml"))));
    } else {
        const ParsedXml index = parseFile(dir.filePath(QStringLiteral("sitemap.xml")));
        QVERIFY(index.wellFormed);
        QCOMPARE(index.root, QStringLiteral("sitemapindex"));
        QCOMPARE(index.locs.size(), files);
        for (int f = 1; f <= files; ++f) {
            QCOMPARE(index.locs[f - 1], QStringLiteral("https://cdn.example/maps/sitemap-%1.xml").arg(f));
            const QString path = dir.filePath(QStringLiteral("sitemap-%1.xml").arg(f));
            QVERIFY(QFileInfo(path).size() <= maxBytes);
            const ParsedXml part = parseFile(path);
            QVERIFY(part.wellFormed);
            QCOMPARE(part.root, QStringLiteral("urlset"));
            QVERIFY(part.locs.size() <= maxUrls);
            locs += part.locs;
            // The index's lastmod is the newest of its file.
            QCOMPARE(index.lastmods[f - 1], part.lastmods.constLast());
        }
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("sitemap-%1.xml").arg(files + 1))));
    }
    QCOMPARE(locs.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(locs[i], list[i].loc); // in order, unescaped by the reader
}

void TestSitemap::lastmodFollowsTheContent()
{
    QTemporaryDir dir;
    AuditFixture fixture(dir.path());
    const QString start = QStringLiteral("https://site.example/");
    const auto page = [](const char* path) { return QStringLiteral("https://site.example/") + QLatin1String(path); };
    const qint64 c1 = fixture.addCrawl(start, 1000);
    fixture.addPage(c1, page("same"), QStringLiteral("h1"));
    fixture.addPage(c1, page("changed-later"), QStringLiteral("old"));
    fixture.addPage(c1, page("gap"), QStringLiteral("g"));
    const qint64 unfinished = fixture.addCrawl(start, 1500, false);
    fixture.addPage(unfinished, page("same"), QStringLiteral("other"));
    const qint64 c2 = fixture.addCrawl(start, 2000);
    fixture.addPage(c2, page("same"), QStringLiteral("h1"));
    fixture.addPage(c2, page("changed-later"), QStringLiteral("new"));
    const qint64 elsewhere = fixture.addCrawl(QStringLiteral("https://other.example/"), 2500);
    fixture.addPage(elsewhere, page("same"), QStringLiteral("h1"));
    const qint64 c3 = fixture.addCrawl(start, 3000);
    fixture.addPage(c3, page("changed-later"), QStringLiteral("new"));
    fixture.addPage(c3, page("same"), QStringLiteral("h1"));
    fixture.addPage(c3, page("gap"), QStringLiteral("g"));
    fixture.addPage(c3, page("noindex"), QStringLiteral("n"), false);
    fixture.addPage(c3, page("no-hash"), QString());
    fixture.addPage(c3, page("same"), QStringLiteral("h1")); // fetched twice: listed once
    fixture.addCrawl(start, 4000, false); // still running: not the latest finished

    QCOMPARE(Sitemap::latestFinishedCrawl(fixture.store(), QStringLiteral("HTTPS://Site.Example:443")), c3);
    Sitemap::CrawlPages pages;
    QString error;
    QVERIFY2(Sitemap::readCrawl(fixture.store(), c3, &pages, &error), qPrintable(error));
    QStringList got;
    for (const SitemapEntry& e : pages.entries)
        got << e.loc.mid(21) + QLatin1Char('=') + QString::number(e.lastmod);
    QCOMPARE(got, (QStringList{QStringLiteral("changed-later=2000"), QStringLiteral("same=1000"),
                               QStringLiteral("gap=3000"), QStringLiteral("no-hash=3000")}));
}

void TestSitemap::commandWritesAndReports()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data")));
    const QString start = QStringLiteral("http://127.0.0.1:8088/audit/");
    {
        AuditFixture fixture(dir.path());
        const qint64 crawl = fixture.addCrawl(start, 1700000000);
        for (int i = 1; i <= 5; ++i)
            fixture.addPage(crawl, QStringLiteral("http://127.0.0.1:8088/audit/p%1.html").arg(i), QStringLiteral("h"));
        fixture.addPage(crawl, QStringLiteral("http://127.0.0.1:8088/audit/") + QString(2100, QLatin1Char('x')),
                        QStringLiteral("h"));
        fixture.addFinding(crawl, QStringLiteral("no-sitemap-line"), QStringLiteral("http://127.0.0.1:8088/robots.txt"));
    }
    const QString out = dir.filePath(QStringLiteral("out"));
    const CliRun run = runCliProcess({QStringLiteral("--dir"), dir.path(), QStringLiteral("sitemap"), start,
                                      QStringLiteral("--out"), out, QStringLiteral("--max-urls"), QStringLiteral("2")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outLines().value(0), QStringLiteral("sitemap 3 files 5 urls"));
    QVERIFY(run.outLines().value(1).startsWith(QStringLiteral("skipped http://127.0.0.1:8088/audit/xxx")));
    QVERIFY(run.err.contains("Sitemap: http://127.0.0.1:8088/sitemap.xml"));
    const ParsedXml index = parseFile(out + QStringLiteral("/sitemap.xml"));
    QCOMPARE(index.locs.value(2), QStringLiteral("http://127.0.0.1:8088/sitemap-3.xml"));
    QCOMPARE(parseFile(out + QStringLiteral("/sitemap-1.xml")).lastmods.value(0), QStringLiteral("2023-11-14T22:13:20Z"));

    const CliRun none = runCliProcess({QStringLiteral("--dir"), dir.path(), QStringLiteral("sitemap"),
                                       QStringLiteral("http://nothing.example/"), QStringLiteral("--out"), out});
    QCOMPARE(none.exitCode, 1);
    QVERIFY(none.err.contains("There is no finished audit of http://nothing.example/."));
}

QTEST_GUILESS_MAIN(TestSitemap)
#include "tst_sitemap.moc"
