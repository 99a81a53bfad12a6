#include "ranking/RankLine.h"
#include "ranking/RankPageText.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// The page text built the slow way: the chunks (each up to its first zero
// byte) joined as they came, split into lines, the lines joined with CR LF.
QByteArray referenceText(const QList<QByteArray>& chunks)
{
    QByteArray text;
    for (const QByteArray& chunk : chunks)
        text += chunk.left(chunk.indexOf('\0') < 0 ? chunk.size() : chunk.indexOf('\0'));
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines << text.mid(start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines.join("\r\n");
}

} // namespace

class TestRankLines : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void substitutions_data();
    void substitutions();
    void pagesForTop_data();
    void pagesForTop();
    void pageText_data();
    void pageText();
    void pageTextMatchesTheRuleOnRandomChunks();
    void bigPageCostsOnePass();
};

void TestRankLines::parse_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields"); // name, query, match, add, strip, first; empty when refused
    QTest::addColumn<QString>("error");

    QTest::newRow("whole") << "Web|http://s/?q=$query&p=$page|<a href=\"$url\"|add|http://|1|ignored|"
                           << QStringList{"Web", "http://s/?q=$query&p=$page", "<a href=\"$url\"", "add", "http://",
                                          "1"}
                           << QString();
    QTest::newRow("empty fields, blanks round the offset")
        << "E|q||||  10 |" << QStringList{"E", "q", "", "", "", "10"} << QString();
    QTest::newRow("offset not a number") << "Odd|q|m|||1x|" << QStringList()
                                         << "The rank engine \"Odd\" has a first offset that is not a number: \"1x\".";
    QTest::newRow("leading zero is decimal")
        << "Zero|q|m|||010|" << QStringList{"Zero", "q", "m", "", "", "10"} << QString();
    QTest::newRow("hex offset") << "Hex|q|m|||0x10|" << QStringList()
                                << "The rank engine \"Hex\" has a first offset that is not a number: \"0x10\".";
    QTest::newRow("empty offset") << "Gap|q|m||||" << QStringList()
                                  << "The rank engine \"Gap\" has a first offset that is not a number: \"\".";
    QTest::newRow("no bar after the offset")
        << "Short|q|m|||0" << QStringList() << "The rank engine \"Short\" has no \"|\" after its first offset.";
    QTest::newRow("too few fields") << "Tiny|q" << QStringList()
                                    << "The rank engine \"Tiny\" has only 1 of its 6 fields.";
    QTest::newRow("no bar at all") << "Name only" << QStringList()
                                   << "The rank engine \"Name only\" has only 0 of its 6 fields.";
}

void TestRankLines::parse()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QFETCH(QString, error);
    const RankLineParse parsed = RankLines::parse(line);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.line.has_value(), !fields.isEmpty());
    QCOMPARE(RankLines::caption(line), line.section(QLatin1Char('|'), 0, 0));
    if (!parsed.line)
        return;
    const RankLine& e = *parsed.line;
    QCOMPARE(
        (QStringList{e.name, e.queryTemplate, e.matchTemplate, e.addText, e.stripText, QString::number(e.firstOffset)}),
        fields);
}

void TestRankLines::substitutions_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("match");

    QTest::newRow("keyword as typed, every mark, any case")
        << "E|http://s/?q=$query&again=$QUERY&p=$Page&p2=$page|<a href=\"$url\">|||0|"
        << "web design"
        << "http://x/" << 21 << "http://s/?q=web design&again=web design&p=21&p2=21"
        << "<a href=\"http://x/\">";
    QTest::newRow("add, then url, then strip") << "E|q|$ADD$url</cite>|<cite>|http://|0|"
                                               << "k"
                                               << "http://www.site.example/" << 0 << "q"
                                               << "<cite>www.site.example/</cite>";
    QTest::newRow("add text holding $url gets the address") << "E|q|$add|[$url]||0|"
                                                            << "k"
                                                            << "http://a/" << 0 << "q"
                                                            << "[http://a/]";
    QTest::newRow("strip ignores case and empties every occurrence") << "E|q|$url $url||HTTP://|0|"
                                                                     << "k"
                                                                     << "http://a/" << 0 << "q"
                                                                     << "a/ a/";
    QTest::newRow("empty strip changes nothing") << "E|q|<$url>|||0|"
                                                 << "k"
                                                 << "u" << 0 << "q"
                                                 << "<u>";
    QTest::newRow("a keyword holding the mark is not substituted again") << "E|s?q=$query|m|||0|"
                                                                         << "$query"
                                                                         << "u" << 5 << "s?q=$query"
                                                                         << "m";
    QTest::newRow("negative offset") << "E|s?p=$page|m|||-10|"
                                     << "k"
                                     << "u" << -10 << "s?p=-10"
                                     << "m";
}

void TestRankLines::substitutions()
{
    QFETCH(QString, line);
    QFETCH(QString, keyword);
    QFETCH(QString, url);
    QFETCH(int, offset);
    QFETCH(QString, address);
    QFETCH(QString, match);
    const RankLineParse parsed = RankLines::parse(line);
    QVERIFY2(parsed.line, qPrintable(parsed.error));
    QCOMPARE(RankLines::pageAddress(RankLines::query(*parsed.line, keyword), offset), address);
    QCOMPARE(RankLines::matchText(*parsed.line, url), match);
}

void TestRankLines::pagesForTop_data()
{
    QTest::addColumn<QString>("top");
    QTest::addColumn<int>("pages"); // -1: not a number

    QTest::newRow("10") << "10" << 1;
    QTest::newRow("200") << "200" << 20;
    QTest::newRow("remainder dropped") << "25" << 2;
    QTest::newRow("below 10") << "9" << 0;
    QTest::newRow("blanks") << " 50 " << 5;
    QTest::newRow("leading zero is decimal") << "050" << 5;
    QTest::newRow("hex") << "0x10" << -1;
    QTest::newRow("words") << "ten" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("fraction") << "10.5" << -1;
    QTest::newRow("beyond int") << "99999999999" << -1;
}

void TestRankLines::pagesForTop()
{
    QFETCH(QString, top);
    QFETCH(int, pages);
    const std::optional<int> got = RankLines::pagesForTop(top);
    QCOMPARE(got.value_or(-1), pages);
}

void TestRankLines::pageText_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<bool>("found");

    QTest::newRow("a chunk goes on where the last stopped")
        << QList<QByteArray>{"<a href=\"http://x", "/\">"} << QByteArray("<a href=\"http://x/\">")
        << "<a href=\"http://x/\">" << true;
    QTest::newRow("mark inside one chunk")
        << QList<QByteArray>{"aa <a href=\"http://x/\"> bb"} << QByteArray("aa <a href=\"http://x/\"> bb")
        << "<a href=\"http://x/\">" << true;
    QTest::newRow("letter case counts") << QList<QByteArray>{"<A HREF=\"HTTP://X/\">"}
                                        << QByteArray("<A HREF=\"HTTP://X/\">") << "<a href=\"http://x/\">" << false;
    QTest::newRow("line ends become CR LF")
        << QList<QByteArray>{"a\nb\rc\r\nd\n"} << QByteArray("a\r\nb\r\nc\r\nd") << "b\r\nc" << true;
    QTest::newRow("CR and LF split over chunks make one line end")
        << QList<QByteArray>{"a\r", "\nb"} << QByteArray("a\r\nb") << "a\r\nb" << true;
    QTest::newRow("a zero byte ends the chunk")
        << QList<QByteArray>{QByteArray("ab\0hidden", 9), "c"} << QByteArray("abc") << "hidden" << false;
    QTest::newRow("empty mark is never found") << QList<QByteArray>{"abc"} << QByteArray("abc") << "" << false;
    QTest::newRow("UTF-8 page") << QList<QByteArray>{"caf\xc3\xa9"} << QByteArray("caf\xc3\xa9")
                                << QStringLiteral("caf\u00e9") << true;
    QTest::newRow("Latin-1 page") << QList<QByteArray>{"caf\xe9"} << QByteArray("caf\xe9")
                                  << QStringLiteral("caf\u00e9") << true;
}

void TestRankLines::pageText()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QByteArray, text);
    QFETCH(QString, mark);
    QFETCH(bool, found);
    RankPageText page;
    for (const QByteArray& c : chunks)
        page.appendChunk(c.constData(), int(c.size()));
    QCOMPARE(page.text(), text);
    QCOMPARE(page.text(), referenceText(chunks));
    QCOMPARE(page.contains(mark), found);
}

void TestRankLines::pageTextMatchesTheRuleOnRandomChunks()
{
    QRandomGenerator random(20261208);
    const char alphabet[] = "ab\r\n\0";
    for (int round = 0; round < 300; ++round) {
        QList<QByteArray> chunks;
        RankPageText page;
        const int count = 1 + int(random.bounded(6));
        for (int c = 0; c < count; ++c) {
            QByteArray chunk;
            const int len = int(random.bounded(9));
            for (int i = 0; i < len; ++i)
                chunk += alphabet[random.bounded(5)];
            chunks << chunk;
            page.appendChunk(chunk.constData(), int(chunk.size()));
        }
        QCOMPARE(page.text(), referenceText(chunks));
    }
}

void TestRankLines::bigPageCostsOnePass()
{
    // 32 MB in the client's 8 KB chunks: a text rebuilt or regrown to its exact
    // size per chunk would copy it thousands of times and take minutes.
    QByteArray chunk(8192, 'x');
    for (int i = 100; i < chunk.size(); i += 100)
        chunk[i] = '\n';
    RankPageText page;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4096; ++i)
        page.appendChunk(chunk.constData(), int(chunk.size()));
    const QByteArray last = "<a href=\"http://x/\">";
    page.appendChunk(last.constData(), int(last.size()));
    QVERIFY(page.contains(QString::fromLatin1(last)));
    qInfo("32 MB page text built and searched in %lld ms", clock.elapsed());
    QVERIFY(clock.elapsed() < 10000);
}

QTEST_GUILESS_MAIN(TestRankLines)
#include "tst_ranklines.moc"
