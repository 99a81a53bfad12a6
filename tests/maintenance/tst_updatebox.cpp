#include "app/TSubmitMain.h"
#include "maintenance/TUpdateBox.h"
#include "net/THttpCli.h"
#include "sandbox/SandboxLog.h"
#include "sandbox/SandboxServer.h"
#include "sandbox/UpdateService.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "submission/ManualEngineModel.h"
#include "submission/ManualEnginesPage.h"
#include "support/EngineLoad.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "ui/TCLEDLabel.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

const QByteArray OldList = "old line\r\n";

// The update window against the sandbox's update service, serving four small
// lists of the test's own from a temporary data directory.
class UpdateFixture
{
public:
    explicit UpdateFixture(const QString& switchPath = QString())
    {
        lists.write(QStringLiteral("catagory.ist"), "[Sub1]\r\nBusiness=cat=2\r\n");
        lists.write(QStringLiteral("ranking.ist"), "Rank One|http://127.0.0.1:8088/r?q=$query&s=$page|$url|||0|\r\n");
        lists.write(QStringLiteral("data.ist"), "E1=FFA|http://s/|http://127.0.0.1:8088/ok|\r\n");
        lists.write(QStringLiteral("datam.ist"), "M1,http://m/,http://m/add\r\nM2,http://n/,http://n/add\r\n");
        UpdateService::setDataDir(lists.path());
        log.open(QIODevice::ReadWrite);
        sandbox.setLogDevice(&log);
        sandbox.addStandardSites();
        sandbox.listen(0);
        for (const char* file : {"catagory.ist", "ranking.ist", "data.ist", "datam.ist"})
            dir.write(QStringLiteral("data/") + QLatin1String(file), OldList);
        dir.write(QStringLiteral("dfd.ini"), "[Update]\r\nServer=http://127.0.0.1:" +
                                                 QByteArray::number(sandbox.port()) + switchPath.toUtf8() + "\r\n");
        box.setProgramDir(dir.path());
        QObject::connect(&box, &TUpdateBox::rankListChanged, [this] { reloads << "rank"; });
        QObject::connect(&box, &TUpdateBox::engineDatabaseChanged, [this] { reloads << "engines"; });
        QObject::connect(&box, &TUpdateBox::manualEnginesChanged, [this] { reloads << "manual"; });
        QObject::connect(&box, &TUpdateBox::engineFilterRequested, [this] { reloads << "filter"; });
    }
    ~UpdateFixture() { UpdateService::setDataDir(QString()); }

    QStringList logLines() const { return box.Memo1->toPlainText().split(QLatin1Char('\n')); }
    QByteArrayList targets() const
    {
        QByteArrayList out;
        for (const QByteArray& line : log.data().split('\n'))
            if (!line.isEmpty())
                out << line.split('\t').value(2);
        return out;
    }
    // The list as the update stores it: the lines between the marks' lines.
    QByteArray stored(const QString& file) const
    {
        QFile f(lists.filePath(file));
        f.open(QIODevice::ReadOnly);
        return f.readAll().replace("127.0.0.1:8088", "127.0.0.1:" + QByteArray::number(sandbox.port()));
    }

    // The bytes received for a list: the marks' lines around the file.
    int received(const QString& file) const { return int(stored(file).size()) + 32; }

    TempProgramDir dir;
    struct Lists
    {
        QTemporaryDir d;
        QString path() const { return d.path(); }
        QString filePath(const QString& f) const { return d.filePath(f); }
        void write(const QString& f, const QByteArray& bytes) const
        {
            QFile file(d.filePath(f));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
        }
    } lists;
    QBuffer log;
    SandboxServer sandbox;
    TUpdateBox box;
    QStringList reloads;
};

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

// The update service played by a scripted peer: one answer per step, in order.
struct ScriptedUpdate
{
    explicit ScriptedUpdate(const QList<QByteArray>& bodies)
    {
        QList<ScriptedServer::Script> scripts;
        for (const QByteArray& body : bodies)
            scripts << ScriptedServer::Script().awaitRequest().send(Head + body).close();
        server.play(scripts);
        init();
    }
    explicit ScriptedUpdate(const QList<ScriptedServer::Script>& scripts)
    {
        server.play(scripts);
        init();
    }
    void init()
    {
        for (const char* file : {"catagory.ist", "ranking.ist", "data.ist", "datam.ist"})
            dir.write(QStringLiteral("data/") + QLatin1String(file), OldList);
        dir.write(QStringLiteral("dfd.ini"), "[Update]\r\nServer=" + server.url(QString()).toUtf8() + "\r\n");
        box.setProgramDir(dir.path());
    }
    QStringList logLines() const { return box.Memo1->toPlainText().split(QLatin1Char('\n')); }

    static constexpr const char* Head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    TempProgramDir dir;
    ScriptedServer server;
    TUpdateBox box;
};

QByteArray framed(const QByteArray& lines)
{
    return "//// START ////\r\n" + lines + "//// END ////\r\n";
}

// Bytes of any value but NUL.
QByteArray junk(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(1 + random.bounded(255));
    return bytes;
}

QByteArray engineLines(int count)
{
    QByteArray lines;
    for (int i = 1; i <= count; ++i)
        lines += "E" + QByteArray::number(i) + "=FFA|http://s/|http://127.0.0.1:1/ok|\r\n";
    return lines;
}

const QByteArray GoodCategories = framed("[Sub1]\r\nBusiness=cat=2\r\n");
const QByteArray GoodRanking = framed("R|http://127.0.0.1:1/?q=$query&p=$page|<a href=\"$url\">|||0|\r\n");
const QByteArray GoodManual = framed("M1,http://m/,http://m/add\r\n");

} // namespace

class TestUpdateBox : public QObject
{
    Q_OBJECT

private slots:
    void updatesAllFour();
    void failedStepLeavesOldFile_data();
    void failedStepLeavesOldFile();
    void cancelDuringRankingGoesOn();
    void loginStoredAndEncoded();
    void shownLines_data();
    void shownLines();
    void mainWindowReloadsViews();
    void hostileListIsNotInstalled_data();
    void hostileListIsNotInstalled();
    void bigListIsCancelledAtTheCap();
};

void TestUpdateBox::updatesAllFour()
{
    UpdateFixture f;
    f.box.Button1Click();
    const QByteArray q = "/?action=dbupdate&version=pro&update=";
    QCOMPARE(f.targets(), QByteArrayList({q + "categories&user=&pass=", q + "ranking&user=&pass=",
                                          q + "engines&user=&pass=", q + "mandata&user=&pass="}));
    QCOMPARE(f.dir.read(QStringLiteral("data/catagory.ist")), f.stored(QStringLiteral("catagory.ist")));
    QCOMPARE(f.dir.read(QStringLiteral("data/ranking.ist")), f.stored(QStringLiteral("ranking.ist")));
    QCOMPARE(f.dir.read(QStringLiteral("data/data.ist")), f.stored(QStringLiteral("data.ist")));
    QCOMPARE(f.dir.read(QStringLiteral("data/datam.ist")), f.stored(QStringLiteral("datam.ist")));
    QCOMPARE(f.reloads, QStringList({"rank", "engines", "filter", "manual", "filter"}));

    const QString received = QStringLiteral("Status: Received %1 bytes");
    auto size = [&f](const QString& file) { return QString::number(f.received(file)); };
    QCOMPARE(f.logLines(),
             QStringList({"Status: Downloading Latest Category Map ", received.arg(size("catagory.ist")),
                          "Status: Category Map Updated", "Status: Downloading Latest Ranking ",
                          received.arg(size("ranking.ist")), "Status: Ranking Updated",
                          "Status: Downloading Latest Engines", received.arg(size("data.ist")),
                          "Status: Engines Updated", "Status: Downloading Latest Manual Engines",
                          received.arg(size("datam.ist")), "Status: Manual Engines Updated",
                          "Database Updates Complete"}));
    QCOMPARE(f.box.InfoLabel->text(), QStringLiteral("Database Updates Complete"));
    QCOMPARE(f.box.HttpCli2->Agent(), QStringLiteral("VantorUpdater"));
    QVERIFY(f.box.Button1->isEnabled());
    QVERIFY(!f.box.UpdateAbort->isEnabled());
}

void TestUpdateBox::failedStepLeavesOldFile_data()
{
    QTest::addColumn<QString>("switchPath");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("lines"); // the step's log lines after its start
    QTest::addColumn<QStringList>("reloads");
    const QStringList all{"rank", "engines", "filter", "manual", "filter"};
    QTest::newRow("lower-case marks") << "/update/lower-engines" << "data.ist"
                                      << QStringList{"Status: Received SIZE bytes",
                                                     "Status: Updating the Engines failed: the file is corrupt"}
                                      << QStringList{"rank", "filter", "manual", "filter"};
    QTest::newRow("error page") << "/update/nomarks-categories" << "catagory.ist"
                                << QStringList{"", "Status: Updating the Category Map failed: the file is corrupt"}
                                << all;
    QTest::newRow("404 logged once") << "/update/404-mandata"
                                     << "datam.ist"
                                     << QStringList{"Status: Failed : 404 Not Found", "Database Updates Complete"}
                                     << QStringList{"rank", "engines", "filter", "filter"};
}

void TestUpdateBox::failedStepLeavesOldFile()
{
    QFETCH(QString, switchPath);
    QFETCH(QString, file);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, reloads);
    UpdateFixture f(switchPath);
    f.box.Button1Click();
    QCOMPARE(f.dir.read(QStringLiteral("data/") + file), OldList);
    const QStringList log = f.logLines();
    const int start = log.indexOf(QRegularExpression(QStringLiteral("Status: Downloading Latest .*"))) +
                      3 * int(QStringList({"catagory.ist", "ranking.ist", "data.ist", "datam.ist"}).indexOf(file));
    if (!lines.first().isEmpty()) // an error page's size is the sandbox's business
        QCOMPARE(log.at(start + 1), QString(lines.at(0)).replace(QLatin1String("SIZE"),
                                                                 QString::number(f.received(file))));
    QCOMPARE(log.at(start + 2), lines.at(1));
    QCOMPARE(f.reloads, reloads);
    // Every other list is replaced all the same.
    for (const QString& other : QStringList{"catagory.ist", "ranking.ist", "data.ist", "datam.ist"})
        if (other != file)
            QCOMPARE(f.dir.read(QStringLiteral("data/") + other), f.stored(other));
    QCOMPARE(log.last(), QStringLiteral("Database Updates Complete"));
}

void TestUpdateBox::cancelDuringRankingGoesOn()
{
    UpdateFixture f(QStringLiteral("/update/slow-ranking"));
    int refusedRequests = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!f.box.UpdateAbort->isEnabled() || !f.box.Memo1->toPlainText().contains(QLatin1String("Ranking")) ||
            f.targets().size() < 2)
            return;
        poll.stop();
        // A second update is refused while this one runs.
        QVERIFY(!f.box.Button1->isEnabled());
        f.box.Button1Click();
        refusedRequests = int(f.targets().size());
        QTest::mouseClick(f.box.UpdateAbort, Qt::LeftButton);
    });
    poll.start(10);
    QElapsedTimer clock;
    clock.start();
    f.box.Button1Click();
    QVERIFY(clock.elapsed() < 20000);
    QCOMPARE(refusedRequests, 2);
    QCOMPARE(f.targets().size(), 4);
    QCOMPARE(f.dir.read(QStringLiteral("data/ranking.ist")), OldList);
    QCOMPARE(f.dir.read(QStringLiteral("data/data.ist")), f.stored(QStringLiteral("data.ist")));
    QCOMPARE(f.dir.read(QStringLiteral("data/datam.ist")), f.stored(QStringLiteral("datam.ist")));
    const QStringList log = f.logLines();
    QCOMPARE(log.mid(3, 3),
             QStringList({"Status: Downloading Latest Ranking ", "Status: Failed : 404 Connection aborted on request",
                          "Status: Downloading Latest Engines"}));
    QCOMPARE(f.reloads, QStringList({"engines", "filter", "manual", "filter"}));
}

void TestUpdateBox::loginStoredAndEncoded()
{
    UpdateFixture f;
    QSignalSpy stored(&f.box, &TUpdateBox::loginStored);
    f.box.setLogin(QStringLiteral("jo"), QStringLiteral("p&q 1"));
    f.box.Button1Click();
    QVERIFY(f.targets().first().endsWith("update=categories&user=jo&pass=p%26q%201"));
    QCOMPARE(stored.size(), 1);
    QVERIFY(f.dir.read(QStringLiteral("dfd.ini")).endsWith("[subscription]\r\nuser=jo\r\npass=p&q 1\r\n"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile(f.dir.filePath(QStringLiteral("dfd.ini"))).permissions() & others, QFile::Permissions());
    // Unchanged, it is not written again.
    f.box.Button1Click();
    QCOMPARE(stored.size(), 1);
}

void TestUpdateBox::shownLines_data()
{
    QTest::addColumn<int>("engines");
    QTest::addColumn<QStringList>("lines");
    const QStringList fresh{"Congratulations on your choice of a submission software",
                            "The free engine database has not yet been installed!",
                            "Click on \"Get Database\" to download and install it now!"};
    QTest::newRow("9 engines") << 9 << fresh;
    QTest::newRow("10 engines") << 10 << QStringList{"Click on \"Get Database\" to load the latest databases."};
}

void TestUpdateBox::shownLines()
{
    QFETCH(int, engines);
    QFETCH(QStringList, lines);
    TUpdateBox box;
    box.setEngineCount([engines] { return engines; });
    box.Memo1->setPlainText(QStringLiteral("old"));
    box.show();
    QCOMPARE(box.Memo1->toPlainText().split(QLatin1Char('\n')), lines);
}

void TestUpdateBox::mainWindowReloadsViews()
{
    UpdateFixture f;
    f.lists.write(QStringLiteral("data.ist"), "E1=FFA|http://s/|http://127.0.0.1:8088/ok|\r\n"
                                              "E2=ENGINE|http://s/|http://127.0.0.1:8088/ok|\r\n"
                                              "E3=BATCH->5|http://s/|http://127.0.0.1:8088/ok|\r\n");
    ScriptedDialogs dialogs;
    TSubmitMain window;
    window.UpdateBox->Button1Click();
    // The reload runs in units; the filter the update asked for runs after it.
    QVERIFY(waitForEngines(*window.EnginesPage));
    EngineModel* engines = window.EnginesPage->model();
    QStringList names;
    for (int row = 0; row < engines->count(); ++row)
        names << engines->engineName(row) + (engines->isChecked(row) ? "+" : "-");
    // Only the lines between the marks: no empty engine from the marks' lines.
    QCOMPARE(names, QStringList({"E1+", "E2-", "E3+"}));
    QCOMPARE(window.EnginesPage->TotalDis->value(), 6);
    QStringList manual;
    for (const QStringList& row : window.ManualPage->model()->rows())
        manual << row.value(0);
    QVERIFY(manual.contains(QStringLiteral("M1")) && manual.contains(QStringLiteral("M2")));
    QVERIFY(!manual.contains(QStringLiteral("old line")));
    QCOMPARE(window.ManualPage->ManLED->value(), manual.size());
    QCOMPARE(dialogs.messages().size(), 0);
}

void TestUpdateBox::hostileListIsNotInstalled_data()
{
    QTest::addColumn<int>("step"); // 1 ranking, 2 engines
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("stored"); // empty: the old list stays
    QTest::addColumn<QString>("line");      // the step's log line after "Received"

    const QByteArray good = engineLines(5);
    QTest::newRow("junk around the marks")
        << 2 << junk(100000, 1) + "\r\n" + framed(good) + junk(100000, 2) << good << "Status: Engines Updated";
    QTest::newRow("END before START") << 2 << "//// END ////\r\n" + good + "//// START ////\r\nE9=X|a|b|c|\r\n"
                                      << QByteArray() << "Status: Updating the Engines failed: the file is corrupt";
    QTest::newRow("marks inside lines") << 2 << "x//// START ////\r\n" + good + "x//// END ////\r\n"
                                        << QByteArray() << "Status: Updating the Engines failed: the file is corrupt";
    QTest::newRow("NUL between the marks") << 2 << framed(good + QByteArray("E6=a|b|c|\0|\r\n", 13)) << QByteArray()
                                           << "Status: Updating the Engines failed: the file is corrupt";
    QTest::newRow("junk between the marks") << 2 << framed(junk(200000, 3) + "\r\n") << QByteArray()
                                            << "Status: Updating the Engines failed: line 1 is not an engine line (";
    QByteArray oneBad = engineLines(99) + "a line that is no engine\r\n";
    QTest::newRow("1 bad line in 100 is kept") << 2 << framed(oneBad) << oneBad << "Status: Engines Updated";
    QByteArray twoBad = engineLines(98);
    twoBad.replace("E40=", "E40 ").replace("E70=", "E70 ");
    twoBad = "\r\n" + twoBad + "\r\n";
    QTest::newRow("2 bad lines in 98 are refused")
        << 2 << framed(twoBad) << QByteArray()
        << "Status: Updating the Engines failed: line 41 is not an engine line (2 of 98 lines do not parse)";
    QTest::newRow("rank list of other lines")
        << 1 << framed("\r\nSearch|http://h/?q=$query|<a href=\"$url\">|||first|\r\n") << QByteArray()
        << "Status: Updating the Ranking failed: line 2 is not a rank line (1 of 1 lines do not parse)";
}

// Whatever surrounds or fills a list, only a sound list is installed.
void TestUpdateBox::hostileListIsNotInstalled()
{
    QFETCH(int, step);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, stored);
    QFETCH(QString, line);
    QList<QByteArray> bodies{GoodCategories, GoodRanking, framed(engineLines(3)), GoodManual};
    bodies[step] = body;
    ScriptedUpdate f(bodies);
    f.box.Button1Click();
    const QString file = step == 1 ? QStringLiteral("data/ranking.ist") : QStringLiteral("data/data.ist");
    QCOMPARE(f.dir.read(file), stored.isEmpty() ? OldList : stored);
    const QStringList log = f.logLines();
    QCOMPARE(log.size(), 13);
    QCOMPARE(log.at(3 * step + 1), QStringLiteral("Status: Received %1 bytes").arg(body.size()));
    QVERIFY2(log.at(3 * step + 2).startsWith(line), qPrintable(log.at(3 * step + 2)));
    QCOMPARE(log.last(), QStringLiteral("Database Updates Complete"));
}

// A 500 MB list is cut at 64 MB as it arrives, and never held in memory.
void TestUpdateBox::bigListIsCancelledAtTheCap()
{
    const qint64 listBytes = qint64(500) * 1024 * 1024;
    const QByteArray block = "E=FFA|http://s/|http://127.0.0.1:1/ok|" + QByteArray(1024 - 41, 'x') + "\r\n";
    QList<ScriptedServer::Script> scripts;
    scripts << ScriptedServer::Script()
                   .awaitRequest()
                   .send(QByteArray(ScriptedUpdate::Head) + "//// START ////\r\n")
                   .sendRepeated(block, listBytes / block.size())
                   .send("//// END ////\r\n")
                   .close();
    for (const QByteArray& body : {GoodRanking, framed(engineLines(3)), GoodManual})
        scripts << ScriptedServer::Script().awaitRequest().send(ScriptedUpdate::Head + body).close();
    ScriptedUpdate f(scripts);
    const qint64 heapBefore = heapKb();
    const qint64 before = peakResidentKb();
    qint64 heapPeak = heapBefore;
    QObject::connect(f.box.HttpCli2, &THttpCli::OnDocData, [&] { heapPeak = qMax(heapPeak, heapKb()); });
    QElapsedTimer clock;
    clock.start();
    f.box.Button1Click();
    const qint64 grown = peakResidentKb() - before;
    qInfo("500 MB list: update ended after %lld ms; live heap grew by at most %lld kB, peak resident size by %lld kB",
          clock.elapsed(), heapPeak - heapBefore, grown);
    QCOMPARE(f.dir.read(QStringLiteral("data/catagory.ist")), OldList);
    QCOMPARE(f.logLines().mid(0, 3),
             QStringList({"Status: Downloading Latest Category Map ", "Status: Failed : list larger than 64 MB",
                          "Status: Downloading Latest Ranking "}));
    QCOMPARE(f.dir.read(QStringLiteral("data/data.ist")), engineLines(3));
    QVERIFY2(heapPeak - heapBefore < 16 * 1024, qPrintable(QString::number(heapPeak - heapBefore)));
#if !defined(__SANITIZE_ADDRESS__) // its quarantine holds freed memory on purpose
    QVERIFY2(grown < 64 * 1024, qPrintable(QString::number(grown)));
#endif
}

QTEST_MAIN(TestUpdateBox)
#include "tst_updatebox.moc"
