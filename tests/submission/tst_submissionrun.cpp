#include "net/THttpCli.h"
#include "projects/ProjectListModel.h"
#include "sandbox/SandboxServer.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineListView.h"
#include "submission/EngineModel.h"
#include "submission/LiveSubmitter.h"
#include "submission/SubmissionRun.h"
#include "submission/TReportsPage.h"
#include "support/EngineLoad.h"
#include "support/NginxPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "support/TestCertificates.h"
#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

struct Engine
{
    QString name;
    QString type;
    QString path; // on the sandbox, or a full address
    bool post = false;
};

// Everything a run needs, wired as the main window wires it, on a
// temporary program directory with the sandbox as every target.
class RunFixture
{
public:
    explicit RunFixture(const QList<Engine>& engines, const QStringList& projects = {QStringLiteral("mysite")})
    {
        sandbox.setLogDevice(&log);
        log.open(QIODevice::ReadWrite);
        sandbox.addStandardSites();
        sandbox.listen(0);
        QByteArray lines;
        for (const Engine& e : engines) {
            const QString address = e.path.startsWith(QLatin1String("http"))
                                        ? e.path
                                        : QStringLiteral("http://127.0.0.1:%1%2").arg(sandbox.port()).arg(e.path);
            // Type, site, submit address, then title, url, e-mail and the method.
            QString line = e.name + QLatin1Char('=') + e.type + QStringLiteral("|http://site.example/") + e.name +
                           QLatin1Char('|') + address + QStringLiteral("|t|u|e|");
            for (int field = 7; field <= 20; ++field)
                line += QLatin1Char('|');
            line += (e.post ? QStringLiteral("POST|") : QStringLiteral("|"));
            for (int field = 22; field <= 38; ++field)
                line += QLatin1Char('|');
            lines += line.toUtf8() + "\r\n";
        }
        dir.write(QStringLiteral("data/data.ist"), lines);
        for (const QString& p : projects)
            dir.write(QStringLiteral("data/session/") + p + QStringLiteral(".zro"),
                      "[" + p.toUtf8() + "]\r\nurl=http://" + p.toUtf8() + ".example\r\ntitle=Fast & Cheap " +
                          p.toUtf8() + "\r\nemail=me@" + p.toUtf8() + ".example\r\n");

        page.setProgramDir(dir.path());
        QVERIFY(loadEngines(page));
        for (int row = 0; row < page.model()->count(); ++row)
            page.model()->setChecked(row, true);
        projectList.setNames(projects);
        for (int row = 0; row < projectList.count(); ++row)
            projectList.setChecked(row, true);
        reports.setProgramDir(dir.path(), QStringLiteral("http://home.example"));
        reports.HeaderCk->setChecked(false);
        reports.FooterCk->setChecked(false);
        run.setProgramDir(dir.path());
        run.setRunSettings([this] { return ports; }, [this] { return timeout; });
        page.setRunBusyQuery([this] { return run.busy(); });
        QObject::connect(page.model(), &QAbstractItemModel::dataChanged, &run,
                         [this] { maxInFlight = qMax(maxInFlight, run.inFlightCount()); });
    }

    int rowOf(const QString& name) const
    {
        for (int row = 0; row < page.model()->count(); ++row) {
            if (page.model()->engineName(row) == name)
                return row;
        }
        return -1;
    }
    QString result(const QString& name) const { return page.model()->row(rowOf(name)).result; }
    RowImage image(const QString& name) const { return page.model()->row(rowOf(name)).image; }

    bool waitForMessage(const QString& caption, int timeoutMs = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            for (const auto& call : dialogs.messages()) {
                if (call.caption == caption)
                    return true;
            }
            QTest::qWait(10);
        }
        return false;
    }

    QList<QByteArrayList> logLines() const
    {
        QList<QByteArrayList> out;
        for (const QByteArray& line : log.data().split('\n')) {
            if (!line.isEmpty())
                out << line.split('\t');
        }
        return out;
    }

    TempProgramDir dir;
    ScriptedDialogs dialogs;
    SandboxServer sandbox;
    QBuffer log;
    AutoSubmitEnginesPage page;
    ProjectListModel projectList;
    LiveSubmitter live{page.model()};
    TReportsPage reports;
    SubmissionRun run{&page, &projectList, &live, &reports};
    int ports = 20;
    int timeout = 40;
    int maxInFlight = 0;
};

QList<Engine> okEngines(int count, const QString& path = QStringLiteral("/ok"))
{
    QList<Engine> engines;
    for (int i = 0; i < count; ++i)
        engines.append({QStringLiteral("E%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("ENGINE"), path});
    return engines;
}

} // namespace

class TestSubmissionRun : public QObject
{
    Q_OBJECT

private slots:
    void submitRefusedWhileLoading();
    void classify_data();
    void classify();
    void resultClassesEndToEnd();
    void getAndPostOnTheWire();
    void mixedHttpAndHttps();
    void portsLimitRunningRequests_data();
    void portsLimitRunningRequests();
    void portsLoweredDuringRun();
    void timeoutAtEleventhTick();
    void stallsTimeOutOnTheSameTick();
    void sixtyStalledWithinTheTimeout();
    void stopWithTwentyRunning();
    void submitRefusedWhileStopping();
    void stopWhenIdleOnlyDisablesStop();
    void twoProjectsOneAfterTheOther();
    void noProjects();
    void noProjectChecked();
    void deleteRefusedDuringRun();
    void progressWhileBuildingShowsATakenEntry();
    void dateTextPerSecond_data();
    void dateTextPerSecond();
};

void TestSubmissionRun::classify_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("expected");
    QTest::newRow("200") << 200 << int(ResultClass::Ok);
    QTest::newRow("302") << 302 << int(ResultClass::Ok);
    QTest::newRow("301") << 301 << int(ResultClass::Ok);
    QTest::newRow("0") << 0 << int(ResultClass::Ok);
    QTest::newRow("negative") << -1 << int(ResultClass::Ok);
    QTest::newRow("303") << 303 << int(ResultClass::Failed);
    QTest::newRow("404") << 404 << int(ResultClass::Failed);
    QTest::newRow("408") << 408 << int(ResultClass::TimedOut);
    QTest::newRow("500") << 500 << int(ResultClass::Failed);
}

void TestSubmissionRun::classify()
{
    QFETCH(int, code);
    QFETCH(int, expected);
    QCOMPARE(int(LiveSubmitter::classify(code)), expected);
}

void TestSubmissionRun::resultClassesEndToEnd()
{
    QTcpServer refusing;
    QVERIFY(refusing.listen(QHostAddress::LocalHost));
    const QString refusedUrl = QStringLiteral("http://127.0.0.1:%1/").arg(refusing.serverPort());
    refusing.close(); // nothing listens there now

    RunFixture f({{QStringLiteral("Ok"), QStringLiteral("ENGINE"), QStringLiteral("/ok")},
                  {QStringLiteral("NoReason"), QStringLiteral("ENGINE"), QStringLiteral("/ok-noreason")},
                  {QStringLiteral("Moved"), QStringLiteral("ENGINE"), QStringLiteral("/moved")},
                  {QStringLiteral("Found"), QStringLiteral("FFA"), QStringLiteral("/found")},
                  {QStringLiteral("Missing"), QStringLiteral("ENGINE"), QStringLiteral("/missing")},
                  {QStringLiteral("ServerTimeout"), QStringLiteral("CLASSIFIED"), QStringLiteral("/timeout")},
                  {QStringLiteral("Error"), QStringLiteral("ENGINE"), QStringLiteral("/error")},
                  {QStringLiteral("Closed"), QStringLiteral("ENGINE"), QStringLiteral("/close")},
                  {QStringLiteral("Refused"), QStringLiteral("ENGINE"), refusedUrl},
                  {QStringLiteral("Batch"), QStringLiteral("BATCH->10"), QStringLiteral("/ok")},
                  {QStringLiteral("BadBatch"), QStringLiteral("BATCH->ten"), QStringLiteral("/missing")}});
    f.reports.GenReportCk->setChecked(false);
    f.run.Button6Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("Your Submission is Complete"));

    QCOMPARE(f.result(QStringLiteral("Ok")), QStringLiteral("OK"));
    QCOMPARE(f.result(QStringLiteral("NoReason")), QStringLiteral("OK"));
    QCOMPARE(f.result(QStringLiteral("Moved")), QStringLiteral("Moved Permanently"));
    QCOMPARE(f.result(QStringLiteral("Found")), QStringLiteral("OK"));
    QCOMPARE(f.result(QStringLiteral("Missing")), QStringLiteral("Not Found"));
    QCOMPARE(f.result(QStringLiteral("ServerTimeout")), QStringLiteral("Request Timeout"));
    QCOMPARE(f.result(QStringLiteral("Error")), QStringLiteral("Internal Server Error"));
    // Ended without a header: the client's own words name the cause.
    QVERIFY(!f.result(QStringLiteral("Closed")).isEmpty());
    QVERIFY(f.result(QStringLiteral("Refused")).contains(QLatin1String("refused"), Qt::CaseInsensitive));

    for (const char* ok : {"Ok", "NoReason", "Moved", "Found", "Batch"})
        QCOMPARE(f.image(QLatin1String(ok)), RowImage::Ok);
    for (const char* failed : {"Missing", "Error", "Closed", "Refused", "BadBatch"})
        QCOMPARE(f.image(QLatin1String(failed)), RowImage::Failed);
    QCOMPARE(f.image(QStringLiteral("ServerTimeout")), RowImage::TimedOut);

    // A batch of 10 adds 10; a batch whose count is no number adds 1.
    QCOMPARE(f.live.okCount(), 4 + 10);
    QCOMPARE(f.live.failedCount(), 5);
    QCOMPARE(f.live.timedOutCount(), 1);
    QCOMPARE(f.page.CLEDLabel2->text(), QStringLiteral("14"));
    QCOMPARE(f.page.CLEDLabel3->text(), QStringLiteral("5"));
    QCOMPARE(f.page.CLEDLabel4->text(), QStringLiteral("1"));
    for (int row = 0; row < f.page.model()->count(); ++row)
        QVERIFY(!f.page.model()->row(row).date.isEmpty());

    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
    QVERIFY(f.page.Button6->isEnabled());
    QVERIFY(!f.page.Button7->isEnabled());
    QVERIFY(!f.live.timer5()->isActive());
    QCOMPARE(f.live.inFlightTableSize(), 0);
    // The Project is unchecked once its submission has ended.
    QVERIFY(!f.projectList.isChecked(0));
}

void TestSubmissionRun::mixedHttpAndHttps()
{
    if (NginxPeer().program().isEmpty() || TestCertificates::program().isEmpty())
        QSKIP("nginx or openssl is not installed (scripts/setup installs them)");
    TestCertificates certs;
    TestCertificates::Pair good, other;
    QVERIFY2(certs.createAuthority() && certs.issue(QStringLiteral("localhost"), good) &&
                 certs.issue(QStringLiteral("other.example"), other),
             qPrintable(certs.errorString()));
    NginxPeer secure;
    secure.setTls(good.certificate, good.key);
    QVERIFY2(secure.start(), qPrintable(secure.errorString()));
    NginxPeer wrongName;
    wrongName.setTls(other.certificate, other.key);
    QVERIFY2(wrongName.start(), qPrintable(wrongName.errorString()));
    // Takes the connection and never answers the TLS hello: only the run's timeout ends it.
    QTcpServer stall;
    QVERIFY(stall.listen(QHostAddress::LocalHost));
    THttpCli::setExtraCaCertificates(certs.authority());
    const auto untrust = qScopeGuard([] { THttpCli::setExtraCaCertificates({}); });

    const QString engine = QStringLiteral("ENGINE");
    RunFixture f({{QStringLiteral("HttpOk"), engine, QStringLiteral("/ok")},
                  {QStringLiteral("HttpMissing"), engine, QStringLiteral("/missing")},
                  {QStringLiteral("HttpsOk"), engine, secure.url(QStringLiteral("/echo"))},
                  {QStringLiteral("HttpsPost"), engine, secure.url(QStringLiteral("/echo")), true},
                  {QStringLiteral("HttpsMissing"), engine, secure.url(QStringLiteral("/missing"))},
                  {QStringLiteral("HttpsWrongName"), engine, wrongName.url(QStringLiteral("/echo"))},
                  {QStringLiteral("HttpsStall"), engine,
                   QStringLiteral("https://127.0.0.1:%1/submit").arg(stall.serverPort())}});
    f.reports.GenReportCk->setChecked(false);
    f.timeout = 3;
    f.run.Button6Click();
    f.live.timer5()->stop();
    QTRY_COMPARE_WITH_TIMEOUT(f.live.inFlightTableSize(), 1, 10000);
    QVERIFY(stall.hasPendingConnections() || stall.waitForNewConnection(2000));
    for (int tick = 1; tick <= 5 && f.live.inFlightTableSize() > 0; ++tick) {
        f.live.Timer5Timer();
        QTest::qWait(20);
    }
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));

    QCOMPARE(f.result(QStringLiteral("HttpOk")), QStringLiteral("OK"));
    QCOMPARE(f.result(QStringLiteral("HttpsOk")), QStringLiteral("OK"));
    QCOMPARE(f.result(QStringLiteral("HttpsPost")), QStringLiteral("OK"));
    QCOMPARE(f.result(QStringLiteral("HttpMissing")), QStringLiteral("Not Found"));
    QCOMPARE(f.result(QStringLiteral("HttpsMissing")), QStringLiteral("Not Found"));
    QVERIFY2(f.result(QStringLiteral("HttpsWrongName")).startsWith(QLatin1String("TLS handshake failed: ")),
             qPrintable(f.result(QStringLiteral("HttpsWrongName"))));
    QCOMPARE(f.result(QStringLiteral("HttpsStall")), QStringLiteral("Request Timeout"));
    for (const char* ok : {"HttpOk", "HttpsOk", "HttpsPost"})
        QCOMPARE(f.image(QLatin1String(ok)), RowImage::Ok);
    for (const char* failed : {"HttpMissing", "HttpsMissing", "HttpsWrongName"})
        QCOMPARE(f.image(QLatin1String(failed)), RowImage::Failed);
    QCOMPARE(f.image(QStringLiteral("HttpsStall")), RowImage::TimedOut);
    QCOMPARE(f.live.okCount(), 3);
    QCOMPARE(f.live.failedCount(), 3);
    QCOMPARE(f.live.timedOutCount(), 1);
    QCOMPARE(f.live.inFlightTableSize(), 0);
}

void TestSubmissionRun::getAndPostOnTheWire()
{
    RunFixture f({{QStringLiteral("Get"), QStringLiteral("ENGINE"), QStringLiteral("/ok")},
                  {QStringLiteral("Post"), QStringLiteral("ENGINE"), QStringLiteral("/ok"), true}});
    f.reports.GenReportCk->setChecked(false);
    f.run.Button6Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    const QList<QByteArrayList> lines = f.logLines();
    QCOMPARE(lines.size(), 2);
    const QByteArray query = "t=Fast+%26+Cheap+mysite&u=http://mysite.example&e=me@mysite.example";
    bool sawGet = false;
    bool sawPost = false;
    for (const QByteArrayList& fields : lines) {
        QCOMPARE(fields.size(), 7);
        if (fields.at(1) == "GET") {
            sawGet = true;
            QCOMPARE(fields.at(2), "/ok?" + query);
            QCOMPARE(fields.at(4), QByteArray("http://site.example/Get"));
            QCOMPARE(fields.at(6), QByteArray());
        } else {
            sawPost = true;
            QCOMPARE(fields.at(1), QByteArray("POST"));
            QCOMPARE(fields.at(2), QByteArray("/ok"));
            QCOMPARE(fields.at(4), QByteArray("http://site.example/Post"));
            QCOMPARE(fields.at(5), QByteArray("application/x-www-form-urlencoded"));
            QCOMPARE(fields.at(6), query);
        }
    }
    QVERIFY(sawGet && sawPost);
}

void TestSubmissionRun::portsLimitRunningRequests_data()
{
    QTest::addColumn<int>("engines");
    QTest::addColumn<int>("ports");
    QTest::addColumn<int>("maxRunning");
    QTest::newRow("ports 1") << 6 << 1 << 1;
    QTest::newRow("queue of 3, ports 20") << 3 << 20 << 2;
    QTest::newRow("ports 5 of 40") << 40 << 5 << 5;
}

void TestSubmissionRun::portsLimitRunningRequests()
{
    QFETCH(int, engines);
    QFETCH(int, ports);
    QFETCH(int, maxRunning);
    RunFixture f(okEngines(engines));
    f.ports = ports;
    f.reports.GenReportCk->setChecked(false);
    f.run.Button6Click();
    // The first pump has started what it may; nothing has ended yet.
    QCOMPARE(f.run.inFlightCount(), maxRunning);
    QCOMPARE(f.live.inFlightTableSize(), maxRunning);
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    QCOMPARE(f.maxInFlight, maxRunning);
    QCOMPARE(f.live.okCount(), engines);
}

void TestSubmissionRun::portsLoweredDuringRun()
{
    RunFixture f(okEngines(60, QStringLiteral("/stall")));
    f.reports.GenReportCk->setChecked(false);
    f.timeout = 1;
    f.run.Button6Click();
    QCOMPARE(f.run.inFlightCount(), 20);
    f.live.timer5()->stop();
    f.ports = 5;
    // The twenty time out on one tick; then no more than 5 start.
    f.live.Timer5Timer();
    QTest::qWait(20);
    QCOMPARE(f.live.timedOutCount(), 0);
    f.live.Timer5Timer();
    QTRY_COMPARE_WITH_TIMEOUT(f.live.timedOutCount(), 20, 5000);
    QCOMPARE(f.live.inFlightTableSize(), 5);
    QCOMPARE(f.run.inFlightCount(), 5);
    // Those started late time out together, later.
    f.live.Timer5Timer();
    QTest::qWait(20);
    QCOMPARE(f.live.timedOutCount(), 20);
    f.live.Timer5Timer();
    QTRY_COMPARE_WITH_TIMEOUT(f.live.timedOutCount(), 25, 5000);
    QCOMPARE(f.run.inFlightCount(), 5);
    f.run.Button7Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Stopped")));
}

void TestSubmissionRun::timeoutAtEleventhTick()
{
    RunFixture f(okEngines(1, QStringLiteral("/stall")));
    f.reports.GenReportCk->setChecked(false);
    f.timeout = 10;
    f.run.Button6Click();
    f.live.timer5()->stop();
    QCOMPARE(f.run.inFlightCount(), 1);
    for (int tick = 1; tick <= 10; ++tick) {
        f.live.Timer5Timer();
        QTest::qWait(5);
        QCOMPARE(f.live.inFlightTableSize(), 1);
    }
    f.live.Timer5Timer();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    QCOMPARE(f.result(QStringLiteral("E000")), QStringLiteral("Request Timeout"));
    QCOMPARE(f.image(QStringLiteral("E000")), RowImage::TimedOut);
    QCOMPARE(f.live.timedOutCount(), 1);
}

void TestSubmissionRun::stallsTimeOutOnTheSameTick()
{
    RunFixture f(okEngines(2, QStringLiteral("/stall")));
    f.reports.GenReportCk->setChecked(false);
    f.timeout = 3;
    f.run.Button6Click();
    f.live.timer5()->stop();
    QCOMPARE(f.live.inFlightTableSize(), 2);
    for (int tick = 1; tick <= 3; ++tick)
        f.live.Timer5Timer();
    QTest::qWait(20);
    QCOMPARE(f.live.inFlightTableSize(), 2);
    // Both are over time at the fourth tick, and both end with it.
    f.live.Timer5Timer();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    QCOMPARE(f.live.timedOutCount(), 2);
    QCOMPARE(f.result(QStringLiteral("E000")), QStringLiteral("Request Timeout"));
    QCOMPARE(f.result(QStringLiteral("E001")), QStringLiteral("Request Timeout"));
}

void TestSubmissionRun::sixtyStalledWithinTheTimeout()
{
    // A server that never answers and sixty requests on it at once (the queue holds as many
    // again, so the pump starts all sixty): all of them time out by Timeout + 2 s.
    RunFixture f(okEngines(120, QStringLiteral("/stall")));
    f.reports.GenReportCk->setChecked(false);
    f.ports = 60;
    f.timeout = 2;
    QElapsedTimer clock;
    clock.start();
    f.run.Button6Click();
    QCOMPARE(f.live.inFlightTableSize(), 60);
    while (f.live.timedOutCount() < 60 && clock.elapsed() < (f.timeout + 2) * 1000)
        QTest::qWait(20);
    QVERIFY2(f.live.timedOutCount() >= 60, QByteArray::number(f.live.timedOutCount()).constData());
    QCOMPARE(f.image(QStringLiteral("E059")), RowImage::TimedOut);
    QCOMPARE(f.result(QStringLiteral("E000")), QStringLiteral("Request Timeout"));
    f.run.Button7Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Stopped")));
}

void TestSubmissionRun::stopWithTwentyRunning()
{
    QList<Engine> engines = okEngines(49, QStringLiteral("/stall"));
    engines.append({QStringLiteral("Z-batch"), QStringLiteral("BATCH->25"), QStringLiteral("/stall")});
    RunFixture f(engines, {QStringLiteral("first"), QStringLiteral("second")});
    f.run.Button6Click();
    QCOMPARE(f.run.inFlightCount(), 20);
    // The batch engine is the last row, so it is not among the twenty.
    f.page.model()->setChecked(f.rowOf(QStringLiteral("Z-batch")), true);
    f.run.Button7Click();
    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Stopping);
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Stopped")));
    QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("Your Submission has been stopped"));
    int stopped = 0;
    for (int row = 0; row < f.page.model()->count(); ++row) {
        if (f.page.model()->row(row).result == QLatin1String("Submission Stopped"))
            ++stopped;
    }
    QCOMPARE(stopped, 20);
    QCOMPARE(f.live.failedCount(), 20);
    // The second Project was never started; the first keeps its check mark.
    QVERIFY(f.projectList.isChecked(0));
    QVERIFY(f.projectList.isChecked(1));
    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
    QVERIFY(f.page.Button6->isEnabled());
    QVERIFY(!f.page.Button7->isEnabled());
    // A stopped run writes its report too.
    QCOMPARE(f.reports.FileListBox1->count(), 1);
    QVERIFY(f.reports.FileListBox1->item(0)->text().startsWith(QLatin1String("first")));
}

void TestSubmissionRun::submitRefusedWhileStopping()
{
    RunFixture f(okEngines(3, QStringLiteral("/stall")));
    f.reports.GenReportCk->setChecked(false);
    f.run.Button6Click();
    f.run.Button7Click();
    // "Submit" is enabled again at once, but the aborted requests have not ended.
    QVERIFY(f.page.Button6->isEnabled());
    f.run.Button6Click();
    QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Submission Stopping"));
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Stopped")));
    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
}

void TestSubmissionRun::stopWhenIdleOnlyDisablesStop()
{
    RunFixture f(okEngines(2));
    QVERIFY(f.page.Button6->isEnabled());
    QVERIFY(f.page.Button7->isEnabled());
    f.run.Button7Click();
    QVERIFY(!f.page.Button7->isEnabled());
    QVERIFY(f.page.Button6->isEnabled());
    QTest::qWait(20);
    QVERIFY(f.dialogs.messages().isEmpty());
    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
}

void TestSubmissionRun::twoProjectsOneAfterTheOther()
{
    RunFixture f(okEngines(4), {QStringLiteral("alpha"), QStringLiteral("beta")});
    QSignalSpy counts(&f.live, &LiveSubmitter::countsChanged);
    f.run.Button6Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    // Every request of alpha went out before the first of beta.
    const QList<QByteArrayList> lines = f.logLines();
    QCOMPARE(lines.size(), 8);
    for (int i = 0; i < 8; ++i)
        QVERIFY(lines.at(i).at(2).contains(i < 4 ? "alpha" : "beta"));
    // The counters started again at 0 for beta.
    QCOMPARE(f.live.okCount(), 4);
    bool resetBetween = false;
    for (int i = 1; i < counts.size(); ++i) {
        if (counts.at(i).at(0).toInt() == 0 && counts.at(i - 1).at(0).toInt() == 4)
            resetBetween = true;
    }
    QVERIFY(resetBetween);
    QVERIFY(!f.projectList.isChecked(0));
    QVERIFY(!f.projectList.isChecked(1));
    QCOMPARE(f.reports.FileListBox1->count(), 2);
    QVERIFY(f.reports.FileListBox1->item(0)->text().startsWith(QLatin1String("alpha")));
    QVERIFY(f.reports.FileListBox1->item(1)->text().startsWith(QLatin1String("beta")));
    const QByteArray report = f.dir.read(QStringLiteral("reports/") + f.reports.FileListBox1->item(1)->text());
    QVERIFY(report.contains("http://beta.example (beta)"));
    QCOMPARE(report.count("<td>OK&nbsp;</td>"), 4);
}

void TestSubmissionRun::noProjects()
{
    RunFixture f(okEngines(2), {});
    QSignalSpy editor(&f.run, &SubmissionRun::showEditorRequested);
    f.run.Button6Click();
    QCOMPARE(f.dialogs.messages().size(), 1);
    QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("No Project Selected"));
    QCOMPARE(f.dialogs.lastMessage().text,
             QStringLiteral("You have no saved Projects to Submit!\n\rPlease go back and save your project before "
                            "submitting"));
    QCOMPARE(editor.size(), 1);
    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
}

void TestSubmissionRun::noProjectChecked()
{
    RunFixture f(okEngines(2));
    f.projectList.setChecked(0, false);
    QSignalSpy flash(&f.run, &SubmissionRun::flashRequested);
    f.run.Button6Click();
    QCOMPARE(flash.size(), 1);
    QCOMPARE(flash.first().first().toInt(), 6);
    QCOMPARE(f.dialogs.lastMessage().text,
             QStringLiteral("There is no project selected to submit!\n\rChecking the box beside the Project Name "
                            "will allow you to submit.\n\r\n\rHint: Select One of the Flashing Projects"));
    QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
    QTest::qWait(20);
    QVERIFY(f.logLines().isEmpty());
}

void TestSubmissionRun::submitRefusedWhileLoading()
{
    // A run started during a reload would queue the rows the reload replaces.
    RunFixture f(okEngines(3, QStringLiteral("/ok")));
    f.reports.GenReportCk->setChecked(false);
    QSignalSpy loaded(&f.page, &AutoSubmitEnginesPage::databaseLoaded);
    QVERIFY(f.page.LoadEngineDatabase());
    f.run.Button6Click();
    QVERIFY(!f.run.busy());
    QCOMPARE(f.dialogs.messages().size(), 1);
    QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Engine List Busy"));
    QCOMPARE(f.dialogs.lastMessage().icon, Dialogs::Icon::Warning);
    QVERIFY(loaded.wait(10000));
    for (int row = 0; row < f.page.model()->count(); ++row)
        f.page.model()->setChecked(row, true);
    f.run.Button6Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
    QCOMPARE(f.result(QStringLiteral("E000")), QStringLiteral("OK"));
}

void TestSubmissionRun::deleteRefusedDuringRun()
{
    RunFixture f(okEngines(3, QStringLiteral("/stall")));
    f.reports.GenReportCk->setChecked(false);
    f.run.Button6Click();
    QVERIFY(f.run.busy());
    f.page.AdvListView2->selectionModel()->select(f.page.model()->index(0, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.page.DeleteEngine1Click();
    QCOMPARE(f.page.model()->count(), 3);
    QCOMPARE(f.dialogs.lastMessage().icon, Dialogs::Icon::Warning);
    QVERIFY(f.dialogs.lastMessage().text.contains(QLatin1String("running")));
    // Nor may the database be reloaded under the running requests.
    QVERIFY(!f.page.LoadEngineDatabase());
    f.run.Button7Click();
    QVERIFY(f.waitForMessage(QStringLiteral("Submission Stopped")));
}

void TestSubmissionRun::progressWhileBuildingShowsATakenEntry()
{
    // Events are let run after every entry taken; every other row checked.
    const int rows = 10;
    RunFixture f(okEngines(rows));
    f.run.setEventInterval(0);
    for (int row = 0; row < rows; row += 2)
        f.page.model()->setChecked(row, false);
    f.projectList.setChecked(0, false); // the run ends after the build, at its message

    struct Sample
    {
        QString name;
        QString count;
        int gauge = 0;
        int maximum = 0;
    };
    QList<Sample> samples;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<ProgressWindow*>(w); p && !p->CountValue->text().isEmpty())
                samples.append(
                    {p->EngineName->text(), p->CountValue->text(), p->Gauge1->value(), p->Gauge1->maximum()});
        }
    });
    probe.start(0);
    f.run.Button6Click();
    // The list is built in units that return to the event loop.
    QVERIFY(f.waitForMessage(QStringLiteral("No Project Selected")));
    probe.stop();

    QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("No Project Selected"));
    QCOMPARE(f.run.submitQueue().size(), rows / 2);
    // One look for each entry taken, the last at the last checked row.
    // Each entry taken is shown, in order, and only those: the build spans
    // turns of the event loop, so a turn may show the same entry twice.
    QStringList shown;
    for (const Sample& s : samples) {
        if (shown.isEmpty() || shown.last() != s.count)
            shown << s.count;
    }
    QCOMPARE(shown, (QStringList{"1", "3", "5", "7", "9"}));
    for (const Sample& s : samples) {
        bool isNumber = false;
        const int row = s.count.toInt(&isNumber);
        QVERIFY(isNumber);
        // The name shown is the entry taken at the row shown, a checked one.
        QVERIFY2(row % 2 == 1, qPrintable(s.count));
        QCOMPARE(s.name, f.page.model()->engineName(row));
        QCOMPARE(s.maximum, rows);
        QVERIFY(s.gauge >= row && s.gauge < rows);
    }
}

void TestSubmissionRun::dateTextPerSecond_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("C") << QLocale::c();
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
}

void TestSubmissionRun::dateTextPerSecond()
{
    QFETCH(QLocale, locale);
    EngineModel model;
    LiveSubmitter live(&model);
    const auto expected = [](const QLocale& l, const QDateTime& when) {
        return l.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
               l.toString(when.time(), QLocale::LongFormat);
    };
    live.setLocale(locale);
    const QDateTime start(QDate(2026, 3, 14), QTime(9, 26, 53, 100));
    // Within one second, across seconds, minutes, a day and back again.
    for (const QDateTime& when : {start, start.addMSecs(850), start.addMSecs(900), start.addSecs(7), start.addSecs(60),
                                  start.addDays(1), start, start.toUTC(), start.toOffsetFromUtc(3600)})
        QCOMPARE(live.dateText(when), expected(locale, when));
    // Another locale within the same second shows at once.
    const QLocale other(QLocale::French, QLocale::France);
    live.setLocale(other);
    QCOMPARE(live.dateText(start), expected(other, start));

    // The system clock's text, asked twice and after a change of locale, is
    // the text of the present second (taken again when a second ends between).
    live.setLocale(locale);
    const auto nowMatches = [&](const QLocale& l) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const qint64 before = QDateTime::currentMSecsSinceEpoch();
            const QString first = live.nowText();
            const QString second = live.nowText();
            const qint64 after = QDateTime::currentMSecsSinceEpoch();
            if (before / 1000 == after / 1000)
                return first == second && first == expected(l, QDateTime::fromMSecsSinceEpoch(before));
        }
        return false;
    };
    QVERIFY(nowMatches(locale));
    live.setLocale(other);
    QVERIFY(nowMatches(other));
}

QTEST_MAIN(TestSubmissionRun)
#include "tst_submissionrun.moc"
