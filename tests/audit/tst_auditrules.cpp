// The finding rules, the indexable rule and the comparison of two stored crawls.
#include "audit/AuditComparison.h"
#include "audit/AuditRules.h"
#include "audit/AuditSchema.h"
#include "history/HistoryStore.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using PageEdit = std::function<void(AuditPage&)>;
Q_DECLARE_METATYPE(PageEdit)

namespace {

// A healthy indexable page: 200, HTML, a title, a description, one h1.
AuditPage healthy(const QString& url = QStringLiteral("https://site.test/p"))
{
    AuditPage page;
    page.url = url;
    page.status = 200;
    page.finalUrl = url;
    page.finalStatus = 200;
    page.contentType = QStringLiteral("text/html; charset=utf-8");
    page.html = true;
    page.bytes = 1000;
    page.responseMs = 20;
    page.hasTitle = true;
    page.title = QStringLiteral("A title");
    page.hasDescription = true;
    page.description = QStringLiteral("A description");
    page.h1Count = 1;
    page.indexable = true;
    return page;
}

QStringList codes(const QList<AuditFinding>& findings)
{
    QStringList out;
    for (const AuditFinding& f : findings)
        out.append(f.code + QLatin1Char('|') + f.detail);
    return out;
}

} // namespace

class TestAuditRules : public QObject
{
    Q_OBJECT

private slots:
    void pageRules_data();
    void pageRules();
    void indexable_data();
    void indexable();
    void crawlRules();
    void comparison();
};

void TestAuditRules::pageRules_data()
{
    QTest::addColumn<PageEdit>("edit");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* name, PageEdit edit, QStringList expected) { QTest::newRow(name) << edit << expected; };
    row("healthy", [](AuditPage&) {}, {});
    row("not found", [](AuditPage& p) { p.status = p.finalStatus = 404; }, {"not-found|404"});
    row("gone is 4xx too", [](AuditPage& p) { p.status = p.finalStatus = 410; }, {"not-found|410"});
    row("server error", [](AuditPage& p) { p.status = p.finalStatus = 503; }, {"server-error|503"});
    row("no answer",
        [](AuditPage& p) {
            p.status = p.finalStatus = 0;
            p.failure = QStringLiteral("Connection refused");
            p.bytes = -1;
        },
        {"server-error|Connection refused"});
    row("one hop is no chain",
        [](AuditPage& p) {
            p.status = 301;
            p.hops = {{301, "https://site.test/q"}};
            p.bytes = -1;
        },
        {});
    row("chain",
        [](AuditPage& p) {
            p.status = 301;
            p.hops = {{301, "https://site.test/a"}, {302, "https://site.test/b"}};
            p.bytes = -1;
        },
        {"redirect-chain|301 https://site.test/a -> 302 https://site.test/b"});
    row("loop",
        [](AuditPage& p) {
            p.status = 302;
            p.hops = {{302, "https://site.test/a"}, {302, "https://site.test/p"}};
            p.redirectLoop = true;
            p.bytes = -1;
        },
        {"redirect-loop|302 https://site.test/a -> 302 https://site.test/p"});
    row("missing title", [](AuditPage& p) { p.title.clear(); }, {"missing-title|"});
    row("missing title only on 200",
        [](AuditPage& p) {
            p.title.clear();
            p.status = p.finalStatus = 404;
        },
        {"not-found|404"});
    row("long title", [](AuditPage& p) { p.title = QString(61, QChar(0xE9)); }, {"long-title|61"});
    row("title of 60 is fine", [](AuditPage& p) { p.title = QString(60, 'x'); }, {});
    row("missing description", [](AuditPage& p) { p.description.clear(); }, {"missing-description|"});
    row("long description", [](AuditPage& p) { p.description = QString(161, 'd'); }, {"long-description|161"});
    row("missing h1", [](AuditPage& p) { p.h1Count = 0; }, {"missing-h1|"});
    row("multiple h1", [](AuditPage& p) { p.h1Count = 3; }, {"multiple-h1|3"});
    row("noindex by meta, not indexable so no missing-h1",
        [](AuditPage& p) {
            p.robotsMeta = {"noindex"};
            p.h1Count = 0;
        },
        {"noindex|meta"});
    row("noindex by header", [](AuditPage& p) { p.robotsHeader = {"noindex"}; }, {"noindex|header"});
    row("noindex by both",
        [](AuditPage& p) {
            p.robotsMeta = {"noindex", "follow"};
            p.robotsHeader = {"noindex"};
        },
        {"noindex|meta,header"});
    row("canonical elsewhere", [](AuditPage& p) { p.canonical = QStringLiteral("https://site.test/other"); },
        {"canonical-elsewhere|https://site.test/other"});
    row("canonical itself", [](AuditPage& p) { p.canonical = p.url; }, {});
    row("slow", [](AuditPage& p) { p.responseMs = 1001; }, {"slow-page|1001"});
    row("not slow at 1000", [](AuditPage& p) { p.responseMs = 1000; }, {});
    row("large", [](AuditPage& p) { p.bytes = 1048577; }, {"large-page|1048577"});
    row("not large at 1 MiB", [](AuditPage& p) { p.bytes = 1048576; }, {});
    row("mixed content once per address",
        [](AuditPage& p) {
            p.resources = {"http://cdn.test/a.js", "https://cdn.test/b.js", "http://cdn.test/a.js"};
        },
        {"mixed-content|http://cdn.test/a.js"});
    row("http page loads http freely",
        [](AuditPage& p) {
            p.url = p.finalUrl = QStringLiteral("http://site.test/p");
            p.resources = {"http://cdn.test/a.js"};
        },
        {});
}

void TestAuditRules::pageRules()
{
    QFETCH(PageEdit, edit);
    AuditPage page = healthy();
    edit(page);
    page.indexable = AuditRules::indexable(page);
    QStringList found = codes(AuditRules::pageFindings(page));
    QFETCH(QStringList, expected);
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
}

void TestAuditRules::indexable_data()
{
    QTest::addColumn<PageEdit>("edit");
    QTest::addColumn<bool>("indexable");
    QTest::newRow("healthy") << PageEdit([](AuditPage&) {}) << true;
    QTest::newRow("redirect") << PageEdit([](AuditPage& p) { p.hops = {{301, "https://site.test/x"}}; }) << false;
    QTest::newRow("404") << PageEdit([](AuditPage& p) { p.status = 404; }) << false;
    QTest::newRow("not html") << PageEdit([](AuditPage& p) { p.html = false; }) << false;
    QTest::newRow("noindex header") << PageEdit([](AuditPage& p) { p.robotsHeader = {"noindex"}; }) << false;
    QTest::newRow("nofollow only") << PageEdit([](AuditPage& p) { p.robotsMeta = {"nofollow"}; }) << true;
    QTest::newRow("canonical elsewhere") << PageEdit([](AuditPage& p) { p.canonical = "https://site.test/o"; })
                                         << false;
    QTest::newRow("canonical own") << PageEdit([](AuditPage& p) { p.canonical = p.url; }) << true;
    QTest::newRow("robots.txt refuses") << PageEdit([](AuditPage& p) { p.robotsAllowed = false; }) << false;
}

void TestAuditRules::indexable()
{
    QFETCH(PageEdit, edit);
    AuditPage page = healthy();
    edit(page);
    QFETCH(bool, indexable);
    QCOMPARE(AuditRules::indexable(page), indexable);
}

void TestAuditRules::crawlRules()
{
    AuditPage a = healthy("https://site.test/a");
    AuditPage b = healthy("https://site.test/b");
    AuditPage c = healthy("https://site.test/c");
    c.title = QStringLiteral("a title"); // case-sensitive: not a duplicate of "A title"
    c.description = QStringLiteral("Unique");
    AuditPage hidden = healthy("https://site.test/hidden"); // shares the title but is not indexable
    hidden.robotsMeta = {"noindex"};
    hidden.indexable = false;
    a.canonical = QStringLiteral("https://site.test/gone");
    a.indexable = true; // judged on its own for this test's duplicates
    AuditPage gone = healthy("https://site.test/gone");
    gone.status = gone.finalStatus = 404;
    gone.indexable = false;
    gone.title = QStringLiteral("Not found");
    // b names c as an alternate; c does not name b back. c names a, and a names c.
    b.hreflang = {{"de", "https://site.test/c"}, {"fr", "https://site.test/unfetched"}};
    c.hreflang = {{"en", "https://site.test/a"}};
    a.hreflang = {{"de", "https://site.test/c"}};

    QList<AuditFinding> findings = AuditRules::crawlFindings({a, b, c, hidden, gone});
    AuditRules::sort(findings);
    QStringList got;
    for (const AuditFinding& f : findings)
        got.append(f.code + ' ' + f.url + ' ' + f.detail);
    QCOMPARE(got, QStringList({
                      "canonical-broken https://site.test/a https://site.test/gone 404",
                      "duplicate-description https://site.test/a A description",
                      "duplicate-description https://site.test/b A description",
                      "duplicate-title https://site.test/a A title",
                      "duplicate-title https://site.test/b A title",
                      "hreflang-no-return https://site.test/b https://site.test/c",
                  }));
    QCOMPARE(AuditRules::brokenLinkDetail("https://x.test/", 0, "Home page"), QString("https://x.test/ 0 Home page"));
    QVERIFY(AuditRules::broken(0) && AuditRules::broken(404) && AuditRules::broken(500));
    QVERIFY(!AuditRules::broken(200) && !AuditRules::broken(301));
}

void TestAuditRules::comparison()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("data"));
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QVERIFY(AuditSchema::ensure(store));
    QSqlQuery q(store.database());
    auto exec = [&q](const QString& sql) { QVERIFY2(q.exec(sql), qPrintable(sql)); };
    exec("INSERT INTO audit_crawls(id, start_url, started_at, finished) VALUES(1, 'http://s.test/', 10, 1)");
    exec("INSERT INTO audit_crawls(id, start_url, started_at, finished) VALUES(2, 'http://other.test/', 11, 1)");
    exec("INSERT INTO audit_crawls(id, start_url, started_at, finished) VALUES(3, 'http://s.test/', 12, 0)");
    exec("INSERT INTO audit_crawls(id, start_url, started_at, finished) VALUES(4, 'http://s.test/', 13, 1)");
    exec("INSERT INTO audit_pages(crawl_id, seq, url, status, title, description, content_sha256) VALUES"
         " (1, 1, 'http://s.test/', 200, 'Home', 'D', 'aa'),"
         " (1, 2, 'http://s.test/old', 200, 'Old', 'D', 'bb'),"
         " (1, 3, 'http://s.test/x', 200, 'X', 'D', 'cc'),"
         " (4, 1, 'http://s.test/', 200, 'Home', 'D2', 'aa'),"
         " (4, 2, 'http://s.test/x', 404, 'X2', 'D', 'dd'),"
         " (4, 3, 'http://s.test/new', 200, 'New', 'D', 'ee')");
    exec("INSERT INTO audit_findings(crawl_id, code, url, detail) VALUES"
         " (1, 'missing-h1', 'http://s.test/', ''), (1, 'long-title', 'http://s.test/x', '70'),"
         " (4, 'long-title', 'http://s.test/x', '70'), (4, 'not-found', 'http://s.test/x', '404')");

    QCOMPARE(previousFinishedCrawl(store.database(), 4), qint64(1)); // 3 is unfinished, 2 another site
    QCOMPARE(previousFinishedCrawl(store.database(), 1), qint64(0));
    QStringList got;
    for (const AuditChange& c : compareCrawls(store.database(), 1, 4))
        got.append(c.kind + '|' + c.url + '|' + c.detail);
    QCOMPARE(got, QStringList({
                      "page-new|http://s.test/new|200",
                      "page-gone|http://s.test/old|200",
                      "status-changed|http://s.test/x|200 -> 404",
                      "title-changed|http://s.test/x|X -> X2",
                      "description-changed|http://s.test/|D -> D2",
                      "content-changed|http://s.test/x|",
                      "finding-new|http://s.test/x|not-found 404",
                      "finding-resolved|http://s.test/|missing-h1",
                  }));
}

QTEST_GUILESS_MAIN(TestAuditRules)
#include "tst_auditrules.moc"
