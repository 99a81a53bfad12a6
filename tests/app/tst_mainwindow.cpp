#include "app/AttentionFlasher.h"
#include "app/TSubmitMain.h"
#include "audit/SiteAuditWindow.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListView.h"
#include "maintenance/TProxyset.h"
#include "maintenance/TUpdateBox.h"
#include "net/THttpCli.h"
#include "ranking/TRankingPage.h"
#include "submission/TLiveResult.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "tools/ImportWizardPage.h"
#include "tools/TSpider.h"
#include "ui/TCLEDLabel.h"

#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using Page = TSubmitMain::Page;
using InnerPage = TSubmitMain::InnerPage;
Q_DECLARE_METATYPE(TSubmitMain::Page)
Q_DECLARE_METATYPE(TSubmitMain::InnerPage)

namespace {

QMenu* menu(TSubmitMain& window, const char* name)
{
    return window.menuBar()->findChild<QMenu*>(QLatin1String(name));
}

QAction* item(TSubmitMain& window, const char* name)
{
    return window.findChild<QAction*>(QLatin1String(name));
}

QStringList listing(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries << it.fileInfo().filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size()) +
                       QLatin1Char(' ') + it.fileInfo().lastModified().toString(Qt::ISODateWithMs);
    }
    entries.sort();
    return entries;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void captionFromSettings_data();
    void captionFromSettings();
    void startsFromAnotherWorkingDirectory();
    void startupLayout();
    void secondaryWindows();
    void menuOpeningShowsPage_data();
    void menuOpeningShowsPage();
    void menuItemsShowPage_data();
    void menuItemsShowPage();
    void siteAuditOpensOneWindowWithTheProjectUrl();
    void commandNavigationLeavesOtherInnerPage();
    void optionsMenuShowsWindows();
    void onlineManual();
    void flasherStartsInModeZero();
    void flasherButtonModes_data();
    void flasherButtonModes();
    void flasherProjectList();
    void flasherIgnoresOtherModes();
    void nothingWrittenAtStartupOrClose();
    void runSettingsFromFile();
    void timeoutIsTheReadersIdleTimeout();
    void brokenEngineDatabaseKeepsProjects();
};

void TestMainWindow::captionFromSettings_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("manual");
    QTest::newRow("installed") << QByteArray("[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\nhome=http://h.example\r\n")
                               << QStringLiteral("Vantor Pro v4.0") << QStringLiteral("http://h.example/help.htm");
    QTest::newRow("no file") << QByteArray() << QStringLiteral("error verror") << QStringLiteral("error/help.htm");
    QTest::newRow("no tss section") << QByteArray("[Reports]\r\nGenReport=1\r\n") << QStringLiteral("error verror")
                                    << QStringLiteral("error/help.htm");
    QTest::newRow("quoted and padded") << QByteArray("[TSS]\r\nAPP = \"Vantor\" \r\nVersion='5'\r\n")
                                       << QStringLiteral("Vantor v5") << QStringLiteral("error/help.htm");
}

void TestMainWindow::captionFromSettings()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, caption);
    QFETCH(QString, manual);
    TempProgramDir dir;
    if (!ini.isEmpty())
        dir.write(QStringLiteral("dfd.ini"), ini);
    ScriptedDialogs dialogs;
    TSubmitMain window;
    QCOMPARE(window.windowTitle(), caption);
    QCOMPARE(window.appTitle(), caption);
    QCOMPARE(QGuiApplication::applicationDisplayName(), caption);
    window.openOnlineManual();
    QCOMPARE(dialogs.calls().last().url, QUrl(manual));
}

void TestMainWindow::startsFromAnotherWorkingDirectory()
{
    TempProgramDir first;
    first.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=First\r\nversion=1\r\n");
    TempProgramDir second; // moves the working directory again
    second.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Second\r\nversion=2\r\n");
    TSubmitMain window;
    QCOMPARE(window.programDir(), QDir::currentPath());
    QCOMPARE(QDir(window.programDir()).canonicalPath(), QDir(second.path()).canonicalPath());
    QCOMPARE(window.windowTitle(), QStringLiteral("Second v2"));
    QCOMPARE(QDir(window.path(QStringLiteral("\\data\\data.ist"))).absolutePath(),
             QDir(second.filePath(QStringLiteral("data/data.ist"))).absolutePath());
}

void TestMainWindow::startupLayout()
{
    TempProgramDir dir;
    TSubmitMain window;
    QCOMPARE(window.size(), QSize(649, 379));
    QCOMPARE(window.currentPage(), Page::About);
    QCOMPARE(window.PageControl3->currentWidget(), window.TabSheet5);

    const QStringList captions{QStringLiteral("Projects"),  QStringLiteral("Submit"),
                               QStringLiteral("Ranking"),   QStringLiteral("Reports"),
                               QStringLiteral("Meta Tags"), QStringLiteral("Doorway Pages"),
                               QStringLiteral("About")};
    const QStringList sheets{QStringLiteral("TabSheet1"), QStringLiteral("TabSheet4"),  QStringLiteral("TabSheet7"),
                             QStringLiteral("TabSheet8"), QStringLiteral("TabSheet9"),  QStringLiteral("TabSheet10"),
                             QStringLiteral("TabSheet11")};
    QTabWidget* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QVERIFY(pages);
    QCOMPARE(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i) {
        QCOMPARE(pages->tabText(i), captions.at(i));
        QCOMPARE(pages->widget(i)->objectName(), sheets.at(i));
    }
    QTabWidget* inner3 = window.findChild<QTabWidget*>(QStringLiteral("PageControl3"));
    QCOMPARE(inner3->tabText(0), QStringLiteral("Project Information"));
    QCOMPARE(inner3->tabText(1), QStringLiteral("Import Wizard"));
    QTabWidget* inner2 = window.findChild<QTabWidget*>(QStringLiteral("PageControl2"));
    QCOMPARE(inner2->tabText(0), QStringLiteral("Auto Submit Engines"));
    QCOMPARE(inner2->tabText(1), QStringLiteral("Manual Engines"));

    QVERIFY(window.findChild<QWidget*>(QStringLiteral("CLEDLabel1")));
    QWidget* list = window.findChild<QWidget*>(QStringLiteral("SesList"));
    QVERIFY(list);
    QCOMPARE(list->palette().color(QPalette::Base), QColor(0xE9, 0xEA, 0xE9));
    QCOMPARE(list->parentWidget()->width(), 132);
}

void TestMainWindow::secondaryWindows()
{
    TempProgramDir dir;
    TSubmitMain window;
    // Created at start-up in this order, hidden until something shows them.
    QList<QWidget*> windows;
    for (QObject* child : window.children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && w->isWindow())
            windows << w;
    }
    QStringList order;
    for (QWidget* w : windows)
        order << w->windowTitle();
    QCOMPARE(order, QStringList({QStringLiteral("Spider"), QStringLiteral("Submit Options"),
                                 QStringLiteral("Proxy Settings"), QStringLiteral("Database Update")}));
    for (QWidget* w : windows)
        QVERIFY(!w->isVisible());
    QVERIFY(window.Spider->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(window.UpdateBox->windowFlags() & Qt::WindowStaysOnTopHint);
}

void TestMainWindow::menuOpeningShowsPage_data()
{
    QTest::addColumn<QString>("menuName");
    QTest::addColumn<Page>("page");
    QTest::addColumn<InnerPage>("inner");
    QTest::newRow("Submit") << QStringLiteral("Submit1") << Page::Submit << InnerPage::AutoSubmitEngines;
    QTest::newRow("Ranking") << QStringLiteral("Ranking1") << Page::Ranking << InnerPage::None;
    QTest::newRow("MetaTags") << QStringLiteral("MetaTags1") << Page::MetaTags << InnerPage::None;
    QTest::newRow("Reports") << QStringLiteral("Reports1") << Page::Reports << InnerPage::None;
    QTest::newRow("Doorway Pages") << QStringLiteral("DoorwayPages1") << Page::DoorwayPages << InnerPage::None;
    // Opening "Projects" has no action: the page stays where it was.
    QTest::newRow("Projects") << QStringLiteral("Projects1") << Page::About << InnerPage::None;
}

void TestMainWindow::menuOpeningShowsPage()
{
    QFETCH(QString, menuName);
    QFETCH(Page, page);
    QFETCH(InnerPage, inner);
    TempProgramDir dir;
    TSubmitMain window;
    window.PageControl2->setCurrentWidget(window.TabSheet3);
    QMenu* m = menu(window, menuName.toLatin1().constData());
    QVERIFY(m);
    emit m->aboutToShow();
    QCOMPARE(window.currentPage(), page);
    QCOMPARE(window.currentInnerPage(), inner);
}

void TestMainWindow::menuItemsShowPage_data()
{
    QTest::addColumn<Page>("startPage");
    QTest::addColumn<QString>("itemName");
    QTest::addColumn<Page>("page");
    QTest::addColumn<InnerPage>("inner");
    QTest::newRow("Manual Engines from Ranking")
        << Page::Ranking << QStringLiteral("ManualEngines1") << Page::Submit << InnerPage::ManualEngines;
    QTest::newRow("Auto Submit Engines from Reports")
        << Page::Reports << QStringLiteral("AutoSubmitEngines1") << Page::Submit << InnerPage::AutoSubmitEngines;
    QTest::newRow("Import Wizard from About")
        << Page::About << QStringLiteral("ImportWizard1") << Page::Projects << InnerPage::ImportWizard;
    QTest::newRow("Project Information from Submit")
        << Page::Submit << QStringLiteral("ProjectInformation1") << Page::Projects << InnerPage::ProjectInformation;
    QTest::newRow("Reset List from Projects")
        << Page::Projects << QStringLiteral("ResetList1") << Page::Ranking << InnerPage::None;
}

void TestMainWindow::menuItemsShowPage()
{
    QFETCH(Page, startPage);
    QFETCH(QString, itemName);
    QFETCH(Page, page);
    QFETCH(InnerPage, inner);
    TempProgramDir dir;
    TSubmitMain window;
    window.showPage(startPage);
    window.PageControl2->setCurrentWidget(window.TabSheet2);
    window.PageControl3->setCurrentWidget(window.TabSheet5);
    QAction* action = item(window, itemName.toLatin1().constData());
    QVERIFY(action);
    action->trigger();
    QCOMPARE(window.currentPage(), page);
    QCOMPARE(window.currentInnerPage(), inner);
}

void TestMainWindow::siteAuditOpensOneWindowWithTheProjectUrl()
{
    TempProgramDir dir;
    TSubmitMain window;
    QVERIFY(!window.siteAudit());
    QAction* action = item(window, "SiteAudit1");
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("Site Audit"));
    QVERIFY(menu(window, "Projects1")->actions().contains(action));
    window.ProjectEditor->urllist->setText(QStringLiteral("http://www.example.com/shop/"));
    action->trigger();
    QPointer<SiteAuditWindow> audit = window.siteAudit();
    QVERIFY(audit);
    QVERIFY(audit->isVisible());
    QVERIFY(audit->isWindow());
    QCOMPARE(audit->startAddress->text(), QStringLiteral("http://www.example.com/shop/"));
    // Again: the same window, with the Project's address of now.
    window.ProjectEditor->urllist->setText(QStringLiteral("http://www.example.org/"));
    action->trigger();
    QCOMPARE(window.siteAudit(), audit.data());
    QCOMPARE(audit->startAddress->text(), QStringLiteral("http://www.example.org/"));
    audit->close(); // deleted on close; the next opening makes a new one
    QTRY_VERIFY(!audit);
    QVERIFY(!window.siteAudit());
}

void TestMainWindow::commandNavigationLeavesOtherInnerPage()
{
    TempProgramDir dir;
    TSubmitMain window;
    window.showPage(Page::Submit, InnerPage::ManualEngines);
    window.showPage(Page::Projects, InnerPage::ImportWizard);
    window.showPage(Page::Submit);
    QCOMPARE(window.currentInnerPage(), InnerPage::ManualEngines);
}

void TestMainWindow::optionsMenuShowsWindows()
{
    TempProgramDir dir;
    TSubmitMain window;
    window.UpdateBox->Memo1->setPlainText(QStringLiteral("old log"));
    item(window, "UpdateDatabase1")->trigger();
    QVERIFY(window.UpdateBox->isVisible());
    // The old log is gone; showing the window wrote its lines for an empty database.
    QVERIFY(window.UpdateBox->Memo1->toPlainText().startsWith(QLatin1String("Congratulations")));
    // Chosen again while shown, the menu only empties the log.
    item(window, "UpdateDatabase1")->trigger();
    QVERIFY(window.UpdateBox->Memo1->toPlainText().isEmpty());
    item(window, "Proxy1")->trigger();
    QVERIFY(window.Proxyset->isVisible());
    item(window, "SubmitOptions1")->trigger();
    QVERIFY(window.LiveResult->isVisible());
    QVERIFY(!window.Spider->isVisible());
}

void TestMainWindow::onlineManual()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\nhome=http://127.0.0.1:8088\r\n");
    ScriptedDialogs dialogs;
    TSubmitMain window;
    item(window, "OnlineManual1")->trigger();
    QCOMPARE(dialogs.calls().size(), 1);
    QCOMPARE(dialogs.calls().first().kind, ScriptedDialogs::Call::OpenUrl);
    QCOMPARE(dialogs.calls().first().url, QUrl(QStringLiteral("http://127.0.0.1:8088/help.htm")));
}

void TestMainWindow::flasherStartsInModeZero()
{
    TempProgramDir dir;
    TSubmitMain window;
    QVERIFY(window.flasher()->isRunning());
    QCOMPARE(window.flasher()->mode(), 0);
    QCOMPARE(window.flasher()->timer()->interval(), 500);
    QCOMPARE(window.flasher()->timer()->objectName(), QStringLiteral("Timer1"));
}

void TestMainWindow::flasherButtonModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("base");
    QTest::newRow("Import") << int(AttentionFlasher::ImportButton) << 0;
    QTest::newRow("Start Spider") << int(AttentionFlasher::SpiderButton) << 2;
    QTest::newRow("Submit") << int(AttentionFlasher::SubmitButton) << 6;
}

void TestMainWindow::flasherButtonModes()
{
    QFETCH(int, mode);
    QFETCH(int, base);
    AttentionFlasher flasher;
    QPushButton button;
    QPushButton other;
    flasher.setTarget(mode, &button);
    const int otherMode = mode == AttentionFlasher::SubmitButton ? AttentionFlasher::ImportButton
                                                                 : AttentionFlasher::SubmitButton;
    flasher.setTarget(otherMode, &other);
    const int otherState = AttentionFlasher::flashState(&other);
    QCOMPARE(AttentionFlasher::flashState(&button), base);

    flasher.start(mode);
    flasher.Timer1Timer();
    QCOMPARE(AttentionFlasher::flashState(&button), base + 1);
    QVERIFY(button.palette().color(QPalette::Button) != QPushButton().palette().color(QPalette::Button));
    flasher.Timer1Timer();
    QCOMPARE(AttentionFlasher::flashState(&button), base);
    flasher.Timer1Timer();
    QCOMPARE(AttentionFlasher::flashState(&button), base + 1);
    // Only the control of the current mode blinks.
    QCOMPARE(AttentionFlasher::flashState(&other), otherState);

    flasher.stop();
    QVERIFY(!flasher.isRunning());
    flasher.restore(mode);
    QCOMPARE(AttentionFlasher::flashState(&button), base);
    // A button disabled after blinking still looks disabled.
    QCOMPARE(button.palette().color(QPalette::Disabled, QPalette::ButtonText),
             QPushButton().palette().color(QPalette::Disabled, QPalette::ButtonText));
}

void TestMainWindow::flasherProjectList()
{
    TempProgramDir dir;
    TSubmitMain window;
    AttentionFlasher* flasher = window.flasher();
    QWidget* list = window.findChild<QWidget*>(QStringLiteral("SesList"));
    flasher->start(AttentionFlasher::ProjectList);
    // The timer drives it: wait for real ticks.
    QTRY_COMPARE_WITH_TIMEOUT(AttentionFlasher::flashState(list), 1, 2000);
    QCOMPARE(list->palette().color(QPalette::Text), QColor(0xFF, 0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(AttentionFlasher::flashState(list), 0, 2000);
    QCOMPARE(list->palette().color(QPalette::Text), QColor(Qt::black));
    QTRY_COMPARE_WITH_TIMEOUT(AttentionFlasher::flashState(list), 1, 2000);
    flasher->stop();
    flasher->restore(AttentionFlasher::ProjectList);
    QCOMPARE(list->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(list->palette().color(QPalette::Base), QColor(0xE9, 0xEA, 0xE9));
}

void TestMainWindow::flasherIgnoresOtherModes()
{
    AttentionFlasher flasher;
    QPushButton button;
    QListView list;
    flasher.setTarget(AttentionFlasher::SubmitButton, &button);
    flasher.setTarget(AttentionFlasher::ProjectList, &list);
    for (int mode : {0, 3, 5, 7, 99, -1}) {
        flasher.start(mode);
        flasher.Timer1Timer();
        flasher.Timer1Timer();
        flasher.Timer1Timer();
        QCOMPARE(AttentionFlasher::flashState(&button), 6);
        QCOMPARE(AttentionFlasher::flashState(&list), 0);
    }
}

void TestMainWindow::nothingWrittenAtStartupOrClose()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\n");
    const QStringList before = listing(dir.path());
    {
        TSubmitMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
    }
    QCOMPARE(listing(dir.path()), before);
}

void TestMainWindow::runSettingsFromFile()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[SubOptions]\r\nPorts=0x14\r\nTimeout=abc\r\n");
    TSubmitMain window;
    QCOMPARE(window.ports(), 20);
    QCOMPARE(window.timeout(), 40);
}

void TestMainWindow::timeoutIsTheReadersIdleTimeout()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[SubOptions]\r\nTimeout=25\r\n");
    TSubmitMain window;
    const QList<THttpCli*> readers = {window.ImportWizard->HttpMap, window.RankingPage->HttpRank,
                                      window.UpdateBox->HttpCli2};
    for (THttpCli* client : readers)
        QCOMPARE(client->idleTimeout(), 25);
    // "Apply" in the Submit Options window changes it at once.
    emit window.LiveResult->optionsApplied(12, 5);
    for (THttpCli* client : readers)
        QCOMPARE(client->idleTimeout(), 12);
}

void TestMainWindow::brokenEngineDatabaseKeepsProjects()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\n[SubOptions]\r\nPorts=7\r\n");
    dir.write(QStringLiteral("data/session/session.zro"), "[Session]\r\nCount=1\r\n[List]\r\n0=alpha\r\n1=beta\r\n");
    // The engine database is a folder: it cannot be read.
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/data.ist"))));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data/data.ist")));
    ScriptedDialogs dialogs;
    TSubmitMain window;
    // The failed step is shown by the error rule...
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Vantor Pro v4.0"));
    QCOMPARE(dialogs.lastMessage().icon, Dialogs::Icon::Error);
    QVERIFY(dialogs.lastMessage().text.contains(QLatin1String("data.ist")));
    // ...and every later step still ran.
    QCOMPARE(window.ports(), 7);
    QCOMPARE(window.CLEDLabel1->text(), QStringLiteral("2"));
    QCOMPARE(window.SesList->model()->rowCount(), 2);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
