#include "AuditFixture.h"
#include "audit/Sitemap.h"
#include "CliProcess.h"
#include "indexnow/IndexNowBatch.h"
#include "indexnow/IndexNowLedger.h"
#include "indexnow/IndexNowSubmitter.h"
#include "indexnow/RetryAfter.h"
#include "sandbox/IndexNowSite.h"
#include "sandbox/SandboxRouter.h"
#include "sandbox/SandboxServer.h"
#include "support/ScriptedServer.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Key = QStringLiteral("0123456789abcdef0123456789abcdef");

QByteArray answer(int status, const QByteArray& reason, const QByteArray& body, const QByteArray& extra = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n" + extra + "Content-Type: text/plain\r\n"
           + "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

QString imfDate(qint64 secs)
{
    return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC),
                                 QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
}

struct Outcome
{
    QList<int> statuses;
    QStringList reasons;
    QList<int> waits;
    bool allAccepted = false;
};

Outcome run(IndexNowSubmitter& submitter, const IndexNowJob& job)
{
    Outcome outcome;
    QObject::connect(&submitter, &IndexNowSubmitter::answered, &submitter,
                     [&](const QString&, int, int status, const QString& reason) {
                         outcome.statuses << status;
                         outcome.reasons << reason;
                     });
    QObject::connect(&submitter, &IndexNowSubmitter::waiting, &submitter,
                     [&](const QString&, int seconds) { outcome.waits << seconds; });
    QSignalSpy done(&submitter, &IndexNowSubmitter::finished);
    if (!submitter.start(job))
        qWarning("start refused: %s", qPrintable(submitter.errorText()));
    else if (done.wait(30000))
        outcome.allAccepted = done.first().first().toBool();
    submitter.disconnect(&submitter);
    return outcome;
}

IndexNowJob job(const QString& endpoint, const QStringList& urls, const QStringList& hashes = {})
{
    IndexNowJob j;
    j.project = QStringLiteral("Site");
    j.projectUrl = QStringLiteral("https://site.example/");
    j.key = Key;
    j.urls = urls;
    j.hashes = hashes;
    j.changedOnly = false;
    j.engines = {{QStringLiteral("Scripted IndexNow"), endpoint}};
    return j;
}

QList<IndexNowLedger::Row> ledger(HistoryStore& store)
{
    QList<IndexNowLedger::Row> rows;
    IndexNowLedger::read(store, {}, [&](const IndexNowLedger::Row& row) {
        rows << row;
        return true;
    });
    return rows;
}

// The addresses each POST a scripted server received carried.
QList<QStringList> postedLists(const ScriptedServer& server)
{
    QList<QStringList> lists;
    for (int c = 0; c < server.connectionCount(); ++c) {
        const QByteArray bytes = server.received(c);
        const QJsonObject body = QJsonDocument::fromJson(bytes.mid(bytes.indexOf("\r\n\r\n") + 4)).object();
        QStringList urls;
        for (const QJsonValue& v : body.value(QLatin1String("urlList")).toArray())
            urls << v.toString();
        lists << urls;
    }
    return lists;
}

} // namespace

class TestIndexNowBulk : public QObject
{
    Q_OBJECT

private slots:
    void retryAfterIsRead_data();
    void retryAfterIsRead();
    void bodyFollowsTheProtocol();
    void batchesByHostAndSize_data();
    void batchesByHostAndSize();
    void answersAreJudged_data();
    void answersAreJudged();
    void sandboxTakesTheBulkForm_data();
    void sandboxTakesTheBulkForm();
    void sandboxAnswersOverTheNetwork();
    void changedOnlySendsWhatChanged();
    void ledgerSurvivesAKill();
};

void TestIndexNowBulk::retryAfterIsRead_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("seconds");
    // The clock stands at 2027-01-15T08:00:00Z.
    const qint64 now = QDateTime(QDate(2027, 1, 15), QTime(8, 0), Qt::UTC).toSecsSinceEpoch();
    QTest::newRow("seconds") << QByteArray("2") << 2;
    QTest::newRow("blank around") << QByteArray(" 7 ") << 7;
    QTest::newRow("absent") << QByteArray() << 60;
    QTest::newRow("capped") << QByteArray("3600") << 600;
    QTest::newRow("huge") << QByteArray("99999999999999999999") << 600;
    QTest::newRow("negative is no number") << QByteArray("-5") << 60;
    QTest::newRow("garbage") << QByteArray("soon") << 60;
    QTest::newRow("imf date") << imfDate(now + 30).toLatin1() << 30;
    QTest::newRow("imf date far") << imfDate(now + 5000).toLatin1() << 600;
    QTest::newRow("date passed") << imfDate(now - 30).toLatin1() << 0;
    QTest::newRow("rfc 850") << QByteArray("Friday, 15-Jan-27 08:00:45 GMT") << 45;
    QTest::newRow("asctime") << QByteArray("Fri Jan 15 08:01:00 2027") << 60;
    QTest::newRow("asctime next day") << QByteArray("Sat Jan 16 08:00:00 2027") << 600;
    QTest::newRow("bad day") << QByteArray("Fri, 32 Jan 2027 08:00:00 GMT") << 60;
    QTest::newRow("bad hour") << QByteArray("Fri, 15 Jan 2027 24:00:00 GMT") << 60;
    QTest::newRow("no GMT") << QByteArray("Fri, 15 Jan 2027 08:00:09 UTC") << 60;
}

void TestIndexNowBulk::retryAfterIsRead()
{
    QFETCH(QByteArray, value);
    QFETCH(int, seconds);
    const qint64 now = QDateTime(QDate(2027, 1, 15), QTime(8, 0), Qt::UTC).toSecsSinceEpoch();
    QCOMPARE(RetryAfter::seconds(value, now), seconds);
}

void TestIndexNowBulk::bodyFollowsTheProtocol()
{
    QCOMPARE(IndexNowBatch::body(QStringLiteral("www.example.org"), QStringLiteral("abc12345"),
                                 QStringLiteral("https://www.example.org/k/abc12345.txt"),
                                 {QStringLiteral("https://www.example.org/a?x=\"1\""),
                                  QStringLiteral("https://www.example.org/\u00e9")}),
             QByteArray("{\"host\":\"www.example.org\",\"key\":\"abc12345\",\"keyLocation\":"
                        "\"https://www.example.org/k/abc12345.txt\",\"urlList\":[\"https://www.example.org/a?x=\\\"1\\\"\","
                        "\"https://www.example.org/\xc3\xa9\"]}"));
    // No keyLocation member when the Project names none.
    QCOMPARE(IndexNowBatch::body(QStringLiteral("h.example"), QStringLiteral("abc12345"), QString(),
                                 {QStringLiteral("http://h.example/")}),
             QByteArray("{\"host\":\"h.example\",\"key\":\"abc12345\",\"urlList\":[\"http://h.example/\"]}"));
}

void TestIndexNowBulk::batchesByHostAndSize_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QList<int>>("postSizes");
    QTest::addColumn<int>("skipped");
    QStringList many;
    for (int i = 0; i < 25001; ++i)
        many << QStringLiteral("https://site.example/p%1").arg(i);
    QTest::newRow("25001 split") << many << QList<int>{10000, 10000, 5001} << 0;
    QTest::newRow("exactly 10000") << many.mid(0, 10000) << QList<int>{10000} << 0;
    QTest::newRow("other hosts skipped")
        << QStringList{QStringLiteral("https://site.example/a"), QStringLiteral("https://other.example/b"),
                       QStringLiteral("http://SITE.example/c"), QStringLiteral("https://sub.site.example/d"),
                       QStringLiteral("ftp://site.example/e"), QStringLiteral("https://site.example/a")}
        << QList<int>{2} << 3;
    QTest::newRow("nothing left") << QStringList{QStringLiteral("https://other.example/")} << QList<int>{} << 1;
}

void TestIndexNowBulk::batchesByHostAndSize()
{
    QFETCH(QStringList, urls);
    QFETCH(QList<int>, postSizes);
    QFETCH(int, skipped);
    const IndexNowBatch batch =
        IndexNowBatch::build(QStringLiteral("https://Site.Example/start"), Key, QString(), urls, {});
    QList<int> sizes;
    int sent = 0;
    for (const IndexNowPost& post : batch.posts) {
        sizes << static_cast<int>(post.urls.size());
        const QJsonObject body = QJsonDocument::fromJson(post.body).object();
        QCOMPARE(body.value(QLatin1String("host")).toString(), QStringLiteral("site.example"));
        QCOMPARE(body.value(QLatin1String("urlList")).toArray().size(), post.urls.size());
        QCOMPARE(body.value(QLatin1String("urlList")).toArray().first().toString(), post.urls.first());
        QCOMPARE(post.urls.first(), urls.value(sent)); // in order, nothing lost between POSTs
        sent += static_cast<int>(post.urls.size());
    }
    QCOMPARE(sizes, postSizes);
    QCOMPARE(batch.skipped.size(), skipped);
}

void TestIndexNowBulk::answersAreJudged_data()
{
    QTest::addColumn<QList<QByteArray>>("answers"); // empty: the connection is reset
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QList<int>>("waits");
    QTest::addColumn<QString>("detailStarts");
    const QByteArray longBody = "The host of https://x/ is not site.example. " + QByteArray(300, 'z');
    QTest::newRow("200") << QList<QByteArray>{answer(200, "OK", "")} << QList<int>{200} << true << QList<int>{}
                         << QStringLiteral("OK");
    QTest::newRow("202") << QList<QByteArray>{answer(202, "Accepted", "")} << QList<int>{202} << true
                         << QList<int>{} << QStringLiteral("Accepted");
    QTest::newRow("400 kept") << QList<QByteArray>{answer(400, "Bad Request", "bad json")} << QList<int>{400}
                              << false << QList<int>{} << QStringLiteral("Bad Request: bad json");
    QTest::newRow("403 kept") << QList<QByteArray>{answer(403, "Forbidden", "key not found")} << QList<int>{403}
                              << false << QList<int>{} << QStringLiteral("Forbidden: key not found");
    QTest::newRow("422 cut to 200") << QList<QByteArray>{answer(422, "Unprocessable Entity", longBody)}
                                    << QList<int>{422} << false << QList<int>{}
                                    << QStringLiteral("Unprocessable Entity: The host of");
    QTest::newRow("no reason phrase") << QList<QByteArray>{answer(403, "", "")} << QList<int>{403} << false
                                      << QList<int>{} << QString();
    QTest::newRow("500 failure") << QList<QByteArray>{answer(500, "Internal Server Error", "oops")}
                                 << QList<int>{500} << false << QList<int>{} << QStringLiteral("Internal");
    QTest::newRow("429 seconds, resent")
        << QList<QByteArray>{answer(429, "Too Many Requests", "", "Retry-After: 1\r\n"), answer(200, "OK", "")}
        << QList<int>{429, 200} << true << QList<int>{1} << QStringLiteral("OK");
    QTest::newRow("429 date, resent")
        << QList<QByteArray>{answer(429, "Too Many Requests", "",
                                    "Retry-After: IN-3-SECONDS\r\n"),
                             answer(202, "Accepted", "")}
        << QList<int>{429, 202} << true << QList<int>{3} << QStringLiteral("Accepted");
    QTest::newRow("429 absent: 60 s, twice fails")
        << QList<QByteArray>{answer(429, "Too Many Requests", "slow down"), answer(429, "Too Many Requests", "")}
        << QList<int>{429, 429} << false << QList<int>{60} << QStringLiteral("Too Many Requests");
    QTest::newRow("no answer") << QList<QByteArray>{QByteArray()} << QList<int>{0} << false << QList<int>{}
                               << QString();
}

void TestIndexNowBulk::answersAreJudged()
{
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QList<int>, statuses);
    QFETCH(bool, accepted);
    QFETCH(QList<int>, waits);
    QFETCH(QString, detailStarts);
    ScriptedServer server;
    QList<ScriptedServer::Script> scripts;
    for (QByteArray bytes : answers) {
        // A date is written when the case runs, three seconds ahead.
        bytes.replace("IN-3-SECONDS", imfDate(QDateTime::currentSecsSinceEpoch() + 3).toLatin1());
        ScriptedServer::Script script;
        script.awaitRequest();
        if (bytes.isEmpty())
            script.reset();
        else
            script.send(bytes).close();
        scripts << script;
    }
    server.play(scripts);
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    IndexNowSubmitter submitter(store);
    submitter.setMsPerRetrySecond(10);
    const QStringList urls{QStringLiteral("https://site.example/a"), QStringLiteral("https://site.example/b")};
    const Outcome outcome = run(submitter, job(server.url(QStringLiteral("/indexnow")), urls, {"h1", "h2"}));
    QCOMPARE(outcome.statuses, statuses);
    QCOMPARE(outcome.allAccepted, accepted);
    // A date is read against the clock, which moved a little since.
    QCOMPARE(outcome.waits.size(), waits.size());
    for (qsizetype i = 0; i < waits.size(); ++i)
        QVERIFY2(outcome.waits[i] <= waits[i] && outcome.waits[i] >= waits[i] - 1, qPrintable(QString::number(outcome.waits[i])));

    const QByteArray request = server.received(0);
    QVERIFY(request.startsWith("POST /indexnow HTTP/1."));
    QVERIFY(request.contains("Content-Type: application/json; charset=utf-8\r\n"));

    // Every answer is in the ledger, a row per address; the last decides.
    const QList<IndexNowLedger::Row> rows = ledger(store);
    QCOMPARE(rows.size(), 2 * statuses.size());
    QCOMPARE(rows.last().status, statuses.last());
    QCOMPARE(rows.last().accepted, accepted);
    QCOMPARE(rows.last().hash, QStringLiteral("h2"));
    QVERIFY2(rows.last().detail.startsWith(detailStarts), qPrintable(rows.last().detail));
    QVERIFY(!rows.first().accepted || statuses.size() == 1);
    for (const IndexNowLedger::Row& row : rows)
        QVERIFY(row.detail.size() <= IndexNowLedger::KeptBodyChars + 30);
}

void TestIndexNowBulk::sandboxTakesTheBulkForm_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    const QByteArray oldKey = "0123456789abcdef";
    const auto body = [](const QByteArray& key, const QByteArray& host, const QStringList& urls) {
        return QJsonDocument(QJsonObject{{"host", QString::fromLatin1(host)},
                                         {"key", QString::fromLatin1(key)},
                                         {"urlList", QJsonArray::fromStringList(urls)}})
            .toJson(QJsonDocument::Compact);
    };
    const QStringList one{QStringLiteral("https://site.example/a")};
    QStringList tooMany;
    for (int i = 0; i <= IndexNowSite::MaxBulkUrls; ++i)
        tooMany << QStringLiteral("https://site.example/%1").arg(i);
    QTest::newRow("known key") << body(oldKey, "site.example", one) << 200;
    QTest::newRow("fresh key") << body("fresh-key-0001", "site.example", one) << 202;
    QTest::newRow("not json") << QByteArray("url=x") << 400;
    QTest::newRow("array") << QByteArray("[1]") << 400;
    QTest::newRow("no urlList") << QByteArray("{\"host\":\"a\",\"key\":\"0123456789abcdef\"}") << 400;
    QTest::newRow("number in list") << QByteArray("{\"host\":\"a\",\"key\":\"0123456789abcdef\",\"urlList\":[1]}")
                                    << 400;
    QTest::newRow("unknown key") << body("nobody-knows-me", "site.example", one) << 403;
    QTest::newRow("malformed key") << body("bad key!", "site.example", one) << 422;
    QTest::newRow("other host") << body(oldKey, "other.example", one) << 422;
    QTest::newRow("10001 addresses") << body(oldKey, "site.example", tooMany) << 422;
    QTest::newRow("10000 addresses") << body(oldKey, "site.example", tooMany.mid(1)) << 200;
}

void TestIndexNowBulk::sandboxTakesTheBulkForm()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    auto keys = std::make_shared<IndexNowKeys>();
    keys->add("0123456789abcdef", keys->now() - 2 * IndexNowKeys::FreshMs);
    keys->add("fresh-key-0001");
    SandboxRouter router;
    IndexNowSite::addPaths(router, keys);
    SandboxRequest request;
    request.method = "POST";
    request.target = request.path = "/indexnow";
    request.body = body;
    const SandboxResponse response = router.route(request);
    QCOMPARE(response.status, status);
    QVERIFY(response.replacesLogBody);
    QVERIFY(response.logBody.size() < 300);
}

void TestIndexNowBulk::sandboxAnswersOverTheNetwork()
{
    SandboxServer sandbox;
    auto keys = std::make_shared<IndexNowKeys>();
    keys->add(Key.toLatin1(), keys->now() - 2 * IndexNowKeys::FreshMs);
    IndexNowSite::addPaths(sandbox.router(), keys);
    QBuffer log;
    log.open(QIODevice::WriteOnly);
    sandbox.setLogDevice(&log);
    QVERIFY(sandbox.listen(0));
    const QString endpoint = QStringLiteral("http://127.0.0.1:%1/indexnow").arg(sandbox.port());
    QTemporaryDir dir;
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    IndexNowSubmitter submitter(store);
    submitter.setMsPerRetrySecond(100);
    QStringList urls;
    for (int i = 0; i < 10001; ++i)
        urls << QStringLiteral("https://site.example/p%1").arg(i);
    // Ten POSTs of one key are taken in a minute; the 11th waits "Retry-After: 2".
    IndexNowJob j = job(endpoint, urls);
    Outcome first = run(submitter, j);
    QCOMPARE(first.statuses, (QList<int>{200, 200}));
    IndexNowJob small = job(endpoint, {});
    for (int i = 0; i < 8; ++i)
        small.urls << urls[i];
    QCOMPARE(run(submitter, small).statuses, QList<int>{200});
    for (int i = 0; i < 7; ++i)
        QCOMPARE(run(submitter, small).statuses.value(0), 200);
    const Outcome limited = run(submitter, small);
    QCOMPARE(limited.statuses.value(0), 429);
    QCOMPARE(limited.waits, QList<int>{2});
    QCOMPARE(limited.statuses.value(1), 429); // still within the minute
    IndexNowJob stranger = small;
    stranger.key = QStringLiteral("nobody-knows-me");
    QCOMPARE(run(submitter, stranger).statuses, QList<int>{403});
    QVERIFY(log.data().contains("\tPOST\t/indexnow\t200\t\tapplication/json; charset=utf-8\thost=site.example urlList=10000 addresses\n"));
}

void TestIndexNowBulk::changedOnlySendsWhatChanged()
{
    QTemporaryDir dir;
    AuditFixture fixture(dir.path());
    const auto page = [](const char* path) { return QStringLiteral("https://site.example/") + QLatin1String(path); };
    const qint64 c1 = fixture.addCrawl(QStringLiteral("https://site.example/"), 1000);
    fixture.addPage(c1, page("a"), QStringLiteral("ha"));
    fixture.addPage(c1, page("b"), QStringLiteral("hb"));
    fixture.addPage(c1, page("c"), QStringLiteral("hc"));

    ScriptedServer server;
    server.play(ScriptedServer::Script().awaitRequest().send(answer(200, "OK", "")).close());
    IndexNowSubmitter submitter(fixture.store());
    const auto fromLatest = [&] {
        Sitemap::CrawlPages pages;
        QString error;
        Sitemap::readCrawl(fixture.store(), Sitemap::latestFinishedCrawl(fixture.store(), page("")), &pages, &error);
        IndexNowJob j = job(server.url(QStringLiteral("/indexnow")), {});
        for (const SitemapEntry& e : pages.entries) {
            j.urls << e.loc;
            j.hashes << e.contentSha256;
        }
        j.changedOnly = true;
        return j;
    };
    QVERIFY(run(submitter, fromLatest()).allAccepted);
    QCOMPARE(postedLists(server).value(0), (QStringList{page("a"), page("b"), page("c")}));

    const qint64 c2 = fixture.addCrawl(QStringLiteral("https://site.example/"), 2000);
    fixture.addPage(c2, page("a"), QStringLiteral("ha"));
    fixture.addPage(c2, page("b"), QStringLiteral("hb2"));
    fixture.addPage(c2, page("c"), QStringLiteral("hc"));
    QVERIFY(run(submitter, fromLatest()).allAccepted);
    QCOMPARE(postedLists(server).value(1), QStringList{page("b")});
    QCOMPARE(submitter.unchanged().value(0).second, 2);

    // Nothing changed: nothing goes out, and that is no failure.
    const Outcome idle = run(submitter, fromLatest());
    QVERIFY(idle.allAccepted);
    QVERIFY(idle.statuses.isEmpty());
    QCOMPARE(server.connectionCount(), 2);
}

void TestIndexNowBulk::ledgerSurvivesAKill()
{
    QTemporaryDir dir;
    ScriptedServer server;
    server.play(ScriptedServer::Script().awaitRequest().stall());
    QDir(dir.path()).mkpath(QStringLiteral("data/session"));
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(QStringLiteral("data/data.ist"), "Scripted IndexNow=IndexNow|" + server.url().toLatin1() + "|"
                                               + server.url(QStringLiteral("/indexnow")).toLatin1() + "|\r\n");
    write(QStringLiteral("data/session/Site.zro"), "[Site]\r\nurl=https://site.example/\r\nindexnowkey=" + Key.toLatin1() + "\r\n");
    write(QStringLiteral("urls.txt"), "https://site.example/a\nhttps://site.example/b\nhttps://other.example/c\n");
    const QStringList args{QStringLiteral("--dir"), dir.path(), QStringLiteral("indexnow"), QStringLiteral("--project"),
                           QStringLiteral("Site"), QStringLiteral("--urls"), dir.filePath(QStringLiteral("urls.txt"))};
    QProcess cli;
    cli.start(cliPath(), args);
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.received(0).contains("\"urlList\""), 20000);
    cli.kill();
    QVERIFY(cli.waitForFinished());

    {
        HistoryStore store(dir.path());
        QVERIFY(store.open());
        const QList<IndexNowLedger::Row> rows = ledger(store);
        QCOMPARE(rows.size(), 2);
        for (const IndexNowLedger::Row& row : rows) {
            QCOMPARE(row.status, 0);
            QVERIFY(!row.accepted);
            QCOMPARE(row.detail, QStringLiteral("no answer"));
        }
    }
    // Sent without an answer is not accepted: the next run sends them again.
    ScriptedServer answering;
    answering.play(ScriptedServer::Script().awaitRequest().send(answer(200, "OK", "")).close());
    write(QStringLiteral("data/data.ist"), "Scripted IndexNow=IndexNow|" + answering.url().toLatin1() + "|"
                                               + answering.url(QStringLiteral("/indexnow")).toLatin1() + "|\r\n");
    // The server answers from this event loop, so the program runs beside it.
    QProcess again;
    again.start(cliPath(), args);
    QSignalSpy ended(&again, &QProcess::finished);
    QVERIFY(ended.wait(60000));
    const QByteArray out = again.readAllStandardOutput();
    QVERIFY2(again.exitCode() == 0, (out + again.readAllStandardError()).constData());
    QCOMPARE(QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("Scripted IndexNow 2 200 OK"),
                          QStringLiteral("skipped https://other.example/c not on the Project's host site.example"),
                          QStringLiteral("unchanged Scripted IndexNow 0")}));
    const CliRun csv = runCliProcess({QStringLiteral("--dir"), dir.path(), QStringLiteral("ledger")});
    QCOMPARE(csv.exitCode, 0);
    const QStringList lines = QString::fromUtf8(csv.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], QStringLiteral("time,project,engine,url,content_sha256,status,accepted,detail"));
    QVERIFY(lines[1].endsWith(QStringLiteral(",Site,Scripted IndexNow,https://site.example/a,,,no,no answer")));
    QVERIFY(lines[4].endsWith(QStringLiteral(",Site,Scripted IndexNow,https://site.example/b,,200,yes,OK")));
}

QTEST_GUILESS_MAIN(TestIndexNowBulk)
#include "tst_indexnowbulk.moc"
