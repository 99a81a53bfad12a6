#include "settings/IniFile.h"
#include "settings/ProgramSettings.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Key = ProgramSettings::Key;

namespace {

void writeIni(const QTemporaryDir& dir, const QByteArray& text)
{
    // Replaced whole, as the program and most editors save it.
    QSaveFile file(dir.filePath(QStringLiteral("dfd.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    QVERIFY(file.commit());
}

} // namespace

class TestProgramSettings : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void changedWhenTheFileChanges();
    void writesOneKey();
    void writesSeveralKeysAsKeyByKeyWritesWould_data();
    void writesSeveralKeysAsKeyByKeyWritesWould();
    void failedWriteKeepsTheValues();
    void updateServer_data();
    void updateServer();
};

void TestProgramSettings::values_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Key>("key");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("fresh ports") << QByteArray() << Key::Ports << QVariant(10);
    QTest::newRow("fresh timeout") << QByteArray() << Key::Timeout << QVariant(40);
    QTest::newRow("fresh title") << QByteArray() << Key::TitleTxt << QVariant(QStringLiteral("error"));
    QTest::newRow("fresh report") << QByteArray() << Key::GenReport << QVariant(true);
    QTest::newRow("fresh proxy") << QByteArray() << Key::KeyProxy << QVariant(false);
    QTest::newRow("hex ports") << QByteArray("[SubOptions]\r\nPorts=0x14\r\n") << Key::Ports << QVariant(20);
    QTest::newRow("ports not a number") << QByteArray("[suboptions]\r\nports=abc\r\n") << Key::Ports << QVariant(10);
    QTest::newRow("report 2") << QByteArray("[Reports]\r\nGenReport=2\r\n") << Key::GenReport << QVariant(true);
    QTest::newRow("report 0") << QByteArray("[Reports]\r\nGenReport=0\r\n") << Key::GenReport << QVariant(false);
    QTest::newRow("quoted title") << QByteArray("[Reports]\r\nTitleTxt=\"Mine\"\r\n") << Key::TitleTxt
                                  << QVariant(QStringLiteral("Mine"));
}

void TestProgramSettings::values()
{
    QFETCH(QByteArray, file);
    QFETCH(Key, key);
    QFETCH(QVariant, expected);
    QTemporaryDir dir;
    if (!file.isEmpty())
        writeIni(dir, file);
    ProgramSettings settings(dir.path());
    if (expected.typeId() == QMetaType::Int)
        QCOMPARE(settings.integer(key), expected.toInt());
    else if (expected.typeId() == QMetaType::Bool)
        QCOMPARE(settings.flag(key), expected.toBool());
    else
        QCOMPARE(settings.text(key), expected.toString());
}

void TestProgramSettings::changedWhenTheFileChanges()
{
    QTemporaryDir dir;
    writeIni(dir, "[SubOptions]\r\nPorts=5\r\nTimeout=30\r\n");
    ProgramSettings settings(dir.path());
    QCOMPARE(settings.integer(Key::Ports), 5);
    QSignalSpy changed(&settings, &ProgramSettings::changed);
    // Another program changes one value: only that key is announced.
    writeIni(dir, "[SubOptions]\r\nPorts=7\r\nTimeout=30\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(settings.integer(Key::Ports), 7, 5000);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().first().value<Key>(), Key::Ports);
    // Replaced again: the new file is still watched.
    writeIni(dir, "[SubOptions]\r\nPorts=7\r\nTimeout=12\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(settings.integer(Key::Timeout), 12, 5000);
}

void TestProgramSettings::writesOneKey()
{
    QTemporaryDir dir;
    writeIni(dir, "[SubOptions]\r\nTimeout=30\r\n");
    ProgramSettings settings(dir.path());
    QSignalSpy changed(&settings, &ProgramSettings::changed);
    settings.setInteger(Key::Ports, 3);
    QCOMPARE(changed.size(), 1);
    QFile file(dir.filePath(QStringLiteral("dfd.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[SubOptions]\r\nTimeout=30\r\nPorts=3\r\n"));
    // The same value again is no change.
    settings.setInteger(Key::Ports, 3);
    QCOMPARE(changed.size(), 1);
}

using Values = QList<QPair<Key, QVariant>>;

void TestProgramSettings::writesSeveralKeysAsKeyByKeyWritesWould_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<Values>("values");
    QTest::addColumn<int>("changes");
    QTest::newRow("report options into a fresh file")
        << QByteArray() << Values{{Key::GenReport, false}, {Key::HeaderCK, true}, {Key::FooterCk, false},
                                  {Key::TitleCk, true}, {Key::HeaderPath, QStringLiteral("h.htm")},
                                  {Key::FooterPath, QStringLiteral("f.htm")}, {Key::TitleTxt, QStringLiteral("T")}}
        << 5;
    QTest::newRow("run options beside other sections")
        << QByteArray("[tss]\r\napp=x\r\n[SubOptions]\r\nPorts=4\r\n")
        << Values{{Key::Timeout, 12}, {Key::Ports, 4}} << 1;
    QTest::newRow("proxy with a password")
        << QByteArray("[Proxy]\r\nKeyProxy=1\r\n")
        << Values{{Key::ProxyHost, QStringLiteral("h")}, {Key::ProxyPassword, QStringLiteral("p w")},
                  {Key::ProxyPort, QStringLiteral("3128")}, {Key::ProxyUserName, QString()}, {Key::KeyProxy, false}}
        << 4;
    QTest::newRow("login unchanged") << QByteArray("[subscription]\r\nuser=ann\r\npass=pw\r\n")
                                     << Values{{Key::User, QStringLiteral("ann")}, {Key::Pass, QStringLiteral("pw")}}
                                     << 0;
}

// The file after one replacement is the file the same writes key by key
// leave, and each value that differs is announced once.
void TestProgramSettings::writesSeveralKeysAsKeyByKeyWritesWould()
{
    QFETCH(QByteArray, before);
    QFETCH(Values, values);
    QFETCH(int, changes);
    QTemporaryDir dir;
    QTemporaryDir reference;
    if (!before.isEmpty()) {
        writeIni(dir, before);
        writeIni(reference, before);
    }
    ProgramSettings settings(dir.path());
    QSignalSpy changed(&settings, &ProgramSettings::changed);
    settings.setValues(values);

    IniFile ini(reference.filePath(QStringLiteral("dfd.ini")));
    for (const auto& [key, value] : values) {
        if (value.typeId() == QMetaType::Bool)
            ini.writeBool(ProgramSettings::section(key), ProgramSettings::name(key), value.toBool());
        else if (value.typeId() == QMetaType::Int)
            ini.writeInteger(ProgramSettings::section(key), ProgramSettings::name(key), value.toInt());
        else
            ini.writeString(ProgramSettings::section(key), ProgramSettings::name(key), value.toString());
    }
    QFile written(dir.filePath(QStringLiteral("dfd.ini")));
    QFile expected(reference.filePath(QStringLiteral("dfd.ini")));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), expected.readAll());
    QCOMPARE(changed.size(), changes);
    for (const auto& [key, value] : values)
        QCOMPARE(settings.text(key), value.toString());
}

void TestProgramSettings::failedWriteKeepsTheValues()
{
    QTemporaryDir dir;
    // A folder where the file should be stops root as well.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dfd.ini")));
    ProgramSettings settings(dir.path());
    QSignalSpy changed(&settings, &ProgramSettings::changed);
    QVERIFY_THROWS_EXCEPTION(IniWriteError, settings.setValues({{Key::Timeout, 5}, {Key::Ports, 2}}));
    QCOMPARE(settings.integer(Key::Timeout), 40);
    QCOMPARE(settings.integer(Key::Ports), 10);
    QCOMPARE(changed.size(), 0);
}

void TestProgramSettings::updateServer_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("server");
    QTest::newRow("no key") << QByteArray("[tss]\r\napp=x\r\n") << "http://127.0.0.1:8088";
    QTest::newRow("https") << QByteArray("[Update]\r\nServer=https://updates.example\r\n")
                           << "https://updates.example";
}

void TestProgramSettings::updateServer()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, server);
    QTemporaryDir dir;
    writeIni(dir, ini);
    QCOMPARE(ProgramSettings(dir.path()).text(Key::UpdateServer), server);
}

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_programsettings.moc"
