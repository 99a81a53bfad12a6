#include "app/TSubmitMain.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "ranking/TRankingPage.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "tools/DoorwayBrowser.h"
#include "tools/DoorwayPage.h"
#include "tools/MetaTagsPage.h"
#include "ui/TCLEDLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>

#include <memory>

#include <sys/stat.h>

namespace {

// A program directory with its settings and two Projects.
struct Fixture
{
    Fixture()
    {
        dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\n");
        dir.write(QStringLiteral("data/session/session.zro"), "[Session]\r\nCount=1\r\n[List]\r\n0=P\r\n1=Q\r\n");
        dir.write(QStringLiteral("data/session/P.zro"),
                  "[P]\r\nurl=http://p.example/\r\ntitle=Say \"hi\"\r\nkey1=red, green,blue\r\n");
        dir.write(QStringLiteral("data/session/Q.zro"), "[Q]\r\nurl=http://q.example/\r\nkey1=solo\r\n");
        window = std::make_unique<TSubmitMain>();
    }
    void clickTab(QWidget* page)
    {
        emit window->PageControl1->tabBar()->tabBarClicked(window->PageControl1->indexOf(page));
    }
    void trigger(const char* action) { window->findChild<QAction*>(QString::fromLatin1(action))->trigger(); }

    TempProgramDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TSubmitMain> window;
};

} // namespace

class TestMetaDoorwayPages : public QObject
{
    Q_OBJECT

private slots:
    void editorFillsMetaTags()
    {
        Fixture f;
        MetaTagsPage* page = f.window->MetaTags;
        QVERIFY(f.window->TabSheet9->findChild<QPlainTextEdit*>(QStringLiteral("Viewer")));
        ProjectEditorPage* editor = f.window->ProjectEditor;
        editor->title->setText(QString(61, QLatin1Char('t')));
        editor->Key1->setText(QStringLiteral("a,b,"));
        editor->LastN->setText(QStringLiteral("Lee"));
        editor->Company->setText(QStringLiteral("Lee & Co"));
        editor->urllist->setText(QStringLiteral("http://shop.example/"));
        QCOMPARE(page->TitleMet->text(), editor->title->text());
        QCOMPARE(page->CLED1Met->text(), QStringLiteral("61"));
        QCOMPARE(page->Key1Met->text(), QStringLiteral("a,b,"));
        QCOMPARE(page->CLED3Met->text(), QStringLiteral("3"));
        QCOMPARE(page->Author->text(), QStringLiteral(" Lee"));
        editor->name->setText(QStringLiteral("Ann"));
        QCOMPARE(page->Author->text(), QStringLiteral("Ann Lee"));
        QCOMPARE(page->CopyRight->text(), QStringLiteral("Lee & Co"));
        // Typed drop-down text is used as it stands.
        page->RobotsCk->setChecked(true);
        page->Robots->setEditText(QStringLiteral("NoArchive"));
        page->OpenGraphCk->setChecked(true);

        f.trigger("GenerateTags1");
        QCOMPARE(f.window->currentPage(), TSubmitMain::Page::MetaTags);
        const QStringList lines = page->Viewer->toPlainText().split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("<META NAME=\"Creator\" CONTENT=\"Vantor Pro v4.0\">")));
        QVERIFY(lines.contains(QStringLiteral("<META NAME=\"Robots\" CONTENT=\"NoArchive\">")));
        QVERIFY(lines.contains(QStringLiteral("<META PROPERTY=\"og:url\" CONTENT=\"http://shop.example/\">")));
        QCOMPARE(lines.last(), QStringLiteral("</HEAD>"));
    }

    void apply_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<QString>("caption"); // empty: no message
        QTest::addColumn<QByteArray>("expected");
        const QByteArray latin1 = "<html><head><title>x</title></head>\n<body>caf\xE9</body>";
        QTest::newRow("injected") << latin1 << true << MetaTagsPage::completeCaption()
                                  << QByteArray("<html><HEAD>\r\n<TITLE>N</TITLE>\r\n<META NAME=\"Creator\" "
                                                "CONTENT=\"Vantor Pro v4.0\">\r\n</HEAD>\r\n\r\n<body>caf\xE9</body>");
        QTest::newRow("no head") << QByteArray("<html><body>b</body>") << true << MetaTagsPage::incompleteCaption()
                                 << QByteArray("<html><body>b</body>");
        QTest::newRow("cancelled") << latin1 << false << QString() << latin1;
    }

    void apply()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, chosen);
        QFETCH(QString, caption);
        Fixture f;
        MetaTagsPage* page = f.window->MetaTags;
        f.window->ProjectEditor->title->setText(QStringLiteral("N"));
        for (auto* box : {page->Key1Ck, page->DescriptionCk, page->AuthorCk, page->CopyrightCk})
            box->setChecked(false);
        f.dir.write(QStringLiteral("site/index.htm"), file);
        const QString path = f.dir.filePath(QStringLiteral("site/index.htm"));
        f.dialogs.answerFile(chosen ? path : QString());
        page->Button12->click();

        QCOMPARE(f.window->currentPage(), TSubmitMain::Page::MetaTags);
        const ScriptedDialogs::Call open = f.dialogs.calls().first();
        QCOMPARE(open.kind, ScriptedDialogs::Call::OpenFile);
        QCOMPARE(open.caption, QStringLiteral("Inject Html Document"));
        QCOMPARE(open.directory, f.dir.path());
        QVERIFY(open.filter.contains(QStringLiteral("*.shtm *.shtml")));
        QTEST(f.dir.read(QStringLiteral("site/index.htm")), "expected");
        QCOMPARE(f.dir.exists(QStringLiteral("site/index.htm.bac")), chosen);
        if (chosen)
            QCOMPARE(f.dir.read(QStringLiteral("site/index.htm.bac")), file);
        QCOMPARE(f.dialogs.messages().size(), caption.isEmpty() ? 0 : 1);
        if (caption == MetaTagsPage::completeCaption())
            QCOMPARE(f.dialogs.lastMessage().text, MetaTagsPage::completeText(path + QStringLiteral(".bac")));
        if (!caption.isEmpty())
            QCOMPARE(f.dialogs.lastMessage().caption, caption);
    }

    void applyErrors_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("text");
        QTest::newRow("backup cannot be written") << false << QStringLiteral("Unable to write to %1.bac.");
        QTest::newRow("a FIFO is not read") << true << QStringLiteral("Unable to read %1: Not a regular file.");
    }

    void applyErrors()
    {
        QFETCH(bool, fifo);
        QFETCH(QString, text);
        Fixture f;
        const QString path = f.dir.filePath(QStringLiteral("index.htm"));
        const QByteArray original = "<head></head>";
        if (fifo) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            f.dir.write(QStringLiteral("index.htm"), original);
            QDir(f.dir.path()).mkdir(QStringLiteral("index.htm.bac"));
        }
        f.dialogs.answerFile(path);
        f.trigger("ApplyTags1");
        QCOMPARE(f.dialogs.messages().size(), 1);
        QCOMPARE(f.dialogs.lastMessage().icon, Dialogs::Icon::Error);
        QCOMPARE(f.dialogs.lastMessage().text, text.arg(path));
        if (fifo)
            QVERIFY(!QFileInfo::exists(path + QStringLiteral(".bac")));
        else
            QCOMPARE(f.dir.read(QStringLiteral("index.htm")), original);
    }

    // The backup is readable by no one the page is not readable by; a page its
    // owner made read-only is not written, not even by root.
    void injectionKeepsModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("injected");
        QTest::newRow("0600 page") << 0600 << true;
        QTest::newRow("0640 page") << 0640 << true;
        QTest::newRow("0444 page") << 0444 << false;
    }

    void injectionKeepsModes()
    {
        QFETCH(int, mode);
        QFETCH(bool, injected);
        Fixture f;
        const QByteArray original = "<html><head><title>private</title></head><body>b</body>";
        f.dir.write(QStringLiteral("index.htm"), original);
        const QString path = f.dir.filePath(QStringLiteral("index.htm"));
        const QByteArray name = QFile::encodeName(path);
        QCOMPARE(::chmod(name.constData(), mode_t(mode)), 0);
        const mode_t oldMask = ::umask(022);
        f.dialogs.answerFile(path);
        f.trigger("ApplyTags1");
        ::umask(oldMask);
        auto modeOf = [](const QByteArray& file) {
            struct stat st = {};
            return ::stat(file.constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
        };
        QCOMPARE(modeOf(name + ".bac"), mode);
        QCOMPARE(modeOf(name), mode);
        QCOMPARE(f.dir.read(QStringLiteral("index.htm.bac")), original);
        QCOMPARE(f.dialogs.messages().size(), 1);
        if (injected) {
            QCOMPARE(f.dialogs.lastMessage().caption, MetaTagsPage::completeCaption());
            QVERIFY(f.dir.read(QStringLiteral("index.htm")).contains("<META NAME=\"Creator\""));
        } else {
            QCOMPARE(f.dialogs.lastMessage().icon, Dialogs::Icon::Error);
            QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("Unable to write to %1.").arg(path));
            QCOMPARE(f.dir.read(QStringLiteral("index.htm")), original);
        }
    }

    void doorwayFollowsEveryLoad()
    {
        Fixture f;
        // Something the viewer must not read.
        QImage big(2, 2, QImage::Format_RGB32);
        big.fill(Qt::red);
        big.save(f.dir.filePath(QStringLiteral("nil.gif")), "PNG");

        // The tab with nothing selected selects and loads the first Project.
        f.clickTab(f.window->TabSheet10);
        QCOMPARE(f.window->projectStore()->model()->selectedName(), QStringLiteral("P"));
        const QStringList lines = f.window->Doorways->lines();
        QVERIFY(lines.contains(QStringLiteral("<li><a href=\"http://p.example/\">blue</a></li></ul>")));
        QVERIFY(lines.contains(QStringLiteral("<INPUT TYPE=\"hidden\" NAME=\"Say \"hi\"\">")));
        QComboBox* combo = f.window->TabSheet7->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        QCOMPARE(combo, f.window->RankingPage->ComboBox1);
        QVERIFY(combo->isEditable());
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(2), QStringLiteral("blue"));
        QCOMPARE(combo->currentText(), QStringLiteral("red"));
        DoorwayBrowser* viewer = f.window->Doorways->Doorway;
        QVERIFY(viewer->toPlainText().contains(QStringLiteral("Say \"hi\"")));
        QVERIFY(!viewer->toPlainText().contains(QStringLiteral("navigator")));
        // The document asks the viewer, which answers blank instead of the file.
        const QImage shown =
            viewer->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("nil.gif"))).value<QImage>();
        QCOMPARE(shown.size(), QSize(1, 1));
        QVERIFY(viewer->resourceRequests() > 0);

        f.window->projectStore()->selectAndLoad(1);
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->currentText(), QStringLiteral("solo"));
        QCOMPARE(f.window->Doorways->lines().filter(QStringLiteral("solo</a>")).size(), 2);
    }

    void saveAs_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("written"); // empty: nothing written
        QTest::newRow("no Project selected") << false << QString() << QString();
        QTest::newRow("cancelled") << true << QString() << QString();
        QTest::newRow("saved with the default extension") << true << "doorways/mine" << "doorways/mine.htm";
        QTest::newRow("saved under a name of its own") << true << "doorways/p.html" << "doorways/p.html";
    }

    void saveAs()
    {
        QFETCH(bool, selected);
        QFETCH(QString, answer);
        QFETCH(QString, written);
        Fixture f;
        if (selected) {
            f.window->projectStore()->selectAndLoad(0);
            // Edits not saved to the Project go into the page.
            f.window->ProjectEditor->title->setText(QStringLiteral("Edited"));
            f.dialogs.answerFile(answer.isEmpty() ? QString() : f.dir.filePath(answer));
        }
        f.trigger("Save1");
        QCOMPARE(f.window->currentPage(), TSubmitMain::Page::DoorwayPages);
        if (!selected) {
            QCOMPARE(f.dialogs.calls().size(), 1);
            QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Select a Project to save!"));
            QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("Opps there is no project selected"));
            return;
        }
        const ScriptedDialogs::Call save = f.dialogs.calls().first();
        QCOMPARE(save.kind, ScriptedDialogs::Call::SaveFile);
        QCOMPARE(save.caption, QStringLiteral("Doorway Page"));
        QCOMPARE(save.directory, f.dir.filePath(QStringLiteral("doorways/P.htm")));
        QCOMPARE(QDir(f.dir.filePath(QStringLiteral("doorways"))).entryList(QDir::Files).isEmpty(), written.isEmpty());
        if (written.isEmpty())
            return;
        const QByteArray bytes = f.dir.read(written);
        QVERIFY(bytes.startsWith("<HTML>\r\n<HEAD>\r\n<TITLE>Edited</TITLE>\r\n"));
        QVERIFY(bytes.endsWith("</BODY>\r\n</HTML>\r\n"));
    }
};

QTEST_MAIN(TestMetaDoorwayPages)
#include "tst_metadoorwaypages.moc"
