#include "CliProcess.h"
#include "cli/CliContext.h"
#include "cli/CliExit.h"
#include "settings/CsvWriter.h"
#include "cli/OutputFile.h"
#include "settings/ProgramDirLock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void csvQuotesWhatNeedsIt_data();
    void csvQuotesWhatNeedsIt();
    void usageAndVersion_data();
    void usageAndVersion();
    void programDirectoryIsChecked_data();
    void programDirectoryIsChecked();
    void perUserDirectoryFollowsTheLauncher_data();
    void perUserDirectoryFollowsTheLauncher();
    void lockIsRefusedWhileHeld();
    void outputFileKeepsTheOldFileUntilCommit();
};

void TestCli::csvQuotesWhatNeedsIt_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("row");
    QTest::newRow("plain") << QStringList{QStringLiteral("a"), QStringLiteral("b c")} << QByteArray("a,b c\r\n");
    QTest::newRow("empty fields") << QStringList{QString(), QString()} << QByteArray(",\r\n");
    QTest::newRow("comma") << QStringList{QStringLiteral("a,b")} << QByteArray("\"a,b\"\r\n");
    QTest::newRow("quote doubled") << QStringList{QStringLiteral("say \"hi\"")} << QByteArray("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("line feed") << QStringList{QStringLiteral("a\nb"), QStringLiteral("x")}
                               << QByteArray("\"a\nb\",x\r\n");
    QTest::newRow("carriage return") << QStringList{QStringLiteral("a\rb")} << QByteArray("\"a\rb\"\r\n");
    QTest::newRow("utf-8, no quoting") << QStringList{QStringLiteral("Überseite")}
                                       << QByteArray("\xc3\x9c" "berseite\r\n");
    QTest::newRow("leading blank kept") << QStringList{QStringLiteral(" a ")} << QByteArray(" a \r\n");
}

void TestCli::csvQuotesWhatNeedsIt()
{
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, row);
    QCOMPARE(CsvWriter::row(fields), row);
}

void TestCli::usageAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outStarts");
    QTest::addColumn<QString>("errHas");
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0 << QStringLiteral("vantor-cli 4.0")
                             << QString();
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << QStringLiteral("usage: vantor-cli")
                          << QString();
    QTest::newRow("no command") << QStringList() << int(CliExit::Usage) << QString()
                                << QStringLiteral("vantor-cli: no command given");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << int(CliExit::Usage) << QString()
                                     << QStringLiteral("vantor-cli: unknown command 'frobnicate'");
    QTest::newRow("unknown global option") << QStringList{QStringLiteral("--colour"), QStringLiteral("x")}
                                           << int(CliExit::Usage) << QString() << QStringLiteral("colour");
    QTest::newRow("--dir without value") << QStringList{QStringLiteral("--dir")} << int(CliExit::Usage) << QString()
                                         << QStringLiteral("dir");
}

void TestCli::usageAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, outStarts);
    QFETCH(QString, errHas);
    const CliRun run = runCliProcess(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.out).startsWith(outStarts), run.out.constData());
    QVERIFY2(QString::fromUtf8(run.err).contains(errHas), run.err.constData());
    if (exitCode == CliExit::Usage) {
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains("usage: vantor-cli"));
    }
}

void TestCli::programDirectoryIsChecked_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("missing") << QStringLiteral("missing") << int(CliExit::ProgramDir);
    QTest::newRow("empty folder") << QStringLiteral("empty") << int(CliExit::ProgramDir);
    QTest::newRow("a file") << QStringLiteral("file") << int(CliExit::ProgramDir);
    QTest::newRow("dfd.ini only") << QStringLiteral("ini") << int(CliExit::Ok);
    QTest::newRow("data folder only") << QStringLiteral("data") << int(CliExit::Ok);
}

void TestCli::programDirectoryIsChecked()
{
    QFETCH(QString, layout);
    QFETCH(int, exitCode);
    QTemporaryDir tmp;
    const QString dir = tmp.filePath(QStringLiteral("pd"));
    if (layout == QLatin1String("file")) {
        QFile file(dir);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (layout != QLatin1String("missing")) {
        QVERIFY(QDir().mkpath(dir));
    }
    if (layout == QLatin1String("ini")) {
        QFile file(dir + QStringLiteral("/dfd.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (layout == QLatin1String("data"))
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/data")));

    CliContext context(dir, true);
    QCOMPARE(context.openProgramDir(), exitCode);
    if (exitCode == CliExit::Ok)
        QCOMPARE(context.programDir(), QDir(dir).absolutePath());
}

void TestCli::perUserDirectoryFollowsTheLauncher_data()
{
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");
    QTest::newRow("XDG_DATA_HOME") << QStringLiteral("/x/data") << QStringLiteral("/home/u")
                                   << QStringLiteral("/x/data/vantor-pro");
    QTest::newRow("no XDG_DATA_HOME") << QString() << QStringLiteral("/home/u")
                                      << QStringLiteral("/home/u/.local/share/vantor-pro");
    QTest::newRow("relative XDG_DATA_HOME ignored") << QStringLiteral("rel/data") << QStringLiteral("/home/u")
                                                    << QStringLiteral("/home/u/.local/share/vantor-pro");
    QTest::newRow("nothing set") << QString() << QString() << QString();
}

void TestCli::perUserDirectoryFollowsTheLauncher()
{
    QFETCH(QString, xdg);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    QProcessEnvironment environment;
    if (!xdg.isEmpty())
        environment.insert(QStringLiteral("XDG_DATA_HOME"), xdg);
    if (!home.isEmpty())
        environment.insert(QStringLiteral("HOME"), home);
    QCOMPARE(CliContext::userProgramDir(environment), expected);
}

void TestCli::lockIsRefusedWhileHeld()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data")));
    ProgramDirLock window;
    QCOMPARE(window.claim(dir.path()), ProgramDirLock::Result::Claimed);
    {
        CliContext context(dir.path(), true);
        QCOMPARE(context.openProgramDir(), int(CliExit::Ok));
        QCOMPARE(context.claimLock(), int(CliExit::ProgramDir));
    }
    window.release();
    CliContext context(dir.path(), true);
    QCOMPARE(context.openProgramDir(), int(CliExit::Ok));
    QCOMPARE(context.claimLock(), int(CliExit::Ok));
}

void TestCli::outputFileKeepsTheOldFileUntilCommit()
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("out.csv"));
    {
        QFile old(name);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old\r\n");
    }
    {
        OutputFile file(name);
        QVERIFY(file.open());
        QVERIFY(file.write("new\r\n"));
        // Ended early (an error, Ctrl-C): no commit.
    }
    QFile check(name);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("old\r\n"));
    check.close();
    OutputFile file(name);
    QVERIFY(file.open());
    QVERIFY(file.write("new\r\n"));
    QVERIFY(file.commit());
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("new\r\n"));

    OutputFile nowhere(dir.filePath(QStringLiteral("no/such/folder/out.csv")));
    QVERIFY(!nowhere.open());
    QVERIFY(nowhere.errorText().startsWith(QLatin1String("Unable to write to ")));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
