#include "projects/ProjectFile.h"
#include "projects/ProjectIndex.h"
#include "projects/ProjectIndexCache.h"
#include "settings/IniDocument.h"
#include "support/TempProgramDir.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString kIndex = QStringLiteral("data/session/session.zro");

// The rewrite as plain profile-file writes do it, key by key.
QByteArray keyByKey(const QByteArray& current, const QStringList& names)
{
    IniDocument doc = IniDocument::fromBytes(current);
    doc.eraseSection(QStringLiteral("List"));
    for (int i = 0; i < names.size(); ++i) {
        doc.writeString(QStringLiteral("Session"), QStringLiteral("Count"), QString::number(i));
        doc.writeString(QStringLiteral("List"), QString::number(i), names.at(i));
    }
    return doc.toBytes();
}

} // namespace

class TestProjectIndexCache : public QObject
{
    Q_OBJECT

private slots:
    // Rewrite after rewrite from what it kept, the file is what key-by-key
    // writes of each list make of the file before.
    void rewritesMatchKeyByKeyWrites_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<QList<QStringList>>("lists");
        const QList<QStringList> lists = {{"a", "b", "c"}, {"a", "b"}, {}, {}, {"z"}, {"x", "y", "z", "w"}};
        QTest::newRow("no file") << QByteArray() << lists;
        QTest::newRow("other sections around the list")
            << QByteArray("[List]\r\n0=x\r\n[Session]\r\nCount=7\r\nOther=1\r\n[Extra]\r\nk=v\r\n") << lists;
        QTest::newRow("only a session section") << QByteArray("[Session]\nCount=3\n") << QList<QStringList>{{}, {"q"}};
    }
    void rewritesMatchKeyByKeyWrites()
    {
        QFETCH(QByteArray, start);
        QFETCH(QList<QStringList>, lists);
        TempProgramDir dir;
        if (!start.isEmpty())
            dir.write(kIndex, start);
        ProjectIndexCache cache;
        cache.setProgramDir(dir.path());
        cache.load();
        QByteArray expected = start;
        for (const QStringList& names : lists) {
            cache.rewrite(names);
            if (!names.isEmpty() || IniDocument::fromBytes(expected).hasSection(QStringLiteral("List")))
                expected = keyByKey(expected, names);
            QCOMPARE(dir.read(kIndex), expected);
        }
    }

    // The save's look-up: key i of "List" for i below the list's count.
    void holdsReadsKeysByNumber_data()
    {
        QTest::addColumn<QByteArray>("index");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("held");
        const QByteArray gaps("[List]\r\n1=b\r\n0=a\r\n3=d\r\n0=again\r\n");
        QTest::newRow("first key") << gaps << "a" << 4 << true;
        QTest::newRow("key out of order") << gaps << "b" << 4 << true;
        QTest::newRow("beyond the count") << gaps << "d" << 3 << false;
        QTest::newRow("a repeated key reads its first value") << gaps << "again" << 4 << false;
        QTest::newRow("letter case counts") << gaps << "A" << 4 << false;
        QTest::newRow("no file") << QByteArray() << "a" << 1 << false;
    }
    void holdsReadsKeysByNumber()
    {
        QFETCH(QByteArray, index);
        QFETCH(QString, name);
        QFETCH(int, count);
        QFETCH(bool, held);
        TempProgramDir dir;
        if (!index.isEmpty())
            dir.write(kIndex, index);
        ProjectIndexCache cache;
        cache.setProgramDir(dir.path());
        QCOMPARE(cache.holds(name, count), held);
    }

    void fileChangedByOthersIsReadAgain()
    {
        TempProgramDir dir;
        ProjectIndexCache cache;
        cache.setProgramDir(dir.path());
        cache.rewrite({"a"});
        QVERIFY(cache.holds("a", 1));
        dir.write(kIndex, "[Session]\r\nCount=1\r\n[List]\r\n0=b\r\n1=c\r\n");
        QVERIFY(!cache.holds("a", 2));
        QVERIFY(cache.holds("c", 2));
    }

    // Deferred: the file waits, the look-up does not; the rewrite is due
    // within a second and writes the list as it is then.
    void deferredRewriteWaitsAtMostASecond()
    {
        TempProgramDir dir;
        ProjectIndexCache cache;
        cache.setProgramDir(dir.path());
        cache.rewrite({"a"});
        const QByteArray before = dir.read(kIndex);
        QStringList list = {"a", "b"};
        QSignalSpy due(&cache, &ProjectIndexCache::flushDue);
        cache.rewriteSoon("b", [&list] { return list; });
        list.append("c");
        cache.rewriteSoon("c", [&list] { return list; });
        QVERIFY(cache.hasPending());
        QCOMPARE(dir.read(kIndex), before);
        QVERIFY(cache.holds("b", 3));
        QVERIFY(cache.holds("c", 3));
        QVERIFY(due.wait(2 * ProjectIndexCache::DeferMs));
        QCOMPARE(due.count(), 1);
        cache.flush();
        QVERIFY(!cache.hasPending());
        QCOMPARE(dir.read(kIndex), keyByKey(before, list));
    }

    // What a save that never reached the index leaves behind, and what else
    // lies in the folder.
    void unlistedFilesAreTheSavesFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("listed");
        QTest::newRow("a saved Project") << "site7.zro" << QByteArray("[site7]\r\nurl=http://x/\r\n") << true;
        QTest::newRow("section in other letter case") << "Site8.zro" << QByteArray("[site8]\r\nurl=x\r\n") << true;
        QTest::newRow("already in the index") << "kept.zro" << QByteArray("[kept]\r\nurl=x\r\n") << false;
        QTest::newRow("another Project's section") << "copy.zro" << QByteArray("[orig]\r\nurl=x\r\n") << false;
        QTest::newRow("a save's temporary file") << "site9.zro.Ab12Cd" << QByteArray("[site9.zro.Ab12Cd]\r\n") << false;
        QTest::newRow("the index's temporary file") << "session.zro.new0" << QByteArray("[List]\r\n") << false;
        QTest::newRow("a reserved name") << "List.zro" << QByteArray("[List]\r\n0=a\r\n") << false;
        QTest::newRow("a name with edge blanks") << " pad.zro" << QByteArray("[ pad]\r\nurl=x\r\n") << false;
        QTest::newRow("upper-case suffix") << "loud.ZRO" << QByteArray("[loud]\r\nurl=x\r\n") << false;
    }
    void unlistedFilesAreTheSavesFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, listed);
        TempProgramDir dir;
        dir.write(QStringLiteral("data/session/kept.zro"), "[kept]\r\nurl=x\r\n");
        dir.write(QStringLiteral("data/session/") + file, bytes);
        const QStringList found = ProjectIndex::unlistedFiles(dir.path(), {QStringLiteral("kept")});
        QCOMPARE(found, listed ? QStringList{file.chopped(4)} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestProjectIndexCache)
#include "test_project_index_cache.moc"
