// The engine lines, the list files, the engine database, the manual list
// rules and the category map, without any window.
#include "submission/CategoryMap.h"
#include "submission/EngineDatabase.h"
#include "submission/EngineLine.h"
#include "submission/EngineType.h"
#include "submission/ListFile.h"
#include "submission/ManualList.h"

#include "support/TempProgramDir.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

// A line whose fields 1..38 hold "f1".."f38", each ended by "|".
QString fullLine(const QString& name)
{
    QString line = name + QLatin1Char('=');
    for (int i = 1; i <= 38; ++i)
        line += QStringLiteral("f%1|").arg(i);
    return line;
}

} // namespace

class TestEngineLines : public QObject
{
    Q_OBJECT

private slots:
    void splitLines_data();
    void splitLines();
    void loadListFromFile();
    void loadListFromLargeFile_data();
    void loadListFromLargeFile();
    void loadListFromMissingFile();
    void saveListToFile();
    void saveListToUnwritablePlace();

    void fieldPositions_data();
    void fieldPositions();
    void allFieldsOfAFullLine();
    void method_data();
    void method();

    void engineKinds_data();
    void engineKinds();
    void batchCounts_data();
    void batchCounts();

    void databaseSortsAndDropsDuplicates();
    void databaseLookupIgnoresCase();
    void databaseLookupFolding_data();
    void databaseLookupFolding();
    void databaseRemoveKeepsLookupsRight();
    void databaseLoadFailureKeepsLines();
    void databaseSaveWritesSortedLines();

    void delimiterDetection_data();
    void delimiterDetection();
    void splitManualLine_data();
    void splitManualLine();
    void joinManualLineReadsBack_data();
    void joinManualLineReadsBack();
    void parseLinesKeepsDelimiter();

    void categoryMap_data();
    void categoryMap();
    void categoryMapReadsFileAfresh();
    void categoryMapWithoutFile();

    void starterData();
};

void TestEngineLines::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lf") << QStringLiteral("a\nb\n") << QStringList{"a", "b"};
    QTest::newRow("cr") << QStringLiteral("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("final line without ending") << QStringLiteral("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("mixed endings") << QStringLiteral("a\rb\nc\r\nd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("empty lines kept") << QStringLiteral("a\r\n\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("lf cr is two endings") << QStringLiteral("a\n\rb") << QStringList{"a", "", "b"};
    QTest::newRow("only an ending") << QStringLiteral("\r\n") << QStringList{""};
}

void TestEngineLines::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitListLines(text), lines);
}

void TestEngineLines::loadListFromFile()
{
    TempProgramDir dir;
    // Latin-1 bytes that are not UTF-8 are read as Latin-1; UTF-8 as UTF-8.
    dir.write(QStringLiteral("data/a.ist"), QByteArray("caf\xE9\r\nb\nc"));
    dir.write(QStringLiteral("data/b.ist"), QByteArray("caf\xC3\xA9\r\n"));
    QStringList list{QStringLiteral("old")};
    LoadListFromFile(dir.filePath(QStringLiteral("data/a.ist")), list);
    QCOMPARE(list, (QStringList{QStringLiteral("caf\u00E9"), "b", "c"}));
    LoadListFromFile(dir.filePath(QStringLiteral("data/b.ist")), list);
    QCOMPARE(list, QStringList{QStringLiteral("caf\u00E9")});
}

void TestEngineLines::loadListFromLargeFile_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<bool>("latin1");
    QTest::addColumn<bool>("bom");
    QTest::newRow("crlf utf-8") << QByteArray("\r\n") << false << false;
    QTest::newRow("crlf utf-8 with bom") << QByteArray("\r\n") << false << true;
    QTest::newRow("lf utf-8") << QByteArray("\n") << false << false;
    QTest::newRow("cr utf-8") << QByteArray("\r") << false << false;
    QTest::newRow("crlf latin-1 late in the file") << QByteArray("\r\n") << true << false;
}

// Files of several read chunks: no line is split or doubled at a chunk edge,
// no character is cut, and one non-UTF-8 byte anywhere makes it all Latin-1.
void TestEngineLines::loadListFromLargeFile()
{
    QFETCH(QByteArray, ending);
    QFETCH(bool, latin1);
    QFETCH(bool, bom);
    QByteArray bytes = bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    QStringList expected;
    for (int i = 0; i < 70000; ++i) {
        const QString line = QStringLiteral("Engine caf\u00E9 %1=FFA|http://127.0.0.1:8088/\u20AC/%1|").arg(i);
        expected.append(line);
        bytes += line.toUtf8() + ending;
    }
    if (latin1) {
        bytes += "last \xE9";
        for (QString& line : expected)
            line = QString::fromLatin1(line.toUtf8());
        expected.append(QStringLiteral("last \u00E9"));
    }
    QVERIFY(bytes.size() > 3 * (1 << 20));
    TempProgramDir dir;
    dir.write(QStringLiteral("data/big.ist"), bytes);
    QStringList list;
    LoadListFromFile(dir.filePath(QStringLiteral("data/big.ist")), list);
    QCOMPARE(list.size(), expected.size());
    QCOMPARE(list, expected);
    // Read in steps, the file gives the same lines.
    ListFileReader reader(dir.filePath(QStringLiteral("data/big.ist")));
    int steps = 1;
    while (reader.step())
        ++steps;
    QVERIFY2(steps > 12, qPrintable(QString::number(steps)));
    QCOMPARE(reader.takeLines(), expected);
}

void TestEngineLines::loadListFromMissingFile()
{
    TempProgramDir dir;
    const QString path = dir.filePath(QStringLiteral("data/none.ist"));
    QStringList list{QStringLiteral("kept")};
    try {
        LoadListFromFile(path, list);
        QFAIL("no error for a missing file");
    } catch (const ListFileError& e) {
        const QString text = QString::fromUtf8(e.what());
        QVERIFY2(text.contains(path), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("No such file")), qPrintable(text));
    }
    QCOMPARE(list, QStringList{QStringLiteral("kept")});
}

void TestEngineLines::saveListToFile()
{
    TempProgramDir dir;
    const QString path = dir.filePath(QStringLiteral("data/out.ist"));
    SaveListToFile({QStringLiteral("a"), QString(), QStringLiteral("caf\u00E9")}, path);
    QCOMPARE(dir.read(QStringLiteral("data/out.ist")), QByteArray("a\r\n\r\ncaf\xC3\xA9\r\n"));
    QStringList back;
    LoadListFromFile(path, back);
    QCOMPARE(back, (QStringList{"a", "", QStringLiteral("caf\u00E9")}));
    SaveListToFile({}, path);
    QCOMPARE(dir.read(QStringLiteral("data/out.ist")), QByteArray());
}

void TestEngineLines::saveListToUnwritablePlace()
{
    TempProgramDir dir;
    const QString path = dir.filePath(QStringLiteral("missing-dir/out.ist"));
    try {
        SaveListToFile({QStringLiteral("a")}, path);
        QFAIL("no error for an unwritable place");
    } catch (const ListFileError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Unable to write to ") + path);
    }
    QVERIFY(!QFileInfo::exists(path));
}

void TestEngineLines::fieldPositions_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("value");
    const QString full = fullLine(QStringLiteral("Engine"));
    QTest::newRow("name before the first =") << QStringLiteral("A=B=FFA|x|") << "A" << 1 << "B=FFA";
    QTest::newRow("type") << QStringLiteral("N=FFA|http://s/|") << "N" << 1 << "FFA";
    QTest::newRow("site url") << QStringLiteral("N=FFA|http://s/|") << "N" << 2 << "http://s/";
    QTest::newRow("site url without its bar is empty") << QStringLiteral("N=FFA|http://s/") << "N" << 2 << "";
    QTest::newRow("text after the last bar ignored") << QStringLiteral("N=FFA|a|tail") << "N" << 3 << "";
    QTest::newRow("empty field") << QStringLiteral("N=FFA||c|") << "N" << 2 << "";
    QTest::newRow("field after an empty one") << QStringLiteral("N=FFA||c|") << "N" << 3 << "c";
    QTest::newRow("method at 21") << full << "Engine" << 21 << "f21";
    QTest::newRow("keywords at 22") << full << "Engine" << 22 << "f22";
    QTest::newRow("reserved read past") << full << "Engine" << 30 << "f30";
    QTest::newRow("country at 38") << full << "Engine" << 38 << "f38";
    QTest::newRow("no 39th field") << full + QStringLiteral("f39|") << "Engine" << 39 << "";
    QTest::newRow("country without its bar") << full.left(full.size() - 1) << "Engine" << 38 << "";
    QTest::newRow("position 0") << full << "Engine" << 0 << "";
    QTest::newRow("no = at all: all name") << QStringLiteral("just|text|") << "just|text|" << 1 << "";
    QTest::newRow("empty line") << QString() << "" << 1 << "";
    QTest::newRow("empty name") << QStringLiteral("=FFA|") << "" << 1 << "FFA";
}

void TestEngineLines::fieldPositions()
{
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(int, position);
    QFETCH(QString, value);
    const EngineLine engine(line);
    QCOMPARE(engine.name(), name);
    QCOMPARE(engine.field(position), value);
    QCOMPARE(EngineLine::nameOf(line), name);
    // The view-free reader agrees with the record.
    if (line.contains(QLatin1Char('=')))
        QCOMPARE(EngineLine::fieldOf(EngineLine::valueOf(line), position).toString(), value);
}

void TestEngineLines::allFieldsOfAFullLine()
{
    const QString line = fullLine(QStringLiteral("E"));
    const EngineLine engine(line);
    const EngineLine same = EngineLine::fromValue(QStringLiteral("E"), EngineLine::valueOf(line).toString());
    for (int i = 1; i <= EngineLine::FieldCount; ++i) {
        QCOMPARE(engine.field(i), QStringLiteral("f%1").arg(i));
        QCOMPARE(same.field(i), engine.field(i));
    }
    QCOMPARE(engine.type(), QStringLiteral("f1"));
    QCOMPARE(engine.siteUrl(), QStringLiteral("f2"));
    QCOMPARE(engine.field(EngineLine::CountryParam), QStringLiteral("f38"));
}

void TestEngineLines::method_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("post");
    QTest::newRow("POST") << "POST" << true;
    QTest::newRow("post lower case") << "post" << false;
    QTest::newRow("GET") << "GET" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("POST with blank") << "POST " << false;
}

void TestEngineLines::method()
{
    QFETCH(QString, method);
    QFETCH(bool, post);
    QString line = QStringLiteral("E=");
    for (int i = 1; i <= 22; ++i)
        line += (i == EngineLine::Method ? method : QString()) + QLatin1Char('|');
    QCOMPARE(EngineLine(line).isPost(), post);
}

void TestEngineLines::engineKinds_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("kind");
    QTest::newRow("ENGINE") << "ENGINE" << int(EngineKind::Engine);
    QTest::newRow("engine lower case") << "engine" << int(EngineKind::Other);
    QTest::newRow("CLASSIFIED") << "CLASSIFIED" << int(EngineKind::Classified);
    QTest::newRow("FFA") << "FFA" << int(EngineKind::Ffa);
    QTest::newRow("FFA with blank") << "FFA " << int(EngineKind::Other);
    QTest::newRow("BATCH->25") << "BATCH->25" << int(EngineKind::Batch);
    QTest::newRow("contains BATCH") << "XBATCHY" << int(EngineKind::Batch);
    QTest::newRow("batch lower case") << "batch->3" << int(EngineKind::Other);
    QTest::newRow("Custom->Engine") << "Custom->Engine" << int(EngineKind::CustomEngine);
    QTest::newRow("Custom->Classified") << "Custom->Classified" << int(EngineKind::CustomClassified);
    QTest::newRow("Custom->FFA") << "Custom->FFA" << int(EngineKind::CustomFfa);
    QTest::newRow("custom->ffa") << "custom->ffa" << int(EngineKind::Other);
    QTest::newRow("IndexNow") << "IndexNow" << int(EngineKind::IndexNow);
    QTest::newRow("indexnow lower case") << "indexnow" << int(EngineKind::Other);
    QTest::newRow("empty") << "" << int(EngineKind::Other);
}

void TestEngineLines::engineKinds()
{
    QFETCH(QString, type);
    QFETCH(int, kind);
    QCOMPARE(int(engineKind(type)), kind);
}

void TestEngineLines::batchCounts_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("weight");
    QTest::newRow("BATCH->25") << "BATCH->25" << 25 << 25;
    QTest::newRow("BATCH->1") << "BATCH->1" << 1 << 1;
    QTest::newRow("after the first arrow") << "BATCH->7->9" << 1 << 1;
    QTest::newRow("not a whole number") << "BATCH->many" << 1 << 1;
    QTest::newRow("decimal") << "BATCH->2.5" << 1 << 1;
    QTest::newRow("no arrow") << "BATCH" << 1 << 1;
    QTest::newRow("empty count") << "BATCH->" << 1 << 1;
    QTest::newRow("too large") << "BATCH->99999999999" << 1 << 1;
    QTest::newRow("zero") << "BATCH->0" << 0 << 0;
    QTest::newRow("not a batch type: weight 1") << "Custom->FFA" << 1 << 1;
}

void TestEngineLines::batchCounts()
{
    QFETCH(QString, type);
    QFETCH(int, count);
    QFETCH(int, weight);
    QCOMPARE(batchCount(type), count);
    QCOMPARE(submissionWeight(type), weight);
}

void TestEngineLines::databaseSortsAndDropsDuplicates()
{
    EngineDatabase db;
    db.setLines({QStringLiteral("beta=FFA|b|"), QStringLiteral("Alpha=FFA|a|"), QStringLiteral("gamma=FFA|g|"),
                 QStringLiteral("ALPHA=FFA|A|"), QStringLiteral("Beta=FFA|B|"), QStringLiteral("beta=FFA|b|")});
    // Whole lines compared without case: "alpha=ffa|a|" twice and
    // "beta=ffa|b|" three times; the first in file order stays.
    QCOMPARE(db.lines(), (QStringList{QStringLiteral("Alpha=FFA|a|"), QStringLiteral("beta=FFA|b|"),
                                      QStringLiteral("gamma=FFA|g|")}));
    QVERIFY(EngineDatabase::compareLines(QStringLiteral("alpha"), QStringLiteral("Beta")) < 0);
    QCOMPARE(EngineDatabase::compareLines(QStringLiteral("abc"), QStringLiteral("ABC")), 0);
}

void TestEngineLines::databaseLookupIgnoresCase()
{
    EngineDatabase db;
    // Names that differ only in case: both lines stay, lookups return the
    // first in sorted order.
    db.setLines(
        {QStringLiteral("Engine=FFA|second|"), QStringLiteral("ENGINE=FFA|first|"), QStringLiteral("Other=ENGINE|o|")});
    QCOMPARE(db.count(), 3);
    QCOMPARE(db.lookup(QStringLiteral("engine")), QStringLiteral("FFA|first|"));
    QCOMPARE(db.lookup(QStringLiteral("Engine")), QStringLiteral("FFA|first|"));
    QCOMPARE(db.indexOf(QStringLiteral("eNgInE")), 0);
    QCOMPARE(db.lookup(QStringLiteral("OTHER")), QStringLiteral("ENGINE|o|"));
    QCOMPARE(db.lookup(QStringLiteral("missing")), QString());
    QCOMPARE(db.indexOf(QStringLiteral("missing")), -1);
    QVERIFY(!db.contains(QStringLiteral("Eng")));
}

void TestEngineLines::databaseLookupFolding_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("found");
    QTest::newRow("ASCII letters") << QStringLiteral("Fast Engine") << QStringLiteral("fAST eNGINE") << true;
    QTest::newRow("digits and marks") << QStringLiteral("Engine 1-2_3") << QStringLiteral("ENGINE 1-2_3") << true;
    QTest::newRow("@ before A is no letter") << QStringLiteral("Eng@") << QStringLiteral("Eng`") << false;
    QTest::newRow("[ after Z is no letter") << QStringLiteral("Eng[") << QStringLiteral("Eng{") << false;
    QTest::newRow("Latin-1 letters") << QStringLiteral("\u00C4rzte Liste") << QStringLiteral("\u00E4RZTE liste") << true;
    QTest::newRow("accent among ASCII") << QStringLiteral("Caf\u00E9 Guide") << QStringLiteral("CAF\u00C9 GUIDE")
                                        << true;
    QTest::newRow("Kelvin sign asked") << QStringLiteral("Engine K") << QStringLiteral("engine \u212A") << true;
    QTest::newRow("Kelvin sign stored") << QStringLiteral("Engine \u212A") << QStringLiteral("ENGINE k") << true;
    QTest::newRow("sharp s stays one letter") << QStringLiteral("Stra\u00DFe") << QStringLiteral("STRASSE") << false;
}

void TestEngineLines::databaseLookupFolding()
{
    QFETCH(QString, stored);
    QFETCH(QString, asked);
    QFETCH(bool, found);
    EngineDatabase db;
    db.setLines({QStringLiteral("Before=FFA|b|"), stored + QStringLiteral("=FFA|x|"), QStringLiteral("zz=FFA|z|")});
    QCOMPARE(db.lookup(asked), found ? QStringLiteral("FFA|x|") : QString());
    QCOMPARE(db.indexOf(asked) >= 0, found);
    QCOMPARE(db.lookup(stored), QStringLiteral("FFA|x|"));
}

void TestEngineLines::databaseRemoveKeepsLookupsRight()
{
    EngineDatabase db;
    db.setLines({QStringLiteral("a=FFA|1|"), QStringLiteral("b=FFA|2|"), QStringLiteral("c=FFA|3|")});
    db.removeAt(0);
    QCOMPARE(db.indexOf(QStringLiteral("b")), 0);
    QCOMPARE(db.indexOf(QStringLiteral("c")), 1);
    QCOMPARE(db.indexOf(QStringLiteral("a")), -1);
    db.removeAt(5); // out of range: nothing happens
    QCOMPARE(db.count(), 2);
}

void TestEngineLines::databaseLoadFailureKeepsLines()
{
    TempProgramDir dir;
    EngineDatabase db;
    db.setLines({QStringLiteral("a=FFA|1|")});
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/data.ist"))));
    QVERIFY_THROWS_EXCEPTION(ListFileError, db.load(dir.filePath(QStringLiteral("data/data.ist"))));
    QCOMPARE(db.count(), 1);
    QCOMPARE(db.lookup(QStringLiteral("A")), QStringLiteral("FFA|1|"));
}

void TestEngineLines::databaseSaveWritesSortedLines()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), "zeta=FFA|z|\nalpha=FFA|a|\r\nAlpha=FFA|a|");
    EngineDatabase db;
    db.load(dir.filePath(QStringLiteral("data/data.ist")));
    db.save(dir.filePath(QStringLiteral("data/data.ist")));
    QCOMPARE(dir.read(QStringLiteral("data/data.ist")), QByteArray("alpha=FFA|a|\r\nzeta=FFA|z|\r\n"));
}

void TestEngineLines::delimiterDetection_data()
{
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("line2");
    QTest::addColumn<QString>("delimiter");
    QTest::newRow("comma") << "a,b,c"
                           << "d,e,f"
                           << ",";
    QTest::newRow("semicolon") << "a;b;c"
                               << "d;e;f"
                               << ";";
    QTest::newRow("hash") << "a#b#c"
                          << "d#e#f"
                          << "#";
    QTest::newRow("tab") << "a\tb\tc"
                         << "d\te\tf"
                         << "\t";
    QTest::newRow("bar") << "a|b|c"
                         << "d|e|f"
                         << "|";
    QTest::newRow("one-line file is comma") << "a;b;c"
                                            << ""
                                            << ",";
    QTest::newRow("unequal counts do not qualify") << "a;b;c"
                                                   << "d;e"
                                                   << ",";
    QTest::newRow("more wins") << "a,b;c;d"
                               << "e,f;g;h"
                               << ";";
    QTest::newRow("a tie keeps the earlier") << "a,b;c"
                                             << "d,e;f"
                                             << ",";
    QTest::newRow("doubled occurrences do not count") << "a;;b,c"
                                                      << "d;;e,f"
                                                      << ",";
    QTest::newRow("doubled only: comma by default") << "a;;b"
                                                    << "c;;d"
                                                    << ",";
    QTest::newRow("tripled does not count") << "a|||b|c"
                                            << "d|e"
                                            << "|";
    QTest::newRow("nothing at all") << "abc"
                                    << "def"
                                    << ",";
    QTest::newRow("commas in a url do not mislead") << "n;http://x/?a=1,2;s"
                                                    << "m;http://y/;t"
                                                    << ";";
}

void TestEngineLines::delimiterDetection()
{
    QFETCH(QString, line1);
    QFETCH(QString, line2);
    QFETCH(QString, delimiter);
    QCOMPARE(QString(ManualList::detectDelimiter(line1, line2)), delimiter);
}

void TestEngineLines::splitManualLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("plain") << "Name,http://h/,http://s/"
                           << "," << QStringList{"Name", "http://h/", "http://s/"};
    QTest::newRow("semicolon") << "a;b;c"
                               << ";" << QStringList{"a", "b", "c"};
    QTest::newRow("empty line") << ""
                                << "," << QStringList{};
    QTest::newRow("no delimiter") << "only"
                                  << "," << QStringList{"only"};
    QTest::newRow("doubled delimiter gives an empty field") << "a,,c"
                                                            << "," << QStringList{"a", "", "c"};
    QTest::newRow("trailing delimiter adds nothing") << "a,b,"
                                                     << "," << QStringList{"a", "b"};
    QTest::newRow("quoted field with delimiter") << "\"a,b\",c,d"
                                                 << "," << QStringList{"a,b", "c", "d"};
    QTest::newRow("quoted middle field") << "a,\"b,c\",d"
                                         << "," << QStringList{"a", "b,c", "d"};
    QTest::newRow("quoted last field with delimiter") << "a,\"b,c\""
                                                      << "," << QStringList{"a", "b,c"};
    QTest::newRow("doubled quote inside quotes") << "\"say \"\"hi\"\"\",x"
                                                 << "," << QStringList{"say \"hi\"", "x"};
    QTest::newRow("text after closing quote skipped") << "\"a\"junk,b"
                                                      << "," << QStringList{"a", "b"};
    QTest::newRow("last field loses one quote each side") << "a,\"b\""
                                                          << "," << QStringList{"a", "b"};
    QTest::newRow("last field with only a leading quote") << "a,\"b"
                                                          << "," << QStringList{"a", "b"};
    QTest::newRow("unclosed quote runs to the end") << "\"a,b"
                                                    << "," << QStringList{"a,b"};
    QTest::newRow("quote not at the start is text") << "a\"b,c"
                                                    << "," << QStringList{"a\"b", "c"};
    QTest::newRow("more fields than columns") << "a,b,c,d,e"
                                              << "," << QStringList{"a", "b", "c", "d", "e"};
    QTest::newRow("lone quote then delimiter") << "\",x"
                                               << "," << QStringList{",x"};
}

void TestEngineLines::splitManualLine()
{
    QFETCH(QString, line);
    QFETCH(QString, delimiter);
    QFETCH(QStringList, fields);
    QCOMPARE(ManualList::splitLine(line, delimiter.at(0)), fields);
}

void TestEngineLines::joinManualLineReadsBack_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain fields as they stand")
        << QStringList{"Name", "http://h/", "http://s/"} << "Name,http://h/,http://s/";
    QTest::newRow("a field with the delimiter is quoted") << QStringList{"a,b", "c"} << "\"a,b\",c";
    QTest::newRow("last field with the delimiter") << QStringList{"a", "b,c"} << "a,\"b,c\"";
    QTest::newRow("leading quote is quoted") << QStringList{"\"q\"", "c"} << "\"\"\"q\"\"\",c";
    QTest::newRow("quote inside stays") << QStringList{"a\"b", "c"} << "a\"b,c";
    QTest::newRow("empty middle field") << QStringList{"a", "", "c"} << "a,,c";
}

void TestEngineLines::joinManualLineReadsBack()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, line);
    QCOMPARE(ManualList::joinLine(fields, QLatin1Char(',')), line);
    QCOMPARE(ManualList::splitLine(line, QLatin1Char(',')), fields);
}

void TestEngineLines::parseLinesKeepsDelimiter()
{
    QChar delimiter;
    const auto rows = ManualList::parseLines({QStringLiteral("a;b;c"), QStringLiteral("d;e;f")}, delimiter);
    QCOMPARE(delimiter, QLatin1Char(';'));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1), (QStringList{"d", "e", "f"}));
    // A delimiter already held is used, not detected again.
    const auto again = ManualList::parseLines({QStringLiteral("x,y;z")}, delimiter);
    QCOMPARE(again.at(0), (QStringList{"x,y", "z"}));
}

void TestEngineLines::categoryMap_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("value");
    QTest::newRow("found") << "1"
                           << "Business"
                           << "&cat=biz";
    QTest::newRow("section without case") << "1"
                                          << "business"
                                          << "&cat=biz";
    QTest::newRow("other scheme") << "2"
                                  << "Business"
                                  << "&c=7&x=y";
    QTest::newRow("blanks around value removed, quotes kept") << "2"
                                                              << "Travel"
                                                              << "\"&t=1\"";
    QTest::newRow("text after the first =") << "2"
                                            << "Computers"
                                            << "&a=b=c";
    QTest::newRow("missing key") << "1"
                                 << "Travel"
                                 << "";
    QTest::newRow("missing section") << "9"
                                     << "Business"
                                     << "";
    QTest::newRow("empty category") << "1"
                                    << ""
                                    << "";
    QTest::newRow("empty scheme: section Sub") << ""
                                               << "Business"
                                               << "&plain=1";
    QTest::newRow("key of a later section not taken") << "1"
                                                      << "Computers"
                                                      << "";
}

void TestEngineLines::categoryMap()
{
    QFETCH(QString, scheme);
    QFETCH(QString, category);
    QFETCH(QString, value);
    TempProgramDir dir;
    dir.write(QStringLiteral("data/catagory.ist"),
              "[Sub]\r\nBusiness=&plain=1\r\n[sub1]\r\n Business = &cat=biz \r\n[Sub2]\r\nBUSINESS=&c=7&x=y\r\n"
              "Travel=  \"&t=1\"  \r\nComputers=&a=b=c\r\n");
    const CategoryMap map(dir.filePath(QStringLiteral("\\data\\catagory.ist")));
    QCOMPARE(map.lookup(scheme, category), value);
}

void TestEngineLines::categoryMapReadsFileAfresh()
{
    TempProgramDir dir;
    const CategoryMap map(dir.filePath(QStringLiteral("data/catagory.ist")));
    dir.write(QStringLiteral("data/catagory.ist"), "[Sub1]\nNews=&n=1\n");
    QCOMPARE(map.lookup(QStringLiteral("1"), QStringLiteral("News")), QStringLiteral("&n=1"));
    dir.write(QStringLiteral("data/catagory.ist"), "[Sub1]\nNews=&n=2\n");
    QCOMPARE(map.lookup(QStringLiteral("1"), QStringLiteral("News")), QStringLiteral("&n=2"));
}

void TestEngineLines::categoryMapWithoutFile()
{
    TempProgramDir dir;
    const CategoryMap map(dir.filePath(QStringLiteral("data/catagory.ist")));
    QCOMPARE(map.lookup(QStringLiteral("1"), QStringLiteral("News")), QString());
}

void TestEngineLines::starterData()
{
    const QString data = qEnvironmentVariable("VANTOR_SOURCE_DIR") + QStringLiteral("/resources/programdir/data/");
    QStringList lines;
    LoadListFromFile(data + QStringLiteral("data.ist"), lines);
    EngineDatabase db;
    db.setLines(lines);
    QCOMPARE(db.count(), lines.size()); // no duplicates in the shipped file
    int perKind[int(EngineKind::Other) + 1] = {};
    for (const QString& line : lines) {
        const EngineLine engine(line);
        ++perKind[int(engineKind(engine.type()))];
        // IndexNow rows take no parameter names; all but the sandbox's reach the real endpoints.
        if (engineKind(engine.type()) == EngineKind::IndexNow) {
            QVERIFY2(engine.field(EngineLine::SubmitUrl).endsWith(QLatin1String("/indexnow")), qPrintable(line));
            for (int field = EngineLine::TitleParam; field <= EngineLine::FieldCount; ++field)
                QVERIFY2(engine.field(field).isEmpty(), qPrintable(line));
            continue;
        }
        QVERIFY2(engine.siteUrl().startsWith(QLatin1String("http://127.0.0.1:")), qPrintable(line));
        QVERIFY2(engine.field(EngineLine::SubmitUrl).startsWith(QLatin1String("http://127.0.0.1:")), qPrintable(line));
        QCOMPARE(engine.field(EngineLine::CountryParam), QStringLiteral("country"));
        if (engineKind(engine.type()) == EngineKind::Batch)
            QVERIFY(batchCount(engine.type()) > 1);
    }
    QCOMPARE(perKind[int(EngineKind::IndexNow)], 7);
    for (int kind = 0; kind < int(EngineKind::Other); ++kind)
        QVERIFY2(kind == int(EngineKind::IndexNow) || perKind[kind] >= 12, qPrintable(QStringLiteral("kind %1: %2").arg(kind).arg(perKind[kind])));

    QStringList manual;
    LoadListFromFile(data + QStringLiteral("datam.ist"), manual);
    QChar delimiter;
    const auto rows = ManualList::parseLines(manual, delimiter);
    QCOMPARE(delimiter, QLatin1Char(','));
    QVERIFY(rows.size() >= 12);
    for (const QStringList& row : rows)
        QCOMPARE(row.size(), 3);

    const CategoryMap map(data + QStringLiteral("catagory.ist"));
    QVERIFY(!map.lookup(QStringLiteral("1"), QStringLiteral("Business")).isEmpty());
    QVERIFY(!map.lookup(QStringLiteral("2"), QStringLiteral("Web_Stuff")).isEmpty());
}

QTEST_GUILESS_MAIN(TestEngineLines)
#include "test_engine_lines.moc"
