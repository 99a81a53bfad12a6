#include "app/AttentionFlasher.h"
#include "app/TSubmitMain.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectListView.h"
#include "projects/ProjectStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "ui/TCLEDLabel.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace {

const QString kIndex = QStringLiteral("data/session/session.zro");

void writeProjects(const TempProgramDir& dir, const QStringList& names)
{
    QByteArray index("[Session]\r\nCount=" + QByteArray::number(names.size() - 1) + "\r\n[List]\r\n");
    for (int i = 0; i < names.size(); ++i) {
        index += QByteArray::number(i) + '=' + names.at(i).toUtf8() + "\r\n";
        dir.write(QStringLiteral("data/session/") + names.at(i) + QStringLiteral(".zro"),
                  "[" + names.at(i).toUtf8() + "]\r\nurl=http://" + names.at(i).toUtf8() + "/\r\nname=N" +
                      names.at(i).toUtf8() + "\r\n");
    }
    dir.write(kIndex, index);
}

QAction* action(TSubmitMain& window, const char* name)
{
    return window.findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

class TestSubmitMainProjects : public QObject
{
    Q_OBJECT

private slots:
    void startupLoadsTheIndex()
    {
        TempProgramDir dir;
        writeProjects(dir, {"a", "B", "c"});
        ScriptedDialogs dialogs;
        TSubmitMain window;
        auto* list = window.findChild<ProjectListView*>(QStringLiteral("SesList"));
        QVERIFY(list);
        QCOMPARE(list, window.SesList);
        QCOMPARE(window.projectStore()->model()->names(), (QStringList{"a", "B", "c"}));
        QCOMPARE(list->model()->rowCount(), 3);
        QCOMPARE(window.CLEDLabel1->text(), QStringLiteral("3"));
        QCOMPARE(list->palette().color(QPalette::Base), QColor(0xE9, 0xEA, 0xE9));
        QVERIFY(window.TabSheet5->findChild<ProjectEditorPage*>());
        QVERIFY(window.TabSheet5->findChild<QLineEdit*>(QStringLiteral("Session_Name")));
        QVERIFY(window.TabSheet5->findChild<TCLEDLabel*>(QStringLiteral("CLED4")));
        QVERIFY(dialogs.messages().isEmpty());
    }

    void startupWithoutIndex()
    {
        TempProgramDir dir;
        ScriptedDialogs dialogs;
        TSubmitMain window;
        QVERIFY(window.projectStore()->model()->isEmpty());
        QCOMPARE(window.CLEDLabel1->text(), QStringLiteral("0"));
    }

    void projectsMenu()
    {
        TempProgramDir dir;
        ScriptedDialogs dialogs;
        TSubmitMain window;
        ProjectEditorPage* editor = window.ProjectEditor;
        window.showPage(TSubmitMain::Page::About);
        editor->setFieldText(ProjectField::SessionName, QStringLiteral("menu"));
        editor->setFieldText(ProjectField::Email, QStringLiteral("me@example.com"));
        action(window, "SaveProject1")->trigger();
        QVERIFY(dir.exists(QStringLiteral("data/session/menu.zro")));
        QCOMPARE(window.CLEDLabel1->text(), QStringLiteral("1"));
        QCOMPARE(window.currentInnerPage(), TSubmitMain::InnerPage::ProjectInformation);

        window.showPage(TSubmitMain::Page::About);
        action(window, "NewProject1")->trigger();
        QCOMPARE(editor->fieldText(ProjectField::Email), QString());
        QCOMPARE(editor->fieldText(ProjectField::SessionName), QString());
        QCOMPARE(window.currentInnerPage(), TSubmitMain::InnerPage::ProjectInformation);

        action(window, "DeleteSelectedProject1")->trigger();
        QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("No Item"));

        window.projectStore()->model()->setChecked(0, true);
        window.showPage(TSubmitMain::Page::Ranking);
        action(window, "DeleteCheckedProjectOnly1")->trigger();
        QCOMPARE(window.currentInnerPage(), TSubmitMain::InnerPage::ProjectInformation);
        QVERIFY(window.projectStore()->model()->isEmpty());
        QCOMPARE(window.CLEDLabel1->text(), QStringLiteral("0"));

        editor->setFieldText(ProjectField::SessionName, QStringLiteral("again"));
        editor->SaveButton->click();
        QCOMPARE(window.projectStore()->model()->names(), QStringList{"again"});
        dialogs.answer(Dialogs::No);
        action(window, "DeleteAllProjects1")->trigger();
        QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Delete all projects"));
        QCOMPARE(window.projectStore()->model()->count(), 1);
        dialogs.answer(Dialogs::Yes);
        action(window, "DeleteAllProjects1")->trigger();
        QVERIFY(window.projectStore()->model()->isEmpty());
        QVERIFY(!dir.exists(QStringLiteral("data/session/again.zro")));
    }

    void popupMenu()
    {
        TempProgramDir dir;
        writeProjects(dir, {"a", "b"});
        ScriptedDialogs dialogs;
        TSubmitMain window;
        auto* popup = window.SesList->findChild<QMenu*>(QStringLiteral("PopupMenu3"));
        QVERIFY(popup);
        QStringList captions;
        for (QAction* a : popup->actions())
            captions.append(a->text());
        QCOMPARE(captions, (QStringList{"Delete Selected", "Delete Checked Only", "Delete All"}));
        window.projectStore()->model()->setSelectedRow(1);
        popup->actions().at(0)->trigger();
        QCOMPARE(window.projectStore()->model()->names(), QStringList{"a"});
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::SessionName), QStringLiteral("a"));
        // The view shows the selection the deletion made.
        QCOMPARE(window.SesList->selectionModel()->selectedIndexes().size(), 1);
        QCOMPARE(window.SesList->selectionModel()->selectedIndexes().first().row(), 0);
        QCOMPARE(window.CLEDLabel1->text(), QStringLiteral("1"));
        dialogs.answer(Dialogs::Yes);
        popup->actions().at(2)->trigger();
        QVERIFY(window.projectStore()->model()->isEmpty());
    }

    void clickLoadsAndStopsTheFlasher()
    {
        TempProgramDir dir;
        writeProjects(dir, {"a", "b"});
        ScriptedDialogs dialogs;
        TSubmitMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.flasher()->start(AttentionFlasher::ProjectList);
        window.flasher()->Timer1Timer();
        QCOMPARE(AttentionFlasher::flashState(window.SesList), 1);
        const QRect rect = window.SesList->visualRect(window.SesList->model()->index(1, 0));
        QTest::mouseClick(window.SesList->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(window.projectStore()->model()->selectedName(), QStringLiteral("b"));
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::Url), QStringLiteral("http://b/"));
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::FirstName), QStringLiteral("Nb"));
        QVERIFY(!window.flasher()->isRunning());
        QCOMPARE(AttentionFlasher::flashState(window.SesList), 0);
        QCOMPARE(window.SesList->palette().color(QPalette::Text), QColor(Qt::black));
        QCOMPARE(window.SesList->selectionModel()->currentIndex().row(), 1);
    }

    void doorwayTabLoads()
    {
        TempProgramDir dir;
        writeProjects(dir, {"a", "b"});
        ScriptedDialogs dialogs;
        TSubmitMain window;
        ProjectStore* store = window.projectStore();
        QTabBar* tabs = window.PageControl1->tabBar();
        const int doorway = window.PageControl1->indexOf(window.TabSheet10);
        // None selected: the first is selected and loaded.
        emit tabs->tabBarClicked(doorway);
        QCOMPARE(store->model()->selectedName(), QStringLiteral("a"));
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::Url), QStringLiteral("http://a/"));
        // Unsaved edits are replaced by the stored values; other tabs do not load.
        window.ProjectEditor->setFieldText(ProjectField::Url, QStringLiteral("edited"));
        emit tabs->tabBarClicked(window.PageControl1->indexOf(window.TabSheet9));
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::Url), QStringLiteral("edited"));
        window.showPage(TSubmitMain::Page::DoorwayPages);
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::Url), QStringLiteral("edited"));
        emit tabs->tabBarClicked(doorway);
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::Url), QStringLiteral("http://a/"));
    }

    void doorwayTabWithEmptyList()
    {
        TempProgramDir dir;
        ScriptedDialogs dialogs;
        TSubmitMain window;
        window.ProjectEditor->setFieldText(ProjectField::Url, QStringLiteral("typed"));
        emit window.PageControl1->tabBar()->tabBarClicked(window.PageControl1->indexOf(window.TabSheet10));
        QCOMPARE(window.ProjectEditor->fieldText(ProjectField::Url), QStringLiteral("typed"));
        QVERIFY(dialogs.messages().isEmpty());
    }
};

QTEST_MAIN(TestSubmitMainProjects)
#include "test_submitmain_projects.moc"
