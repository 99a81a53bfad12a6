#include "settings/ProgramSettings.h"

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

QTEST_GUILESS_MAIN(TestProgramSettings)
#include "tst_programsettings.moc"
