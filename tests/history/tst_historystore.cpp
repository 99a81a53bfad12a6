#include "history/CommitPacer.h"
#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool createItems(QSqlDatabase& db, int from)
{
    QSqlQuery query(db);
    if (from < 1 && !query.exec(QStringLiteral("CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT)")))
        return false;
    if (from < 2 && !query.exec(QStringLiteral("ALTER TABLE items ADD COLUMN size INTEGER")))
        return false;
    return true;
}

int rowCount(const QString& programDir, const QString& table)
{
    HistoryStore other(programDir);
    if (!other.open())
        return -1;
    QSqlQuery query(other.database());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) || !query.next())
        return -1;
    return query.value(0).toInt();
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

private slots:
    void schemaVersionsAreKeptPerFeature();
    void upgradeGetsTheStoredVersion();
    void newerTablesAreRefused();
    void unusableFilesGiveAMessage_data();
    void unusableFilesGiveAMessage();
    void pacerCommitsWhileTheJobWaits();
};

void TestHistoryStore::schemaVersionsAreKeptPerFeature()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    QVERIFY2(store.open(), qPrintable(store.errorText()));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("data/history.sqlite"))));
    QVERIFY(store.ensureSchema(QStringLiteral("items"), 2, createItems));
    QVERIFY(store.ensureSchema(QStringLiteral("other"), 1, [](QSqlDatabase& db, int) {
        return QSqlQuery(db).exec(QStringLiteral("CREATE TABLE other(x)"));
    }));
    QCOMPARE(store.schemaVersion(QStringLiteral("items")), 2);
    QCOMPARE(store.schemaVersion(QStringLiteral("other")), 1);

    // A second opening at the same version runs no upgrade.
    HistoryStore again(dir.path());
    QVERIFY(again.open());
    bool ran = false;
    QVERIFY(again.ensureSchema(QStringLiteral("items"), 2, [&ran](QSqlDatabase&, int) {
        ran = true;
        return true;
    }));
    QVERIFY(!ran);
    QCOMPARE(rowCount(dir.path(), QStringLiteral("items")), 0);
}

void TestHistoryStore::upgradeGetsTheStoredVersion()
{
    QTemporaryDir dir;
    {
        HistoryStore store(dir.path());
        QVERIFY(store.open());
        QVERIFY(store.ensureSchema(QStringLiteral("items"), 1, [](QSqlDatabase& db, int) {
            return QSqlQuery(db).exec(QStringLiteral("CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT)"));
        }));
    }
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    int seen = -1;
    QVERIFY(store.ensureSchema(QStringLiteral("items"), 2, [&seen](QSqlDatabase& db, int from) {
        seen = from;
        return createItems(db, from);
    }));
    QCOMPARE(seen, 1);
    QSqlQuery query(store.database());
    QVERIFY(query.exec(QStringLiteral("INSERT INTO items(name, size) VALUES('a', 3)")));

    // A failing upgrade leaves tables and version as they were.
    QVERIFY(!store.ensureSchema(QStringLiteral("items"), 3, [](QSqlDatabase& db, int) {
        QSqlQuery(db).exec(QStringLiteral("DELETE FROM items"));
        return false;
    }));
    QVERIFY(!store.errorText().isEmpty());
    QCOMPARE(store.schemaVersion(QStringLiteral("items")), 2);
    QCOMPARE(rowCount(dir.path(), QStringLiteral("items")), 1);
}

void TestHistoryStore::newerTablesAreRefused()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QVERIFY(store.ensureSchema(QStringLiteral("items"), 2, createItems));
    QVERIFY(!store.ensureSchema(QStringLiteral("items"), 1, createItems));
    QVERIFY(store.errorText().contains(QLatin1String("newer")));
}

void TestHistoryStore::unusableFilesGiveAMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("directory");
    QTest::newRow("garbage") << QByteArray(4096, 'x') << false;
    QTest::newRow("damaged header") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xff') << false;
    QTest::newRow("a directory in its place") << QByteArray() << true;
}

void TestHistoryStore::unusableFilesGiveAMessage()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, directory);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    const QString file = dir.filePath(QStringLiteral("data/history.sqlite"));
    if (directory) {
        QVERIFY(QDir().mkpath(file));
    } else {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    HistoryStore store(dir.path());
    QVERIFY(!store.open());
    QVERIFY(!store.isOpen());
    QVERIFY2(store.errorText().contains(file), qPrintable(store.errorText()));
}

void TestHistoryStore::pacerCommitsWhileTheJobWaits()
{
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QVERIFY(store.ensureSchema(QStringLiteral("items"), 2, createItems));
    CommitPacer pacer(store, 50);
    QVERIFY(pacer.write());
    QVERIFY(QSqlQuery(store.database()).exec(QStringLiteral("INSERT INTO items(name) VALUES('a')")));
    // Not yet visible to another connection: the transaction is open.
    QCOMPARE(rowCount(dir.path(), QStringLiteral("items")), 0);
    // The job writes nothing more, yet the row is committed by the interval.
    QTRY_COMPARE_WITH_TIMEOUT(rowCount(dir.path(), QStringLiteral("items")), 1, 2000);
    QVERIFY(pacer.write());
    QVERIFY(QSqlQuery(store.database()).exec(QStringLiteral("INSERT INTO items(name) VALUES('b')")));
    QVERIFY(pacer.finish());
    QCOMPARE(rowCount(dir.path(), QStringLiteral("items")), 2);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
