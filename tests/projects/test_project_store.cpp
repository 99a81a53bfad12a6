#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectName.h"
#include "projects/ProjectStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "ui/ErrorReport.h"
#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString kIndex = QStringLiteral("data/session/session.zro");

QString sessionFile(const QString& name)
{
    return QStringLiteral("data/session/") + name + QStringLiteral(".zro");
}

// A program directory, the dialogs, and the store over a real editor page.
struct Fixture
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    ProjectListModel model;
    ProjectEditorPage editor;
    ProjectStore store{&model, &editor};

    Fixture() { store.setProgramDir(dir.path()); }

    void set(ProjectField field, const QString& text) { editor.setFieldText(field, text); }
    QString text(ProjectField field) const { return editor.fieldText(field); }

    void saveAs(const QString& name, const QString& url = QString())
    {
        set(ProjectField::SessionName, name);
        set(ProjectField::Url, url.isEmpty() ? QStringLiteral("http://") + name + QStringLiteral(".example/") : url);
        store.save();
    }

    void select(const QString& name) { model.setSelectedRow(model.indexOfName(name)); }

    QStringList sessionFiles() const
    {
        return QDir(dir.filePath(QStringLiteral("data/session"))).entryList(QDir::Files, QDir::Name);
    }
};

// Records the order in which the store sets fields.
class RecordingFields : public ProjectFields
{
public:
    QString fieldText(ProjectField field) const override { return m_values.value(int(field)); }
    void setFieldText(ProjectField field, const QString& text) override
    {
        m_values.insert(int(field), text);
        order.append(ProjectRecord::key(field).isEmpty() ? QStringLiteral("Session_Name") : ProjectRecord::key(field));
    }
    QStringList order;

private:
    QHash<int, QString> m_values;
};

} // namespace

class TestProjectStore : public QObject
{
    Q_OBJECT

private slots:
    void indexAfterSavesCAB()
    {
        Fixture f;
        QSignalSpy count(&f.store, &ProjectStore::countChanged);
        for (const char* name : {"c", "a", "b"})
            f.saveAs(QString::fromLatin1(name));
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.dir.read(kIndex), QByteArray("[Session]\r\nCount=2\r\n[List]\r\n0=a\r\n1=b\r\n2=c\r\n"));
        QCOMPARE(f.model.names(), (QStringList{"a", "b", "c"}));
        QCOMPARE(f.model.checkedNames(), QStringList());
        QCOMPARE(f.model.selectedRow(), -1);
        QCOMPARE(count.count(), 3);
        QCOMPARE(count.last().at(0).toInt(), 3);
        QCOMPARE(f.sessionFiles(), (QStringList{"a.zro", "b.zro", "c.zro", "session.zro"}));
        QVERIFY(f.dir.read(sessionFile("a")).startsWith("[a]\r\nurl=http://a.example/\r\n"));
    }

    void saveKeepsChecksAndSelection()
    {
        Fixture f;
        f.saveAs("b");
        f.saveAs("d");
        f.model.setChecked(1, true);
        f.select("b");
        f.saveAs("a");
        QCOMPARE(f.model.selectedName(), QStringLiteral("b"));
        QCOMPARE(f.model.checkedNames(), QStringList{"d"});
    }

    void reservedNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Session", "session", "SESSION", "list", "List", "LIST", "  liSt  "})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void reservedNames()
    {
        QFETCH(QString, name);
        Fixture f;
        f.saveAs(name);
        QCOMPARE(f.dialogs.messages().size(), 1);
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("Invalid Session Name"));
        QCOMPARE(msg.text, QStringLiteral("Sorry that name is being used by this program"));
        QCOMPARE(msg.icon, Dialogs::Icon::Warning);
        QCOMPARE(msg.buttons, int(Dialogs::Ok));
        QCOMPARE(f.sessionFiles(), QStringList());
        QVERIFY(f.model.isEmpty());
    }

    void emptyName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
    }

    void emptyName()
    {
        QFETCH(QString, name);
        Fixture f;
        f.set(ProjectField::SessionName, name);
        f.set(ProjectField::Url, QStringLiteral("http://x/"));
        f.store.save();
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("No Session Name"));
        QCOMPARE(msg.text, QStringLiteral("You have no Session_Name to save."));
        QCOMPARE(msg.icon, Dialogs::Icon::Warning);
        QCOMPARE(f.sessionFiles(), QStringList());
    }

    void namesThatReachOutsideAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("../x") << QStringLiteral("../x");
        QTest::newRow("../../x") << QStringLiteral("../../x");
        QTest::newRow("..\\x") << QStringLiteral("..\\x");
        QTest::newRow("sub/x") << QStringLiteral("sub/x");
        QTest::newRow("..") << QStringLiteral("..");
        QTest::newRow(". with blanks") << QStringLiteral(" . ");
        QTest::newRow("tab") << QStringLiteral("a\tb");
        QTest::newRow("escape") << QStringLiteral("a\x1b");
    }

    void namesThatReachOutsideAreRefused()
    {
        QFETCH(QString, name);
        Fixture f;
        f.saveAs(QStringLiteral("keep"));
        const QByteArray index = f.dir.read(kIndex);
        f.saveAs(name);
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("Invalid Session Name"));
        QCOMPARE(msg.text, ProjectName::invalidText());
        QVERIFY(msg.text.contains(QStringLiteral("\"/\"")));
        QVERIFY(msg.text.contains(QStringLiteral("\"\\\"")));
        QCOMPARE(msg.icon, Dialogs::Icon::Warning);
        QCOMPARE(f.model.names(), QStringList{"keep"});
        QCOMPARE(f.dir.read(kIndex), index);
        QCOMPARE(f.sessionFiles(), (QStringList{"keep.zro", "session.zro"}));
        QVERIFY(!f.dir.exists(QStringLiteral("data/x.zro")));
        QVERIFY(!f.dir.exists(QStringLiteral("x.zro")));
        QVERIFY(!f.dir.exists(QStringLiteral("data/session/sub")));
        // Only the engine databases the program directory came with.
        QCOMPARE(QDir(f.dir.filePath(QStringLiteral("data"))).entryList(QDir::Files),
                 (QStringList{"data.ist", "datam.ist"}));
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList());
    }

    void nameIsTrimmed()
    {
        Fixture f;
        f.saveAs(QStringLiteral("  Alpha \t"));
        QCOMPARE(f.model.names(), QStringList{"Alpha"});
        QCOMPARE(f.text(ProjectField::SessionName), QStringLiteral("Alpha"));
        QVERIFY(f.dir.exists(sessionFile("Alpha")));
        QVERIFY(f.dir.read(kIndex).endsWith("[List]\r\n0=Alpha\r\n"));
        // Saved again with blanks: found as the same Project.
        f.dialogs.answer(Dialogs::No);
        f.saveAs(QStringLiteral(" Alpha"));
        QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Modify Session Name"));
        QCOMPARE(f.model.count(), 1);
    }

    void modifyYesRewritesEveryKey()
    {
        Fixture f;
        QList<ProjectField> fields;
        for (int i = 1; i < ProjectRecord::FieldCount; ++i)
            fields.append(ProjectField(i));
        f.set(ProjectField::SessionName, QStringLiteral("site"));
        for (ProjectField field : fields)
            f.set(field, QStringLiteral("old ") + ProjectRecord::key(field));
        f.store.save();
        const QByteArray index = f.dir.read(kIndex);
        for (ProjectField field : fields)
            f.set(field, QStringLiteral("new ") + ProjectRecord::key(field));
        QSignalSpy count(&f.store, &ProjectStore::countChanged);
        f.dialogs.answer(Dialogs::Yes);
        f.store.save();
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("Modify Session Name"));
        QCOMPARE(msg.text, QStringLiteral("Session name already exists.\n\rDo you wish to modify it  ?"));
        QCOMPARE(msg.icon, Dialogs::Icon::Question);
        QCOMPARE(msg.buttons, int(Dialogs::Yes | Dialogs::No));
        QByteArray expected("[site]\r\n");
        for (ProjectField field : ProjectRecord::writeOrder())
            expected +=
                (ProjectRecord::key(field) + QStringLiteral("=new ") + ProjectRecord::key(field)).toUtf8() + "\r\n";
        QCOMPARE(f.dir.read(sessionFile("site")), expected);
        QVERIFY(expected.contains("address2=new address2\r\n"));
        QCOMPARE(f.model.count(), 1);
        QCOMPARE(count.count(), 0);
        QCOMPARE(f.dir.read(kIndex), index);
    }

    void modifyNoWritesNothing()
    {
        Fixture f;
        f.saveAs(QStringLiteral("site"), QStringLiteral("http://old/"));
        const QByteArray file = f.dir.read(sessionFile("site"));
        f.dialogs.answer(Dialogs::No);
        f.saveAs(QStringLiteral("site"), QStringLiteral("http://new/"));
        QCOMPARE(f.dir.read(sessionFile("site")), file);
        QCOMPARE(f.model.count(), 1);
    }

    void namesDifferingInCaseAreTwoProjects()
    {
        Fixture f;
        f.saveAs(QStringLiteral("alpha"), QStringLiteral("http://lower/"));
        f.saveAs(QStringLiteral("Alpha"), QStringLiteral("http://upper/"));
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.model.names(), (QStringList{"alpha", "Alpha"}));
        QVERIFY(f.dir.read(sessionFile("alpha")).contains("url=http://lower/"));
        QVERIFY(f.dir.read(sessionFile("Alpha")).contains("url=http://upper/"));
    }

    void projectFileThatCannotBeWritten()
    {
        Fixture f;
        f.saveAs(QStringLiteral("a"));
        const QByteArray index = f.dir.read(kIndex);
        // A directory where the new Project's file would go.
        QVERIFY(QDir().mkpath(f.dir.filePath(sessionFile("b"))));
        QSignalSpy count(&f.store, &ProjectStore::countChanged);
        QVERIFY(!runCommand(nullptr, [&f] { f.saveAs(QStringLiteral("b")); }));
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.icon, Dialogs::Icon::Error);
        QCOMPARE(msg.text, QStringLiteral("Unable to write to ") + f.dir.filePath(sessionFile("b")) + QLatin1Char('.'));
        QCOMPARE(f.model.names(), QStringList{"a"});
        QCOMPARE(f.dir.read(kIndex), index);
        QCOMPARE(count.count(), 0);
    }

    void missingSessionFolder()
    {
        Fixture f;
        QVERIFY(QDir(f.dir.filePath(QStringLiteral("data/session"))).removeRecursively());
        QVERIFY(!runCommand(nullptr, [&f] { f.saveAs(QStringLiteral("a")); }));
        QVERIFY(f.dialogs.lastMessage().text.startsWith(QStringLiteral("Unable to write to ")));
        QVERIFY(f.model.isEmpty());
    }

    void deleteSelected_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("nowSelected");
        QTest::newRow("last") << "c" << QStringList{"a", "b"} << "b";
        QTest::newRow("first") << "a" << QStringList{"b", "c"} << "b";
        QTest::newRow("middle") << "b" << QStringList{"a", "c"} << "c";
    }

    void deleteSelected()
    {
        QFETCH(QString, selected);
        QFETCH(QStringList, left);
        QFETCH(QString, nowSelected);
        Fixture f;
        for (const char* name : {"a", "b", "c"})
            f.saveAs(QString::fromLatin1(name));
        f.select(selected);
        QSignalSpy loaded(&f.store, &ProjectStore::projectLoaded);
        f.store.deleteSelected();
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.model.names(), left);
        QCOMPARE(f.model.selectedName(), nowSelected);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(f.text(ProjectField::SessionName), nowSelected);
        QCOMPARE(f.text(ProjectField::Url), QStringLiteral("http://") + nowSelected + QStringLiteral(".example/"));
        QVERIFY(!f.dir.exists(sessionFile(selected)));
        QCOMPARE(f.dir.read(kIndex), (QStringLiteral("[Session]\r\nCount=1\r\n[List]\r\n0=%1\r\n1=%2\r\n")
                                          .arg(left.at(0), left.at(1))
                                          .toUtf8()));
    }

    void deleteOnlyProject()
    {
        Fixture f;
        f.saveAs(QStringLiteral("a"));
        f.saveAs(QStringLiteral("b"));
        f.select(QStringLiteral("a"));
        f.store.deleteSelected(); // Count now 0, b loaded
        f.set(ProjectField::Title, QStringLiteral("t"));
        f.set(ProjectField::Description, QStringLiteral("d"));
        f.set(ProjectField::Keywords, QStringLiteral("k1,k2"));
        f.set(ProjectField::FirstName, QStringLiteral("Ann"));
        f.set(ProjectField::Email, QStringLiteral("ann@example.com"));
        f.set(ProjectField::Company, QStringLiteral("Acme"));
        f.set(ProjectField::Category, QStringLiteral("Travel"));
        QSignalSpy count(&f.store, &ProjectStore::countChanged);
        QSignalSpy loaded(&f.store, &ProjectStore::projectLoaded);
        f.store.deleteSelected();
        QVERIFY(f.model.isEmpty());
        QCOMPARE(f.model.selectedRow(), -1);
        QCOMPARE(loaded.count(), 0);
        QCOMPARE(count.last().at(0).toInt(), 0);
        QCOMPARE(f.dir.read(kIndex), QByteArray("[Session]\r\nCount=0\r\n"));
        QCOMPARE(f.sessionFiles(), QStringList{"session.zro"});
        for (ProjectField field : {ProjectField::SessionName, ProjectField::Url, ProjectField::Title,
                                   ProjectField::Description, ProjectField::Keywords})
            QCOMPARE(f.text(field), QString());
        QCOMPARE(f.text(ProjectField::FirstName), QStringLiteral("Ann"));
        QCOMPARE(f.text(ProjectField::Email), QStringLiteral("ann@example.com"));
        QCOMPARE(f.text(ProjectField::Company), QStringLiteral("Acme"));
        QCOMPARE(f.text(ProjectField::Category), QStringLiteral("Travel"));
        QCOMPARE(f.editor.CLED4->text(), QStringLiteral("0"));
    }

    void countKeepsOldValueAfterLastDeletion_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Delete") << "selected";
        // Emptying a list of one is a single deletion, not the batch that loads its last entry.
        QTest::newRow("Delete All") << "all";
        QTest::newRow("Delete Checked") << "checked";
    }

    void countKeepsOldValueAfterLastDeletion()
    {
        QFETCH(QString, command);
        Fixture f;
        f.dir.write(sessionFile("only"), "[only]\r\nurl=http://only/\r\nname=Ann\r\ncompany=Acme\r\n");
        f.dir.write(kIndex, "[Session]\r\nCount=7\r\n[List]\r\n0=only\r\n");
        f.store.loadIndex();
        f.set(ProjectField::FirstName, QStringLiteral("typed"));
        f.set(ProjectField::Company, QString());
        QSignalSpy starting(&f.store, &ProjectStore::loadStarting);
        if (command == QLatin1String("selected")) {
            f.select(QStringLiteral("only"));
            f.store.deleteSelected();
        } else if (command == QLatin1String("all")) {
            f.dialogs.answer(Dialogs::Yes);
            f.store.deleteAll();
        } else {
            f.model.setChecked(0, true);
            f.store.deleteChecked();
        }
        QVERIFY(f.model.isEmpty());
        QCOMPARE(f.sessionFiles(), QStringList{"session.zro"});
        QCOMPARE(f.dir.read(kIndex), QByteArray("[Session]\r\nCount=7\r\n"));
        QCOMPARE(starting.count(), 0);
        QCOMPARE(f.text(ProjectField::FirstName), QStringLiteral("typed"));
        QCOMPARE(f.text(ProjectField::Company), QString());
    }

    void deleteWithoutSelection()
    {
        Fixture f;
        f.saveAs(QStringLiteral("a"));
        const QByteArray index = f.dir.read(kIndex);
        f.store.deleteSelected();
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("No Item"));
        QCOMPARE(msg.text, QStringLiteral("You have not selected an item to Delete"));
        QCOMPARE(f.model.names(), QStringList{"a"});
        QCOMPARE(f.dir.read(kIndex), index);
    }

    void deleteCheckedWithNamesDifferingInCase()
    {
        Fixture f;
        for (const char* name : {"alpha", "Alpha", "ALPHA", "beta"})
            f.saveAs(QString::fromLatin1(name));
        f.model.setChecked(f.model.indexOfName(QStringLiteral("Alpha")), true);
        f.model.setChecked(f.model.indexOfName(QStringLiteral("beta")), true);
        f.select(QStringLiteral("alpha"));
        f.store.deleteChecked();
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.model.names(), (QStringList{"alpha", "ALPHA"}));
        QCOMPARE(f.sessionFiles(), (QStringList{"ALPHA.zro", "alpha.zro", "session.zro"}));
        QVERIFY(f.dir.read(kIndex).endsWith("[List]\r\n0=alpha\r\n1=ALPHA\r\n"));
        QCOMPARE(f.model.checkedNames(), QStringList());
        // The last deletion (beta, the last entry) left ALPHA selected and loaded.
        QCOMPARE(f.model.selectedName(), QStringLiteral("ALPHA"));
        QCOMPARE(f.text(ProjectField::SessionName), QStringLiteral("ALPHA"));
    }

    void deleteAll_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(Dialogs::Yes);
        QTest::newRow("no") << int(Dialogs::No);
    }

    void deleteAll()
    {
        QFETCH(int, answer);
        Fixture f;
        for (const char* name : {"a", "b", "c"})
            f.saveAs(QString::fromLatin1(name));
        const QByteArray index = f.dir.read(kIndex);
        f.dialogs.answer(answer);
        f.store.deleteAll();
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("Delete all projects"));
        QCOMPARE(msg.text, QStringLiteral("Are you sure you want to delete all projects?"));
        QCOMPARE(msg.icon, Dialogs::Icon::Question);
        if (answer == Dialogs::No) {
            QCOMPARE(f.model.count(), 3);
            QCOMPARE(f.dir.read(kIndex), index);
            return;
        }
        QVERIFY(f.model.isEmpty());
        QCOMPARE(f.sessionFiles(), QStringList{"session.zro"});
        QCOMPARE(f.dir.read(kIndex), QByteArray("[Session]\r\nCount=0\r\n"));
        QCOMPARE(f.text(ProjectField::Url), QString());
        QCOMPARE(f.text(ProjectField::SessionName), QString());
    }

    void loadIndexWithGap()
    {
        Fixture f;
        f.dir.write(kIndex, "[Session]\r\nCount=3\r\n[List]\r\n0=a\r\n1=b\r\n3=d\r\n");
        QSignalSpy count(&f.store, &ProjectStore::countChanged);
        f.store.loadIndex();
        QCOMPARE(f.model.names(), (QStringList{"a", "b", QString()}));
        QCOMPARE(count.last().at(0).toInt(), 3);
        // A new entry goes before the first entry that sorts after it; the
        // loaded order itself is left as it is.
        f.saveAs(QStringLiteral("c"));
        QCOMPARE(f.model.names(), (QStringList{"a", "b", QString(), "c"}));
    }

    void loadMissingIndex()
    {
        Fixture f;
        QSignalSpy count(&f.store, &ProjectStore::countChanged);
        f.store.loadIndex();
        QVERIFY(f.model.isEmpty());
        QCOMPARE(count.last().at(0).toInt(), 0);
    }

    void loadLongDescriptionAndTrimmedTitle()
    {
        Fixture f;
        const QByteArray description(3000, 'd');
        f.dir.write(sessionFile("long"), "[long]\r\ntitle=  spaced  \r\ndescription=" + description + "\r\n");
        f.dir.write(kIndex, "[List]\r\n0=long\r\n");
        f.store.loadIndex();
        f.select(QStringLiteral("long"));
        f.store.loadProject();
        QCOMPARE(f.text(ProjectField::Description).size(), 2047);
        QCOMPARE(f.editor.CLED3->text(), QStringLiteral("2047"));
        QCOMPARE(f.editor.CLED3->borderColor(), QColor(0xFF, 0, 0));
        QCOMPARE(f.text(ProjectField::Title), QStringLiteral("spaced"));
        // A description typed longer is stored whole.
        f.set(ProjectField::Description, QString(3000, 'e'));
        f.dialogs.answer(Dialogs::Yes);
        f.store.save();
        QVERIFY(f.dir.read(sessionFile("long")).contains("description=" + QByteArray(3000, 'e') + "\r\n"));
    }

    void loadReplacesEveryFieldAndRunsChangeRules()
    {
        Fixture f;
        f.dir.write(sessionFile("p"), "[p]\r\nurl=http://p/\r\ncatagory=Travel\r\ntitle=T\r\ndescription=D\r\n"
                                      "email=e@p\r\nname=Ann\r\nlast=Lee\r\ncompany=Acme\r\naddress1=A1\r\n"
                                      "address2=A2\r\ncountry=C\r\ncity=Ci\r\nstate=S\r\nphone=P\r\nfax=F\r\n"
                                      "zip=Z\r\nkey1=k1,k2,k3\r\n");
        f.dir.write(kIndex, "[List]\r\n0=missing\r\n1=p\r\n");
        f.store.loadIndex();
        QSignalSpy url(&f.editor, &ProjectEditorPage::urlChanged);
        QSignalSpy author(&f.editor, &ProjectEditorPage::authorChanged);
        QSignalSpy starting(&f.store, &ProjectStore::loadStarting);
        f.select(QStringLiteral("p"));
        f.store.loadProject();
        QCOMPARE(starting.count(), 1);
        QCOMPARE(url.last().at(0).toString(), QStringLiteral("http://p/"));
        QCOMPARE(author.last().at(0).toString(), QStringLiteral("Ann Lee"));
        QCOMPARE(f.text(ProjectField::Category), QStringLiteral("Travel"));
        QCOMPARE(f.text(ProjectField::Zip), QStringLiteral("Z"));
        QCOMPARE(f.editor.CLED4->text(), QStringLiteral("3"));
        QCOMPARE(f.editor.CLED2->text(), QStringLiteral("1"));
        // A missing file empties every field but the name.
        f.select(QStringLiteral("missing"));
        f.store.loadProject();
        QCOMPARE(f.text(ProjectField::SessionName), QStringLiteral("missing"));
        for (int i = 1; i < ProjectRecord::FieldCount; ++i)
            QCOMPARE(f.text(ProjectField(i)), QString());
        QCOMPARE(author.last().at(0).toString(), QStringLiteral(" "));
    }

    void loadWithoutSelectionDoesNothing()
    {
        Fixture f;
        f.saveAs(QStringLiteral("a"));
        f.set(ProjectField::Url, QStringLiteral("typed"));
        QSignalSpy starting(&f.store, &ProjectStore::loadStarting);
        f.store.loadProject();
        QCOMPARE(starting.count(), 0);
        QCOMPARE(f.text(ProjectField::Url), QStringLiteral("typed"));
    }

    // A click that arrives during a load runs after it: nothing lets events
    // run inside a load any more, so the editor never mixes two Projects.
    void clickDuringLoadWaits()
    {
        Fixture f;
        f.dir.write(sessionFile("one"), "[one]\r\nurl=http://one/\r\nkey1=" + QByteArray(50, ',') + "\r\n");
        f.dir.write(sessionFile("two"), "[two]\r\nurl=http://two/\r\nkey1=x,y\r\n");
        f.dir.write(kIndex, "[List]\r\n0=one\r\n1=two\r\n");
        f.store.loadIndex();
        QSignalSpy loaded(&f.store, &ProjectStore::projectLoaded);
        bool busy = true;
        QTimer::singleShot(0, &f.editor, [&f, &busy] {
            busy = f.store.isBusy();
            f.store.selectAndLoad(1);
        });
        f.store.selectAndLoad(0);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(f.text(ProjectField::Url), QStringLiteral("http://one/"));
        QCOMPARE(f.editor.CLED4->text(), QStringLiteral("51"));
        QTRY_COMPARE(loaded.count(), 2);
        QVERIFY(!busy);
        QCOMPARE(loaded.at(0).at(0).toString(), QStringLiteral("one"));
        QCOMPARE(f.text(ProjectField::Url), QStringLiteral("http://two/"));
        QCOMPARE(f.text(ProjectField::Keywords), QStringLiteral("x,y"));
        QCOMPARE(f.editor.CLED4->text(), QStringLiteral("2"));
        QCOMPARE(f.model.selectedName(), QStringLiteral("two"));
    }

    // A deletion that goes on between events shows the please-wait window,
    // which keeps the user's clicks away until the editor shows the outcome.
    void longDeletionShowsModalProgress()
    {
        Fixture f;
        for (int i = 0; i < 10; ++i)
            f.saveAs(QStringLiteral("p%1").arg(i));
        for (int row = 0; row < 9; ++row)
            f.model.setChecked(row, true);
        f.store.setDeletionSlices(60000, 60000, 4);
        f.store.deleteChecked();
        auto windows = [] {
            QList<ProgressWindow*> found;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* p = qobject_cast<ProgressWindow*>(w); p && p->isVisible())
                    found << p;
            }
            return found;
        };
        QCOMPARE(windows().size(), 1);
        ProgressWindow* progress = windows().first();
        QCOMPARE(progress->windowTitle(), QStringLiteral("Please wait while Projects are deleted"));
        QCOMPARE(progress->windowModality(), Qt::ApplicationModal);
        QCOMPARE(progress->EngineLabel->text(), QStringLiteral("Project: "));
        QCOMPARE(progress->EngineName->text(), QStringLiteral("p3"));
        QCOMPARE(progress->Gauge1->maximum(), 9);
        QCOMPARE(progress->Gauge1->value(), 4);
        QCOMPARE(f.model.names(), QStringList{"p9"});
        QTRY_VERIFY(!f.store.isBusy());
        QVERIFY(windows().isEmpty());
        QCOMPARE(f.sessionFiles(), (QStringList{"p9.zro", "session.zro"}));
        QCOMPARE(f.model.selectedName(), QStringLiteral("p9"));
        QCOMPARE(f.text(ProjectField::Url), QStringLiteral("http://p9.example/"));
        QVERIFY(f.dialogs.messages().isEmpty());
    }

    // The window that owns the please-wait window may close first; the store
    // ending afterwards still removes the rest of the files.
    void ownerWindowGoesDuringDeletion()
    {
        Fixture f;
        for (int i = 0; i < 6; ++i)
            f.saveAs(QStringLiteral("p%1").arg(i));
        auto owner = std::make_unique<QWidget>();
        auto store = std::make_unique<ProjectStore>(&f.model, &f.editor);
        store->setProgramDir(f.dir.path());
        store->setDialogParent(owner.get());
        store->setDeletionSlices(60000, 60000, 2);
        f.dialogs.answer(Dialogs::Yes);
        store->deleteAll();
        QVERIFY(store->isBusy());
        QVERIFY(store->dialogs().progressWindow());
        owner.reset();
        QVERIFY(!store->dialogs().progressWindow());
        store.reset();
        QCOMPARE(f.sessionFiles(), QStringList{"session.zro"});
    }

    void fieldOrder_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("load") << "load"
                              << QStringList{"Session_Name", "url",   "catagory", "title",    "description", "email",
                                             "name",         "last",  "company",  "address1", "address2",    "country",
                                             "city",         "state", "phone",    "fax",      "zip",         "key1",
                                             "indexnowkey",  "indexnowkeylocation"};
        QTest::newRow("clear site") << "site" << QStringList{"url", "title", "description", "key1", "Session_Name"};
        QTest::newRow("clear all") << "all"
                                   << QStringList{"url",      "title",   "description", "email",       "name",
                                                  "last",     "company", "address1",    "address2",    "city",
                                                  "state",    "phone",   "fax",         "zip",         "country",
                                                  "catagory", "indexnowkey", "indexnowkeylocation", "<page>", "key1",
                                                  "Session_Name"};
    }

    void fieldOrder()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, order);
        TempProgramDir dir;
        ProjectListModel model;
        RecordingFields fields;
        ProjectStore store(&model, &fields);
        store.setProgramDir(dir.path());
        connect(&store, &ProjectStore::showEditorRequested, this,
                [&fields] { fields.order.append(QStringLiteral("<page>")); });
        if (operation == QLatin1String("load")) {
            model.setNames({QStringLiteral("p")});
            model.setSelectedRow(0);
            store.loadProject();
        } else {
            store.clear(operation == QLatin1String("all") ? ProjectStore::ClearScope::All
                                                          : ProjectStore::ClearScope::Site);
        }
        QCOMPARE(fields.order, order);
    }

    void clearScopes_data()
    {
        QTest::addColumn<bool>("all");
        QTest::newRow("site") << false;
        QTest::newRow("all") << true;
    }

    void clearScopes()
    {
        QFETCH(bool, all);
        Fixture f;
        for (int i = 0; i < ProjectRecord::FieldCount; ++i)
            f.set(ProjectField(i), QStringLiteral("v%1").arg(i));
        f.saveAs(QStringLiteral("kept"));
        QSignalSpy page(&f.store, &ProjectStore::showEditorRequested);
        QSignalSpy author(&f.editor, &ProjectEditorPage::authorChanged);
        f.store.clear(all ? ProjectStore::ClearScope::All : ProjectStore::ClearScope::Site);
        const QList<ProjectField> site = {ProjectField::SessionName, ProjectField::Url, ProjectField::Title,
                                          ProjectField::Description, ProjectField::Keywords};
        for (int i = 0; i < ProjectRecord::FieldCount; ++i) {
            const auto field = ProjectField(i);
            QCOMPARE(f.text(field).isEmpty(), all || site.contains(field));
        }
        QCOMPARE(page.count(), all ? 1 : 0);
        QCOMPARE(author.isEmpty(), !all);
        QCOMPARE(f.editor.CLED2->text(), QStringLiteral("0"));
        QCOMPARE(f.editor.CLED3->text(), QStringLiteral("0"));
        QCOMPARE(f.editor.CLED4->text(), QStringLiteral("0"));
        QCOMPARE(f.model.names(), QStringList{"kept"});
        QVERIFY(f.dir.exists(sessionFile("kept")));
    }

    void saveShowsEditorUnlessSpiderUrl()
    {
        Fixture f;
        QSignalSpy page(&f.store, &ProjectStore::showEditorRequested);
        f.saveAs(QStringLiteral("a"));
        QCOMPARE(page.count(), 1);
        f.store.setSpiderUrlOption([] { return true; });
        f.saveAs(QStringLiteral("b"));
        QCOMPARE(page.count(), 1);
        QCOMPARE(f.model.count(), 2);
    }
};

QTEST_MAIN(TestProjectStore)
#include "test_project_store.moc"
