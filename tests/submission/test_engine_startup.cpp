// The engine steps of the main window's start-up and its first show.
#include "app/TSubmitMain.h"
#include "maintenance/TUpdateBox.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineListView.h"
#include "submission/EngineModel.h"
#include "submission/ManualEngineModel.h"
#include "submission/ManualEnginesPage.h"

#include "support/EngineLoad.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace {

QByteArray engineLines(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += QStringLiteral("Engine %1=FFA|http://127.0.0.1:8088/site/%1/|\r\n")
                   .arg(i, 2, 10, QLatin1Char('0'))
                   .toUtf8();
    return out;
}

bool anyProgressWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<ProgressWindow*>(w))
            return true;
    }
    return false;
}

} // namespace

class TestEngineStartup : public QObject
{
    Q_OBJECT

private slots:
    void pagesSitInTheirTabs();
    void firstShowOpensUpdateBox_data();
    void firstShowOpensUpdateBox();
    void missingDataIstIsReportedAndStartupGoesOn();
    void missingDatamIstIsReported();
    void startupMarksEveryType();
    void updateDuringStartupLoadIsNotLost();
};

void TestEngineStartup::pagesSitInTheirTabs()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), engineLines(12));
    dir.write(QStringLiteral("data/datam.ist"), "A,http://a/,http://a/s\r\n");
    TSubmitMain main;
    QVERIFY(waitForEngines(*main.EnginesPage));
    auto* engines = main.TabSheet2->findChild<EngineListView*>(QStringLiteral("AdvListView2"));
    auto* manual = main.TabSheet3->findChild<EngineListView*>(QStringLiteral("AdvListView1"));
    QVERIFY(engines);
    QVERIFY(manual);
    QCOMPARE(engines->model()->rowCount(), 12);
    QCOMPARE(manual->model()->rowCount(), 1);
    QVERIFY(main.TabSheet2->findChild<TCLEDLabel*>(QStringLiteral("TotalDis")));
    auto* manLed = main.TabSheet3->findChild<TCLEDLabel*>(QStringLiteral("ManLED"));
    QVERIFY(manLed);
    QCOMPARE(manLed->text(), QStringLiteral("1"));
    QCOMPARE(main.EnginesPage->database().count(), 12);
}

void TestEngineStartup::firstShowOpensUpdateBox_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("opens");
    QTest::newRow("empty") << 0 << true;
    QTest::newRow("9 lines") << 9 << true;
    QTest::newRow("10 lines") << 10 << false;
    QTest::newRow("84 lines") << 84 << false;
}

void TestEngineStartup::firstShowOpensUpdateBox()
{
    QFETCH(int, lines);
    QFETCH(bool, opens);
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), engineLines(lines));
    dir.write(QStringLiteral("data/datam.ist"), QByteArray());
    ScriptedDialogs dialogs;
    TSubmitMain main;
    QVERIFY(!main.UpdateBox->isVisible());
    // Shown while the database still loads: the window is judged on the loaded one.
    QVERIFY(main.EnginesPage->listBusy());
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(waitForEngines(*main.EnginesPage));
    QCOMPARE(main.UpdateBox->isVisible(), opens);
    if (opens)
        QVERIFY(main.UpdateBox->x() >= main.frameGeometry().right());
    QVERIFY(dialogs.messages().isEmpty());
}

void TestEngineStartup::missingDataIstIsReportedAndStartupGoesOn()
{
    TempProgramDir dir;
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/data.ist"))));
    dir.write(QStringLiteral("data/datam.ist"), "A,http://a/,s\r\nB,http://b/,s\r\n");
    ScriptedDialogs dialogs;
    TSubmitMain main;
    QCOMPARE(dialogs.messages().size(), 1);
    const ScriptedDialogs::Call message = dialogs.lastMessage();
    QCOMPARE(message.icon, Dialogs::Icon::Error);
    QVERIFY2(message.text.contains(dir.filePath(QStringLiteral("data/data.ist"))), qPrintable(message.text));
    QVERIFY2(message.text.contains(QLatin1String("No such file or directory")), qPrintable(message.text));
    QVERIFY(!anyProgressWindow());
    QCOMPARE(main.EnginesPage->model()->count(), 0);
    QCOMPARE(main.EnginesPage->TotalDis->text(), QStringLiteral("0"));
    // The steps after it still ran.
    QCOMPARE(main.ManualPage->ManLED->value(), 2);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(main.UpdateBox->isVisible());
}

void TestEngineStartup::missingDatamIstIsReported()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), engineLines(10));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/datam.ist"))));
    ScriptedDialogs dialogs;
    TSubmitMain main;
    QVERIFY(waitForEngines(*main.EnginesPage));
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().text, QStringLiteral("File cannot be opened."));
    QCOMPARE(main.ManualPage->model()->count(), 0);
    QCOMPARE(main.ManualPage->ManLED->text(), QStringLiteral("0"));
    QCOMPARE(main.EnginesPage->model()->count(), 10);
}

void TestEngineStartup::startupMarksEveryType()
{
    TempProgramDir dir;
    const QString starter = qEnvironmentVariable("VANTOR_SOURCE_DIR") + QStringLiteral("/resources/programdir/data/");
    QFile source(starter + QStringLiteral("data.ist"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    dir.write(QStringLiteral("data/data.ist"), source.readAll());
    QFile manual(starter + QStringLiteral("datam.ist"));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    dir.write(QStringLiteral("data/datam.ist"), manual.readAll());
    TSubmitMain main;
    QVERIFY(waitForEngines(*main.EnginesPage));
    const EngineModel& model = *main.EnginesPage->model();
    QVERIFY(model.count() >= 84);
    long long expectedTotal = 0;
    for (int i = 0; i < model.count(); ++i) {
        const EngineRow& row = model.row(i);
        const bool wanted =
            row.kind != EngineKind::Engine && row.kind != EngineKind::CustomEngine && row.kind != EngineKind::Other &&
            row.kind != EngineKind::IndexNow;
        QVERIFY2(row.checked == wanted, qPrintable(row.name + QLatin1Char(' ') + row.type));
        if (wanted)
            expectedTotal += row.weight;
    }
    QCOMPARE(main.EnginesPage->TotalDis->value(), expectedTotal);
    QVERIFY(main.ManualPage->ManLED->value() >= 12);
}

void TestEngineStartup::updateDuringStartupLoadIsNotLost()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), engineLines(12));
    dir.write(QStringLiteral("data/datam.ist"), QByteArray());
    ScriptedDialogs dialogs;
    TSubmitMain main;
    QVERIFY(main.EnginesPage->listBusy());
    // The updater stores a new file (replaced, as SaveListToFile does) while the start-up load still reads the old.
    dir.write(QStringLiteral("data/new.ist"), engineLines(3));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/data.ist"))));
    QVERIFY(QFile::rename(dir.filePath(QStringLiteral("data/new.ist")), dir.filePath(QStringLiteral("data/data.ist"))));
    emit main.UpdateBox->engineDatabaseChanged();
    emit main.UpdateBox->engineFilterRequested();
    QVERIFY(main.EnginesPage->listBusy());
    QTRY_COMPARE_WITH_TIMEOUT(main.EnginesPage->database().count(), 3, 10000);
    QVERIFY(waitForEngines(*main.EnginesPage));
    QCOMPARE(main.EnginesPage->model()->count(), 3);
    QCOMPARE(main.EnginesPage->TotalDis->value(), 3);
    QVERIFY(dialogs.messages().isEmpty());
}

QTEST_MAIN(TestEngineStartup)
#include "test_engine_startup.moc"
