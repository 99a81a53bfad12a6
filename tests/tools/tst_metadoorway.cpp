#include "tools/DoorwayLines.h"
#include "tools/HeadInjection.h"
#include "tools/MetaTagBlock.h"

#include <QTest>

namespace {

QString meta(const char* name, const QString& content)
{
    return QStringLiteral("<META NAME=\"%1\" CONTENT=\"%2\">").arg(QLatin1String(name), content);
}

} // namespace

class TestMetaDoorway : public QObject
{
    Q_OBJECT

private slots:
    void block_data()
    {
        QTest::addColumn<QString>("on"); // "defaults", or the boxes checked
        QTest::addColumn<QStringList>("expected");
        const QString title = QStringLiteral("Say \"hi\"");
        const QString head = QStringLiteral("<HEAD>");
        const QString titleLine = QStringLiteral("<TITLE>Say \"hi\"</TITLE>");
        const QString creator = meta("Creator", QStringLiteral("Vantor Pro v4.0"));
        const QString end = QStringLiteral("</HEAD>");
        const QStringList checkedByDefault = {meta("Keywords", QStringLiteral("red, blue")),
                                              meta("Description", QStringLiteral("A \"shop\"")),
                                              meta("Author", QStringLiteral("Ann Lee")),
                                              meta("Copyright", QStringLiteral("Lee & Co"))};
        QTest::newRow("defaults") << QStringLiteral("defaults")
                                  << (QStringList{head, titleLine} + checkedByDefault + QStringList{creator, end});
        QTest::newRow("optional boxes off: four lines")
            << QString() << QStringList{head, titleLine, creator, end};
        QTest::newRow("all, typed drop-down values")
            << QStringLiteral("keywords,description,author,copyright,distribution,rating,robots,revisit")
            << (QStringList{head, titleLine} + checkedByDefault +
                QStringList{creator, meta("Distribution", QStringLiteral("Worldwide")),
                            meta("Rating", QStringLiteral("General")), meta("Robots", QStringLiteral("NoIndex")),
                            meta("Revisit-After", QStringLiteral("3 Days")), end});
        QTest::newRow("open graph before the end")
            << QStringLiteral("opengraph")
            << QStringList{head,
                           titleLine,
                           creator,
                           QStringLiteral("<META PROPERTY=\"og:title\" CONTENT=\"Say \"hi\"\">"),
                           QStringLiteral("<META PROPERTY=\"og:description\" CONTENT=\"A \"shop\"\">"),
                           QStringLiteral("<META PROPERTY=\"og:url\" CONTENT=\"http://shop.example/\">"),
                           end};
    }

    void block()
    {
        QFETCH(QString, on);
        MetaTagValues v;
        v.title = QStringLiteral("Say \"hi\"");
        v.description = QStringLiteral("A \"shop\"");
        v.keywords = QStringLiteral("red, blue");
        v.author = QStringLiteral("Ann Lee");
        v.copyright = QStringLiteral("Lee & Co");
        v.distribution = QStringLiteral("Worldwide");
        v.rating = QStringLiteral("General");
        v.robots = QStringLiteral("NoIndex");
        v.revisit = QStringLiteral("3 Days");
        v.creator = QStringLiteral("Vantor Pro v4.0");
        v.url = QStringLiteral("http://shop.example/");
        if (on != QLatin1String("defaults")) {
            const QStringList boxes = on.split(QLatin1Char(','));
            v.keywordsOn = boxes.contains(QLatin1String("keywords"));
            v.descriptionOn = boxes.contains(QLatin1String("description"));
            v.authorOn = boxes.contains(QLatin1String("author"));
            v.copyrightOn = boxes.contains(QLatin1String("copyright"));
            v.distributionOn = boxes.contains(QLatin1String("distribution"));
            v.ratingOn = boxes.contains(QLatin1String("rating"));
            v.robotsOn = boxes.contains(QLatin1String("robots"));
            v.revisitOn = boxes.contains(QLatin1String("revisit"));
            v.openGraphOn = boxes.contains(QLatin1String("opengraph"));
        }
        QTEST(buildMetaTagBlock(v), "expected");
    }

    void inject_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("injected");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray block = "<HEAD>\r\n<TITLE>N</TITLE>\r\n</HEAD>\r\n";
        const QString n = QStringLiteral("N");
        QTest::newRow("script inside the head")
            << QByteArray("<html>\n<head>\n<title>Old</title>\n<meta x>\n<script>s()</script>\n</head>\n<body>b</body>\n")
            << n << true
            << QByteArray("<html>\r\n<HEAD>\r\n<TITLE>N</TITLE>\r\n<script>s()</script>\r\n</head>\r\n<body>b</body>\r\n");
        QTest::newRow("script after the head")
            << QByteArray("<html><head><title>Old</title></head>\n<body><script>s()</script></body>") << n << true
            << QByteArray("<html>" + block + "\r\n<body><script>s()</script></body>");
        QTest::newRow("lower case head with attributes at the first character")
            << QByteArray("<Head lang=\"en\"><TiTlE>x</title></hEaD>rest") << n << true << QByteArray(block + "rest");
        QTest::newRow("bare <HEAD at the start") << QByteArray("<HEAD</HEAD>") << n << true << block;
        QTest::newRow("no head") << QByteArray("<html><body>x</body></html>") << n << false
                                 << QByteArray("<html><body>x</body></html>");
        QTest::newRow("no end mark") << QByteArray("<head><title>x</title>\n<body>") << n << false
                                     << QByteArray("<head><title>x</title>\r\n<body>");
        QTest::newRow("script before the head stays")
            << QByteArray("<script>a()</script>\n<head><title>x</title><script>b</script></head>") << n << true
            << QByteArray("<script>a()</script>\r\n<HEAD>\r\n<TITLE>N</TITLE>\r\n<script>b</script></head>");
        QTest::newRow("closing tag before the head stays")
            << QByteArray("</head><head>x</head>y") << n << true << QByteArray("</head>" + block + "y");
        QTest::newRow("a header element is no head")
            << QByteArray("<body><header>h</header></head>") << n << false
            << QByteArray("<body><header>h</header></head>");
        QTest::newRow("every line end becomes CR LF")
            << QByteArray("a\rb\n<head></head>\r\nc\n\r") << n << true
            << QByteArray("a\r\nb\r\n" + block + "\r\nc\r\n\r\n");
        QTest::newRow("Latin-1 file keeps its bytes")
            << QByteArray("caf\xE9\n<head></head>\n\xFC\xFF") << QStringLiteral(u"Caf\u00e9 \u2615") << true
            << QByteArray("caf\xE9\r\n<HEAD>\r\n<TITLE>Caf\xE9 &#9749;</TITLE>\r\n</HEAD>\r\n\r\n\xFC\xFF");
        QTest::newRow("UTF-8 file gets UTF-8")
            << QByteArray("<head></head>\xC3\xA9") << QStringLiteral(u"Caf\u00e9") << true
            << QByteArray("<HEAD>\r\n<TITLE>Caf\xC3\xA9</TITLE>\r\n</HEAD>\r\n\xC3\xA9");
        QTest::newRow("ASCII file gets references")
            << QByteArray("<head></head>") << QStringLiteral(u"Caf\u00e9") << true
            << QByteArray("<HEAD>\r\n<TITLE>Caf&#233;</TITLE>\r\n</HEAD>\r\n");
    }

    void inject()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, title);
        const QStringList block{QStringLiteral("<HEAD>"), QStringLiteral("<TITLE>") + title + QStringLiteral("</TITLE>"),
                                QStringLiteral("</HEAD>")};
        const HeadInjection result = injectHeadBlock(file, block);
        QTEST(result.injected, "injected");
        QTEST(result.text, "expected");
    }

    void keywordItems_data()
    {
        QTest::addColumn<QString>("keywords");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("lineKeywords");
        QTest::newRow("three") << QStringLiteral("red, green,blue") << QStringLiteral("red")
                               << QStringList{"red", "green", "blue"} << QStringList{"red", "green", "blue"};
        QTest::newRow("one stands twice") << QStringLiteral("red") << QStringLiteral("red") << QStringList{"red"}
                                          << QStringList{"red", "red"};
        QTest::newRow("none") << QString() << QString() << QStringList{""} << QStringList{""};
        QTest::newRow("two blanks keep one") << QStringLiteral("a,  bb") << QStringLiteral("a")
                                             << QStringList{"a", " bb"} << QStringList{"a", " bb"};
        QTest::newRow("short rest keeps its blank")
            << QStringLiteral("a, b") << QStringLiteral("a") << QStringList{"a", " b"} << QStringList{"a", " b"};
        QTest::newRow("empty items") << QStringLiteral("a,,b") << QStringLiteral("a") << QStringList{"a", "", "b"}
                                     << QStringList{"a", "", "b"};
    }

    void keywordItems()
    {
        QFETCH(QString, keywords);
        QFETCH(QStringList, lineKeywords);
        const DoorwayKeywords result = doorwayKeywordItems(keywords, QStringLiteral("http://x/"));
        QTEST(result.text, "text");
        QTEST(result.items, "items");
        QStringList lines;
        for (const QString& keyword : lineKeywords)
            lines << QStringLiteral("<li><a href=\"http://x/\">") + keyword + QStringLiteral("</a></li>");
        lines.last() += QStringLiteral("</ul>");
        QCOMPARE(result.lines, lines);
    }

    void doorwayPage()
    {
        const DoorwayInput input{QStringLiteral("Say \"hi\""), QStringLiteral("Desc"), QStringLiteral("red, green"),
                                 QStringLiteral("http://x/"), QStringLiteral("Vantor Pro v4.0")};
        const QStringList expected = {
            "<HTML>",
            "<HEAD>",
            "<TITLE>Say \"hi\"</TITLE>",
            "<META NAME=\"DESCRIPTION\" CONTENT=\"Desc\">",
            "<META NAME=\"KEYWORDS\" CONTENT=\"red, green\">",
            "<META NAME=\"Creator\" CONTENT=\"Vantor Pro v4.0 Doorway Page Generator\">",
            "<SCRIPT LANGUAGE=\"JavaScript\" TYPE=\"text/javascript\">function Start()",
            "{brwName = navigator.appName; if (brwName == \"Netscape\" )",
            "{window.parent.location=\"http://x/\"} else",
            "{window.parent.location=\"http://x/\"}}</SCRIPT>",
            "</HEAD>",
            "<BODY ONLOAD=\"Start()\" BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\" LINK=\"#0000FF\" VLINK=\"#0000FF\" ALINK=\"#FF0000\">",
            "<center><TABLE WIDTH=\"600\" CELLPADDING=\"5\" CELLSPACING=\"0\" BORDER=\"0\">",
            "<TR><TD VALIGN=\"TOP\">",
            "<p>",
            "<IMG SRC=\"nil.gif\" WIDTH=\"1\" HEIGHT=\"1\" ALIGN=\"LEFT\" BORDER=\"0\" ALT=\"Say \"hi\"\">",
            "</p>",
            "<center><h1>Say \"hi\"</h1></center><HR WIDTH=\"90%\" COLOR=\"#0000CC\">",
            "<!--Desc-->",
            "<INPUT TYPE=\"HIDDEN\" NAME=\"red, green\">",
            "<!--Say \"hi\"-->",
            "<INPUT TYPE=\"hidden\" NAME=\"Desc\">",
            "<!--red, green-->",
            "<INPUT TYPE=\"hidden\" NAME=\"Say \"hi\"\">",
            "&nbsp;",
            "Are you searching for one or more of the topics below<br>",
            "<IMG SRC=\"nil.gif\" WIDTH=\"1\" HEIGHT=\"1\" ALIGN=\"LEFT\" BORDER=\"0\" ALT=\"Desc\" BORDER=\"0\"><ul>",
            "<li><a href=\"http://x/\">red</a></li>",
            "<li><a href=\"http://x/\">green</a></li></ul>",
            "<br>Then look no further  <A HREF=\"http://x/\">http://x/</a> has the topics you are looking for.<br>",
            "<br><font size=\"-1\">Desc</font>",
            "<br><br>",
            "<font size=\"-1\">You will find our site \"<A HREF=\"http://x/\">http://x/</a>\"friendly to navigate and full of information on your topic.<br><br>",
            "<A HREF=\"http://x/\">click here</A> if you",
            "are not automatically forwarded to our site.</font><br><br>",
            "<HR WIDTH=\"90%\" COLOR=\"#0000CC\">",
            "<P><IMG SRC=\"nil.gif\" WIDTH=\"1\" HEIGHT=\"1\" BORDER=\"0\" ALT=\"red, green\"></P></TD></TR></TABLE></center></BODY>",
            "</HTML>",
        };
        const QStringList lines = doorwayPageLines(input);
        for (int i = 0; i < qMin(lines.size(), expected.size()); ++i)
            QCOMPARE(lines.at(i), expected.at(i));
        QCOMPARE(lines.size(), expected.size());
        QCOMPARE(linesAsFile({QStringLiteral("a"), QStringLiteral(u"\u00e9")}), QByteArray("a\r\n\xC3\xA9\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestMetaDoorway)
#include "tst_metadoorway.moc"
