#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

namespace {

const QString kIndex = QStringLiteral("data/session/session.zro");

QByteArray listSection(const QStringList& names)
{
    QByteArray out("[List]\r\n");
    for (int i = 0; i < names.size(); ++i)
        out += QByteArray::number(i) + '=' + names.at(i).toUtf8() + "\r\n";
    return out;
}

struct Fixture
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    ProjectListModel model;
    ProjectEditorPage editor;
    ProjectStore store{&model, &editor};

    Fixture() { store.setProgramDir(dir.path()); }

    QStringList sessionFiles() const
    {
        return QDir(dir.filePath(QStringLiteral("data/session"))).entryList(QDir::Files, QDir::Name);
    }
    // An index of the given text and a file for each name, loaded.
    void install(const QByteArray& index, const QStringList& names)
    {
        dir.write(kIndex, index);
        for (const QString& n : names)
            dir.write(QStringLiteral("data/session/%1.zro").arg(n),
                      QStringLiteral("[%1]\r\nurl=http://%1.example/\r\nemail=%1@mail\r\n").arg(n).toUtf8());
        store.loadIndex();
    }
    QStringList fields() const
    {
        QStringList out{editor.fieldText(ProjectField::SessionName)};
        for (ProjectField field : ProjectRecord::loadOrder())
            out << editor.fieldText(field);
        return out;
    }
};

} // namespace

class TestProjectSafety : public QObject
{
    Q_OBJECT

private slots:
    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"a]b", "[List]", "x[y]z", "\"quoted\"", "\"lead", "trail\""})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // Such a name saved a file that could not be read back, or an entry that
    // lost its quotes in the index: refused, nothing written, also the second time.
    void refusedNames()
    {
        QFETCH(QString, name);
        Fixture f;
        f.editor.setFieldText(ProjectField::SessionName, name);
        f.store.save();
        f.store.save();
        QCOMPARE(f.dialogs.messages().size(), 2);
        QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Invalid Session Name"));
        QVERIFY(f.dialogs.lastMessage().text.contains(QStringLiteral("\"[\", \"]\"")));
        QVERIFY(f.dialogs.lastMessage().text.contains(QStringLiteral("double quote")));
        QVERIFY(f.model.isEmpty());
        QCOMPARE(f.sessionFiles(), QStringList());
    }

    void unsafeIndexEntriesAreLeftOut()
    {
        Fixture f;
        f.dir.write(QStringLiteral("escape/pwned.zro"), "[pwned]\r\nurl=http://evil.example/\r\n");
        f.install("[List]\r\n0=../../escape/pwned\r\n1=good\r\n2=..\r\n3=x[y]\r\n4=a\\b\r\n5=\"../escape/pwned\"\r\n"
                  "6=tab\there\r\n7=also good\r\n",
                  {QStringLiteral("good"), QStringLiteral("also good")});
        QCOMPARE(f.model.names(), (QStringList{"good", "also good"}));
        QCOMPARE(f.dialogs.messages().size(), 1); // said once, naming them
        QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Invalid Session Name"));
        QVERIFY(f.dialogs.lastMessage().text.contains(QStringLiteral("../../escape/pwned")));
        f.dialogs.answer(Dialogs::Yes);
        f.store.deleteAll();
        QVERIFY(f.dir.exists(QStringLiteral("escape/pwned.zro")));
        QCOMPARE(f.sessionFiles(), QStringList{"session.zro"});
    }

    void batchDeleteMatchesOneByOne_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("checked"); // x: checked
        QTest::addColumn<bool>("all");
        const QByteArray plain = "[Session]\r\nCount=4\r\n";
        const QByteArray odd = "; kept comment\r\n[Other]\r\nk=v\r\n\r\n";
        QTest::newRow("checked middle") << plain << QStringLiteral(".xx..") << false;
        QTest::newRow("checked last") << plain << QStringLiteral("...xx") << false;
        QTest::newRow("checked first") << plain << QStringLiteral("x....") << false;
        QTest::newRow("checked spread") << odd << QStringLiteral("x.x.x") << false;
        QTest::newRow("checked every one") << plain << QStringLiteral("xxxxx") << false;
        QTest::newRow("checked none") << plain << QStringLiteral(".....") << false;
        QTest::newRow("all, no Session") << odd << QStringLiteral("..x..") << true;
        QTest::newRow("all") << plain << QStringLiteral(".....") << true;
    }

    // One index rewrite leaves the same bytes, files, list, selection and
    // editor as the deletions one at a time did.
    void batchDeleteMatchesOneByOne()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, checked);
        QFETCH(bool, all);
        const QStringList names{"a", "b", "c", "d", "e"};
        Fixture batch;
        Fixture single; // its dialogs, made last, are in force
        for (Fixture* f : {&batch, &single}) {
            f->install(before + listSection(names), names);
            for (int i = 0; i < names.size(); ++i)
                f->model.setChecked(i, checked.at(i) == QLatin1Char('x'));
            f->model.setSelectedRow(1);
            f->editor.setFieldText(ProjectField::Email, QStringLiteral("typed@mail"));
        }
        single.dialogs.answer(Dialogs::Yes);
        all ? batch.store.deleteAll() : batch.store.deleteChecked();
        for (const QString& name : all ? single.model.names() : single.model.checkedNames()) {
            single.model.setSelectedRow(all ? single.model.indexOfName(name) : single.model.indexOfCheckedName(name));
            single.store.deleteSelected();
        }
        QCOMPARE(batch.dir.read(kIndex), single.dir.read(kIndex));
        QCOMPARE(batch.sessionFiles(), single.sessionFiles());
        QCOMPARE(batch.model.names(), single.model.names());
        QCOMPARE(batch.model.selectedRow(), single.model.selectedRow());
        QCOMPARE(batch.fields(), single.fields());
    }

    void deleteTenThousandChecked()
    {
        constexpr int Count = 10000;
        Fixture f;
        QStringList names;
        for (int i = 0; i < Count; ++i)
            names << QStringLiteral("p%1").arg(i, 5, 10, QLatin1Char('0'));
        f.install(listSection(names), names);
        for (int i = 0; i < Count; ++i)
            f.model.setChecked(i, i % 10 != 0);
        QElapsedTimer clock;
        clock.start();
        f.store.deleteChecked();
        // The files go in slices between events after the first moment.
        QTRY_VERIFY_WITH_TIMEOUT(!f.store.isBusy(), 5000);
        qInfo("Delete Checked of %d of %d Projects: %lld ms", Count - Count / 10, Count, clock.elapsed());
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(f.sessionFiles().size(), Count / 10 + 1);
        QVERIFY(f.dir.read(kIndex).endsWith("999=p09990\r\n"));
        QCOMPARE(f.model.selectedName(), QStringLiteral("p09990"));
        QCOMPARE(f.editor.fieldText(ProjectField::Url), QStringLiteral("http://p09990.example/"));
    }
};

QTEST_MAIN(TestProjectSafety)
#include "test_project_safety.moc"
