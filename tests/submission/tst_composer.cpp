#include "submission/CategoryMap.h"
#include "submission/EngineLine.h"
#include "submission/RequestComposer.h"
#include "submission/RunProject.h"
#include "support/TempProgramDir.h"

#include <QDateTime>
#include <QFile>
#include <QTest>

namespace {

// An engine line with the given fields set, every position up to 38 ended by "|".
QString engineLine(const QMap<int, QString>& fields, int last = EngineLine::FieldCount)
{
    QString line = QStringLiteral("Engine=");
    for (int i = 1; i <= last; ++i)
        line += fields.value(i) + QLatin1Char('|');
    return line;
}

RunProject fullProject()
{
    RunProject p;
    p.setName(QStringLiteral("mysite"));
    const QList<QPair<const char*, const char*>> values{
        {"url", "http://my.example"}, {"title", "Fast & Cheap"}, {"email", "me@my.example"},
        {"description", "A & B & C"}, {"catagory", "Arts"}, {"name", "Ann"}, {"last", "Lee"},
        {"company", "Co"}, {"address1", "1 Road"}, {"address2", "Flat 2"}, {"city", "Town"},
        {"state", "ST"}, {"zip", "12345"}, {"phone", "555"}, {"fax", "556"}, {"key1", "a,b"},
        {"key2", "never"}, {"country", "UK"}};
    for (const auto& [k, v] : values)
        p.setValue(QLatin1String(k), QLatin1String(v));
    return p;
}

} // namespace

class TestComposer : public QObject
{
    Q_OBJECT

private slots:
    void workedExample();
    void query_data();
    void query();
    void categoryMap_data();
    void categoryMap();
    void categoryMapParsedOnce_data();
    void categoryMapParsedOnce();
    void categoryMapStampSettled_data();
    void categoryMapStampSettled();
    void getAddress_data();
    void getAddress();
    void runProjectReadsFileOnce();
};

void TestComposer::workedExample()
{
    RunProject p;
    p.setValue(QStringLiteral("title"), QStringLiteral("Fast & Cheap"));
    p.setValue(QStringLiteral("url"), QStringLiteral("X"));
    p.setValue(QStringLiteral("email"), QStringLiteral("M"));
    const CategoryMap none(QStringLiteral("/nonexistent/catagory.ist"));

    QMap<int, QString> fields{{2, QStringLiteral("http://site")}, {3, QStringLiteral("http://site/add")},
                              {4, QStringLiteral("t")},           {5, QStringLiteral("u")},
                              {6, QStringLiteral("e")},           {21, QStringLiteral("POST")}};
    ComposedRequest post = ComposeRequest(EngineLine(engineLine(fields)), p, none);
    QCOMPARE(post.query, QStringLiteral("t=Fast %26 Cheap&u=X&e=M"));
    QCOMPARE(transmissionForm(post.query), QStringLiteral("t=Fast+%26+Cheap&u=X&e=M"));
    QVERIFY(post.post);
    QCOMPARE(post.address, QStringLiteral("http://site/add"));
    QCOMPARE(post.referrer, QStringLiteral("http://site"));

    fields.remove(21);
    ComposedRequest get = ComposeRequest(EngineLine(engineLine(fields)), p, none);
    QVERIFY(!get.post);
    QCOMPARE(get.query, post.query);
}

void TestComposer::query_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("post");

    QTest::newRow("only url field starts with &") << engineLine({{5, QStringLiteral("u")}})
                                                  << QStringLiteral("&u=http://my.example") << false;
    QTest::newRow("empty param has no value")
        << engineLine({{4, QStringLiteral("t")}, {8, QStringLiteral("blank")}})
        << QStringLiteral("t=Fast %26 Cheap&blank=") << false;
    QTest::newRow("description's & encoded, others pass")
        << engineLine({{7, QStringLiteral("d")}, {10, QStringLiteral("n")}, {13, QStringLiteral("c")}})
        << QStringLiteral("&d=A %26 B %26 C&n=Ann&c=Co") << false;
    QTest::newRow("fixed params as they stand")
        << engineLine({{4, QStringLiteral("t")}, {11, QStringLiteral("&submit=Add URL&x=1")}})
        << QStringLiteral("t=Fast %26 Cheap&submit=Add URL&x=1") << false;
    QTest::newRow("fixed params without &") << engineLine({{4, QStringLiteral("t")}, {11, QStringLiteral("go=1")}})
                                            << QStringLiteral("t=Fast %26 Cheapgo=1") << false;
    QTest::newRow("every field in order")
        << engineLine({{4, QStringLiteral("t")},  {5, QStringLiteral("u")},  {6, QStringLiteral("e")},
                       {7, QStringLiteral("d")},  {8, QStringLiteral("x")},  {10, QStringLiteral("n")},
                       {11, QStringLiteral("&f=1")}, {12, QStringLiteral("l")}, {13, QStringLiteral("c")},
                       {14, QStringLiteral("a1")}, {15, QStringLiteral("a2")}, {16, QStringLiteral("ci")},
                       {17, QStringLiteral("s")},  {18, QStringLiteral("z")},  {19, QStringLiteral("p")},
                       {20, QStringLiteral("fx")}, {22, QStringLiteral("k")},  {38, QStringLiteral("co")}})
        << QStringLiteral("t=Fast %26 Cheap&u=http://my.example&e=me@my.example&d=A %26 B %26 C&x=&n=Ann&f=1&l=Lee"
                          "&c=Co&a1=1 Road&a2=Flat 2&ci=Town&s=ST&z=12345&p=555&fx=556&k=a,b&co=UK")
        << false;
    QMap<int, QString> reserved{{4, QStringLiteral("t")}};
    for (int i = 23; i <= 37; ++i)
        reserved.insert(i, QStringLiteral("r%1").arg(i));
    QTest::newRow("reserved fields ignored") << engineLine(reserved) << QStringLiteral("t=Fast %26 Cheap") << false;
    QTest::newRow("country without its bar")
        << engineLine({{4, QStringLiteral("t")}}, 37) + QStringLiteral("co")
        << QStringLiteral("t=Fast %26 Cheap") << false;
    QTest::newRow("lower-case post is GET")
        << engineLine({{4, QStringLiteral("t")}, {21, QStringLiteral("post")}}) << QStringLiteral("t=Fast %26 Cheap")
        << false;
    QTest::newRow("POST") << engineLine({{4, QStringLiteral("t")}, {21, QStringLiteral("POST")}})
                          << QStringLiteral("t=Fast %26 Cheap") << true;
    QTest::newRow("no fields") << engineLine({}) << QString() << false;
}

void TestComposer::query()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QFETCH(bool, post);
    const CategoryMap none(QStringLiteral("/nonexistent/catagory.ist"));
    const ComposedRequest request = ComposeRequest(EngineLine(line), fullProject(), none);
    QCOMPARE(request.query, expected);
    QCOMPARE(request.post, post);
}

void TestComposer::categoryMap_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("nameParam"); // field 10, which follows the category value
    QTest::newRow("key found, verbatim") << QStringLiteral("dmoz") << QStringLiteral("Arts")
                                         << QStringLiteral("t=x&cat=Arts and Crafts&sub=1") << QString();
    QTest::newRow("no key") << QStringLiteral("dmoz") << QStringLiteral("Sports") << QStringLiteral("t=x") << QString();
    QTest::newRow("no section") << QStringLiteral("other") << QStringLiteral("Arts") << QStringLiteral("t=x")
                                << QString();
    QTest::newRow("name after the category") << QStringLiteral("plain") << QStringLiteral("Arts")
                                             << QStringLiteral("t=x&cat=Arts&n=Ann") << QStringLiteral("n");
}

void TestComposer::categoryMap()
{
    QFETCH(QString, scheme);
    QFETCH(QString, category);
    QFETCH(QString, expected);
    QFETCH(QString, nameParam);
    TempProgramDir dir;
    dir.write(QStringLiteral("data/catagory.ist"),
              "[Subdmoz]\r\nArts=&cat=Arts and Crafts&sub=1\r\n[Subplain]\r\nArts=&cat=Arts\r\n");
    RunProject p;
    p.setValue(QStringLiteral("title"), QStringLiteral("x"));
    p.setValue(QStringLiteral("catagory"), category);
    p.setValue(QStringLiteral("name"), QStringLiteral("Ann"));
    const CategoryMap map(dir.filePath(QStringLiteral("data/catagory.ist")));
    const ComposedRequest request =
        ComposeRequest(EngineLine(engineLine({{4, QStringLiteral("t")}, {9, scheme}, {10, nameParam}})), p, map);
    QCOMPARE(request.query, expected);
    QCOMPARE(transmissionForm(request.query), QString(expected).replace(QLatin1Char(' '), QLatin1Char('+')));
}

void TestComposer::categoryMapParsedOnce_data()
{
    QTest::addColumn<QByteArray>("rewrite"); // written in place; empty: the file is removed
    QTest::addColumn<int>("mtimeAgoS");      // the modification time then set, seconds ago; 0: left as written
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("parsedAgain");
    const QByteArray original = "[Sub1]\r\nNews=&n=1\r\n";
    QTest::newRow("untouched") << QByteArray() << -1 << QStringLiteral("&n=1") << false;
    QTest::newRow("same size, other time") << QByteArray("[Sub1]\r\nNews=&n=2\r\n") << 1800
                                           << QStringLiteral("&n=2") << true;
    QTest::newRow("other size") << QByteArray("[Sub1]\r\nNews=&n=10\r\n") << 3600
                                           << QStringLiteral("&n=10") << true;
    QTest::newRow("same size, just now") << QByteArray("[Sub1]\r\nNews=&n=3\r\n") << 0
                                         << QStringLiteral("&n=3") << true;
    QTest::newRow("touched, same bytes") << original << 1800 << QStringLiteral("&n=1") << false;
    QTest::newRow("removed") << QByteArray() << 0 << QString() << false;
}

void TestComposer::categoryMapParsedOnce()
{
    QFETCH(QByteArray, rewrite);
    QFETCH(int, mtimeAgoS);
    QFETCH(QString, expected);
    QFETCH(bool, parsedAgain);
    TempProgramDir dir;
    const QString path = dir.filePath(QStringLiteral("data/catagory.ist"));
    const auto setMtime = [&path](int agoS) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-agoS), QFileDevice::FileModificationTime));
    };
    dir.write(QStringLiteral("data/catagory.ist"), "[Sub1]\r\nNews=&n=1\r\n");
    setMtime(3600);
    const CategoryMap map(path);
    QCOMPARE(map.lookup(QStringLiteral("1"), QStringLiteral("News")), QStringLiteral("&n=1"));
    const int parsed = CategoryMap::parseCount();
    for (int i = 0; i < 50; ++i)
        QCOMPARE(CategoryMap(path).lookup(QStringLiteral("1"), QStringLiteral("news")), QStringLiteral("&n=1"));
    QCOMPARE(CategoryMap::parseCount(), parsed);

    if (!rewrite.isEmpty())
        dir.write(QStringLiteral("data/catagory.ist"), rewrite);
    else if (mtimeAgoS == 0)
        QVERIFY(QFile::remove(path));
    if (!rewrite.isEmpty() && mtimeAgoS > 0)
        setMtime(mtimeAgoS);
    QCOMPARE(map.lookup(QStringLiteral("1"), QStringLiteral("News")), expected);
    QCOMPARE(CategoryMap::parseCount(), parsed + (parsedAgain ? 1 : 0));
}

void TestComposer::categoryMapStampSettled_data()
{
    // Milliseconds from a whole second: a time on it has no fraction, as on FAT.
    QTest::addColumn<qint64>("mtimeMs");
    QTest::addColumn<qint64>("ctimeMs");
    QTest::addColumn<qint64>("readAtMs");
    QTest::addColumn<bool>("settled");
    QTest::newRow("fine, just written") << 400LL << 400LL << 405LL << false;
    QTest::newRow("fine, within the coarse tick") << 400LL << 400LL << 419LL << false;
    QTest::newRow("fine, a tick old") << 400LL << 400LL << 425LL << true;
    QTest::newRow("fine, an hour old") << 400LL << 400LL << 3600400LL << true;
    QTest::newRow("whole seconds, one old") << 0LL << 0LL << 1000LL << false;
    QTest::newRow("whole seconds, three old") << 0LL << 0LL << 3000LL << true;
    // cp -p, tar, rsync -t: the modification time set back, the change time is the save's.
    QTest::newRow("time set back, just saved") << -3599600LL << 400LL << 405LL << false;
    QTest::newRow("whole time set back, just saved") << -3600000LL << 400LL << 405LL << false;
    QTest::newRow("whole time set back, a tick old") << -3600000LL << 400LL << 425LL << true;
    QTest::newRow("in the future") << 5400LL << 5400LL << 0LL << false;
}

void TestComposer::categoryMapStampSettled()
{
    QFETCH(qint64, mtimeMs);
    QFETCH(qint64, ctimeMs);
    QFETCH(qint64, readAtMs);
    QFETCH(bool, settled);
    const qint64 ms = 1000000;
    const qint64 second = qint64(1700000000) * 1000 * ms;
    QCOMPARE(CategoryMap::stampSettled(second + readAtMs * ms, second + mtimeMs * ms, second + ctimeMs * ms),
             settled);
}

void TestComposer::getAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");
    QTest::newRow("spaces in the query") << QStringLiteral("http://e.example/s") << QStringLiteral("t=Fast Cheap&u=x")
                                         << QStringLiteral("http://e.example/s?t=Fast+Cheap&u=x");
    QTest::newRow("address keeps its spaces") << QStringLiteral("http://e.example/a b") << QStringLiteral(" q=a  b ")
                                              << QStringLiteral("http://e.example/a b?+q=a++b+");
    QTest::newRow("plus kept") << QStringLiteral("http://e/") << QStringLiteral("a=1+2 3")
                               << QStringLiteral("http://e/?a=1+2+3");
    QTest::newRow("empty query") << QStringLiteral("http://e.example/s") << QString()
                                 << QStringLiteral("http://e.example/s?");
    QTest::newRow("no address") << QString() << QStringLiteral("a b") << QStringLiteral("?a+b");
}

void TestComposer::getAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(::getAddress(address, query), expected);
    QCOMPARE(::getAddress(address, query), address + QLatin1Char('?') + transmissionForm(query));
}

void TestComposer::runProjectReadsFileOnce()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/session/mysite.zro"),
              "[mysite]\r\nurl=http://my.example\r\ntitle= Padded \r\nkey1=a,b\r\n");
    const QString file = dir.filePath(QStringLiteral("data/session/mysite.zro"));
    const RunProject p = RunProject::read(file, QStringLiteral("mysite"));
    QCOMPARE(p.name(), QStringLiteral("mysite"));
    QCOMPARE(p.value(QStringLiteral("url")), QStringLiteral("http://my.example"));
    QCOMPARE(p.value(QStringLiteral("title")), QStringLiteral("Padded"));
    QCOMPARE(p.value(QStringLiteral("zip")), QString());
    QCOMPARE(p.value(QStringLiteral("key16")), QString());
    // Saved again during its run: the run keeps the values it read.
    dir.write(QStringLiteral("data/session/mysite.zro"), "[mysite]\r\nurl=http://changed\r\n");
    QCOMPARE(p.value(QStringLiteral("url")), QStringLiteral("http://my.example"));
    const RunProject missing = RunProject::read(dir.filePath(QStringLiteral("data/session/none.zro")),
                                                QStringLiteral("none"));
    QCOMPARE(missing.value(QStringLiteral("url")), QString());
}

QTEST_GUILESS_MAIN(TestComposer)
#include "tst_composer.moc"
