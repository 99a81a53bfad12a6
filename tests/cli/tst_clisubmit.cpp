// vantor-cli submit and projects against the sandbox, and the same Project
// submitted by the window's run for comparison.
#include "CliProcess.h"

#include "cli/CliExit.h"
#include "projects/ProjectListModel.h"
#include "sandbox/SandboxServer.h"
#include "settings/IniFile.h"
#include "settings/ProgramDirLock.h"
#include "settings/ProgramSettings.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "submission/LiveSubmitter.h"
#include "submission/ReportWriter.h"
#include "submission/SubmissionRun.h"
#include "submission/TReportsPage.h"
#include "support/EngineLoad.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <functional>

namespace {

struct Engine
{
    QString name;
    QString type;
    QString path;
};

// A program directory with engines on the sandbox and Projects, and the
// vantor-cli run over it while this process's event loop serves the sandbox.
class CliFixture
{
public:
    explicit CliFixture(const QList<Engine>& engines, const QStringList& projects = {QStringLiteral("mysite")})
    {
        sandbox.addStandardSites();
        sandbox.listen(0);
        QByteArray lines;
        for (const Engine& e : engines) {
            QString line = e.name + QLatin1Char('=') + e.type + QStringLiteral("|http://site.example/") + e.name +
                           QStringLiteral("|http://127.0.0.1:%1%2|t|u|e|").arg(sandbox.port()).arg(e.path);
            for (int field = 7; field <= 38; ++field)
                line += QLatin1Char('|');
            lines += line.toUtf8() + "\r\n";
        }
        dir.write(QStringLiteral("data/data.ist"), lines);
        QByteArray index = "[List]\r\n";
        for (int i = 0; i < projects.size(); ++i) {
            const QByteArray p = projects.at(i).toUtf8();
            dir.write(QStringLiteral("data/session/") + projects.at(i) + QStringLiteral(".zro"),
                      "[" + p + "]\r\nurl=http://" + p + ".example\r\ntitle=Fast & Cheap\r\n");
            index += QByteArray::number(i) + "=" + p + "\r\n";
        }
        dir.write(QStringLiteral("data/session/session.zro"), index);
        dir.write(QStringLiteral("dfd.ini"), "[tss]\r\nhome=http://home.example\r\n[Reports]\r\nHeaderCK=0\r\n"
                                             "FooterCk=0\r\nTitleCk=1\r\nTitleTxt=Results\r\n");
    }

    // Runs vantor-cli to its end; `whileRunning` is called on each turn of
    // the event loop and may act on the process.
    CliRun run(const QStringList& arguments, const std::function<void(QProcess&)>& whileRunning = {})
    {
        QProcess process;
        process.start(cliPath(), QStringList{QStringLiteral("--dir"), dir.path()} + arguments);
        CliRun result;
        if (!process.waitForStarted(10000))
            return result;
        (void)QTest::qWaitFor(
            [&] {
                if (whileRunning)
                    whileRunning(process);
                return process.state() == QProcess::NotRunning;
            },
            60000);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    QString reportPath(const QString& project) const
    {
        return dir.filePath(QStringLiteral("reports/") +
                            ReportWriter::datedFileName(project, QDate::currentDate(), QLocale::system()));
    }

    TempProgramDir dir;
    SandboxServer sandbox;
};

// "CLASS CODE ENGINE TEXT" lines by engine.
QHash<QString, QStringList> engineLines(const QStringList& lines)
{
    QHash<QString, QStringList> byEngine;
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() >= 4 && (parts.at(0) == QLatin1String("ok") || parts.at(0) == QLatin1String("failed") ||
                                  parts.at(0) == QLatin1String("timeout")))
            byEngine.insert(parts.at(2), {parts.at(0), parts.at(1), parts.mid(3).join(QLatin1Char(' '))});
    }
    return byEngine;
}

} // namespace

class TestCliSubmit : public QObject
{
    Q_OBJECT

private slots:
    void sameAsTheWindow();
    void refused_data();
    void refused();
    void interruptKeepsFinishedRows();
    void projectsList();
};

void TestCliSubmit::sameAsTheWindow()
{
    CliFixture f({{QStringLiteral("Ok"), QStringLiteral("FFA"), QStringLiteral("/ok")},
                  {QStringLiteral("Moved"), QStringLiteral("FFA"), QStringLiteral("/moved")},
                  {QStringLiteral("Missing"), QStringLiteral("FFA"), QStringLiteral("/missing")},
                  {QStringLiteral("ServerTimeout"), QStringLiteral("FFA"), QStringLiteral("/timeout")},
                  {QStringLiteral("Classified"), QStringLiteral("CLASSIFIED"), QStringLiteral("/ok")},
                  {QStringLiteral("Batch"), QStringLiteral("BATCH->10"), QStringLiteral("/ok")},
                  {QStringLiteral("Search"), QStringLiteral("ENGINE"), QStringLiteral("/ok")}});

    // The window first, its boxes as it starts and its report settings from dfd.ini.
    QHash<QString, QString> windowResults;
    QStringList windowReport;
    QString windowCounts;
    QString windowTotal;
    {
        ScriptedDialogs dialogs;
        AutoSubmitEnginesPage page;
        ProjectListModel projects;
        LiveSubmitter live{page.model()};
        TReportsPage reports;
        SubmissionRun run{&page, &projects, &live, &reports};
        page.setProgramDir(f.dir.path());
        QVERIFY(loadEngines(page));
        projects.setNames({QStringLiteral("mysite")});
        projects.setChecked(0, true);
        reports.setProgramDir(f.dir.path(), QStringLiteral("http://home.example"));
        reports.readSettings(ProgramSettings(f.dir.path()));
        run.setProgramDir(f.dir.path());
        run.Button6Click();
        QVERIFY(QTest::qWaitFor([&] { return dialogs.lastMessage().caption == QLatin1String("Submission Complete"); },
                                15000));
        for (int row = 0; row < page.model()->count(); ++row) {
            if (page.model()->isChecked(row))
                windowResults.insert(page.model()->engineName(row), page.model()->row(row).result);
        }
        windowCounts = QStringLiteral("ok %1 failed %2 timeout %3")
                           .arg(live.okCount())
                           .arg(live.failedCount())
                           .arg(live.timedOutCount());
        windowTotal = page.TotalDis->text();
        windowReport = QString::fromUtf8(f.dir.read(QStringLiteral("reports/") + QFileInfo(f.reportPath(
                                                                                     QStringLiteral("mysite")))
                                                                                     .fileName()))
                           .split(QStringLiteral("\r\n"));
        QVERIFY(windowReport.size() > 10);
    }
    QVERIFY(QFile::remove(f.reportPath(QStringLiteral("mysite"))));

    const CliRun cli = f.run({QStringLiteral("submit"), QStringLiteral("--project"), QStringLiteral("mysite")});
    QCOMPARE(cli.exitCode, int(CliExit::Ok));
    const QStringList lines = cli.outLines();
    QCOMPARE(lines.size(), windowResults.size() + 2);
    const QHash<QString, QStringList> byEngine = engineLines(lines);
    QCOMPARE(byEngine.size(), windowResults.size());
    // Search engines and classifieds are not checked as the window starts.
    QCOMPARE(windowResults.size(), 5);
    for (auto it = windowResults.cbegin(); it != windowResults.cend(); ++it)
        QCOMPARE(byEngine.value(it.key()).value(2), it.value());
    QCOMPARE(byEngine.value(QStringLiteral("Missing")), (QStringList{"failed", "404", "Not Found"}));
    QCOMPARE(byEngine.value(QStringLiteral("ServerTimeout")).value(0), QStringLiteral("timeout"));
    QCOMPARE(byEngine.value(QStringLiteral("Batch")).value(0), QStringLiteral("ok"));
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("total %1 %2").arg(windowTotal, windowCounts));
    QCOMPARE(lines.last(), QStringLiteral("report ") + f.reportPath(QStringLiteral("mysite")));

    // The same page but for the dates, which name the second each row ended.
    const QStringList cliReport =
        QString::fromUtf8(f.dir.read(QStringLiteral("reports/") +
                                     QFileInfo(f.reportPath(QStringLiteral("mysite"))).fileName()))
            .split(QStringLiteral("\r\n"));
    QCOMPARE(cliReport.size(), windowReport.size());
    int dateLines = 0;
    for (int i = 0; i < cliReport.size(); ++i) {
        if (i > 0 && windowReport.at(i - 1).startsWith(QLatin1String("<td>")) &&
            windowResults.values().contains(windowReport.at(i - 1).mid(4).chopped(11))) {
            ++dateLines; // the line after a result cell is its date cell
            continue;
        }
        QCOMPARE(cliReport.at(i), windowReport.at(i));
    }
    QCOMPARE(dateLines, windowResults.size());
}

void TestCliSubmit::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("holdLock");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    const QStringList submit{QStringLiteral("submit"), QStringLiteral("--project")};
    QTest::newRow("missing Project") << submit + QStringList{QStringLiteral("nosuch")} << false
                                     << int(CliExit::Failed) << QStringLiteral("There is no Project named \"nosuch\".");
    QTest::newRow("no engine row") << submit + QStringList{QStringLiteral("mysite"), QStringLiteral("--batch")}
                                   << false << int(CliExit::Failed)
                                   << QStringLiteral("No engine row is selected for this run.");
    QTest::newRow("lock held") << submit + QStringList{QStringLiteral("mysite")} << true
                               << int(CliExit::ProgramDir) << ProgramDirLock::alreadyRunningText();
    QTest::newRow("ports not a number") << submit + QStringList{QStringLiteral("mysite"), QStringLiteral("--ports"),
                                                                QStringLiteral("x")}
                                        << false << int(CliExit::Usage) << QString();
}

void TestCliSubmit::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, holdLock);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    CliFixture f({{QStringLiteral("Ok"), QStringLiteral("FFA"), QStringLiteral("/ok")}});
    // The window holds the lock as this process does here.
    ProgramDirLock lock;
    if (holdLock)
        QCOMPARE(lock.claim(f.dir.path()), ProgramDirLock::Result::Claimed);
    const CliRun cli = f.run(arguments);
    QCOMPARE(cli.exitCode, exitCode);
    QVERIFY(cli.out.isEmpty());
    if (!error.isEmpty())
        QCOMPARE(cli.errLines().value(cli.errLines().size() - 1), QStringLiteral("vantor-cli: ") + error);
    // Nothing was sent.
    QVERIFY(!QFileInfo::exists(f.reportPath(QStringLiteral("mysite"))));
}

void TestCliSubmit::interruptKeepsFinishedRows()
{
    QList<Engine> engines;
    for (int i = 0; i < 3; ++i)
        engines.append({QStringLiteral("A%1").arg(i), QStringLiteral("FFA"), QStringLiteral("/ok")});
    for (int i = 0; i < 2; ++i)
        engines.append({QStringLiteral("S%1").arg(i), QStringLiteral("FFA"), QStringLiteral("/stall")});
    CliFixture f(engines);
    QByteArray seen;
    bool sent = false;
    const CliRun cli = f.run({QStringLiteral("submit"), QStringLiteral("--project"), QStringLiteral("mysite")},
                             [&](QProcess& process) {
                                 seen += process.readAllStandardOutput();
                                 if (!sent && seen.count('\n') >= 3) {
                                     sent = true;
                                     ::kill(pid_t(process.processId()), SIGINT);
                                 }
                             });
    QVERIFY(sent);
    QCOMPARE(cli.exitCode, int(CliExit::Interrupted));
    QVERIFY2(cli.err.isEmpty(), cli.err.constData());
    const QStringList lines = QString::fromUtf8(seen + cli.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QHash<QString, QStringList> byEngine = engineLines(lines);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(byEngine.value(QStringLiteral("A%1").arg(i)), (QStringList{"ok", "200", "OK"}));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(byEngine.value(QStringLiteral("S%1").arg(i)), (QStringList{"failed", "404", "Submission Stopped"}));
    QCOMPARE(lines.value(lines.size() - 2), QStringLiteral("total 5 ok 3 failed 2 timeout 0"));
    QCOMPARE(lines.last(), QStringLiteral("report ") + f.reportPath(QStringLiteral("mysite")));
    const QByteArray report =
        f.dir.read(QStringLiteral("reports/") + QFileInfo(f.reportPath(QStringLiteral("mysite"))).fileName());
    QCOMPARE(report.count("<td>OK&nbsp;</td>"), 3);
    QCOMPARE(report.count("<td>Submission Stopped&nbsp;</td>"), 2);
}

void TestCliSubmit::projectsList()
{
    CliFixture f({}, {QStringLiteral("zeta"), QStringLiteral("Alpha"), QStringLiteral("beta")});
    // Saved while its index entry waited, then the program was ended: the window lists it at the next start.
    f.dir.write(QStringLiteral("data/session/gamma.zro"), "[gamma]\r\nurl=http://gamma.example\r\n");
    // Reading only: the lock held elsewhere does not matter.
    ProgramDirLock lock;
    QCOMPARE(lock.claim(f.dir.path()), ProgramDirLock::Result::Claimed);
    const CliRun cli = f.run({QStringLiteral("projects")});
    QCOMPARE(cli.exitCode, int(CliExit::Ok));
    QCOMPARE(cli.outLines(), (QStringList{"Alpha http://Alpha.example", "beta http://beta.example",
                                          "gamma http://gamma.example", "zeta http://zeta.example"}));
}

QTEST_MAIN(TestCliSubmit)
#include "tst_clisubmit.moc"
