// The run controller on its own: no widget library is linked into this test,
// so it runs as vantor-cli does, against the sandbox.
#include "projects/ProjectListModel.h"
#include "sandbox/SandboxServer.h"
#include "submission/EngineDatabase.h"
#include "submission/EngineRowList.h"
#include "submission/LiveSubmitter.h"
#include "submission/SubmissionController.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Engine
{
    QString name;
    QString type;
    QString path;
};

// The controller wired as vantor-cli wires it, every engine checked, on a
// temporary program directory with the sandbox as every target.
class ControllerFixture
{
public:
    explicit ControllerFixture(const QList<Engine>& engines)
    {
        sandbox.addStandardSites();
        sandbox.listen(0);
        QDir(dir.path()).mkpath(QStringLiteral("data/session"));
        QByteArray lines;
        for (const Engine& e : engines) {
            const QString address = e.path.startsWith(QLatin1String("http"))
                                        ? e.path
                                        : QStringLiteral("http://127.0.0.1:%1%2").arg(sandbox.port()).arg(e.path);
            QString line = e.name + QLatin1Char('=') + e.type + QStringLiteral("|http://site.example/") + e.name +
                           QLatin1Char('|') + address + QStringLiteral("|t|u|e|");
            for (int field = 7; field <= 38; ++field)
                line += QLatin1Char('|');
            lines += line.toUtf8() + "\r\n";
        }
        write(QStringLiteral("data/data.ist"), lines);
        write(QStringLiteral("data/session/mysite.zro"), "[mysite]\r\nurl=http://mysite.example\r\n");
        database.load(dir.filePath(QStringLiteral("data/data.ist")));
        rows = EngineRowList::fromDatabase(database);
        for (int row = 0; row < rows.count(); ++row)
            rows.setChecked(row, true);
        projects.setNames({QStringLiteral("mysite")});
        projects.setChecked(0, true);
        run.setProgramDir(dir.path());
        run.setRunSettings([this] { return ports; }, [this] { return timeout; });
        run.setReportsEnabled([] { return true; });
        QObject::connect(&run, &SubmissionController::reportDue, &run,
                         [this](const ReportContent& content) { reports.append(content); });
        QObject::connect(&run, &SubmissionController::rowFinished, &run,
                         [this](int row, int code, const QString& text, ResultClass c) {
                             finished.append({rows.engineName(row), code, text, c});
                         });
    }

    void write(const QString& relative, const QByteArray& bytes)
    {
        QFile file(dir.filePath(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const EngineRow& row(const QString& name) const
    {
        for (int i = 0; i < rows.count(); ++i) {
            if (rows.engineName(i) == name)
                return rows.row(i);
        }
        static const EngineRow none;
        return none;
    }

    struct Finished
    {
        QString engine;
        int code;
        QString text;
        ResultClass resultClass;
    };

    QTemporaryDir dir;
    SandboxServer sandbox;
    EngineDatabase database;
    EngineRowList rows;
    ProjectListModel projects;
    LiveSubmitter live{&rows};
    SubmissionController run{&rows, &database, &projects, &live};
    QList<ReportContent> reports;
    QList<Finished> finished;
    int ports = 20;
    int timeout = 40;
};

} // namespace

class TestRunController : public QObject
{
    Q_OBJECT

private slots:
    void linksNoWidgetLibrary();
    void outcomesAsTheWindowShowsThem();
    void stopKeepsFinishedRows_data();
    void stopKeepsFinishedRows();
    void buildReturnsToTheEventLoop();
};

void TestRunController::linksNoWidgetLibrary()
{
    // What the process has mapped is what it links.
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray text = maps.readAll();
    QVERIFY(text.contains("libQt6Core"));
    QVERIFY(!text.contains("libQt6Widgets"));
    QVERIFY(!text.contains("libQt6Gui"));
}

void TestRunController::outcomesAsTheWindowShowsThem()
{
    // The engines, texts and counts of the window's end-to-end run.
    QTcpServer refusing;
    QVERIFY(refusing.listen(QHostAddress::LocalHost));
    const QString refusedUrl = QStringLiteral("http://127.0.0.1:%1/").arg(refusing.serverPort());
    refusing.close();
    ControllerFixture f({{QStringLiteral("Ok"), QStringLiteral("ENGINE"), QStringLiteral("/ok")},
                         {QStringLiteral("NoReason"), QStringLiteral("ENGINE"), QStringLiteral("/ok-noreason")},
                         {QStringLiteral("Moved"), QStringLiteral("ENGINE"), QStringLiteral("/moved")},
                         {QStringLiteral("Found"), QStringLiteral("FFA"), QStringLiteral("/found")},
                         {QStringLiteral("Missing"), QStringLiteral("ENGINE"), QStringLiteral("/missing")},
                         {QStringLiteral("ServerTimeout"), QStringLiteral("CLASSIFIED"), QStringLiteral("/timeout")},
                         {QStringLiteral("Error"), QStringLiteral("ENGINE"), QStringLiteral("/error")},
                         {QStringLiteral("Refused"), QStringLiteral("ENGINE"), refusedUrl},
                         {QStringLiteral("Batch"), QStringLiteral("BATCH->10"), QStringLiteral("/ok")},
                         {QStringLiteral("BadBatch"), QStringLiteral("BATCH->ten"), QStringLiteral("/missing")}});
    QSignalSpy finished(&f.run, &SubmissionController::finished);
    QSignalSpy buttons(&f.run, &SubmissionController::buttonsChanged);
    f.run.submit();
    QCOMPARE(f.run.mode(), SubmissionController::Mode::Running);
    QCOMPARE(buttons.first(), (QVariantList{false, true}));
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(buttons.last(), (QVariantList{true, false}));

    const QList<QPair<QString, QString>> expected = {
        {QStringLiteral("Ok"), QStringLiteral("OK")},
        {QStringLiteral("NoReason"), QStringLiteral("OK")},
        {QStringLiteral("Moved"), QStringLiteral("Moved Permanently")},
        {QStringLiteral("Found"), QStringLiteral("OK")},
        {QStringLiteral("Missing"), QStringLiteral("Not Found")},
        {QStringLiteral("ServerTimeout"), QStringLiteral("Request Timeout")},
        {QStringLiteral("Error"), QStringLiteral("Internal Server Error")},
    };
    for (const auto& [engine, text] : expected)
        QCOMPARE(f.row(engine).result, text);
    QVERIFY(f.row(QStringLiteral("Refused")).result.contains(QLatin1String("refused"), Qt::CaseInsensitive));
    QCOMPARE(f.row(QStringLiteral("ServerTimeout")).image, RowImage::TimedOut);
    QCOMPARE(f.row(QStringLiteral("Batch")).image, RowImage::Ok);
    QCOMPARE(f.live.okCount(), 4 + 10);
    QCOMPARE(f.live.failedCount(), 4);
    QCOMPARE(f.live.timedOutCount(), 1);

    // One finish per row, each as its row shows it.
    QCOMPARE(f.finished.size(), f.rows.count());
    for (const auto& done : f.finished) {
        QCOMPARE(done.text, f.row(done.engine).result);
        QCOMPARE(done.resultClass, LiveSubmitter::classify(done.code));
    }
    // The report is due once, from the rows as they stand.
    QCOMPARE(f.reports.size(), 1);
    const ReportContent& report = f.reports.first();
    QCOMPARE(report.projectName, QStringLiteral("mysite"));
    QCOMPARE(report.projectUrl, QStringLiteral("http://mysite.example"));
    QCOMPARE(report.rows.size(), f.rows.count());
    for (int i = 0; i < report.rows.size(); ++i) {
        QCOMPARE(report.rows.at(i).engine, f.rows.row(i).name);
        QCOMPARE(report.rows.at(i).result, f.rows.row(i).result);
        QVERIFY(!report.rows.at(i).date.isEmpty());
    }
    QVERIFY(!f.projects.isChecked(0));
    QVERIFY(!f.live.timer5()->isActive());
}

void TestRunController::stopKeepsFinishedRows_data()
{
    QTest::addColumn<int>("quick");
    QTest::addColumn<int>("stalled");
    // Few enough that every stalled one has started when the quick ones are done.
    QTest::newRow("some finished") << 3 << 2;
    QTest::newRow("none finished") << 0 << 2;
}

void TestRunController::stopKeepsFinishedRows()
{
    QFETCH(int, quick);
    QFETCH(int, stalled);
    QList<Engine> engines;
    for (int i = 0; i < quick; ++i)
        engines.append({QStringLiteral("A%1").arg(i), QStringLiteral("ENGINE"), QStringLiteral("/ok")});
    for (int i = 0; i < stalled; ++i)
        engines.append({QStringLiteral("S%1").arg(i), QStringLiteral("ENGINE"), QStringLiteral("/stall")});
    ControllerFixture f(engines);
    QSignalSpy finished(&f.run, &SubmissionController::finished);
    f.run.submit();
    QTRY_COMPARE_WITH_TIMEOUT(f.finished.size(), quick, 10000);
    f.run.stop();
    QCOMPARE(f.run.mode(), SubmissionController::Mode::Stopping);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(f.run.mode(), SubmissionController::Mode::Idle);
    QCOMPARE(f.live.okCount(), quick);
    QCOMPARE(f.live.failedCount(), stalled);
    QCOMPARE(f.reports.size(), 1);
    for (const ReportRow& r : f.reports.first().rows)
        QCOMPARE(r.result, r.engine.startsWith(QLatin1Char('A')) ? QStringLiteral("OK")
                                                                  : QStringLiteral("Submission Stopped"));
    // A stopped run keeps its Project checked.
    QVERIFY(f.projects.isChecked(0));
}

void TestRunController::buildReturnsToTheEventLoop()
{
    // Every entry taken ends a unit of the list building: the queue grows
    // from the event loop, not from inside submit().
    ControllerFixture f({{QStringLiteral("A"), QStringLiteral("ENGINE"), QStringLiteral("/ok")},
                         {QStringLiteral("B"), QStringLiteral("ENGINE"), QStringLiteral("/ok")},
                         {QStringLiteral("C"), QStringLiteral("ENGINE"), QStringLiteral("/ok")}});
    f.run.setEventInterval(0);
    QSignalSpy progress(&f.run, &SubmissionController::buildProgress);
    QSignalSpy built(&f.run, &SubmissionController::buildFinished);
    f.run.submit();
    QVERIFY(f.run.building());
    QCOMPARE(f.run.submitQueue().size(), 1);
    // Nothing is sent while the list is incomplete.
    f.run.PumpSubmissions();
    QCOMPARE(f.run.inFlightCount(), 0);
    QVERIFY(built.wait(5000));
    QCOMPARE(progress.size(), 4);
    QCOMPARE(progress.at(1).at(2).toInt(), 1);
    QVERIFY(!f.run.building());
    QSignalSpy finished(&f.run, &SubmissionController::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(f.live.okCount(), 3);
}

QTEST_GUILESS_MAIN(TestRunController)
#include "tst_runcontroller.moc"
