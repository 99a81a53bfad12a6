#include "projects/ProjectFile.h"
#include "projects/ProjectIndex.h"
#include "projects/ProjectName.h"
#include "settings/IniDocument.h"
#include "settings/IniFile.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

class TestProjectIndex : public QObject
{
    Q_OBJECT

private:
    // The rewrite as plain profile-file writes do it, key by key.
    static QByteArray keyByKey(const QByteArray& current, const QStringList& names)
    {
        IniDocument doc = IniDocument::fromBytes(current);
        doc.eraseSection(QStringLiteral("List"));
        for (int i = 0; i < names.size(); ++i) {
            doc.writeString(QStringLiteral("Session"), QStringLiteral("Count"), QString::number(i));
            doc.writeString(QStringLiteral("List"), QString::number(i), names.at(i));
        }
        return doc.toBytes();
    }

private slots:
    void rewriteMatchesKeyByKeyWrites_data()
    {
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<QStringList>("names");
        const QStringList three = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        QTest::newRow("no file") << QByteArray() << three;
        QTest::newRow("list then session") << QByteArray("[List]\r\n0=x\r\n1=y\r\n[Session]\r\nCount=1\r\n") << three;
        QTest::newRow("session then list") << QByteArray("[Session]\r\nCount=5\r\n[List]\r\n0=x\r\n") << three;
        QTest::newRow("session without count, blank lines")
            << QByteArray("[Session]\r\nOther=1\r\n\r\n\r\n[Extra]\r\nk=v\r\n") << three;
        QTest::newRow("session last with trailing blanks") << QByteArray("[Session]\r\n\r\n\r\n") << three;
        QTest::newRow("two list sections, lower case")
            << QByteArray("[list]\r\n0=x\r\n[Session]\r\ncount=9\r\n[LIST]\r\n5=y\r\n") << three;
        QTest::newRow("LF line ends") << QByteArray("[Session]\nCount=0\n[List]\n0=x\n") << three;
        QTest::newRow("one name") << QByteArray("[List]\r\n0=x\r\n") << QStringList{QStringLiteral("only")};
        QTest::newRow("names with blanks and equals")
            << QByteArray() << QStringList{QStringLiteral(" a b "), QStringLiteral("x=y"), QString()};
        QTest::newRow("non-ASCII") << QByteArray("[Session]\r\nCount=0\r\n")
                                   << QStringList{QStringLiteral("Caf\u00e9"), QStringLiteral("\u65e5\u672c")};
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many.append(QStringLiteral("p%1").arg(i));
        QTest::newRow("forty") << QByteArray("[List]\r\n0=p\r\n") << many;
    }

    void rewriteMatchesKeyByKeyWrites()
    {
        QFETCH(QByteArray, current);
        QFETCH(QStringList, names);
        bool changed = false;
        QCOMPARE(ProjectIndex::rewritten(current, names, &changed), keyByKey(current, names));
        QVERIFY(changed);
    }

    void emptyListRemovesListAndKeepsCount()
    {
        const QByteArray current("[Session]\r\nCount=2\r\n[List]\r\n0=a\r\n1=b\r\n2=c\r\n");
        bool changed = false;
        const QByteArray out = ProjectIndex::rewritten(current, {}, &changed);
        QVERIFY(changed);
        QCOMPARE(out, QByteArray("[Session]\r\nCount=2\r\n"));
        QCOMPARE(out, keyByKey(current, {}));
        ProjectIndex::rewritten(out, {}, &changed);
        QVERIFY(!changed);
    }

    void readMatchesProfileReads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QByteArray("[Session]\r\nCount=1\r\n[List]\r\n0=a\r\n1=b\r\n");
        QTest::newRow("quotes and blanks") << QByteArray("[List]\r\n 0 =  \"a b\"  \r\n1='c'\r\n");
        QTest::newRow("repeated key") << QByteArray("[List]\r\n0=a\r\n0=b\r\n1=c\r\n");
        QTest::newRow("case of section") << QByteArray("[x]\r\n0=no\r\n[ list ]\r\n0=yes\r\n[LIST]\r\n1=later\r\n");
        QTest::newRow("lines without equals") << QByteArray("[List]\r\nnoise\r\n=empty key\r\n0=a\r\n");
        QTest::newRow("no list") << QByteArray("[Session]\r\nCount=3\r\n");
        QTest::newRow("long value") << (QByteArray("[List]\r\n0=") + QByteArray(3000, 'x') + "\r\n");
        QTest::newRow("latin1") << QByteArray("[List]\r\n0=Caf\xe9\r\n");
    }

    void readMatchesProfileReads()
    {
        QFETCH(QByteArray, bytes);
        const IniDocument doc = IniDocument::fromBytes(bytes);
        QCOMPARE(ProjectIndex::readListSection(bytes), doc.readSection(QStringLiteral("List")));
    }

    void gapInKeysLeavesEmptyEntryAndDropsHighest()
    {
        const QByteArray bytes("[List]\r\n0=a\r\n1=b\r\n3=d\r\n");
        QCOMPARE(ProjectIndex::namesFrom(ProjectIndex::readListSection(bytes)),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()}));
    }

    void writeFailsWithUnableToWrite()
    {
        TempProgramDir dir;
        QDir(dir.filePath(QStringLiteral("data/session"))).removeRecursively();
        try {
            ProjectIndex::rewrite(dir.path(), {QStringLiteral("a")});
            QFAIL("no error raised");
        } catch (const IniWriteError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("Unable to write to ") + dir.filePath(QStringLiteral("data/session/session.zro")));
        }
        QVERIFY_THROWS_EXCEPTION(IniWriteError, ProjectIndex::ensureWritable(dir.path()));
    }

    void unsyncedReplacementGivesTheSameFile()
    {
        TempProgramDir dir;
        const QString file = ProjectIndex::path(dir.path());
        dir.write(QStringLiteral("data/session/session.zro"), "[Session]\r\nCount=0\r\n[List]\r\n0=old\r\n");
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
        const QStringList names = {QStringLiteral("a"), QStringLiteral("b")};
        ProjectIndex::rewrite(dir.path(), names, ProjectIndex::Flush::Unsynced);
        const QByteArray unsynced = dir.read(QStringLiteral("data/session/session.zro"));
        QCOMPARE(QFileInfo(file).permissions() & 0x7077,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
        ProjectIndex::rewrite(dir.path(), names, ProjectIndex::Flush::Synced);
        QCOMPARE(dir.read(QStringLiteral("data/session/session.zro")), unsynced);
        QCOMPARE(unsynced, QByteArray("[Session]\r\nCount=1\r\n[List]\r\n0=a\r\n1=b\r\n"));
        // Nothing is left beside the index.
        QCOMPARE(QDir(dir.filePath(QStringLiteral("data/session"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("session.zro")});
    }

    void unsyncedReplacementFailure()
    {
        TempProgramDir dir;
        QDir(dir.filePath(QStringLiteral("data/session"))).removeRecursively();
        QVERIFY_THROWS_EXCEPTION(
            IniWriteError, ProjectIndex::rewrite(dir.path(), {QStringLiteral("a")}, ProjectIndex::Flush::Unsynced));
    }

    void projectFileRoundTrip()
    {
        TempProgramDir dir;
        ProjectRecord record;
        record.setValue(ProjectField::Url, QStringLiteral("http://a.example/"));
        record.setValue(ProjectField::Title, QStringLiteral("  padded title  "));
        record.setValue(ProjectField::Zip, QStringLiteral("12345"));
        record.setValue(ProjectField::Address2, QStringLiteral("Suite 9"));
        ProjectFile::write(dir.path(), QStringLiteral("Alpha"), record);
        QCOMPARE(dir.read(QStringLiteral("data/session/Alpha.zro")),
                 QByteArray("[Alpha]\r\nurl=http://a.example/\r\ntitle=  padded title  \r\nemail=\r\n"
                            "description=\r\ncatagory=\r\nname=\r\nlast=\r\ncompany=\r\naddress1=\r\n"
                            "address2=Suite 9\r\ncountry=\r\ncity=\r\nstate=\r\nphone=\r\nfax=\r\nzip=12345\r\n"
                            "key1=\r\n"));
        const ProjectRecord back = ProjectFile::read(dir.path(), QStringLiteral("Alpha"));
        QCOMPARE(back.value(ProjectField::Title), QStringLiteral("padded title"));
        QCOMPARE(back.value(ProjectField::Zip), QStringLiteral("12345"));
        QCOMPARE(back.value(ProjectField::Address2), QStringLiteral("Suite 9"));
        // Letter case counts in file names.
        QVERIFY(!dir.exists(QStringLiteral("data/session/alpha.zro")));
        QCOMPARE(ProjectFile::read(dir.path(), QStringLiteral("alpha")).value(ProjectField::Url), QString());
    }

    void projectFileRefusesEscapingNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << QStringLiteral("../x");
        QTest::newRow("backslash") << QStringLiteral("..\\x");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("absolute") << QStringLiteral("/tmp/x");
    }

    void projectFileRefusesEscapingNames()
    {
        QFETCH(QString, name);
        TempProgramDir dir;
        dir.write(QStringLiteral("x.zro"), "[x]\r\nurl=outside\r\n");
        QVERIFY(ProjectFile::path(dir.path(), name).isEmpty());
        QVERIFY_THROWS_EXCEPTION(IniWriteError, ProjectFile::write(dir.path(), name, ProjectRecord()));
        ProjectFile::remove(dir.path(), name);
        QVERIFY(dir.exists(QStringLiteral("x.zro")));
        QCOMPARE(ProjectFile::read(dir.path(), name).value(ProjectField::Url), QString());
    }

    void nameRules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("verdict");
        using V = ProjectName::Verdict;
        QTest::newRow("plain") << QStringLiteral("My Site") << int(V::Ok);
        QTest::newRow("LIST") << QStringLiteral("LIST") << int(V::Reserved);
        QTest::newRow("list") << QStringLiteral("list") << int(V::Reserved);
        QTest::newRow("Session") << QStringLiteral("Session") << int(V::Reserved);
        QTest::newRow("sEsSiOn") << QStringLiteral("sEsSiOn") << int(V::Reserved);
        QTest::newRow("listing") << QStringLiteral("listing") << int(V::Ok);
        QTest::newRow("empty") << QString() << int(V::Empty);
        QTest::newRow("slash") << QStringLiteral("a/b") << int(V::Invalid);
        QTest::newRow("backslash") << QStringLiteral("a\\b") << int(V::Invalid);
        QTest::newRow("dot") << QStringLiteral(".") << int(V::Invalid);
        QTest::newRow("dotdot") << QStringLiteral("..") << int(V::Invalid);
        QTest::newRow("three dots") << QStringLiteral("...") << int(V::Ok);
        QTest::newRow("tab") << QStringLiteral("a\tb") << int(V::Invalid);
        QTest::newRow("newline") << QStringLiteral("a\nb") << int(V::Invalid);
        QTest::newRow("delete char") << QStringLiteral("a\x7f") << int(V::Invalid);
        QTest::newRow("dot inside") << QStringLiteral("example.com") << int(V::Ok);
    }

    void nameRules()
    {
        QFETCH(QString, name);
        QFETCH(int, verdict);
        QCOMPARE(int(ProjectName::check(name)), verdict);
    }

    void namesAreTrimmed()
    {
        QCOMPARE(ProjectName::normalized(QStringLiteral("  a b \t")), QStringLiteral("a b"));
        QCOMPARE(ProjectName::check(ProjectName::normalized(QStringLiteral(" list "))), ProjectName::Verdict::Reserved);
        QCOMPARE(ProjectName::check(ProjectName::normalized(QStringLiteral("   "))), ProjectName::Verdict::Empty);
    }
};

QTEST_GUILESS_MAIN(TestProjectIndex)
#include "test_project_index.moc"
