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
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "ui/TCLEDLabel.h"

#include <QBuffer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

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
        lists.write(QStringLiteral("ranking.ist"), "Rank One|http://127.0.0.1:8088/r?q=|\r\n");
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
    // The list as the update stores it: between the two lines the marks leave empty.
    QByteArray stored(const QString& file) const
    {
        QFile f(lists.filePath(file));
        f.open(QIODevice::ReadOnly);
        return "\r\n" + f.readAll().replace("127.0.0.1:8088", "127.0.0.1:" + QByteArray::number(sandbox.port())) +
               "\r\n";
    }

    // The bytes received for a list: the marks' lines around the file.
    int received(const QString& file) const { return int(stored(file).size()) - 4 + 32; }

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
    QTest::newRow("404 logged twice") << "/update/404-mandata" << "datam.ist"
                                      << QStringList{"Status: Failed : 404 Not Found", "Status: Failed : 404 Not Found"}
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
    QCOMPARE(log.mid(3, 3), QStringList({"Status: Downloading Latest Ranking ",
                                         "Status: Failed : 404 Connection aborted on request",
                                         "Status: Failed : 404 Connection aborted on request"}));
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
    EngineModel* engines = window.EnginesPage->model();
    QStringList names;
    for (int row = 0; row < engines->count(); ++row)
        names << engines->engineName(row) + (engines->isChecked(row) ? "+" : "-");
    // The empty line the marks leave is a line of the database like any other.
    QCOMPARE(names, QStringList({"-", "E1+", "E2-", "E3+"}));
    QCOMPARE(window.EnginesPage->TotalDis->value(), 6);
    QStringList manual;
    for (const QStringList& row : window.ManualPage->model()->rows())
        manual << row.value(0);
    QVERIFY(manual.contains(QStringLiteral("M1")) && manual.contains(QStringLiteral("M2")));
    QVERIFY(!manual.contains(QStringLiteral("old line")));
    QCOMPARE(window.ManualPage->ManLED->value(), manual.size());
    QCOMPARE(dialogs.messages().size(), 0);
}

QTEST_MAIN(TestUpdateBox)
#include "tst_updatebox.moc"
