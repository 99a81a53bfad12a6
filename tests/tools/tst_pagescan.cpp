#include "tools/PageScan.h"

#include <QTest>

class TestPageScan : public QObject
{
    Q_OBJECT

private slots:
    void valueCut_data();
    void valueCut();
    void streamScan_data();
    void streamScan();
    void keywordsWhateverTheBlocks_data();
    void keywordsWhateverTheBlocks();
    void fileScan_data();
    void fileScan();
    void blockText();
    void decodesAtTheEnd();
};

void TestPageScan::valueCut_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("terminated");
    QTest::newRow("quoted") << QByteArray("\"Best widgets\">") << QByteArray("Best widgets") << true;
    QTest::newRow("unquoted ends at >") << QByteArray("Best widgets>") << QByteArray("Best widgets") << true;
    QTest::newRow("no terminator drops last")
        << QByteArray("\"runs to the end") << QByteArray("runs to the en") << false;
    QTest::newRow("terminator only last") << QByteArray("abc\"") << QByteArray("abc") << true;
    QTest::newRow("single quote is text") << QByteArray("'a'>") << QByteArray("'a'") << true;
    QTest::newRow("blanks kept") << QByteArray("\"  a  \"") << QByteArray("  a  ") << true;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
    QTest::newRow("only a quote") << QByteArray("\"") << QByteArray() << false;
}

void TestPageScan::valueCut()
{
    QFETCH(QByteArray, text);
    const PageScan::Cut cut = PageScan::valueCut(text);
    QFETCH(QByteArray, value);
    QCOMPARE(cut.value, value);
    QFETCH(bool, terminated);
    QCOMPARE(cut.terminated, terminated);
}

void TestPageScan::streamScan_data()
{
    QTest::addColumn<QList<QByteArray>>("blocks");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("keywords");
    QTest::addColumn<QByteArray>("head"); // the head buffer after the last block

    QTest::newRow("case of tags ignored, value kept")
        << QList<QByteArray>{"<html><head><TiTlE>My Shop</tItLe>"} << QByteArray("My Shop") << QByteArray()
        << QByteArray() << QByteArray("<html><head><TiTlE>My Shop</tItLe>");
    QTest::newRow("title split over blocks")
        << QList<QByteArray>{"<title>Half", " and half</title>"} << QByteArray("Half and half") << QByteArray()
        << QByteArray() << QByteArray("<title>Half and half</title>");
    QTest::newRow("closing tag before opening") << QList<QByteArray>{"</TITLE><TITLE>x"} << QByteArray() << QByteArray()
                                                << QByteArray() << QByteArray("</TITLE><TITLE>x");
    QTest::newRow("description with an attribute between")
        << QList<QByteArray>{"<meta name=\"description\" lang=\"en\" content=\"In English\">"} << QByteArray()
        << QByteArray("In English") << QByteArray()
        << QByteArray("<meta name=\"description\" lang=\"en\" content=\"In English\">");
    QTest::newRow("two blanks before content, from a url")
        << QList<QByteArray>{"<META NAME=\"DESCRIPTION\"  CONTENT=\"yes\">"} << QByteArray() << QByteArray("yes")
        << QByteArray() << QByteArray("<META NAME=\"DESCRIPTION\"  CONTENT=\"yes\">");
    QTest::newRow("keyword example rebuilds the head")
        << QList<QByteArray>{"<META NAME=\"KEYWORDS\" CONTENT=\"a, b,c\">"} << QByteArray() << QByteArray()
        << QByteArray("a, b, c") << QByteArray("<META NAME=\"KEYWORDS\" CONTENT=\"c\"");
    QTest::newRow("two blanks keep one") << QList<QByteArray>{"<META NAME=\"KEYWORDS\" CONTENT=\"a,  bb,cc\">"}
                                         << QByteArray() << QByteArray() << QByteArray("a,  bb, cc")
                                         << QByteArray("<META NAME=\"KEYWORDS\" CONTENT=\"cc\"");
    QTest::newRow("empty items kept") << QList<QByteArray>{"<META NAME=\"KEYWORDS\" CONTENT=\"x,,y,z\">"}
                                      << QByteArray() << QByteArray() << QByteArray("x, , y, z")
                                      << QByteArray("<META NAME=\"KEYWORDS\" CONTENT=\"z\"");
    QTest::newRow("link empties the head")
        << QList<QByteArray>{"<title>T</title><a href=x>", "<title>U</title>"} << QByteArray("U") << QByteArray()
        << QByteArray() << QByteArray("<title>U</title>");
    QTest::newRow("body empties the head before the description")
        << QList<QByteArray>{"<body>", "<meta name=\"description\" content=\"late\">"} << QByteArray()
        << QByteArray("late") << QByteArray() << QByteArray("<meta name=\"description\" content=\"late\">");
}

void TestPageScan::streamScan()
{
    QFETCH(QList<QByteArray>, blocks);
    PageScanner scanner;
    for (const QByteArray& block : blocks)
        scanner.streamBlock(block);
    QFETCH(QByteArray, title);
    QCOMPARE(scanner.title(), title);
    QFETCH(QByteArray, description);
    QCOMPARE(scanner.description(), description);
    QFETCH(QByteArray, keywords);
    QCOMPARE(scanner.keywords(), keywords);
    QFETCH(QByteArray, head);
    QCOMPARE(scanner.head(), head);
}

void TestPageScan::keywordsWhateverTheBlocks_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("keywords");
    QTest::newRow("short list") << QByteArray("<title>t</title><META NAME=\"KEYWORDS\" CONTENT=\"red, green,blue\">"
                                              "<meta name=\"description\" content=\"d\"><body><a href=\"x\">x</a>")
                                << QByteArray("red, green, blue");
    QByteArray many = "<META NAME=\"KEYWORDS\" CONTENT=\"";
    QByteArray expected;
    for (int i = 1; i <= 60; ++i) {
        many += (i > 1 ? ", k" : "k") + QByteArray::number(i);
        expected += (i > 1 ? ", k" : "k") + QByteArray::number(i);
    }
    QTest::newRow("long list") << many + "\"><BODY>" << expected;
    QTest::newRow("unterminated at the end")
        << QByteArray("<META NAME=\"KEYWORDS\" CONTENT=\"a, b, cd") << QByteArray("a, b, c");
}

// Every split of the page into blocks of 1 to 12 bytes gives the same list.
void TestPageScan::keywordsWhateverTheBlocks()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, keywords);
    for (int size = 1; size <= 12; ++size) {
        PageScanner scanner;
        for (qsizetype at = 0; at < page.size(); at += size) {
            scanner.streamBlock(page.mid(at, size));
            // However often the rebuilt head is scanned again, no item is added twice.
            scanner.streamBlock(QByteArray());
        }
        scanner.finish();
        QVERIFY2(scanner.keywords() == keywords,
                 QByteArray("block size " + QByteArray::number(size) + ": " + scanner.keywords()).constData());
    }
}

void TestPageScan::fileScan_data()
{
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("keywords");
    QTest::newRow("one blank") << QList<QByteArray>{"<title>File</title>",
                                                    "<META NAME=\"DESCRIPTION\" CONTENT=\"Described\">"}
                               << QByteArray("File") << QByteArray("Described") << QByteArray();
    QTest::newRow("two blanks yield no description") << QList<QByteArray>{"<META NAME=\"DESCRIPTION\"  CONTENT=\"no\">"}
                                                     << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("keywords line 1, title line 3")
        << QList<QByteArray>{"<META NAME=\"KEYWORDS\" CONTENT=\"k1, k2\"><BODY>", "text", "<title>Third</title>"}
        << QByteArray("Third") << QByteArray() << QByteArray("k1, k2");
    QTest::newRow("without keywords the first title stays")
        << QList<QByteArray>{"<title>First</title><a href=x>", "<title>Second</title>"} << QByteArray("First")
        << QByteArray() << QByteArray();
    QTest::newRow("value over two lines") << QList<QByteArray>{"<META NAME=\"KEYWORDS\" CONTENT=\"a, b,", "c, d\">"}
                                          << QByteArray() << QByteArray() << QByteArray("a, b, c, d");
}

void TestPageScan::fileScan()
{
    QFETCH(QList<QByteArray>, lines);
    PageScanner scanner;
    int between = 0;
    for (const QByteArray& line : lines)
        scanner.fileLine(line, [&between] { ++between; });
    scanner.finish();
    QFETCH(QByteArray, title);
    QCOMPARE(scanner.title(), title);
    QFETCH(QByteArray, description);
    QCOMPARE(scanner.description(), description);
    QFETCH(QByteArray, keywords);
    QCOMPARE(scanner.keywords(), keywords);
}

void TestPageScan::blockText()
{
    const char raw[] = "a\r\nb\nc\0d";
    QCOMPARE(PageScan::blockText(raw, sizeof raw - 1), QByteArray("abc"));
    QCOMPARE(PageScan::splitLines("a\r\nb\rc\n\nd"), (QList<QByteArray>{"a", "b", "c", "", "d"}));
}

void TestPageScan::decodesAtTheEnd()
{
    PageScanner scanner;
    scanner.streamBlock("<title>Caf\xC3");
    scanner.streamBlock("\xA9</title>");
    QCOMPARE(PageScan::decodeValue(scanner.title()), QStringLiteral("Caf\u00e9"));
    QCOMPARE(PageScan::decodeValue("Caf\xE9"), QStringLiteral("Caf\u00e9"));
}

QTEST_GUILESS_MAIN(TestPageScan)
#include "tst_pagescan.moc"
