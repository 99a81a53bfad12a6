#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "support/TempProgramDir.h"

#include <QFile>
#include <QTest>

namespace SK = SettingsKeys;

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void readString_data();
    void readString();
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void missingFileIsNotCreated();
    void namesMatchWithoutCase();
    void firstSectionAndKeyWin();
    void writeOrderForNewKeys();
    void writeReplacesInPlace();
    void reportApplyAddsSectionInOrder();
    void batchReadsLikeKeyByKey();
    void writtenValueSurvivesLineBreaks();
    void readSectionPairs();
    void eraseSection();
    void writeFailureNamesFile();
    void encodings_data();
    void encodings();
    void lineEnds_data();
    void lineEnds();
};

void TestIniFile::readString_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("v=hello") << QStringLiteral("hello");
    QTest::newRow("blanks around") << QByteArray("v=   hello world  ") << QStringLiteral("hello world");
    QTest::newRow("tab around") << QByteArray("v=\thello\t") << QStringLiteral("hello");
    QTest::newRow("double quotes") << QByteArray("v=\"Submission Results\"") << QStringLiteral("Submission Results");
    QTest::newRow("single quotes") << QByteArray("v='x y'") << QStringLiteral("x y");
    QTest::newRow("quotes inside blanks") << QByteArray("v=  \" padded \"  ") << QStringLiteral(" padded ");
    QTest::newRow("one pair only") << QByteArray("v=\"\"x\"\"") << QStringLiteral("\"x\"");
    QTest::newRow("unmatched quotes") << QByteArray("v=\"x'") << QStringLiteral("\"x'");
    QTest::newRow("lone quote") << QByteArray("v=\"") << QStringLiteral("\"");
    QTest::newRow("empty value") << QByteArray("v=") << QString();
    QTest::newRow("equals in value") << QByteArray("v=a=b") << QStringLiteral("a=b");
    QTest::newRow("blank key name") << QByteArray("  v  =x") << QStringLiteral("x");
    QTest::newRow("2047 kept") << QByteArray("v=") + QByteArray(2047, 'a') << QString(2047, u'a');
    QTest::newRow("2048 cut") << QByteArray("v=") + QByteArray(2048, 'b') << QString(2047, u'b');
    QTest::newRow("cut after unquoting") << QByteArray("v=\"") + QByteArray(2047, 'c') + "\""
                                         << QString(2047, u'c');
}

void TestIniFile::readString()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    const IniDocument doc = IniDocument::fromBytes("[s]\r\n" + line + "\r\n");
    QCOMPARE(doc.readString(QStringLiteral("s"), QStringLiteral("v"), QStringLiteral("default")), expected);
}

void TestIniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << QByteArray("20") << 20;
    QTest::newRow("hex lower") << QByteArray("0x14") << 20;
    QTest::newRow("hex upper") << QByteArray("0X1f") << 31;
    QTest::newRow("hex bit pattern") << QByteArray("0xFFFFFFFF") << -1;
    QTest::newRow("0x alone") << QByteArray("0x") << 10;
    QTest::newRow("bad hex") << QByteArray("0xZZ") << 10;
    QTest::newRow("letters") << QByteArray("abc") << 10;
    QTest::newRow("empty") << QByteArray("") << 10;
    QTest::newRow("trailing text") << QByteArray("12abc") << 10;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("plus") << QByteArray("+7") << 7;
    QTest::newRow("blanks") << QByteArray("  30  ") << 30;
    QTest::newRow("quoted") << QByteArray("\"40\"") << 40;
    QTest::newRow("too large") << QByteArray("99999999999") << 10;
    QTest::newRow("fraction") << QByteArray("1.5") << 10;
}

void TestIniFile::readInteger()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    const IniDocument doc = IniDocument::fromBytes("[SubOptions]\r\nPorts=" + value + "\r\n");
    QCOMPARE(doc.readInteger(SK::SubOptions, SK::Ports, SK::DefaultPorts), expected);
}

void TestIniFile::readBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("2 is true") << QByteArray("2") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("yes gives default true") << QByteArray("yes") << true << true;
    QTest::newRow("yes gives default false") << QByteArray("yes") << false << false;
    QTest::newRow("-1 is true") << QByteArray("-1") << false << true;
    QTest::newRow("hex zero") << QByteArray("0x0") << true << false;
    QTest::newRow("empty gives default") << QByteArray("") << true << true;
}

void TestIniFile::readBool()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    const IniDocument doc = IniDocument::fromBytes("[Reports]\r\nGenReport=" + value + "\r\n");
    QCOMPARE(doc.readBool(SK::Reports, SK::GenReport, defaultValue), expected);
}

void TestIniFile::missingFileIsNotCreated()
{
    TempProgramDir dir;
    IniFile ini(dir.filePath(QStringLiteral("dfd.ini")));
    QCOMPARE(ini.readString(SK::Tss, SK::App, SK::DefaultText), QStringLiteral("error"));
    QCOMPARE(ini.readInteger(SK::SubOptions, SK::Ports, SK::DefaultPorts), 10);
    QCOMPARE(ini.readInteger(SK::SubOptions, SK::Timeout, SK::DefaultTimeout), 40);
    QCOMPARE(ini.readBool(SK::Reports, SK::GenReport, true), true);
    QVERIFY(ini.readSection(QStringLiteral("List")).isEmpty());
    QVERIFY(!dir.exists(QStringLiteral("dfd.ini")));
}

void TestIniFile::namesMatchWithoutCase()
{
    const IniDocument doc = IniDocument::fromBytes("[REPORTS]\r\nheaderck=0\r\n  [ Tss ]  \r\nAPP = Vantor\r\n");
    QCOMPARE(doc.readBool(SK::Reports, SK::HeaderCK, true), false);
    QCOMPARE(doc.readString(SK::Tss, SK::App, SK::DefaultText), QStringLiteral("Vantor"));

    IniDocument written = doc;
    written.writeBool(SK::Reports, SK::HeaderCK, true);
    // The existing key is replaced, not added again under another case.
    QCOMPARE(written.readSection(SK::Reports).size(), 1);
    QCOMPARE(written.readBool(QStringLiteral("reports"), QStringLiteral("HEADERCK"), false), true);
}

void TestIniFile::firstSectionAndKeyWin()
{
    const IniDocument doc = IniDocument::fromBytes("[a]\r\nk=1\r\nk=2\r\n[b]\r\nk=3\r\n[a]\r\nk=4\r\nj=5\r\n");
    QCOMPARE(doc.readString(QStringLiteral("a"), QStringLiteral("k"), QString()), QStringLiteral("1"));
    QCOMPARE(doc.readString(QStringLiteral("b"), QStringLiteral("k"), QString()), QStringLiteral("3"));
    // Keys of a repeated section are not part of the first.
    QCOMPARE(doc.readString(QStringLiteral("a"), QStringLiteral("j"), QStringLiteral("none")),
             QStringLiteral("none"));
}

void TestIniFile::writeOrderForNewKeys()
{
    TempProgramDir dir;
    IniFile ini(dir.filePath(QStringLiteral("dfd.ini")));
    ini.writeString(SK::Proxy, SK::ProxyHost, QStringLiteral("proxy.example"));
    ini.writeString(SK::Proxy, SK::ProxyPassword, QStringLiteral("pw"));
    ini.writeString(SK::Proxy, SK::ProxyPort, QStringLiteral("8080"));
    ini.writeString(SK::Proxy, SK::ProxyUserName, QStringLiteral("me"));
    ini.writeBool(SK::Proxy, SK::KeyProxy, true);
    QCOMPARE(dir.read(QStringLiteral("dfd.ini")),
             QByteArray("[Proxy]\r\nProxyHost=proxy.example\r\nProxyPassword=pw\r\nProxyPort=8080\r\n"
                        "ProxyUserName=me\r\nKeyProxy=1\r\n"));
}

void TestIniFile::writeReplacesInPlace()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "; note\r\n[SubOptions]\r\nPorts=10\r\nTimeout=40\r\n\r\n[tss]\r\napp=V\r\n");
    IniFile ini(dir.filePath(QStringLiteral("dfd.ini")));
    ini.writeInteger(SK::SubOptions, SK::Timeout, 15);
    ini.writeInteger(SK::SubOptions, SK::Ports, 20);
    ini.writeString(SK::SubOptions, QStringLiteral("Extra"), QStringLiteral("x"));
    // Values change where they stand; a new key goes before the blank line
    // that ends the section; everything else is kept.
    QCOMPARE(dir.read(QStringLiteral("dfd.ini")),
             QByteArray("; note\r\n[SubOptions]\r\nPorts=20\r\nTimeout=15\r\nExtra=x\r\n\r\n[tss]\r\napp=V\r\n"));
    IniFile again(dir.filePath(QStringLiteral("dfd.ini")));
    QCOMPARE(again.readInteger(SK::SubOptions, SK::Ports, 0), 20);
}

void TestIniFile::reportApplyAddsSectionInOrder()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\n");
    IniFile ini(dir.filePath(QStringLiteral("dfd.ini")));
    ini.writeBool(SK::Reports, SK::GenReport, true);
    ini.writeBool(SK::Reports, SK::HeaderCK, false);
    ini.writeBool(SK::Reports, SK::FooterCk, true);
    ini.writeBool(SK::Reports, SK::TitleCk, true);
    ini.writeString(SK::Reports, SK::HeaderPath, QStringLiteral("/h.htm"));
    ini.writeString(SK::Reports, SK::FooterPath, QStringLiteral("/f.htm"));
    ini.writeString(SK::Reports, SK::TitleTxt, QStringLiteral("Submission Results"));
    QCOMPARE(dir.read(QStringLiteral("dfd.ini")),
             QByteArray("[tss]\r\napp=Vantor Pro\r\n[Reports]\r\nGenReport=1\r\nHeaderCK=0\r\nFooterCk=1\r\n"
                        "TitleCk=1\r\nHeaderPath=/h.htm\r\nFooterPath=/f.htm\r\nTitleTxt=Submission Results\r\n"));
}

void TestIniFile::batchReadsLikeKeyByKey()
{
    TempProgramDir dir;
    const QByteArray start("[Session]\r\nCount=7\r\n[List]\r\n0=old\r\n1=older\r\n[Other]\r\nx=1\r\n");
    dir.write(QStringLiteral("one.zro"), start);
    dir.write(QStringLiteral("batch.zro"), start);

    auto rewrite = [](IniFile& ini) {
        ini.eraseSection(QStringLiteral("List"));
        const QStringList names{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        for (int i = 0; i < names.size(); ++i) {
            ini.writeInteger(QStringLiteral("Session"), QStringLiteral("Count"), i);
            ini.writeString(QStringLiteral("List"), QString::number(i), names.at(i));
        }
    };
    IniFile one(dir.filePath(QStringLiteral("one.zro")));
    rewrite(one);
    IniFile batch(dir.filePath(QStringLiteral("batch.zro")));
    batch.beginUpdate();
    rewrite(batch);
    // Nothing reaches the disk before the batch ends.
    QCOMPARE(dir.read(QStringLiteral("batch.zro")), start);
    batch.endUpdate();

    QCOMPARE(dir.read(QStringLiteral("batch.zro")), dir.read(QStringLiteral("one.zro")));
    QCOMPARE(dir.read(QStringLiteral("one.zro")),
             QByteArray("[Session]\r\nCount=2\r\n[Other]\r\nx=1\r\n[List]\r\n0=a\r\n1=b\r\n2=c\r\n"));
}

void TestIniFile::writtenValueSurvivesLineBreaks()
{
    TempProgramDir dir;
    IniFile ini(dir.filePath(QStringLiteral("p.zro")));
    ini.writeString(QStringLiteral("p"), QStringLiteral("description"), QStringLiteral("one\r\n[List]\n0=evil"));
    ini.writeString(QStringLiteral("p"), QStringLiteral("key1"), QStringLiteral("k"));
    IniFile again(dir.filePath(QStringLiteral("p.zro")));
    QVERIFY(!again.hasSection(QStringLiteral("List")));
    QCOMPARE(again.readString(QStringLiteral("p"), QStringLiteral("description"), QString()),
             QStringLiteral("one [List] 0=evil"));
    QCOMPARE(again.readString(QStringLiteral("p"), QStringLiteral("key1"), QString()), QStringLiteral("k"));
}

void TestIniFile::readSectionPairs()
{
    const IniDocument doc =
        IniDocument::fromBytes("[List]\r\n0= alpha \r\n\r\nnot a key\r\n1=\"beta\"\r\n3=gamma\r\n[Session]\r\nCount=3\r\n");
    const QList<QPair<QString, QString>> pairs = doc.readSection(QStringLiteral("list"));
    QCOMPARE(pairs.size(), 3);
    QCOMPARE(pairs.at(0), qMakePair(QStringLiteral("0"), QStringLiteral("alpha")));
    QCOMPARE(pairs.at(1), qMakePair(QStringLiteral("1"), QStringLiteral("beta")));
    QCOMPARE(pairs.at(2), qMakePair(QStringLiteral("3"), QStringLiteral("gamma")));
}

void TestIniFile::eraseSection()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("s.zro"), "[Session]\r\nCount=1\r\n[List]\r\n0=a\r\n1=b\r\n[Tail]\r\nk=v\r\n");
    IniFile ini(dir.filePath(QStringLiteral("s.zro")));
    ini.eraseSection(QStringLiteral("LIST"));
    QCOMPARE(dir.read(QStringLiteral("s.zro")), QByteArray("[Session]\r\nCount=1\r\n[Tail]\r\nk=v\r\n"));
    // Removing a section that is not there leaves the file untouched.
    dir.write(QStringLiteral("s.zro"), "[Session]\nCount=1\n");
    IniFile other(dir.filePath(QStringLiteral("s.zro")));
    other.eraseSection(QStringLiteral("List"));
    QCOMPARE(dir.read(QStringLiteral("s.zro")), QByteArray("[Session]\nCount=1\n"));
}

void TestIniFile::writeFailureNamesFile()
{
    TempProgramDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/dir/dfd.ini"));
    IniFile ini(path);
    try {
        ini.writeString(SK::Tss, SK::App, QStringLiteral("x"));
        QFAIL("a write into a missing directory must fail");
    } catch (const IniWriteError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Unable to write to %1").arg(path));
        QCOMPARE(e.path(), path);
    }
    QVERIFY(!QFile::exists(path));

    // A batch that cannot be written fails when it ends, not silently.
    IniFile batch(path);
    batch.beginUpdate();
    batch.writeString(SK::Tss, SK::App, QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(IniWriteError, batch.endUpdate());
}

void TestIniFile::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("utf-8") << QByteArray("[p]\r\ntitle=Caf\xC3\xA9\r\n") << QStringLiteral("Caf\u00E9");
    QTest::newRow("latin-1") << QByteArray("[p]\r\ntitle=Caf\xE9\r\n") << QStringLiteral("Caf\u00E9");
    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF[p]\r\ntitle=x\r\n") << QStringLiteral("x");
}

void TestIniFile::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const IniDocument doc = IniDocument::fromBytes(bytes);
    QCOMPARE(doc.readString(QStringLiteral("p"), QStringLiteral("title"), QString()), expected);
    // Written back as UTF-8 without a byte-order mark.
    IniDocument copy = doc;
    copy.writeString(QStringLiteral("p"), QStringLiteral("title"), expected);
    QVERIFY(!copy.toBytes().startsWith("\xEF\xBB\xBF"));
    QCOMPARE(IniDocument::fromBytes(copy.toBytes()).readString(QStringLiteral("p"), QStringLiteral("title"), {}),
             expected);
}

void TestIniFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("crlf") << QByteArray("[a]\r\nk=1\r\nj=2\r\n");
    QTest::newRow("lf") << QByteArray("[a]\nk=1\nj=2\n");
    QTest::newRow("cr") << QByteArray("[a]\rk=1\rj=2\r");
    QTest::newRow("no final end") << QByteArray("[a]\r\nk=1\r\nj=2");
}

void TestIniFile::lineEnds()
{
    QFETCH(QByteArray, bytes);
    const IniDocument doc = IniDocument::fromBytes(bytes);
    QCOMPARE(doc.readString(QStringLiteral("a"), QStringLiteral("k"), QString()), QStringLiteral("1"));
    QCOMPARE(doc.readString(QStringLiteral("a"), QStringLiteral("j"), QString()), QStringLiteral("2"));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
