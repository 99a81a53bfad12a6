// The "Site Audit" window over a real crawl of the sandbox's /audit/ site:
// the pages table follows the crawl, sorts and filters; the findings tab
// holds one known instance of each problem the site carries; the changes tab
// compares with the previous crawl; the CSV files; reopening a crawl. Also
// the pages model's incremental reads and the CSV quoting, without a crawl.
#include "audit/AuditCsvExport.h"
#include "audit/AuditPagesModel.h"
#include "audit/AuditSchema.h"
#include "audit/SiteAuditWindow.h"
#include "history/HistoryStore.h"
#include "sandbox/SandboxServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// The longest wait between ticks of a 10 ms timer: how long the window's event loop was held up.
class LoopWatch : public QObject
{
public:
    LoopWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
        m_clock.start();
        m_timer.start(10);
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

QString cell(const QAbstractItemModel* model, int row, int column)
{
    return model->index(row, column).data().toString();
}

int rowOf(const QAbstractItemModel* model, const QString& suffix, int column = 0)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        if (cell(model, row, column).endsWith(suffix))
            return row;
    }
    return -1;
}

// code -> count of the findings tab's left list.
QMap<QString, int> findingCounts(const SiteAuditWindow& window)
{
    QMap<QString, int> counts;
    const QAbstractItemModel* codes = window.findingCodes->model();
    for (int row = 0; row < codes->rowCount(); ++row)
        counts.insert(cell(codes, row, 0), codes->index(row, 1).data().toInt());
    return counts;
}

} // namespace

class TestSiteAuditWindow : public QObject
{
    Q_OBJECT

private slots:
    void pagesModelReadsOnlyNewRows();
    void csvField_data();
    void csvField();
    void crawlOfTheSandboxSite();
    void emptyAddressIsRefused();
    void stopAndCloseLeaveTheCrawlUnfinished();

private:
    bool crawl(SiteAuditWindow& window, qint64* longestWaitMs = nullptr);
};

void TestSiteAuditWindow::pagesModelReadsOnlyNewRows()
{
    TempProgramDir dir;
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QVERIFY(AuditSchema::ensure(store));
    QSqlQuery q(store.database());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO audit_crawls(id, start_url, started_at) VALUES (7, 'http://a/', 0)")));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO audit_crawls(id, start_url, started_at) VALUES (8, 'http://b/', 0)")));
    auto insert = [&](qint64 crawl, int seq, int status, int indexable) {
        QSqlQuery i(store.database());
        i.prepare(QStringLiteral("INSERT INTO audit_pages(crawl_id, seq, url, status, bytes, indexable, title)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        i.addBindValue(crawl);
        i.addBindValue(seq);
        i.addBindValue(QStringLiteral("http://a/%1").arg(seq));
        i.addBindValue(status);
        i.addBindValue(seq * 100);
        i.addBindValue(indexable);
        i.addBindValue(seq == 2 ? QVariant() : QVariant(QStringLiteral("T%1").arg(seq)));
        return i.exec();
    };
    // Stored as the fetches end: 2 and 5 end after 3 and 4 started (several connections).
    for (int seq : {0, 1, 3, 4})
        QVERIFY(insert(7, seq, seq == 3 ? 404 : 200, seq % 2));
    QVERIFY(insert(8, 0, 200, 1)); // another crawl's row never shows

    AuditPagesModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QCOMPARE(model.fetchNew(store.database(), 2), 0); // no crawl yet
    model.setCrawl(7);
    QCOMPARE(model.fetchNew(store.database(), 2), 2);
    QCOMPARE(model.fetchNew(store.database(), 2), 2);
    QCOMPARE(model.fetchNew(store.database(), 2), 0);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(model.rowCount(), 4);
    QVERIFY(insert(7, 5, 301, 0));
    QVERIFY(insert(7, 2, 200, 0));
    QCOMPARE(model.fetchNew(store.database(), 100), 2);
    QCOMPARE(inserted.size(), 4);
    QCOMPARE(inserted.at(2).at(1).toInt(), 2); // the late row went to its place
    QCOMPARE(model.rowCount(), 6);
    for (int row = 0; row < 6; ++row)
        QCOMPARE(model.text(row, AuditPagesModel::Url), QStringLiteral("http://a/%1").arg(row));
    QCOMPARE(model.text(3, AuditPagesModel::Status), QStringLiteral("404"));
    QCOMPARE(model.text(1, AuditPagesModel::Indexable), QStringLiteral("yes"));
    QCOMPARE(model.text(2, AuditPagesModel::Indexable), QStringLiteral("no"));
    QCOMPARE(model.text(2, AuditPagesModel::Title), QString()); // a NULL is an empty cell
    // Numbers sort as numbers: the edit role keeps the stored integer.
    QCOMPARE(model.index(5, AuditPagesModel::Bytes).data(Qt::EditRole).typeId(), QMetaType::LongLong);
    QCOMPARE(model.headerData(AuditPagesModel::ContentSha256, Qt::Horizontal).toString(),
             QStringLiteral("content_sha256"));

    model.setCrawl(8);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.fetchNew(store.database(), 100), 1);
}

void TestSiteAuditWindow::csvField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << QStringLiteral("abc") << QStringLiteral("abc");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("comma") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
    QTest::newRow("quote") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
    QTest::newRow("blanks kept") << QStringLiteral(" a ") << QStringLiteral(" a ");
}

void TestSiteAuditWindow::csvField()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(AuditCsvExport::field(text), field);
}

bool TestSiteAuditWindow::crawl(SiteAuditWindow& window, qint64* longestWaitMs)
{
    QSignalSpy finished(&window, &SiteAuditWindow::crawlFinished);
    LoopWatch watch;
    window.startButton->click();
    if (!window.isCrawling() || window.startButton->isEnabled() || !window.stopButton->isEnabled())
        return false;
    if (!finished.wait(120000))
        return false;
    if (!finished.first().first().toBool())
        qWarning("the crawl did not complete: %s", qPrintable(window.progressText->text()));
    if (longestWaitMs)
        *longestWaitMs = watch.longestMs();
    return finished.first().first().toBool() && window.startButton->isEnabled();
}

void TestSiteAuditWindow::crawlOfTheSandboxSite()
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    SandboxServer server;
    server.addStandardSites();
    QVERIFY(server.listen(0));
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(server.port());

    SiteAuditWindow window(dir.path());
    window.show();
    QCOMPARE(window.crawlList->count(), 0);
    QVERIFY(!window.exportButton->isEnabled());
    window.setStartAddress(QStringLiteral("  %1/audit/ ").arg(origin));
    QCOMPARE(window.startAddress->text(), origin + QStringLiteral("/audit/"));
    qint64 longestWait = 0;
    QVERIFY(crawl(window, &longestWait));
    qInfo("longest event-loop wait during the crawl: %lld ms", longestWait);
    const qint64 first = window.shownCrawl();
    QVERIFY(first > 0);
    QVERIFY2(window.progressText->text().startsWith(QLatin1String("Finished: ")),
             qPrintable(window.progressText->text()));

    // Pages: every stored row, in the order fetched.
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QSqlQuery count(store.database());
    QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM audit_pages WHERE crawl_id = %1").arg(first)));
    QVERIFY(count.next());
    const int stored = count.value(0).toInt();
    QVERIFY(stored >= 20);
    const QAbstractItemModel* pages = window.pagesView->model();
    QCOMPARE(pages->rowCount(), stored);
    QCOMPARE(cell(pages, 0, AuditPagesModel::Url), origin + QStringLiteral("/audit/"));
    const int old = rowOf(pages, QStringLiteral("/audit/old.html"));
    QVERIFY(old > 0);
    QCOMPARE(cell(pages, old, AuditPagesModel::Status), QStringLiteral("301"));
    QCOMPARE(cell(pages, old, AuditPagesModel::FinalUrl), origin + QStringLiteral("/audit/new.html"));
    QCOMPARE(cell(pages, old, AuditPagesModel::Indexable), QStringLiteral("no"));
    QCOMPARE(cell(pages, old, AuditPagesModel::Title), QString());
    const int about = rowOf(pages, QStringLiteral("/audit/about.html"));
    QCOMPARE(cell(pages, about, AuditPagesModel::Title), QStringLiteral("About | Audit Sandbox"));
    QCOMPARE(cell(pages, about, AuditPagesModel::Indexable), QStringLiteral("yes"));
    QCOMPARE(cell(pages, about, AuditPagesModel::H1Count), QStringLiteral("1"));
    QCOMPARE(cell(pages, rowOf(pages, QStringLiteral("/audit/cafe.html")), AuditPagesModel::Title),
             QStringLiteral("Caf\u00e9 cr\u00e8me | Audit Sandbox"));
    QCOMPARE(rowOf(pages, QStringLiteral("/audit/private/report.html")), -1);

    window.pagesFilter->setText(QStringLiteral("SHOES"));
    QCOMPARE(pages->rowCount(), 2);
    window.pagesFilter->clear();
    QCOMPARE(pages->rowCount(), stored);
    window.pagesView->sortByColumn(AuditPagesModel::Status, Qt::DescendingOrder);
    QCOMPARE(cell(pages, 0, AuditPagesModel::Status), QStringLiteral("500"));
    window.pagesView->sortByColumn(AuditPagesModel::Bytes, Qt::DescendingOrder);
    QVERIFY(cell(pages, 0, AuditPagesModel::Url).endsWith(QLatin1String("/audit/large.html")));

    // Findings: each problem of the site, where it is.
    const QMap<QString, int> counts = findingCounts(window);
    const QMap<QString, int> exact = {
        {QStringLiteral("not-found"), 1},        {QStringLiteral("server-error"), 1},
        {QStringLiteral("redirect-chain"), 1},   {QStringLiteral("redirect-loop"), 1},
        {QStringLiteral("missing-title"), 1},    {QStringLiteral("duplicate-title"), 2},
        {QStringLiteral("long-title"), 1},       {QStringLiteral("missing-description"), 1},
        {QStringLiteral("duplicate-description"), 2}, {QStringLiteral("long-description"), 1},
        {QStringLiteral("missing-h1"), 1},       {QStringLiteral("multiple-h1"), 1},
        {QStringLiteral("noindex"), 1},          {QStringLiteral("canonical-elsewhere"), 2},
        {QStringLiteral("canonical-broken"), 1}, {QStringLiteral("blocked-by-robots"), 1},
        {QStringLiteral("large-page"), 1},       {QStringLiteral("hreflang-no-return"), 1},
        {QStringLiteral("no-sitemap-line"), 1},
    };
    for (auto it = exact.cbegin(); it != exact.cend(); ++it)
        QVERIFY2(counts.value(it.key()) == it.value(),
                 qPrintable(QStringLiteral("%1: %2").arg(it.key()).arg(counts.value(it.key()))));
    // The 404 is linked from three pages, the 500 from one; the slow page may have company on a loaded machine.
    QVERIFY2(counts.value(QStringLiteral("broken-link")) >= 4, qPrintable(QString::number(counts.value("broken-link"))));
    QVERIFY(counts.value(QStringLiteral("slow-page")) >= 1);
    QVERIFY(!counts.contains(QStringLiteral("mixed-content"))); // the sandbox speaks no https

    // Selecting a code lists its addresses; a double-click opens one.
    const QAbstractItemModel* codes = window.findingCodes->model();
    const QAbstractItemModel* urls = window.findingUrls->model();
    struct Expect
    {
        const char* code;
        const char* url;
        const char* detail;
    };
    const Expect expected[] = {
        {"noindex", "/audit/header-noindex.html", "header"},
        {"blocked-by-robots", "/audit/", "/audit/private/report.html"},
        {"hreflang-no-return", "/audit/en.html", "/audit/de.html"},
        {"canonical-broken", "/audit/canonical-broken.html", "/audit/missing.html"},
        {"redirect-chain", "/audit/old.html", "302"},
        {"slow-page", "/audit/slow.html", ""},
        {"not-found", "/audit/missing.html", "404"},
        {"no-sitemap-line", "/robots.txt", ""},
        {"broken-link", "/audit/contact.html", "/audit/missing.html 404"},
    };
    for (const Expect& e : expected) {
        const int codeRow = rowOf(codes, QLatin1String(e.code));
        QVERIFY2(codeRow >= 0, e.code);
        window.findingCodes->setCurrentIndex(codes->index(codeRow, 0));
        const int urlRow = rowOf(urls, origin + QLatin1String(e.url));
        QVERIFY2(urlRow >= 0, e.code);
        QVERIFY2(cell(urls, urlRow, 1).contains(QLatin1String(e.detail)), qPrintable(cell(urls, urlRow, 1)));
    }
    window.findingCodes->setCurrentIndex(codes->index(rowOf(codes, QStringLiteral("not-found")), 0));
    QCOMPARE(urls->rowCount(), 1);
    emit window.findingUrls->doubleClicked(urls->index(0, 1));
    QCOMPARE(dialogs.calls().size(), 1);
    QCOMPARE(dialogs.calls().first().kind, ScriptedDialogs::Call::OpenUrl);
    QCOMPARE(dialogs.calls().first().url, QUrl(origin + QStringLiteral("/audit/missing.html")));
    QVERIFY(window.changesText->text().startsWith(QLatin1String("No earlier finished crawl")));

    // Export: the pages and the findings file beside it, with the command's columns.
    QVERIFY(window.exportButton->isEnabled());
    dialogs.answerFile(dir.filePath(QStringLiteral("site-pages.csv")));
    window.exportButton->click();
    const QList<QByteArray> pageLines = dir.read(QStringLiteral("site-pages.csv")).split('\n');
    QCOMPARE(pageLines.first(), QByteArray("url,status,redirect_hops,final_url,content_type,bytes,response_ms,depth,"
                                           "title,description,h1_count,canonical,robots,indexable,content_sha256\r"));
    QCOMPARE(pageLines.size(), stored + 2); // the header, the rows, and the empty rest after the last CR LF
    QVERIFY(pageLines.at(1).startsWith((origin + QStringLiteral("/audit/,200,")).toUtf8()));
    QVERIFY(dir.read(QStringLiteral("site-pages.csv")).contains(
        ",\"A page in Windows-1252: caf\xC3\xA9, cr\xC3\xA8me, \xE2\x80\x9Cquotes\xE2\x80\x9D.\","));
    QList<QByteArray> findingLines = dir.read(QStringLiteral("site-findings.csv")).split('\n');
    QCOMPARE(findingLines.takeFirst(), QByteArray("code,url,detail\r"));
    QCOMPARE(findingLines.takeLast(), QByteArray());
    int total = 0;
    for (int n : counts)
        total += n;
    QCOMPARE(findingLines.size(), total);
    QList<QByteArray> sorted = findingLines;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(findingLines, sorted); // no code or address here holds a byte below ","
    QVERIFY(findingLines.first().startsWith("blocked-by-robots,"));

    // Write Sitemap…: the indexable pages of the latest finished crawl, and the robots.txt line to add.
    QVERIFY(window.sitemapButton->isEnabled());
    const QString published = dir.filePath(QStringLiteral("published"));
    QVERIFY(QDir().mkpath(published));
    dialogs.clear();
    dialogs.answerFile(published);
    window.sitemapButton->click();
    QCOMPARE(dialogs.calls().first().kind, ScriptedDialogs::Call::Folder);
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY2(dialogs.lastMessage().text.contains(
                 QStringLiteral("add the line \"Sitemap: %1/sitemap.xml\"").arg(origin)),
             qPrintable(dialogs.lastMessage().text));
    const QByteArray sitemap = dir.read(QStringLiteral("published/sitemap.xml"));
    QVERIFY(sitemap.contains("<loc>" + origin.toUtf8() + "/audit/</loc>"));
    QVERIFY(!sitemap.contains("missing.html"));
    QVERIFY(!sitemap.contains("old.html"));
    dialogs.clear();

    // A second crawl after the about page went missing: the changes since the first.
    server.router().addPath("/audit/about.html", [](const SandboxRequest&) { return SandboxRouter::notFound(); });
    QVERIFY(crawl(window));
    const qint64 second = window.shownCrawl();
    QVERIFY(second > first);
    QVERIFY2(window.changesText->text().contains(QStringLiteral(" since crawl %1 of ").arg(first)),
             qPrintable(window.changesText->text()));
    const QAbstractItemModel* changes = window.changesView->model();
    bool statusChanged = false, findingNew = false;
    for (int row = 0; row < changes->rowCount(); ++row) {
        const bool aboutRow = cell(changes, row, 1).endsWith(QLatin1String("/audit/about.html"));
        statusChanged |= aboutRow && cell(changes, row, 0) == QLatin1String("status-changed");
        findingNew |= aboutRow && cell(changes, row, 0) == QLatin1String("finding-new");
    }
    QVERIFY(statusChanged);
    QVERIFY(findingNew);

    // Both crawls are listed, newest first; the first reopens with its own pages.
    QCOMPARE(window.crawlList->count(), 2);
    QCOMPARE(window.crawlList->itemData(0).toLongLong(), second);
    QVERIFY(window.crawlList->itemText(1).contains(QStringLiteral("%1 pages, finished").arg(stored)));
    window.crawlList->setCurrentIndex(1);
    emit window.crawlList->activated(1);
    QCOMPARE(window.shownCrawl(), first);
    QTRY_COMPARE(window.pagesModel()->rowCount(), stored);
    QCOMPARE(window.pagesModel()->text(about, AuditPagesModel::Status), QStringLiteral("200"));
    QVERIFY(window.changesText->text().startsWith(QLatin1String("No earlier finished crawl")));
}

void TestSiteAuditWindow::emptyAddressIsRefused()
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    SiteAuditWindow window(dir.path());
    window.setStartAddress(QStringLiteral("   "));
    window.startButton->click();
    QVERIFY(!window.isCrawling());
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Site Audit"));
    dialogs.clear();
    // An address the controller refuses says why, and nothing is stored.
    window.setStartAddress(QStringLiteral("ftp://example.com/"));
    window.startButton->click();
    QVERIFY(!window.isCrawling());
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY(!dialogs.lastMessage().text.isEmpty());
    QCOMPARE(window.crawlList->count(), 0);
}

void TestSiteAuditWindow::stopAndCloseLeaveTheCrawlUnfinished()
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    SandboxServer server;
    server.addStandardSites();
    QVERIFY(server.listen(0));
    // The slow page holds each crawl open long enough to stop it.
    const QString start = QStringLiteral("http://127.0.0.1:%1/audit/slow.html").arg(server.port());

    auto* window = new SiteAuditWindow(dir.path());
    window->setStartAddress(start);
    QSignalSpy finished(window, &SiteAuditWindow::crawlFinished);
    window->startButton->click();
    QVERIFY(window->isCrawling());
    QVERIFY(!window->startAddress->isEnabled());
    window->stopButton->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(!window->isCrawling());
    QVERIFY(window->startButton->isEnabled());
    QVERIFY(window->startAddress->isEnabled());
    QVERIFY2(window->progressText->text().startsWith(QLatin1String("Stopped: ")),
             qPrintable(window->progressText->text()));
    QVERIFY(window->crawlList->itemText(0).endsWith(QLatin1String("unfinished")));

    // Closed while the second crawl runs: it ends, stored unfinished, and nothing calls back into the window.
    window->startButton->click();
    QVERIFY(window->isCrawling());
    QTest::qWait(200);
    delete window;
    QCOMPARE(finished.size(), 1);
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QSqlQuery q(store.database());
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), SUM(finished), COUNT(ended_at) FROM audit_crawls")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QCOMPARE(q.value(1).toInt(), 0);
    QCOMPARE(q.value(2).toInt(), 2);
    QVERIFY(dialogs.calls().isEmpty());
}

QTEST_MAIN(TestSiteAuditWindow)
#include "tst_siteauditwindow.moc"
