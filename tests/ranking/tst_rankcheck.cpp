#include "app/TSubmitMain.h"
#include "net/THttpCli.h"
#include "projects/ProjectEditorPage.h"
#include "ranking/RankCheck.h"
#include "ranking/RankHistoryWindow.h"
#include "ranking/RankListModel.h"
#include "ranking/RankSummaryModel.h"
#include "ranking/TRankingPage.h"
#include "sandbox/SandboxServer.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "ui/HtmlCellDelegate.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using Script = ScriptedServer::Script;
Q_DECLARE_METATYPE(Script)

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

const QString Site = QStringLiteral("http://www.site.example/");
const QByteArray Mark = "<a href=\"http://www.site.example/\">";

Script page(const QByteArray& body)
{
    return Script().awaitRequest().send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body).close();
}

Script failing()
{
    return Script().awaitRequest().send("HTTP/1.0 500 Internal Server Error\r\n\r\noops").close();
}

const Script Hit = page("<html><ol><li>" + Mark + "Site</a></li></ol></html>");
const Script Miss = page("<html><ol><li><a href=\"http://other.example/\">Other</a></li></ol></html>");

QString engine(const QString& name, const ScriptedServer& server, int first = 0)
{
    return name + QLatin1Char('|') + server.url(QStringLiteral("/s?q=$query&o=$page")) +
           QStringLiteral("|<a href=\"$url\">|||%1|").arg(first);
}

QByteArray requestLine(const ScriptedServer& server, int connection)
{
    const QByteArray r = server.received(connection);
    return r.left(r.indexOf("\r\n"));
}

// Live heap in kB: what the process holds, whatever the allocator (or the
// sanitizer's quarantine of freed blocks) keeps besides.
qint64 heapKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64((info.uordblks + info.hblkhd) / 1024);
#endif
}

// The peak resident memory of this process so far, in kB (VmHWM).
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

QString today()
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

// A program directory with a rank list and a page that has loaded it.
struct Fixture
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    TRankingPage page;

    explicit Fixture(const QStringList& lines)
    {
        writeList(lines);
        page.setProgramDir(dir.path());
        page.loadRankList();
        page.ComboBox1->setEditText(QStringLiteral("web design"));
        page.RankUrl->setText(Site);
    }
    void writeList(const QStringList& lines) const
    {
        dir.write(QStringLiteral("data/ranking.ist"), (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());
    }
    RankListModel& model() { return *page.model(); }
    QString result(int row) { return model().row(row).result; }
};

} // namespace

class TestRankCheck : public QObject
{
    Q_OBJECT

private slots:
    void pagesAndOffsets_data();
    void pagesAndOffsets();
    void rowOutcomes_data();
    void rowOutcomes();
    void shippedListOnTheSandbox();
    void cancelEndsTheCheckAndANewOneRuns();
    void reloadingTheListEndsTheCheck();
    void malformedInputEndsTheCheck_data();
    void malformedInputEndsTheCheck();
    void bigPageKeepsTheWindowLive();
    void markFoundAtEveryChunkCut();
    void endlessPageIsReadToTheCap_data();
    void endlessPageIsReadToTheCap();
    void stalledEngineTimesOut_data();
    void stalledEngineTimesOut();
    void mainWindowWiring();
    void historyWindowFromButtonAndMenu();
    void linkOpensTheListing();
};

void TestRankCheck::pagesAndOffsets_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<int>("first");
    QTest::addColumn<QList<int>>("offsets");

    QList<int> twenty;
    for (int k = 0; k < 20; ++k)
        twenty << 1 + 10 * k;
    QTest::newRow("top 10") << "10" << 0 << QList<int>{0};
    QTest::newRow("top 200 from offset 1") << "200" << 1 << twenty;
    QTest::newRow("top 30") << "30" << 0 << QList<int>{0, 10, 20};
}

void TestRankCheck::pagesAndOffsets()
{
    QFETCH(QString, top);
    QFETCH(int, first);
    QFETCH(QList<int>, offsets);
    ScriptedServer server;
    server.play(Miss);
    Fixture f({engine(QStringLiteral("One"), server, first)});
    QAbstractItemModelTester tester(f.page.model());
    f.page.ComboBox2->setEditText(top);
    f.page.Button8Click();

    QCOMPARE(server.connectionCount(), offsets.size());
    for (int k = 0; k < offsets.size(); ++k)
        QCOMPARE(requestLine(server, k), "GET /s?q=web%20design&o=" + QByteArray::number(offsets[k]) + " HTTP/1.0");
    if (!offsets.isEmpty())
        QVERIFY(server.received(0).contains("\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1;)\r\n"));
    QCOMPARE(f.result(0), offsets.isEmpty() ? RankCheck::searchingText() : RankCheck::notFoundText(top));
    QCOMPARE(f.model().row(0).date, offsets.isEmpty() ? QString() : today());
    QCOMPARE(f.model().row(0).image, RowImage::None);
    QVERIFY(f.page.Button8->isEnabled());
    QCOMPARE(f.page.Button9->text(), QStringLiteral("Reset"));
    QVERIFY(f.dialogs.calls().isEmpty());
}

void TestRankCheck::rowOutcomes_data()
{
    QTest::addColumn<QList<Script>>("scripts"); // by connection; the last one answers every later one
    QTest::addColumn<QList<bool>>("checked");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QStringList>("results"); // "" for a row's address: that row's found text at the given top
    QTest::addColumn<QList<bool>>("dated");
    QTest::addColumn<int>("connections");

    QTest::newRow("a hit on page 1 stops that engine, a skipped row, the others go on")
        << QList<Script>{Hit, Miss} << QList<bool>{true, false, true} << "30"
        << QStringList{"found 10 o=0", RankCheck::skippedText(), RankCheck::notFoundText(QStringLiteral("30"))}
        << QList<bool>{true, false, true} << 4;
    QTest::newRow("letter case counts") << QList<Script>{page("<A HREF=\"HTTP://WWW.SITE.EXAMPLE/\">")}
                                        << QList<bool>{true} << "10"
                                        << QStringList{RankCheck::notFoundText(QStringLiteral("10"))}
                                        << QList<bool>{true} << 1;
    QTest::newRow("a mark split over two chunks is found")
        << QList<Script>{Script()
                             .awaitRequest()
                             .sendInParts("HTTP/1.0 200 OK\r\n\r\n<li>" + Mark + "</li>", 19 + 4 + 12)
                             .close()}
        << QList<bool>{true} << "10" << QStringList{"found 10 o=0"} << QList<bool>{true} << 1;
    QTest::newRow("an HTTP error, then the next page is fetched and found")
        << QList<Script>{failing(), Hit} << QList<bool>{true} << "50" << QStringList{"found 20 o=10"}
        << QList<bool>{true} << 2;
    QTest::newRow("an HTTP error on the last page stays")
        << QList<Script>{failing()} << QList<bool>{true} << "10"
        << QStringList{RankCheck::errorText(QStringLiteral("Internal Server Error"))} << QList<bool>{false} << 1;
    QTest::newRow("a page without the mark, then an error: the error shows, the date stays")
        << QList<Script>{Miss, failing()} << QList<bool>{true} << "20"
        << QStringList{RankCheck::errorText(QStringLiteral("Internal Server Error"))} << QList<bool>{true} << 2;
}

void TestRankCheck::rowOutcomes()
{
    QFETCH(QList<Script>, scripts);
    QFETCH(QList<bool>, checked);
    QFETCH(QString, top);
    QFETCH(QStringList, results);
    QFETCH(QList<bool>, dated);
    QFETCH(int, connections);
    ScriptedServer server;
    server.play(scripts);
    QStringList lines;
    for (int i = 0; i < checked.size(); ++i)
        lines << engine(QStringLiteral("Engine %1").arg(i), server);
    Fixture f(lines);
    for (int i = 0; i < checked.size(); ++i)
        f.model().setChecked(i, checked[i]);
    f.page.ComboBox2->setEditText(top);
    f.page.Button8Click();

    QCOMPARE(server.connectionCount(), connections);
    for (int i = 0; i < checked.size(); ++i) {
        QString expected = results[i];
        if (expected.startsWith(QLatin1String("found "))) {
            const QStringList parts = expected.split(QLatin1Char(' '));
            expected =
                RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&") + parts[2]), parts[1].toInt());
        }
        QCOMPARE(f.result(i), expected);
        QCOMPARE(f.model().row(i).date, dated[i] ? today() : QString());
        QCOMPARE(f.model().row(i).image, RowImage::None);
        QCOMPARE(f.model().isChecked(i), checked[i]);
    }
    QVERIFY(f.dialogs.calls().isEmpty());
}

void TestRankCheck::shippedListOnTheSandbox()
{
    SandboxServer sandbox;
    sandbox.addStandardSites();
    QVERIFY(sandbox.listen(0));
    QFile shipped(qEnvironmentVariable("VANTOR_SOURCE_DIR") + QStringLiteral("/resources/programdir/data/ranking.ist"));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(sandbox.port());
    const QStringList lines = QString::fromUtf8(shipped.readAll())
                                  .replace(QLatin1String("http://127.0.0.1:8088"), base)
                                  .split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    Fixture f(lines);
    f.page.RankUrl->setText(QStringLiteral("http://www.my-sample-site.example/"));
    f.page.ComboBox1->setEditText(QStringLiteral("garden tools"));
    f.page.ComboBox2->setCurrentText(QStringLiteral("200"));
    f.page.Button8Click();

    const QString site = QStringLiteral("&site=http://www.my-sample-site.example/");
    QCOMPARE(f.result(0), RankCheck::foundText(base + "/search?q=garden tools&start=0" + site + "&rank=4", 10));
    QCOMPARE(f.result(1),
             RankCheck::foundText(base + "/search?q=garden tools&start=21&base=1" + site + "&rank=27", 30));
    QCOMPARE(f.result(2), RankCheck::foundText(base + "/search?q=garden tools&start=110" + site + "&rank=112", 120));
    QCOMPARE(f.result(3), RankCheck::notFoundText(QStringLiteral("200")));
    QCOMPARE(f.result(4), RankCheck::errorText(QStringLiteral("Internal Server Error")));
}

void TestRankCheck::cancelEndsTheCheckAndANewOneRuns()
{
    ScriptedServer server;
    server.play({Script().awaitRequest().stall(), Hit});
    Fixture f({engine(QStringLiteral("A"), server), engine(QStringLiteral("B"), server)});
    f.model().setChecked(1, false);
    // While the first fetch hangs: Cancel, then at once a new Rank, inside
    // the old check's wait; the old check must neither fetch nor write again.
    bool cancelled = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (cancelled || server.connectionCount() < 1 || f.page.HttpRank->Phase() != THttpCli::AwaitingHeader)
            return;
        cancelled = true;
        poll.stop();
        f.page.Button9Click();
        QCOMPARE(f.page.Button8->isEnabled(), true);
        QCOMPARE(f.page.Button9->text(), QStringLiteral("Cancel"));
        QCOMPARE(f.result(0), QString());
        QVERIFY(f.model().isChecked(1));
        QCOMPARE(f.model().row(0).image, RowImage::None);
        f.page.Button8Click();
    });
    poll.start();
    QElapsedTimer clock;
    clock.start();
    f.page.Button8Click();
    QVERIFY(cancelled);
    QVERIFY(clock.elapsed() < 20000);
    QTest::qWait(200);
    // The stalled fetch, then one page for each engine of the new check.
    QCOMPARE(server.connectionCount(), 3);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(f.result(i), RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&o=0")), 10));
        QCOMPARE(f.model().row(i).image, RowImage::None);
    }
    QVERIFY(f.page.Button8->isEnabled());
    QCOMPARE(f.page.Button9->text(), QStringLiteral("Reset"));
    QVERIFY(!f.page.isChecking());
}

void TestRankCheck::reloadingTheListEndsTheCheck()
{
    ScriptedServer server;
    server.play({Script().awaitRequest().stall(), Hit});
    Fixture f({engine(QStringLiteral("A"), server), engine(QStringLiteral("B"), server)});
    // The updater stores a new list while the first fetch hangs.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (f.page.HttpRank->Phase() != THttpCli::AwaitingHeader)
            return;
        poll.stop();
        f.writeList({engine(QStringLiteral("New"), server)});
        f.page.loadRankList();
    });
    poll.start(10);
    f.page.Button8Click();
    QTest::qWait(200);
    QCOMPARE(server.connectionCount(), 1);
    QCOMPARE(f.model().count(), 1);
    QCOMPARE(f.model().row(0).caption, QStringLiteral("New"));
    QCOMPARE(f.result(0), QString());
    QVERIFY(f.page.Button8->isEnabled());
    QVERIFY(!f.page.isChecking());
}

void TestRankCheck::malformedInputEndsTheCheck_data()
{
    QTest::addColumn<QString>("badLine"); // the second engine's line; empty: the file loses it after the load
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("message");

    QTest::newRow("first offset not a number")
        << "Bad|http://127.0.0.1:1/|m|||one|"
        << "10"
        << "The rank engine \"Bad\" has a first offset that is not a number: \"one\".";
    QTest::newRow("no bar after the first offset") << "Bad|http://127.0.0.1:1/|m|||0"
                                                   << "10"
                                                   << "The rank engine \"Bad\" has no \"|\" after its first offset.";
    QTest::newRow("no line for the row")
        << ""
        << "10"
        << "The rank engine list has no line for \"Second\" (row 2); load the list again.";
    QTest::newRow("top not a number") << "Second|http://127.0.0.1:1/|m|||0|"
                                      << "lots"
                                      << "\"Check Ranking in Top\" must be a whole number of results, not \"lots\".";
    // Top runs from 10 to 1000 in tens: 10^9 would send requests without end, 5 none at all.
    for (const char* top : {"1000000000", "5", "9", "25", "1010", "0", "-10"})
        QTest::newRow(qPrintable(QStringLiteral("top %1").arg(QLatin1String(top))))
            << "Second|http://127.0.0.1:1/|m|||0|" << top
            << QStringLiteral("\"Check Ranking in Top\" must be a multiple of 10 from 10 to 1000, not \"%1\".")
                   .arg(QLatin1String(top));
}

void TestRankCheck::malformedInputEndsTheCheck()
{
    QFETCH(QString, badLine);
    QFETCH(QString, top);
    QFETCH(QString, message);
    ScriptedServer server;
    server.play(Hit);
    const QString good = engine(QStringLiteral("First"), server);
    Fixture f({good, badLine.isEmpty() ? QStringLiteral("Second|x|m|||0|") : badLine, good});
    if (badLine.isEmpty())
        f.writeList({good});
    // With a bad Top the first row is skipped, so it still has a result to keep.
    const bool badTop = top != QLatin1String("10");
    f.model().setChecked(0, !badTop);
    f.page.ComboBox2->setEditText(top);
    // A Top without bounds would fetch without end: the test cancels it then.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &f.page, &TRankingPage::Button9Click);
    guard.start(10000);
    f.page.Button8Click();

    const QList<ScriptedDialogs::Call> shown = f.dialogs.messages();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, Dialogs::Icon::Error);
    QCOMPARE(shown[0].text, message);
    QCOMPARE(f.result(0), badTop ? RankCheck::skippedText()
                                 : RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&o=0")), 10));
    QCOMPARE(f.result(1), QString());
    QCOMPARE(f.result(2), QString());
    QCOMPARE(f.model().row(1).image, RowImage::None);
    QCOMPARE(server.connectionCount(), badTop ? 0 : 1);
    QVERIFY(f.page.Button8->isEnabled());
    QCOMPARE(f.page.Button9->text(), QStringLiteral("Reset"));
}

void TestRankCheck::bigPageKeepsTheWindowLive()
{
    // Eight megabytes of result lines, the mark at the very end of what is read.
    const QByteArray block = "<li><a href=\"http://www.other.example/page\">Another result on this page</a></li>\n";
    const qint64 count = (RankCheck::MaxPageBytes - 64) / block.size();
    ScriptedServer server;
    server.play(Script()
                    .awaitRequest()
                    .send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n")
                    .sendRepeated(block, count)
                    .send("<li>" + Mark + "</li>")
                    .close());
    Fixture f({engine(QStringLiteral("Big"), server)});
    int ticks = 0;
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        ++ticks;
        longestGap = qMax(longestGap, sinceTick.restart());
    });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    f.page.Button8Click();
    const qint64 elapsed = clock.elapsed();
    ticker.stop();
    QCOMPARE(f.result(0), RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&o=0")), 10));
    qInfo("8 MB page checked in %lld ms, %d ticks, longest gap %lld ms", elapsed, ticks, longestGap);
    QVERIFY(elapsed < 30000);
    QVERIFY(ticks > 0);
    QVERIFY2(longestGap < 2000, qPrintable(QString::number(longestGap)));
}

// The network may cut a page anywhere: the same page, cut at every offset
// across the address, is found every time.
void TestRankCheck::markFoundAtEveryChunkCut()
{
    const QByteArray header = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    const QByteArray body = "<html><ol><li>" + QByteArray(3000, 'x') + "<li>" + Mark + "Site</a></li></ol></html>";
    const qsizetype at = header.size() + body.indexOf(Mark);
    QList<Script> scripts;
    for (qsizetype cut = at; cut <= at + Mark.size(); ++cut)
        scripts << Script().awaitRequest().sendInParts(header + body, int(cut), 30).close();
    ScriptedServer server;
    server.play(scripts);
    Fixture f({engine(QStringLiteral("One"), server)});
    const QString found = RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&o=0")), 10);
    for (qsizetype cut = at; cut <= at + Mark.size(); ++cut) {
        f.page.Button8Click();
        QVERIFY2(f.result(0) == found, qPrintable(QStringLiteral("cut at %1: %2").arg(cut - at).arg(f.result(0))));
    }
    QCOMPARE(server.connectionCount(), int(Mark.size()) + 1);
}

void TestRankCheck::endlessPageIsReadToTheCap_data()
{
    QTest::addColumn<qint64>("markAt"); // body offset of the mark
    QTest::addColumn<bool>("found");
    QTest::newRow("mark just inside the cap") << RankCheck::MaxPageBytes - qint64(Mark.size()) << true;
    QTest::newRow("mark just beyond the cap") << RankCheck::MaxPageBytes - qint64(Mark.size()) + 1 << false;
}

// A result page that never ends is read up to the cap, searched, and counts as read whole.
void TestRankCheck::endlessPageIsReadToTheCap()
{
    QFETCH(qint64, markAt);
    QFETCH(bool, found);
    const QByteArray block(4096, 'r');
    ScriptedServer server;
    server.play(Script()
                    .awaitRequest()
                    .send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n")
                    .sendRepeated(block, markAt / block.size())
                    .send(QByteArray(markAt % block.size(), 'r') + Mark)
                    .sendRepeated(block, qint64(1) << 30) // 4 TB: as good as endless
                    .close());
    Fixture f({engine(QStringLiteral("Endless"), server)});
    // Should the page not end, the check is cancelled before the machine suffers.
    const qint64 heapBefore = heapKb();
    const qint64 before = peakResidentKb();
    qint64 heapPeak = heapBefore;
    connect(f.page.HttpRank, &THttpCli::OnDocData, this, [&] {
        heapPeak = qMax(heapPeak, heapKb());
        if (heapPeak - heapBefore > 512 * 1024)
            f.page.Button9Click();
    });
    QElapsedTimer clock;
    clock.start();
    f.page.Button8Click();
    const qint64 grown = peakResidentKb() - before;
    qInfo("endless page: check ended after %lld ms; live heap grew by at most %lld kB, peak resident size by %lld kB",
          clock.elapsed(), heapPeak - heapBefore, grown);
    QCOMPARE(f.result(0), found ? RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&o=0")), 10)
                                : RankCheck::notFoundText(QStringLiteral("10")));
    QCOMPARE(f.model().row(0).date, today());
    QVERIFY2(heapPeak - heapBefore < 32 * 1024, qPrintable(QString::number(heapPeak - heapBefore)));
#if !defined(__SANITIZE_ADDRESS__) // its quarantine holds freed memory on purpose
    QVERIFY2(grown < 64 * 1024, qPrintable(QString::number(grown)));
#endif
    QVERIFY(clock.elapsed() < 30000);
}

void TestRankCheck::stalledEngineTimesOut_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("no answer") << "http";
    QTest::newRow("TLS handshake never finishes") << "https";
}

// A stalled engine ends its page with an ERROR after the program's Timeout, without Cancel.
void TestRankCheck::stalledEngineTimesOut()
{
    QFETCH(QString, scheme);
    ScriptedServer server;
    server.play(scheme == QLatin1String("http") ? Script().awaitRequest().stall() : Script().stall());
    QString line = engine(QStringLiteral("Stalled"), server);
    line.replace(QLatin1String("http://"), scheme + QStringLiteral("://"));
    Fixture f({line});
    f.page.setTimeoutSource([] { return 1; });
    // Without a deadline the check would wait for ever: the test cancels it then.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &f.page, &TRankingPage::Button9Click);
    guard.start(10000);
    QElapsedTimer clock;
    clock.start();
    f.page.Button8Click();
    const qint64 elapsed = clock.elapsed();
    qInfo("stalled %s engine: page ended after %lld ms", qPrintable(scheme), elapsed);
    QCOMPARE(f.result(0), RankCheck::errorText(QStringLiteral("Request Timeout")));
    QVERIFY2(elapsed >= 900 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    QCOMPARE(f.page.Button9->text(), QStringLiteral("Reset"));
}

void TestRankCheck::mainWindowWiring()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/ranking.ist"),
              "One|http://127.0.0.1:1/|m|||0|\r\nTwo|http://127.0.0.1:1/|m|||0|\r\n");
    TSubmitMain window;
    TRankingPage* page = window.RankingPage;
    QVERIFY(page);
    QCOMPARE(page->parentWidget(), window.TabSheet7);
    // Start-up loaded the list.
    QCOMPARE(page->model()->count(), 2);
    QCOMPARE(page->model()->row(1).caption, QStringLiteral("Two"));
    // The editor's address is copied as it changes.
    window.ProjectEditor->urllist->setText(QStringLiteral("http://typed.example/"));
    QCOMPARE(page->RankUrl->text(), QStringLiteral("http://typed.example/"));
    // Reset List brings the page to the front, empties the cells and checks every row.
    page->model()->setChecked(0, false);
    page->model()->setResult(1, RankCheck::skippedText());
    window.findChild<QAction*>(QStringLiteral("ResetList1"))->trigger();
    QCOMPARE(window.currentPage(), TSubmitMain::Page::Ranking);
    QVERIFY(page->model()->isChecked(0));
    QCOMPARE(page->model()->row(1).result, QString());
}

void TestRankCheck::historyWindowFromButtonAndMenu()
{
    ScriptedServer server;
    server.play({Hit, Miss});
    TempProgramDir dir;
    dir.write(QStringLiteral("data/ranking.ist"),
              (engine(QStringLiteral("One"), server) + "\r\n" + engine(QStringLiteral("Two"), server) + "\r\n").toUtf8());
    TSubmitMain window;
    TRankingPage* page = window.RankingPage;
    page->ComboBox1->setEditText(QStringLiteral("web design"));
    page->RankUrl->setText(Site);
    page->Button8Click();

    // "History" opens the window for the keyword and address shown, with what the check stored.
    QVERIFY(window.findChild<QPushButton*>(QStringLiteral("HistoryButton")));
    page->HistoryButton->click();
    auto* history = window.findChild<RankHistoryWindow*>(QStringLiteral("RankHistoryWindow"));
    QVERIFY(history);
    QVERIFY(history->isVisible());
    QCOMPARE(history->KeywordBox->currentText(), QStringLiteral("web design"));
    QCOMPARE(history->UrlBox->currentText(), Site);
    QCOMPARE(history->summary()->rowCount(), 2);
    QCOMPARE(history->chartModel().rows().size(), 2);
    QCOMPARE(history->chartModel().engines().at(0).segments.at(0).first().at.y(), 10.0);
    QCOMPARE(history->chartModel().engines().at(1).notFound.size(), 1);

    // The menu item opens the same window, for what the page shows now.
    history->hide();
    page->ComboBox1->setEditText(QStringLiteral("other words"));
    window.findChild<QAction*>(QStringLiteral("RankHistory1"))->trigger();
    QCOMPARE(window.findChildren<RankHistoryWindow*>().size(), 1);
    QVERIFY(history->isVisible());
    QCOMPARE(history->KeywordBox->currentText(), QStringLiteral("other words"));
    QCOMPARE(history->summary()->rowCount(), 0);
}

void TestRankCheck::linkOpensTheListing()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/ranking.ist"), "One|q|m|||0|\r\n");
    ScriptedDialogs dialogs;
    TRankingPage page;
    page.setProgramDir(dir.path());
    page.loadRankList();
    const QString address = QStringLiteral("http://127.0.0.1:1/s?q=web design&o=0&x=\"y\"");
    page.model()->setResult(0, RankCheck::foundText(address, 10));
    page.resize(700, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    const QModelIndex cell = page.model()->index(0, RankListModel::ResultColumn);
    const QRect rect = page.RankView->visualRect(cell);
    auto* delegate = qobject_cast<HtmlCellDelegate*>(page.RankView->itemDelegateForColumn(RankListModel::ResultColumn));
    QVERIFY(delegate);
    QStyleOptionViewItem option;
    option.initFrom(page.RankView);
    option.rect = rect;
    QPoint onLink(-1, -1);
    for (int x = 0; x < rect.width() && onLink.x() < 0; x += 2) {
        if (!delegate->linkAt(option, cell, QPoint(x, rect.height() / 2)).isEmpty())
            onLink = rect.topLeft() + QPoint(x, rect.height() / 2);
    }
    QVERIFY(onLink.x() >= 0);
    QTest::mouseClick(page.RankView->viewport(), Qt::LeftButton, {}, onLink);
    QCOMPARE(dialogs.calls().size(), 1);
    QCOMPARE(dialogs.calls()[0].kind, ScriptedDialogs::Call::OpenUrl);
    QCOMPARE(dialogs.calls()[0].url, QUrl(address));
    // A click beside the link opens nothing.
    QTest::mouseClick(page.RankView->viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(rect.width() - 3, 3));
    QCOMPARE(dialogs.calls().size(), 1);
}

QTEST_MAIN(TestRankCheck)
#include "tst_rankcheck.moc"
