// The project store without a window: its questions and refusals answered
// by a caller that nobody sits at, its deletion of many files in slices.
#include "projects/ProjectFields.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectIndex.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStoreCore.h"
#include "projects/UnattendedStoreUser.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

namespace {

class Fields : public ProjectFields
{
public:
    QString fieldText(ProjectField field) const override { return m_values.value(int(field)); }
    void setFieldText(ProjectField field, const QString& text) override { m_values.insert(int(field), text); }

private:
    QHash<int, QString> m_values;
};

// Runs `during` while a question waits for its answer, as the events of a
// message box would.
class AskingUser : public UnattendedStoreUser
{
public:
    using UnattendedStoreUser::UnattendedStoreUser;
    bool confirm(const QString& caption, const QString& text) override
    {
        if (during)
            std::exchange(during, nullptr)();
        return UnattendedStoreUser::confirm(caption, text);
    }
    std::function<void()> during;
};

struct Fixture
{
    explicit Fixture(bool answer = true) : user(answer)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("data/session")));
        store = std::make_unique<ProjectStoreCore>(&model, &fields, &user);
        store->setProgramDir(dir.path());
    }

    QString file(const QString& name) const { return dir.filePath(QStringLiteral("data/session/") + name + ".zro"); }
    QByteArray read(const QString& path) const
    {
        QFile in(path);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    QByteArray index() const { return read(ProjectIndex::path(dir.path())); }

    void saveAs(const QString& name, const QString& url)
    {
        fields.setFieldText(ProjectField::SessionName, name);
        fields.setFieldText(ProjectField::Url, url);
        store->save();
    }
    // Projects p00 .. p<n-1>, the first `checked` of them checked.
    void fill(int n, int checked)
    {
        for (int i = 0; i < n; ++i)
            saveAs(name(i), QStringLiteral("http://%1/").arg(name(i)));
        for (int i = 0; i < checked; ++i)
            model.setChecked(i, true);
    }
    static QString name(int i) { return QStringLiteral("p%1").arg(i, 2, 10, QLatin1Char('0')); }
    int filesLeft(int n) const
    {
        int left = 0;
        for (int i = 0; i < n; ++i)
            left += QFile::exists(file(name(i))) ? 1 : 0;
        return left;
    }

    QTemporaryDir dir;
    AskingUser user;
    ProjectListModel model;
    Fields fields;
    std::unique_ptr<ProjectStoreCore> store;
};

} // namespace

class TestProjectStoreCore : public QObject
{
    Q_OBJECT

private slots:
    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("written");
        QTest::newRow("new") << "site" << false << true << QStringList() << 0 << true;
        QTest::newRow("modify yes") << "site" << true << true << QStringList() << 1 << true;
        QTest::newRow("modify no") << "site" << true << false << QStringList() << 1 << false;
        QTest::newRow("reserved") << "List" << false << true
                                  << QStringList{"Invalid Session Name: Sorry that name is being used by this program"}
                                  << 0 << false;
        QTest::newRow("empty") << "" << false << true
                               << QStringList{"No Session Name: You have no Session_Name to save."} << 0 << false;
        QTest::newRow("outside") << "../x" << false << true << QStringList() << 0 << false;
    }

    void save()
    {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QFETCH(bool, answer);
        QFETCH(QStringList, errors);
        QFETCH(int, questions);
        QFETCH(bool, written);
        Fixture f(answer);
        if (exists)
            f.saveAs(name, QStringLiteral("http://old/"));
        const QByteArray indexBefore = f.index();
        f.saveAs(name, QStringLiteral("http://new/"));

        if (name.startsWith(QLatin1String(".."))) {
            // A name that reaches outside the session folder is refused with its own text.
            QCOMPARE(f.user.errors().size(), 1);
            QVERIFY(f.user.errors().first().startsWith(QStringLiteral("Invalid Session Name: ")));
            QVERIFY(!QFile::exists(f.dir.filePath(QStringLiteral("data/x.zro"))));
        } else {
            QCOMPARE(f.user.errors(), errors);
        }
        QCOMPARE(f.user.questions().size(), questions);
        if (questions)
            QCOMPARE(f.user.questions().first(),
                     QStringLiteral("Modify Session Name: Session name already exists. Do you wish to modify it  ?"));
        if (name.isEmpty() || name.startsWith(QLatin1String("..")) || name == QLatin1String("List")) {
            QCOMPARE(f.model.count(), 0);
            QCOMPARE(f.index(), indexBefore);
            return;
        }
        QCOMPARE(f.model.names(), QStringList{name});
        const QString url = ProjectFile::read(f.dir.path(), name).value(ProjectField::Url);
        QCOMPARE(url, written ? QStringLiteral("http://new/") : QStringLiteral("http://old/"));
        QCOMPARE(f.index(), QByteArray("[Session]\r\nCount=0\r\n[List]\r\n0=site\r\n"));
    }

    // A save writes the index just as a whole rewrite from the list would,
    // however the file came to be what it is.
    void indexAfterSaveMatchesWholeRewrite_data()
    {
        QTest::addColumn<QString>("start");
        QTest::newRow("no index") << "none";
        QTest::newRow("index read at start") << "loaded";
        QTest::newRow("index changed by another program") << "edited";
        QTest::newRow("after Delete Checked") << "deleted";
        QTest::newRow("after a save of an existing name") << "modified";
    }

    void indexAfterSaveMatchesWholeRewrite()
    {
        QFETCH(QString, start);
        Fixture f;
        const QString index = ProjectIndex::path(f.dir.path());
        auto writeIndex = [&index](const QByteArray& bytes) {
            QFile out(index);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes);
        };
        if (start != QLatin1String("none")) {
            writeIndex("[Session]\r\nCount=2\r\n[List]\r\n0=b\r\n1=d\r\n2=f\r\n");
            f.store->loadIndex();
        }
        if (start == QLatin1String("edited"))
            writeIndex("[Other]\r\nx=1\r\n[Session]\r\nCount=9\r\n[List]\r\n0=b\r\n1=d\r\n2=f\r\n3=h\r\n");
        if (start == QLatin1String("deleted")) {
            f.model.setChecked(1, true);
            f.store->deleteChecked();
        }
        if (start == QLatin1String("modified"))
            f.saveAs(QStringLiteral("d"), QStringLiteral("http://d2/"));
        for (const char* name : {"c", "a", "z", "e"}) {
            const QByteArray before = f.index();
            f.saveAs(QString::fromLatin1(name), QStringLiteral("http://x/"));
            QCOMPARE(f.index(), ProjectIndex::rewritten(before, f.model.names()));
        }
        QVERIFY(f.user.errors().isEmpty());
    }

    // The files go in slices with progress between them; the index and the
    // list show the outcome at once, the editor when the last file is gone.
    void deleteCheckedInSlices_data()
    {
        QTest::addColumn<int>("sliceFiles");
        QTest::addColumn<QList<int>>("steps");
        QTest::newRow("one slice") << 0 << QList<int>();
        QTest::newRow("slices of 10") << 10 << QList<int>{10, 20, 30};
        QTest::newRow("slices of 7") << 7 << QList<int>{7, 14, 21, 28, 30};
        QTest::newRow("slices of 29") << 29 << QList<int>{29, 30};
    }

    void deleteCheckedInSlices()
    {
        QFETCH(int, sliceFiles);
        QFETCH(QList<int>, steps);
        Fixture f;
        f.fill(35, 30);
        f.model.setSelectedRow(0);
        f.store->setDeletionSlices(60000, 60000, sliceFiles);
        QSignalSpy idle(f.store.get(), &ProjectStoreCore::idle);
        QSignalSpy loaded(f.store.get(), &ProjectStoreCore::projectLoaded);
        f.store->deleteChecked();

        const QStringList kept{"p30", "p31", "p32", "p33", "p34"};
        QCOMPARE(f.model.names(), kept);
        QCOMPARE(f.index(),
                 QByteArray("[Session]\r\nCount=4\r\n[List]\r\n0=p30\r\n1=p31\r\n2=p32\r\n3=p33\r\n4=p34\r\n"));
        const bool sliced = !steps.isEmpty();
        QCOMPARE(f.store->isBusy(), sliced);
        QCOMPARE(f.user.progressShown(), sliced);
        if (sliced) {
            QCOMPARE(f.filesLeft(30), 30 - sliceFiles);
            QCOMPARE(loaded.count(), 0);
            QCOMPARE(f.user.progressTotal(), 30);
            QTRY_VERIFY(!f.store->isBusy());
            QCOMPARE(idle.count(), 1);
        }
        QCOMPARE(f.user.progressSteps(), steps);
        QVERIFY(!f.user.progressShown());
        QCOMPARE(f.filesLeft(30), 0);
        QCOMPARE(f.filesLeft(35), 5);
        // The last deletion (p29) left its successor selected and loaded.
        QCOMPARE(f.model.selectedName(), QStringLiteral("p30"));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(f.fields.fieldText(ProjectField::Url), QStringLiteral("http://p30/"));
        QVERIFY(f.user.errors().isEmpty());
    }

    // Commands given while the files go wait for the end, in order; a save
    // keeps what the editor held when it was asked for.
    void commandsWaitForTheDeletion()
    {
        Fixture f;
        f.fill(20, 20);
        f.model.setChecked(19, false);
        f.store->setDeletionSlices(60000, 60000, 5);
        f.store->deleteChecked();
        QVERIFY(f.store->isBusy());
        f.saveAs(QStringLiteral("p05"), QStringLiteral("http://late/"));
        QStringList order;
        f.store->whenIdle([&] { order << f.fields.fieldText(ProjectField::SessionName); });
        QCOMPARE(f.model.names(), QStringList{"p19"});
        QVERIFY(order.isEmpty());

        QTRY_VERIFY(!f.store->isBusy());
        // The deletion ended first (p19 loaded), then the save of p05 as typed.
        QCOMPARE(order, QStringList{"p19"});
        QCOMPARE(f.model.names(), (QStringList{"p05", "p19"}));
        QCOMPARE(ProjectFile::read(f.dir.path(), QStringLiteral("p05")).value(ProjectField::Url),
                 QStringLiteral("http://late/"));
        QCOMPARE(f.fields.fieldText(ProjectField::Url), QStringLiteral("http://p19/"));
        QCOMPARE(f.index(), QByteArray("[Session]\r\nCount=1\r\n[List]\r\n0=p05\r\n1=p19\r\n"));
        QVERIFY(f.user.errors().isEmpty());
    }

    // A save that arrives while "Delete all projects" waits for its answer
    // runs after the deletion, so the new Project is never deleted unasked.
    void saveDuringQuestionWaits_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("yes") << true << QStringList{"late"};
        QTest::newRow("no") << false << QStringList{"late", "p00", "p01", "p02"};
    }

    void saveDuringQuestionWaits()
    {
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        Fixture f(answer);
        f.fill(3, 0);
        bool busyMeanwhile = false;
        f.user.during = [&f, &busyMeanwhile] {
            busyMeanwhile = f.store->isBusy();
            f.saveAs(QStringLiteral("late"), QStringLiteral("http://late/"));
            QCOMPARE(f.model.count(), 3);
        };
        f.store->deleteAll();
        QVERIFY(busyMeanwhile);
        QVERIFY(!f.store->isBusy());
        QCOMPARE(f.model.names(), left);
        QVERIFY(QFile::exists(f.file(QStringLiteral("late"))));
        QCOMPARE(ProjectFile::read(f.dir.path(), QStringLiteral("late")).value(ProjectField::Url),
                 QStringLiteral("http://late/"));
        QCOMPARE(ProjectIndex::namesFrom(ProjectIndex::load(f.dir.path())), left);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QStringList>("questions");
        QTest::newRow("delete without selection")
            << "selected" << QStringList{"No Item: You have not selected an item to Delete"} << QStringList();
        QTest::newRow("delete all declined")
            << "all" << QStringList()
            << QStringList{"Delete all projects: Are you sure you want to delete all projects?"};
        QTest::newRow("delete checked, none checked") << "checked" << QStringList() << QStringList();
    }

    void refusals()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, errors);
        QFETCH(QStringList, questions);
        Fixture f(false);
        f.fill(3, 0);
        const QByteArray index = f.index();
        QSignalSpy count(f.store.get(), &ProjectStoreCore::countChanged);
        if (operation == QLatin1String("selected"))
            f.store->deleteSelected();
        else if (operation == QLatin1String("all"))
            f.store->deleteAll();
        else
            f.store->deleteChecked();
        QCOMPARE(f.user.errors(), errors);
        QCOMPARE(f.user.questions(), questions);
        QCOMPARE(f.model.count(), 3);
        QCOMPARE(f.filesLeft(3), 3);
        QCOMPARE(f.index(), index);
        QCOMPARE(count.count(), 0);
        QVERIFY(!f.store->isBusy());
    }

    // An index that cannot be replaced (a folder in its place, which
    // stops root too): nothing is deleted at all.
    void deletionWithIndexThatCannotBeWritten()
    {
        Fixture f;
        f.fill(4, 4);
        const QString index = ProjectIndex::path(f.dir.path());
        QVERIFY(QFile::remove(index));
        QVERIFY(QDir().mkpath(index));
        QVERIFY_THROWS_EXCEPTION(IniWriteError, f.store->deleteChecked());
        QCOMPARE(f.model.count(), 4);
        QCOMPARE(f.filesLeft(4), 4);
        QVERIFY(!f.store->isBusy());
    }

    // A store that ends while its files go removes the rest: the Projects
    // left the index, so files left behind would bring them back.
    void endingMidDeletionLeavesNoFiles()
    {
        Fixture f;
        f.fill(12, 12);
        f.store->setDeletionSlices(60000, 60000, 4);
        f.store->deleteAll();
        QVERIFY(f.store->isBusy());
        QCOMPARE(f.filesLeft(12), 8);
        f.store.reset();
        QCOMPARE(f.filesLeft(12), 0);

        ProjectStoreCore again(&f.model, &f.fields, &f.user);
        again.setProgramDir(f.dir.path());
        again.loadIndex();
        QVERIFY(f.model.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProjectStoreCore)
#include "tst_projectstorecore.moc"
