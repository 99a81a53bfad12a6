#include "history/HistoryStore.h"
#include "net/THttpCli.h"
#include "ranking/RankChartModel.h"
#include "ranking/RankCheck.h"
#include "ranking/RankHistory.h"
#include "ranking/RankHistoryCsv.h"
#include "ranking/RankListModel.h"
#include "ranking/RankRecorder.h"
#include "ranking/RankSummaryModel.h"
#include "sandbox/SandboxRouter.h"
#include "sandbox/SearchSite.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

using Script = ScriptedServer::Script;

namespace {

const QString Site = QStringLiteral("http://www.site.example/");
const QByteArray Mark = "<a href=\"http://www.site.example/\">";

Script page(const QByteArray& body)
{
    return Script().awaitRequest().send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body).close();
}

const Script Hit = page("<html>" + Mark + "Site</a></html>");
const Script Miss = page("<html><a href=\"http://other.example/\">Other</a></html>");
const Script Failing = Script().awaitRequest().send("HTTP/1.0 500 Internal Server Error\r\n\r\noops").close();

QString engine(const QString& name, const ScriptedServer& server)
{
    return name + QLatin1Char('|') + server.url(QStringLiteral("/s?q=$query&o=$page")) +
           QStringLiteral("|<a href=\"$url\">|||0|");
}

RankResult result(const QString& engine, RankKind kind, int bound = 0, qint64 minutes = 0)
{
    RankResult r;
    r.time = QDateTime::fromSecsSinceEpoch(1'800'000'000 + minutes * 60, Qt::UTC);
    r.keyword = QStringLiteral("web design");
    r.url = Site;
    r.engine = engine;
    r.top = 50;
    r.kind = kind;
    r.bound = bound;
    if (kind == RankKind::Error)
        r.error = QStringLiteral("Internal Server Error");
    return r;
}

// A check over the lines, its rows kept in the directory's history store.
struct Checker
{
    TempProgramDir dir;
    HistoryStore store{dir.path()};
    std::unique_ptr<RankHistory> history;
    RankListModel model;
    THttpCli client;
    RankCheck check{&model, &client};
    std::unique_ptr<RankRecorder> recorder;

    explicit Checker(const QStringList& lines)
    {
        dir.write(QStringLiteral("data/ranking.ist"), (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());
        model.setLines(lines);
        check.setEngineFile(dir.filePath(QStringLiteral("data/ranking.ist")));
        if (store.open()) {
            history = std::make_unique<RankHistory>(store);
            if (!history->ensure())
                history.reset();
        }
        recorder = std::make_unique<RankRecorder>(&check, history.get());
        recorder->setModel(&model);
    }
    QVector<RankResult> stored() { return history->rows(QStringLiteral("web design"), Site); }
};

} // namespace

class TestRankHistory : public QObject
{
    Q_OBJECT

private slots:
    void storesEachKind_data();
    void storesEachKind();
    void cancelledCheckKeepsFinishedRows();
    void change_data();
    void change();
    void previousCheckInTheStoreAndTheGrid();
    void chartKeepsNotFoundAndFailuresApart();
    void chartAxisZoomsToTheData_data();
    void chartAxisZoomsToTheData();
    void summaryPerEngine();
    void csv();
    void sandboxDrift();
};

void TestRankHistory::storesEachKind_data()
{
    QTest::addColumn<QList<Script>>("scripts");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("bound");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("lastOffset");

    QTest::newRow("found on the second page") << QList<Script>{Miss, Hit} << true << "found" << 20 << "" << "o=10";
    QTest::newRow("not found") << QList<Script>{Miss, Miss, Miss} << true << "not-found" << 0 << "" << "o=20";
    QTest::newRow("error on the last page")
        << QList<Script>{Miss, Miss, Failing} << true << "error" << 0 << "Internal Server Error" << "o=20";
    QTest::newRow("a later page replaces an error")
        << QList<Script>{Failing, Miss, Miss} << true << "not-found" << 0 << "" << "o=20";
    QTest::newRow("skipped") << QList<Script>{} << false << "skipped" << 0 << "" << "";
}

void TestRankHistory::storesEachKind()
{
    QFETCH(QList<Script>, scripts);
    QFETCH(bool, checked);
    QFETCH(QString, kind);
    QFETCH(int, bound);
    QFETCH(QString, error);
    QFETCH(QString, lastOffset);
    ScriptedServer server;
    server.play(scripts);
    Checker c({engine(QStringLiteral("One"), server)});
    QVERIFY(c.history);
    c.model.setChecked(0, checked);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    c.check.run(QStringLiteral("web design"), Site, QStringLiteral("30"));

    const QVector<RankResult> rows = c.stored();
    QCOMPARE(rows.size(), 1);
    const RankResult& r = rows.first();
    QCOMPARE(RankResults::kindName(r.kind), kind);
    QCOMPARE(r.bound, bound);
    QCOMPARE(r.error, error);
    QCOMPARE(r.engine, QStringLiteral("One"));
    QCOMPARE(r.top, 30);
    QVERIFY(r.time >= before && r.time <= QDateTime::currentDateTimeUtc());
    QVERIFY2(lastOffset.isEmpty() ? r.pageAddress.isEmpty() : r.pageAddress.endsWith(lastOffset),
             qPrintable(r.pageAddress));
    // The bound column is empty (NULL) unless found.
    QSqlQuery q(c.store.database());
    QVERIFY(q.exec(QStringLiteral("SELECT bound IS NULL FROM rank_checks")) && q.next());
    QCOMPARE(q.value(0).toBool(), kind != QLatin1String("found"));
}

void TestRankHistory::cancelledCheckKeepsFinishedRows()
{
    ScriptedServer server;
    server.play({Hit, Script().awaitRequest().stall()});
    Checker c({engine(QStringLiteral("One"), server), engine(QStringLiteral("Two"), server),
               engine(QStringLiteral("Three"), server)});
    // Cancel while the second engine's page is being fetched.
    connect(c.recorder.get(), &RankRecorder::recorded, &c.check, [&](int row) {
        if (row == 0) {
            QTimer::singleShot(200, &c.check, [&] {
                c.check.cancel();
                c.client.CancelRequest();
            });
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &c.check, [&] {
        c.check.cancel();
        c.client.CancelRequest();
    });
    guard.start(10000);
    c.check.run(QStringLiteral("web design"), Site, QStringLiteral("10"));
    QVERIFY(guard.isActive());

    const QVector<RankResult> rows = c.stored();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().engine, QStringLiteral("One"));
    QCOMPARE(rows.first().kind, RankKind::Found);
}

void TestRankHistory::change_data()
{
    QTest::addColumn<int>("previousKind"); // -1: no previous check
    QTest::addColumn<int>("previousBound");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("bound");
    QTest::addColumn<int>("change");
    QTest::addColumn<QString>("was");

    const int found = int(RankKind::Found), notFound = int(RankKind::NotFound), error = int(RankKind::Error);
    QTest::newRow("first check") << -1 << 0 << found << 10 << int(RankChange::None) << "";
    QTest::newRow("up") << found << 30 << found << 10 << int(RankChange::Up) << "30";
    QTest::newRow("down") << found << 10 << found << 20 << int(RankChange::Down) << "10";
    QTest::newRow("same") << found << 20 << found << 20 << int(RankChange::Same) << "20";
    QTest::newRow("was not found") << notFound << 0 << found << 40 << int(RankChange::WasNotFound) << "not-found";
    QTest::newRow("was an error") << error << 0 << found << 40 << int(RankChange::WasError) << "error";
    QTest::newRow("dropped out") << found << 10 << notFound << 0 << int(RankChange::Down) << "10";
    QTest::newRow("still not found") << notFound << 0 << notFound << 0 << int(RankChange::Same) << "not-found";
    QTest::newRow("failed now") << found << 10 << error << 0 << int(RankChange::None) << "10";
}

void TestRankHistory::change()
{
    QFETCH(int, previousKind);
    QFETCH(int, previousBound);
    QFETCH(int, kind);
    QFETCH(int, bound);
    QFETCH(int, change);
    QFETCH(QString, was);
    std::optional<RankResult> previous;
    if (previousKind >= 0) {
        previous = result(QStringLiteral("One"), RankKind(previousKind), previousBound);
        QCOMPARE(RankResults::previousText(*previous), was);
    }
    QCOMPARE(int(RankResults::change(result(QStringLiteral("One"), RankKind(kind), bound, 5), previous)), change);
}

void TestRankHistory::previousCheckInTheStoreAndTheGrid()
{
    ScriptedServer server;
    server.play({Miss, Hit, Hit, Failing});
    Checker c({engine(QStringLiteral("One"), server), engine(QStringLiteral("Two"), server)});
    QVERIFY(c.history);
    // Stored earlier: One in the top 30, Two failed, and a skipped row after
    // Two's failure that is not a check.
    RankResult one = result(QStringLiteral("One"), RankKind::Found, 30);
    RankResult two = result(QStringLiteral("Two"), RankKind::Error);
    RankResult twoSkipped = result(QStringLiteral("Two"), RankKind::Skipped, 0, 1);
    RankResult elsewhere = result(QStringLiteral("One"), RankKind::Found, 10, 2);
    elsewhere.url = QStringLiteral("http://other.example/");
    for (RankResult* r : {&one, &two, &twoSkipped, &elsewhere})
        QVERIFY(c.history->record(*r));
    QCOMPARE(c.history->previous(QStringLiteral("Two"), QStringLiteral("web design"), Site)->id, two.id);

    QList<std::optional<RankResult>> previous;
    connect(c.recorder.get(), &RankRecorder::recorded, this,
            [&](int, const RankResult&, const std::optional<RankResult>& p) { previous.append(p); });
    c.check.run(QStringLiteral("web design"), Site, QStringLiteral("20"));

    QCOMPARE(previous.size(), 2);
    QCOMPARE(previous.at(0)->id, one.id);
    QCOMPARE(previous.at(1)->id, two.id);
    // The grid: an arrow up for One (30 -> 20), "was an error" for Two; the
    // documented cell texts stay as they were.
    QCOMPARE(c.model.row(0).change, RankChange::Up);
    QCOMPARE(c.model.row(1).change, RankChange::WasError);
    QCOMPARE(c.model.row(0).result, RankCheck::foundText(server.url(QStringLiteral("/s?q=web design&o=10")), 20));
    QVERIFY(c.model.data(c.model.index(0, RankListModel::ResultColumn), Qt::ToolTipRole).toString().contains(
        QStringLiteral("found in top 30")));
    c.model.resetRows(false);
    QCOMPARE(c.model.row(0).change, RankChange::None);
    QVERIFY(c.model.data(c.model.index(0, RankListModel::ResultColumn), Qt::ToolTipRole).isNull());
}

void TestRankHistory::chartKeepsNotFoundAndFailuresApart()
{
    using K = RankKind;
    const QString a = QStringLiteral("A"), b = QStringLiteral("B");
    const RankChartModel chart({result(a, K::Found, 20, 0), result(b, K::Error, 0, 0), result(a, K::Found, 10, 1),
                                result(b, K::NotFound, 0, 1), result(a, K::Error, 0, 2), result(b, K::Found, 50, 2),
                                result(a, K::Found, 30, 3), result(a, K::NotFound, 0, 4), result(a, K::Skipped, 0, 5),
                                result(a, K::Found, 30, 6)});
    QCOMPARE(chart.engines().size(), 2);
    const auto ys = [](const QVector<RankChartModel::Point>& points) {
        QList<double> out;
        for (const auto& p : points)
            out << p.at.y();
        return out;
    };
    const auto rows = [](const QVector<RankChartModel::Point>& points) {
        QList<int> out;
        for (const auto& p : points)
            out << p.row;
        return out;
    };
    const RankChartModel::EngineSeries& ea = chart.engines().at(0);
    QCOMPARE(ea.engine, a);
    // The line breaks at each check that found nothing to draw.
    QCOMPARE(ea.segments.size(), 3);
    QCOMPARE(ys(ea.segments.at(0)), (QList<double>{20, 10}));
    QCOMPARE(ys(ea.segments.at(1)), (QList<double>{30}));
    QCOMPARE(ys(ea.segments.at(2)), (QList<double>{30}));
    // Not found: on the band below the axis. Failed and skipped: at the
    // level of the line before them, never a drop.
    QCOMPARE(ys(ea.notFound), (QList<double>{chart.bandY()}));
    QCOMPARE(rows(ea.notFound), (QList<int>{7}));
    QCOMPARE(ys(ea.gaps), (QList<double>{10, 30}));
    QCOMPARE(rows(ea.gaps), (QList<int>{4, 8}));
    const RankChartModel::EngineSeries& eb = chart.engines().at(1);
    QCOMPARE(ys(eb.gaps), (QList<double>{50})); // before any bound: the first one's level
    QCOMPARE(ys(eb.notFound), (QList<double>{chart.bandY()}));
    QCOMPARE(ys(eb.segments.at(0)), (QList<double>{50}));
    QCOMPARE(chart.labels(), (QVector<int>{10, 20, 30, 40, 50}));
    QVERIFY(chart.bandY() > chart.labels().last());
    QVERIFY(chart.axisMax() > chart.bandY());
    QCOMPARE(eb.segments.at(0).first().at.x(), double(result(b, K::Found, 50, 2).time.toMSecsSinceEpoch()));
    // No check sits on an edge of the time axis.
    QVERIFY(chart.firstTime() < chart.rows().first().time.toMSecsSinceEpoch());
    QVERIFY(chart.lastTime() > chart.rows().last().time.toMSecsSinceEpoch());
    QVERIFY(chart.tip(1).contains(QStringLiteral("B: error: Internal Server Error")));
    QVERIFY(chart.tip(7).contains(QStringLiteral("A: not found in top 50")));
}

void TestRankHistory::chartAxisZoomsToTheData_data()
{
    QTest::addColumn<QList<int>>("bounds"); // 0: a not-found check
    QTest::addColumn<QVector<int>>("labels");

    QTest::newRow("first pages") << QList<int>{10, 30, 20} << QVector<int>{10, 20, 30};
    QTest::newRow("deep only") << QList<int>{150, 0, 170} << QVector<int>{150, 160, 170};
    QTest::newRow("wide range, at most ten labels")
        << QList<int>{10, 990} << QVector<int>{10, 200, 400, 600, 800, 1000};
    QTest::newRow("a hundred places") << QList<int>{40, 140} << QVector<int>{40, 60, 80, 100, 120, 140};
    QTest::newRow("never found") << QList<int>{0, 0} << QVector<int>{10};
}

void TestRankHistory::chartAxisZoomsToTheData()
{
    QFETCH(QList<int>, bounds);
    QFETCH(QVector<int>, labels);
    QVector<RankResult> rows;
    for (int i = 0; i < bounds.size(); ++i)
        rows << result(QStringLiteral("A"), bounds[i] ? RankKind::Found : RankKind::NotFound, bounds[i], i);
    const RankChartModel chart(rows);
    QCOMPARE(chart.labels(), labels);
    for (int b : bounds) {
        if (b)
            QVERIFY(b > chart.axisMin() && b <= labels.last());
    }
    QVERIFY(chart.bandY() > labels.last() && chart.bandY() < chart.axisMax());
}

void TestRankHistory::summaryPerEngine()
{
    using K = RankKind;
    const QString a = QStringLiteral("A");
    RankSummaryModel model;
    model.setRows({result(a, K::Found, 30, 0), result(a, K::Found, 10, 1), result(a, K::Found, 10, 2),
                   result(a, K::Skipped, 0, 3), result(a, K::Found, 20, 4), result(QStringLiteral("B"), K::Error)});
    QCOMPARE(model.rowCount(), 2);
    const auto cell = [&](int row, int column) { return model.data(model.index(row, column)).toString(); };
    QCOMPARE(cell(0, RankSummaryModel::LatestColumn), QStringLiteral("found in top 20"));
    QCOMPARE(cell(0, RankSummaryModel::PreviousColumn), QStringLiteral("found in top 10"));
    QCOMPARE(cell(0, RankSummaryModel::ChangeColumn), QStringLiteral("down"));
    QCOMPARE(cell(0, RankSummaryModel::BestColumn), QStringLiteral("top 10"));
    QCOMPARE(model.engines().at(0).bestTime, result(a, K::Found, 10, 1).time); // first reached
    QCOMPARE(cell(0, RankSummaryModel::ChecksColumn), QStringLiteral("4"));
    QCOMPARE(cell(1, RankSummaryModel::BestColumn), QString());
    QCOMPARE(cell(1, RankSummaryModel::ChangeColumn), QString());
}

void TestRankHistory::csv()
{
    RankResult found = result(QStringLiteral("Sandbox, \"Search\""), RankKind::Found, 20);
    found.pageAddress = QStringLiteral("http://127.0.0.1:8088/search?q=web design&start=10");
    RankResult failed = result(QStringLiteral("Broken"), RankKind::Error, 0, 1);
    failed.error = QStringLiteral("line one\nline two");
    QCOMPARE(RankHistoryCsv::document({found, failed}),
             QByteArray("time,engine,keyword,url,top,result,bound,page_address,error\r\n"
                        "2027-01-15T08:00:00Z,\"Sandbox, \"\"Search\"\"\",web design,http://www.site.example/,50,found,"
                        "20,http://127.0.0.1:8088/search?q=web design&start=10,\r\n"
                        "2027-01-15T08:01:00Z,Broken,web design,http://www.site.example/,50,error,,,"
                        "\"line one\nline two\"\r\n"));
}

void TestRankHistory::sandboxDrift()
{
    SandboxRouter router;
    SearchSite::addPaths(router);
    const auto rankOnFirstPage = [&](const QByteArray& query) {
        SandboxRequest request;
        request.method = "GET";
        request.path = "/search";
        request.query = query;
        request.target = "/search?" + query;
        const QByteArray bytes = router.route(request).toBytes();
        const QRegularExpression item(QStringLiteral("VALUE=\"(\\d+)\"><A HREF=\"http://me.example/\""));
        const QRegularExpressionMatch m = item.match(QString::fromLatin1(bytes));
        return m.hasMatch() ? m.captured(1).toInt() : 0;
    };
    // Without drift the site stays; with it, it starts at its rank and then
    // moves every check, within the drift.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rankOnFirstPage("q=still&start=0&site=http://me.example/&rank=5"), 5);
    QList<int> ranks;
    for (int i = 0; i < 30; ++i)
        ranks << rankOnFirstPage("q=moving&start=0&site=http://me.example/&rank=5&drift=3");
    QCOMPARE(ranks.first(), 5);
    for (int i = 1; i < ranks.size(); ++i) {
        QVERIFY2(ranks[i] != ranks[i - 1] && ranks[i] >= 2 && ranks[i] <= 8, qPrintable(QString::number(ranks[i])));
    }
}

QTEST_GUILESS_MAIN(TestRankHistory)
#include "tst_rankhistory.moc"
