#include "CliProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Site = QStringLiteral("http://www.site.example/");

} // namespace

// vantor-cli rank and rank-history against a running vantor-sandbox.
class TestCliRank : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void usage_data();
    void usage();
    void linesComparisonsAndExitCodes();
    void onlyTheNamedEnginesAreCheckedAndStored();
    void historyAsCsv();

private:
    QStringList rank(const QStringList& extra, int* exitCode, QByteArray* err = nullptr);
    void writeList(const QStringList& lines);

    QProcess m_sandbox;
    QString m_base;
    QTemporaryDir m_dir;
};

void TestCliRank::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("data")));
    m_sandbox.start(QStringLiteral(VANTOR_SANDBOX_EXE),
                    {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--exit-after"),
                     QStringLiteral("300"), QStringLiteral("--log"), m_dir.filePath(QStringLiteral("sandbox.log"))});
    QVERIFY(m_sandbox.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(m_sandbox.canReadLine(), 20000);
    const QByteArray line = m_sandbox.readLine().trimmed();
    QVERIFY2(line.startsWith("listening on 127.0.0.1:"), line.constData());
    m_base = QStringLiteral("http://") + QString::fromLatin1(line.mid(13));
    writeList({});
}

void TestCliRank::cleanupTestCase()
{
    m_sandbox.terminate();
    m_sandbox.waitForFinished(10000);
}

void TestCliRank::writeList(const QStringList& extra)
{
    // Hit: the site at rank 14 (the second page); Listed: at rank 3; None: nowhere; Broken: 500.
    const QString search = m_base + QStringLiteral("/search?q=$query&start=$page&site=") + Site;
    QStringList lines = {QStringLiteral("Hit|") + search + QStringLiteral("&rank=14|<A HREF=\"$url\"|||0|"),
                         QStringLiteral("Listed|") + search + QStringLiteral("&rank=3|<A HREF=\"$url\"|||0|"),
                         QStringLiteral("None|") + m_base + QStringLiteral("/search?q=$query&start=$page|<A HREF=\"$url\"|||0|"),
                         QStringLiteral("Broken|") + m_base +
                             QStringLiteral("/search-error?q=$query&start=$page|<A HREF=\"$url\"|||0|")};
    lines += extra;
    QFile file(m_dir.filePath(QStringLiteral("data/ranking.ist")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
}

QStringList TestCliRank::rank(const QStringList& extra, int* exitCode, QByteArray* err)
{
    const CliRun run = runCliProcess(QStringList{QStringLiteral("--dir"), m_dir.path(), QStringLiteral("rank")} + extra);
    *exitCode = run.exitCode;
    if (err)
        *err = run.err;
    return run.outLines();
}

void TestCliRank::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errHas");

    const QStringList both = {QStringLiteral("--keyword"), QStringLiteral("k"), QStringLiteral("--url"), Site};
    QTest::newRow("no keyword") << QStringList{QStringLiteral("rank"), QStringLiteral("--url"), Site} << 2
                                << "--keyword K is required";
    QTest::newRow("no url") << QStringList{QStringLiteral("rank"), QStringLiteral("--keyword"), QStringLiteral("k")}
                            << 2 << "--url U is required";
    QTest::newRow("top not in tens") << QStringList{QStringLiteral("rank")} + both +
                                            QStringList{QStringLiteral("--top"), QStringLiteral("15")}
                                     << 2 << "multiple of 10";
    QTest::newRow("top too deep") << QStringList{QStringLiteral("rank")} + both +
                                         QStringList{QStringLiteral("--top"), QStringLiteral("5000")}
                                  << 2 << "--top";
    QTest::newRow("unknown engine") << QStringList{QStringLiteral("rank")} + both +
                                           QStringList{QStringLiteral("--engine"), QStringLiteral("Nowhere")}
                                    << 1 << "no rank engine named \"Nowhere\"";
    QTest::newRow("history without url")
        << QStringList{QStringLiteral("rank-history"), QStringLiteral("--keyword"), QStringLiteral("k")} << 2
        << "--url U is required";
}

void TestCliRank::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, errHas);
    const CliRun run = runCliProcess(QStringList{QStringLiteral("--dir"), m_dir.path()} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.err).contains(errHas), run.err.constData());
    QVERIFY(run.out.isEmpty());
}

void TestCliRank::linesComparisonsAndExitCodes()
{
    const QStringList args = {QStringLiteral("--keyword"), QStringLiteral("blue shoes"), QStringLiteral("--url"), Site,
                              QStringLiteral("--top"), QStringLiteral("20")};
    int code = -1;
    QCOMPARE(rank(args, &code),
             (QStringList{QStringLiteral("Hit found 20"), QStringLiteral("Listed found 10"),
                          QStringLiteral("None not-found 20"), QStringLiteral("Broken error Internal Server Error")}));
    QCOMPARE(code, 0);
    // The second run compares each engine with the first.
    QCOMPARE(rank(args, &code),
             (QStringList{QStringLiteral("Hit found 20 (was 20)"), QStringLiteral("Listed found 10 (was 10)"),
                          QStringLiteral("None not-found 20 (was not-found)"),
                          QStringLiteral("Broken error Internal Server Error (was error)")}));
    QCOMPARE(code, 0);
    // A shallower look no longer finds Hit on its second page.
    QStringList shallow = args;
    shallow[5] = QStringLiteral("10");
    QCOMPARE(rank(shallow + QStringList{QStringLiteral("--engine"), QStringLiteral("Hit")}, &code),
             (QStringList{QStringLiteral("Hit not-found 10 (was 20)")}));
    QCOMPARE(code, 0);
    // Every engine failing is a failed job.
    QByteArray err;
    QCOMPARE(rank(args + QStringList{QStringLiteral("--engine"), QStringLiteral("Broken")}, &code, &err),
             (QStringList{QStringLiteral("Broken error Internal Server Error (was error)")}));
    QCOMPARE(code, 1);
    QVERIFY2(err.trimmed().endsWith("every rank engine gave an error"), err.constData());
}

void TestCliRank::onlyTheNamedEnginesAreCheckedAndStored()
{
    const QStringList args = {QStringLiteral("--keyword"), QStringLiteral("named only"), QStringLiteral("--url"), Site,
                              QStringLiteral("--engine"), QStringLiteral("Listed"), QStringLiteral("--engine"),
                              QStringLiteral("None")};
    int code = -1;
    QCOMPARE(rank(args, &code),
             (QStringList{QStringLiteral("Listed found 10"), QStringLiteral("None not-found 10")}));
    QCOMPARE(code, 0);
    const CliRun history = runCliProcess({QStringLiteral("--dir"), m_dir.path(), QStringLiteral("rank-history"),
                                          QStringLiteral("--keyword"), QStringLiteral("named only"),
                                          QStringLiteral("--url"), Site});
    QCOMPARE(history.exitCode, 0);
    const QStringList rows = QString::fromUtf8(history.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 3); // the header and the two named engines: nothing skipped is kept
    QVERIFY(rows.at(1).contains(QStringLiteral(",Listed,named only,")));
    QVERIFY(rows.at(2).contains(QStringLiteral(",None,named only,")));
}

void TestCliRank::historyAsCsv()
{
    const QStringList args = {QStringLiteral("--keyword"), QStringLiteral("red, hats"), QStringLiteral("--url"),
                              Site, QStringLiteral("--engine"), QStringLiteral("Listed"), QStringLiteral("--engine"),
                              QStringLiteral("Broken")};
    int code = -1;
    rank(args, &code);
    QCOMPARE(code, 0);
    const QString file = m_dir.filePath(QStringLiteral("ranks.csv"));
    const CliRun run = runCliProcess({QStringLiteral("--dir"), m_dir.path(), QStringLiteral("rank-history"),
                                      QStringLiteral("--keyword"), QStringLiteral("red, hats"),
                                      QStringLiteral("--url"), Site, QStringLiteral("--csv"), file});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.isEmpty());
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // header, two rows, and the empty text after the last CR LF
    QCOMPARE(lines.at(0), QByteArray("time,engine,keyword,url,top,result,bound,page_address,error\r"));
    const QRegularExpression listed(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ,Listed,\"red, hats\",http://www.site.example/,10,found,10,"
        "\"http://127\\.0\\.0\\.1:\\d+/search\\?q=red, hats&start=0&site=http://www.site.example/&rank=3\",\r$"));
    QVERIFY2(listed.match(QString::fromUtf8(lines.at(1))).hasMatch(), lines.at(1).constData());
    const QRegularExpression broken(QStringLiteral(
        "^[^,]+,Broken,\"red, hats\",http://www.site.example/,10,error,,"
        "\"http://127\\.0\\.0\\.1:\\d+/search-error\\?q=red, hats&start=0\",Internal Server Error\r$"));
    QVERIFY2(broken.match(QString::fromUtf8(lines.at(2))).hasMatch(), lines.at(2).constData());
    // Nothing stored: the header alone, and a note on standard error.
    const CliRun none = runCliProcess({QStringLiteral("--dir"), m_dir.path(), QStringLiteral("rank-history"),
                                       QStringLiteral("--keyword"), QStringLiteral("never"), QStringLiteral("--url"),
                                       Site});
    QCOMPARE(none.exitCode, 0);
    QCOMPARE(none.out, QByteArray("time,engine,keyword,url,top,result,bound,page_address,error\r\n"));
    QVERIFY(none.err.contains("no rank checks are stored"));
}

QTEST_GUILESS_MAIN(TestCliRank)
#include "tst_clirank.moc"
