#include "maintenance/OwnerOnlyFile.h"
#include "maintenance/UpdateFraming.h"
#include "sandbox/UpdateService.h"
#include "settings/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace UF = UpdateFraming;

// The update's framing, request address and the service's lists, without a window.
class TestUpdateFraming : public QObject
{
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void framedLines_data();
    void framedLines();
    void query_data();
    void query();
    void serviceServesStarterData_data();
    void serviceServesStarterData();
    void ownerOnly();
};

void TestUpdateFraming::framing_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("example") << QByteArray("//// START ////\r\na\r\n//// END ////") << true
                             << QStringList{"", "a", ""};
    // The presence test is exact, although removal ignores case.
    QTest::newRow("lower-case marks") << QByteArray("//// start ////\r\na\r\n//// end ////\r\n") << false
                                      << QStringList{"", "a", ""};
    QTest::newRow("start only") << QByteArray("//// START ////\r\na\r\n") << false << QStringList{"", "a"};
    QTest::newRow("error page") << QByteArray("<html>Login failed</html>") << false
                                << QStringList{"<html>Login failed</html>"};
    // Order and surroundings are not checked; text around the marks stays.
    QTest::newRow("reversed, text around") << QByteArray("junk\r\nx//// END ////y\n//// START ////tail") << true
                                           << QStringList{"junk", "xy", "tail"};
    QTest::newRow("mixed line ends") << QByteArray("//// START ////\na\rb\r\n\r\n//// END ////\n") << true
                                     << QStringList{"", "a", "b", "", ""};
    QTest::newRow("mixed-case mark removed") << QByteArray("//// START ////\n//// End ////\n//// END ////") << true
                                             << QStringList{"", "", ""};
    QTest::newRow("latin-1 kept") << QByteArray("//// START ////\nM\xfcller\n//// END ////") << true
                                  << QStringList{"", QStringLiteral("M\u00fcller"), ""};
}

void TestUpdateFraming::framing()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, complete);
    QFETCH(QStringList, stored);
    const QStringList lines = UF::bodyLines(body);
    QCOMPARE(UF::isComplete(lines), complete);
    QCOMPARE(UF::removeMarks(lines), stored);
}

void TestUpdateFraming::framedLines_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("example") << QByteArray("//// START ////\r\na\r\n//// END ////") << true << QStringList{"a"};
    QTest::newRow("text outside the marks dropped")
        << QByteArray("junk\r\n//// START //// x\r\na\r\n\r\nb\r\n//// END //// y\r\ntail") << true
        << QStringList{"a", "", "b"};
    QTest::newRow("CR, LF and CR LF") << QByteArray("//// START ////\ra\nb\r\n//// END ////\n") << true
                                      << QStringList{"a", "b"};
    QTest::newRow("nothing between") << QByteArray("//// START ////\r\n//// END ////\r\n") << true << QStringList{};
    QTest::newRow("END before START") << QByteArray("//// END ////\r\na\r\n//// START ////\r\nb\r\n") << false
                                      << QStringList{};
    QTest::newRow("END on the START line")
        << QByteArray("//// START ////\r\n//// START ////a//// END ////\r\n") << false << QStringList{};
    QTest::newRow("marks not at a line start")
        << QByteArray(" //// START ////\r\na\r\n //// END ////\r\n") << false << QStringList{};
    QTest::newRow("lower-case marks") << QByteArray("//// start ////\r\na\r\n//// end ////\r\n") << false
                                      << QStringList{};
    QTest::newRow("NUL between") << QByteArray("//// START ////\r\na\0b\r\n//// END ////\r\n", 37) << false
                                 << QStringList{};
    QTest::newRow("NUL outside") << QByteArray("\0\r\n//// START ////\r\na\r\n//// END ////\r\n\0", 39) << true
                                 << QStringList{"a"};
    QTest::newRow("latin-1 kept") << QByteArray("//// START ////\nM\xfcller\n//// END ////") << true
                                  << QStringList{QStringLiteral("M\u00fcller")};
}

void TestUpdateFraming::framedLines()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, complete);
    QFETCH(QStringList, stored);
    const std::optional<QStringList> lines = UF::framedLines(body);
    QCOMPARE(lines.has_value(), complete);
    if (lines)
        QCOMPARE(*lines, stored);
}

void TestUpdateFraming::query_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("address");
    const QString q = QStringLiteral("/?action=dbupdate&version=pro&update=engines");
    QTest::newRow("empty login") << "http://127.0.0.1:8088" << "" << ""
                                 << "http://127.0.0.1:8088" + q + "&user=&pass=";
    QTest::newRow("ordinary login as stored") << "https://upd.example/" << QStringLiteral("j.m\u00fcller@x") << "S3c!=*"
                                              << "https://upd.example" + q + QStringLiteral("&user=j.m\u00fcller@x&pass=S3c!=*");
    QTest::newRow("ampersand") << "http://h" << "a&pass=x" << "p" << "http://h" + q + "&user=a%26pass%3Dx&pass=p";
    QTest::newRow("hash, percent") << "http://h" << "a#b" << "100%" << "http://h" + q + "&user=a%23b&pass=100%25";
    QTest::newRow("plus, blank") << "http://h/svc//" << "a+b" << "two words"
                                 << "http://h/svc" + q + "&user=a%2Bb&pass=two%20words";
}

void TestUpdateFraming::query()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, address);
    QCOMPARE(UF::address(server, QStringLiteral("engines"), user, password), address);
}

void TestUpdateFraming::serviceServesStarterData_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("file");
    QTest::newRow("categories") << QByteArray("categories") << "catagory.ist";
    QTest::newRow("ranking") << QByteArray("ranking") << "ranking.ist";
    QTest::newRow("engines") << QByteArray("engines") << "data.ist";
    QTest::newRow("mandata") << QByteArray("mandata") << "datam.ist";
}

void TestUpdateFraming::serviceServesStarterData()
{
    // What an update stores from the built-in lists is the program directory's
    // starter file, between the two empty lines the marks leave.
    QFETCH(QByteArray, kind);
    QFETCH(QString, file);
    QFile starter(qEnvironmentVariable("VANTOR_SOURCE_DIR") + QStringLiteral("/resources/programdir/data/") + file);
    QVERIFY(starter.open(QIODevice::ReadOnly));
    const QByteArray bytes = starter.readAll();
    QVERIFY(!bytes.isEmpty());
    const QStringList lines = UF::bodyLines(UpdateService::framedList(kind, 8088));
    QVERIFY(UF::isComplete(lines));
    QStringList expected = UF::bodyLines(bytes);
    expected.prepend(QString());
    expected.append(QString());
    QCOMPARE(UF::removeMarks(lines), expected);
    // Served from another port, the lists point at that port.
    const QByteArray moved = UpdateService::framedList(kind, 9099);
    if (bytes.contains("127.0.0.1:8088"))
        QVERIFY(moved.contains("http://127.0.0.1:9099/") && !moved.contains(":8088"));
}

void TestUpdateFraming::ownerOnly()
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("dfd.ini"));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[tss]\r\napp=x\r\n");
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFile::ReadOther | QFile::ReadGroup));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::WriteOther | QFile::ExeOther;

    makeOwnerOnly(existing);
    QCOMPARE(QFile(existing).permissions() & others, QFile::Permissions());
    // The atomic replacement of a later write keeps them.
    IniFile(existing).writeString(QStringLiteral("Proxy"), QStringLiteral("ProxyPassword"), QStringLiteral("p"));
    QCOMPARE(QFile(existing).permissions() & others, QFile::Permissions());
    QCOMPARE(IniFile(existing).readString(QStringLiteral("tss"), QStringLiteral("app"), QString()),
             QStringLiteral("x"));

    const QString fresh = dir.filePath(QStringLiteral("new.ini"));
    makeOwnerOnly(fresh);
    QVERIFY(QFile::exists(fresh));
    QCOMPARE(QFile(fresh).permissions() & others, QFile::Permissions());
}

QTEST_GUILESS_MAIN(TestUpdateFraming)
#include "tst_updateframing.moc"
