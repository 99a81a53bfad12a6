#include "projects/ProjectListModel.h"
#include "sandbox/SandboxServer.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "submission/LiveSubmitter.h"
#include "submission/SubmissionRun.h"
#include "submission/TReportsPage.h"
#include "support/EngineLoad.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <sys/resource.h>

namespace {

// A run wired as the main window wires it, every engine at `address`.
struct RunFixture
{
    RunFixture(const QString& address, int engines, const QString& project)
    {
        QByteArray lines;
        for (int i = 0; i < engines; ++i) {
            QString line = QStringLiteral("E%1=ENGINE|http://site.example/|%2|t|u|e|").arg(i).arg(address);
            for (int field = 7; field <= 38; ++field)
                line += QLatin1Char('|');
            lines += line.toUtf8() + "\r\n";
        }
        dir.write(QStringLiteral("data/data.ist"), lines);
        page.setProgramDir(dir.path());
        QVERIFY(loadEngines(page));
        for (int row = 0; row < page.model()->count(); ++row)
            page.model()->setChecked(row, true);
        projects.setNames({project});
        projects.setChecked(0, true);
        reports.setProgramDir(dir.path(), QStringLiteral("http://home.example"));
        reports.HeaderCk->setChecked(false);
        reports.FooterCk->setChecked(false);
        run.setProgramDir(dir.path());
        run.setRunSettings([this] { return ports; }, [] { return 40; });
    }

    bool waitForMessage(const QString& caption, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return dialogs.lastMessage().caption == caption; }, timeoutMs);
    }
    int resultCount(const QString& text) const
    {
        int n = 0;
        for (int row = 0; row < page.model()->count(); ++row)
            n += page.model()->row(row).result == text ? 1 : 0;
        return n;
    }

    TempProgramDir dir;
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    ProjectListModel projects;
    LiveSubmitter live{page.model()};
    TReportsPage reports;
    SubmissionRun run{&page, &projects, &live, &reports};
    int ports = 10;
};

} // namespace

class TestRunSafety : public QObject
{
    Q_OBJECT

private slots:
    void reportThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<bool>("reportsDir");
        QTest::newRow("reports folder missing") << QStringLiteral("mysite") << false;
        QTest::newRow("file name too long") << QString(250, QLatin1Char('n')) << true;
        QTest::newRow("name leading out") << QStringLiteral("../../escape/pwned") << true;
    }

    // The report's failure ended the program; now it is said in the error box
    // and the run still ends with its completion message.
    void reportThatCannotBeWritten()
    {
        QFETCH(QString, project);
        QFETCH(bool, reportsDir);
        SandboxServer sandbox;
        sandbox.addStandardSites();
        QVERIFY(sandbox.listen(0));
        RunFixture f(QStringLiteral("http://127.0.0.1:%1/ok").arg(sandbox.port()), 3, project);
        if (!reportsDir)
            QVERIFY(QDir(f.dir.filePath(QStringLiteral("reports"))).removeRecursively());
        // Where "reports/../../escape" leads, beside the program directory.
        const QString escape = QDir::cleanPath(f.dir.path() + QStringLiteral("/../escape"));

        f.run.Button6Click();
        QVERIFY(f.waitForMessage(QStringLiteral("Submission Complete")));
        const auto messages = f.dialogs.messages();
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.first().icon, Dialogs::Icon::Error);
        QVERIFY2(messages.first().text.startsWith(QStringLiteral("Unable to write to ")),
                 qPrintable(messages.first().text));
        QCOMPARE(messages.last().text, QStringLiteral("Your Submission is Complete"));
        QCOMPARE(f.run.mode(), SubmissionRun::Mode::Idle);
        QVERIFY(f.page.Button6->isEnabled());
        QCOMPARE(f.resultCount(QStringLiteral("OK")), 3);
        // No report anywhere, least of all beside the program directory.
        QVERIFY(!QFileInfo::exists(escape));
        QDirIterator reports(f.dir.path(), {QStringLiteral("*.htm")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!reports.hasNext());
    }

    // 300 engines, Ports far above what 128 descriptors allow: requests wait
    // for a socket instead of failing before they reach the server.
    void portsCappedByDescriptors()
    {
        // The peer is a process of its own, so its sockets do not count here.
        QProcess peer;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VANTOR_SLOW_PEER"), QStringLiteral("1"));
        peer.setProcessEnvironment(env);
        peer.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(peer.waitForStarted(5000));
        QVERIFY(peer.waitForReadyRead(10000));
        const int port = peer.readLine().trimmed().toInt();
        QVERIFY(port > 0);

        RunFixture f(QStringLiteral("http://127.0.0.1:%1/ok").arg(port), 300, QStringLiteral("mysite"));
        f.ports = 100000;
        rlimit saved = {};
        QVERIFY(::getrlimit(RLIMIT_NOFILE, &saved) == 0);
        rlimit low = saved;
        low.rlim_cur = 128;
        QVERIFY(::setrlimit(RLIMIT_NOFILE, &low) == 0);
        f.run.Button6Click();
        const bool ended = f.waitForMessage(QStringLiteral("Submission Complete"), 60000);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(ended);
        QCOMPARE(f.live.okCount(), 300);
        QCOMPARE(f.resultCount(QStringLiteral("OK")), 300);
        peer.kill();
        peer.waitForFinished(5000);
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("VANTOR_SLOW_PEER")) {
        // A peer that answers every request after 50 ms.
        QCoreApplication app(argc, argv);
        ScriptedServer server;
        server.play(ScriptedServer::Script().awaitRequest().wait(50).send("HTTP/1.0 200 OK\r\n\r\n").close());
        std::printf("%d\n", server.port());
        std::fflush(stdout);
        return app.exec();
    }
    QApplication app(argc, argv);
    TestRunSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runsafety.moc"
