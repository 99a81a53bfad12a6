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

    // An index of the given text and one file per listed name, loaded.
    void install(const QByteArray& index, const QStringList& names)
    {
        dir.write(kIndex, index);
        for (const QString& name : names)
            dir.write(QStringLiteral("data/session/%1.zro").arg(name),
                      QStringLiteral("[%1]\r\nurl=http://%1.example/\r\nemail=%1@mail\r\ncity=C%1\r\n")
                          .arg(name)
                          .toUtf8());
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

QByteArray listSection(const QStringList& names)
{
    QByteArray out("[List]\r\n");
    for (int i = 0; i < names.size(); ++i)
        out += QByteArray::number(i) + '=' + names.at(i).toUtf8() + "\r\n";
    return out;
}

} // namespace

class TestProjectSafety : public QObject
{
    Q_OBJECT

private slots:
    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("a]b") << QStringLiteral("a]b");
        QTest::newRow("[List]") << QStringLiteral("[List]");
        QTest::newRow("x[y]z") << QStringLiteral("x[y]z");
        QTest::newRow("enclosing quotes") << QStringLiteral("\"quoted\"");
        QTest::newRow("leading quote") << QStringLiteral("\"lead");
        QTest::newRow("trailing quote") << QStringLiteral("trail\"");
    }

    // Such a name saved a file that could not be read back, or an index
    // entry that lost its quotes: it is refused, and nothing is written.
    void refusedNames()
    {
        QFETCH(QString, name);
        Fixture f;
        f.editor.setFieldText(ProjectField::SessionName, name);
        f.editor.setFieldText(ProjectField::Url, QStringLiteral("http://x.example/"));
        f.store.save();
        f.store.save();
        QCOMPARE(f.dialogs.messages().size(), 2);
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("Invalid Session Name"));
        QCOMPARE(msg.icon, Dialogs::Icon::Warning);
        QVERIFY(msg.text.contains(QStringLiteral("\"[\", \"]\"")));
        QVERIFY(msg.text.contains(QStringLiteral("double quote")));
        QVERIFY(f.model.isEmpty());
        QCOMPARE(f.sessionFiles(), QStringList());
    }

    void unsafeIndexEntriesAreLeftOut()
    {
        Fixture f;
        // A file outside the session folder that an entry points at.
        f.dir.write(QStringLiteral("escape/pwned.zro"), "[pwned]\r\nurl=http://evil.example/\r\n");
        f.install("[List]\r\n0=../../escape/pwned\r\n1=good\r\n2=..\r\n3=x[y]\r\n4=a\\b\r\n5=also good\r\n"
                  "6=\"../escape/pwned\"\r\n7=tab\there\r\n",
                  {QStringLiteral("good"), QStringLiteral("also good")});
        QCOMPARE(f.model.names(), (QStringList{"good", "also good"}));
        // Said once, naming what was left out.
        QCOMPARE(f.dialogs.messages().size(), 1);
        const auto msg = f.dialogs.lastMessage();
        QCOMPARE(msg.caption, QStringLiteral("Invalid Session Name"));
        QVERIFY(msg.text.contains(QStringLiteral("../../escape/pwned")));
        QVERIFY(msg.text.contains(QStringLiteral("x[y]")));

        // Deleting everything touches only the session folder.
        f.dialogs.answer(Dialogs::Yes);
        f.store.deleteAll();
        QVERIFY(f.dir.exists(QStringLiteral("escape/pwned.zro")));
        QCOMPARE(f.sessionFiles(), QStringList{"session.zro"});
    }

    void batchDeleteMatchesOneByOne_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("checked"); // one letter per entry: x checked, . not
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

    // One rewrite of the index, the same files, list, selection and editor as
    // deleting the entries one at a time.
    void batchDeleteMatchesOneByOne()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, checked);
        QFETCH(bool, all);
        const QStringList names{"a", "b", "c", "d", "e"};
        Fixture batch;
        Fixture single;
        for (Fixture* f : {&batch, &single}) {
            f->install(before + listSection(names), names);
            for (int i = 0; i < names.size(); ++i)
                f->model.setChecked(i, checked.at(i) == QLatin1Char('x'));
            f->model.setSelectedRow(1);
            f->editor.setFieldText(ProjectField::Email, QStringLiteral("typed@mail"));
        }

        if (all) {
            single.dialogs.answer(Dialogs::Yes); // the dialogs made last are in force
            batch.store.deleteAll();
        } else {
            batch.store.deleteChecked();
        }
        const QStringList doomed = all ? single.model.names() : single.model.checkedNames();
        for (const QString& name : doomed) {
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
        const qint64 ms = clock.elapsed();
        qInfo("Delete Checked of %d Projects: %lld ms", Count - Count / 10, ms);
        QVERIFY2(ms < 5000, QByteArray::number(ms).constData());
        QCOMPARE(f.model.count(), Count / 10);
        QCOMPARE(f.sessionFiles().size(), Count / 10 + 1);
        QVERIFY(f.dir.read(kIndex).endsWith("999=p09990\r\n"));
        QCOMPARE(f.model.selectedName(), QStringLiteral("p09990"));
        QCOMPARE(f.editor.fieldText(ProjectField::Url), QStringLiteral("http://p09990.example/"));
    }
};

QTEST_MAIN(TestProjectSafety)
#include "test_project_safety.moc"
