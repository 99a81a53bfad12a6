// The audit crawl against nginx: facts, findings and the store; vantor-cli
// audit and audits; a crawl killed with SIGKILL.
#include "audit/AuditCrawl.h"
#include "cli/CliProcess.h"
#include "history/HistoryStore.h"
#include "net/THttpCli.h"
#include "support/NginxPeer.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "support/TestCertificates.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace {

QByteArray page(const QByteArray& title, const QByteArray& body, const QByteArray& head = QByteArray())
{
    return "<!doctype html><html><head><title>" + title +
           "</title>"
           "<meta name=description content=\"About " +
           title + "\">" + head + "</head><body><h1>" + title + "</h1>" + body + "</body></html>";
}

// A small site with one instance of most findings.
bool serveSite(NginxPeer& nginx)
{
    nginx.addServerLines(QStringLiteral("        location = /r1 { return 301 /r2; }\n"
                                        "        location = /r2 { return 302 /c.html; }\n"
                                        "        location = /loop1 { return 302 /loop2; }\n"
                                        "        location = /loop2 { return 302 /loop1; }\n"
                                        "        location = /hdr.html { add_header X-Robots-Tag \"noindex\"; }\n"));
    bool ok = nginx.addFile("/robots.txt", "User-agent: *\nDisallow: /private/\n");
    ok = ok && nginx.addFile("/index.html",
                             page("Home, sweet home",
                                  "<a href='/a.html'>Page  A</a> <a href=b.html>B</a> <a href=/missing.html>Lost</a>"
                                  "<a href=/r1>chain</a> <a href=/loop1>loop</a> <a href=/private/x.html>secret</a>"
                                  "<a href=/hdr.html>header</a> <a href=/skip.html rel=nofollow>skip</a>"
                                  "<a href='http://127.0.0.1:9/elsewhere'>ext</a>"));
    ok = ok && nginx.addFile("/a.html", page("Page A", "<a href=/missing.html>Lost again</a>",
                                             "<link rel=canonical href=/b.html>"));
    ok = ok && nginx.addFile("/b.html", page("Same", "<a href=/>home</a>"));
    ok = ok && nginx.addFile("/c.html", page("Same", "<a href=/>home</a>"));
    ok = ok && nginx.addFile("/hdr.html", page("Header", ""));
    ok = ok && nginx.addFile("/skip.html", page("Skip", ""));
    ok = ok && nginx.addFile("/private/x.html", page("Private", ""));
    return ok && nginx.start();
}

QStringList column(const QSqlDatabase& db, const QString& sql)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(sql))
        return {QStringLiteral("SQL failed: ") + sql};
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields.append(q.value(i).toString());
        out.append(fields.join(QLatin1Char('|')));
    }
    return out;
}

QProcessEnvironment cliEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VANTOR_PROGRAM_DIR"));
    return env;
}

} // namespace

class TestAuditCrawl : public QObject
{
    Q_OBJECT

private slots:
    void crawlStoresFactsAndFindings();
    void commandLine();
    void startRefusedOrUnreachable();
    void externalLinksChecked();
    void httpsSlowAndLargePages();
    void killedCrawlStaysUnfinished();
    void programTimeoutAndProxy_data();
    void programTimeoutAndProxy();
};

void TestAuditCrawl::crawlStoresFactsAndFindings()
{
    NginxPeer nginx;
    if (nginx.program().isEmpty())
        QSKIP("nginx is not installed");
    QVERIFY2(serveSite(nginx), qPrintable(nginx.errorString()));
    TempProgramDir dir;
    AuditCrawl crawl(dir.path());
    QSignalSpy finished(&crawl, &AuditCrawl::finished);
    AuditOptions options;
    options.startUrl = nginx.url("/");
    options.connections = 3;
    QVERIFY2(crawl.start(options), qPrintable(crawl.errorText()));
    QVERIFY(finished.wait(30000));
    QVERIFY2(finished.first().first().toBool(), qPrintable(crawl.errorText()));
    QVERIFY(crawl.startFetched());

    HistoryStore store(dir.path());
    QVERIFY(store.open());
    const QString base = nginx.url("");
    const QString id = QString::number(crawl.crawlId());
    QStringList pages =
        column(store.database(), "SELECT url, status, redirect_hops, final_url, depth, indexable, robots, h1_count"
                                 " FROM audit_pages WHERE crawl_id = " +
                                     id + " ORDER BY url");
    pages.replaceInStrings(base, "~");
    QCOMPARE(pages, QStringList({
                        "~/|200||~/|0|1||1",
                        "~/a.html|200||~/a.html|1|0||1",
                        "~/b.html|200||~/b.html|1|1||1",
                        "~/c.html|200||~/c.html|1|1||1",
                        "~/hdr.html|200||~/hdr.html|1|0|noindex|1",
                        "~/loop1|302|302 ~/loop2 -> 302 ~/loop1|~/loop1|1|0||",
                        "~/missing.html|404||~/missing.html|1|0||",
                        "~/r1|301|301 ~/r2 -> 302 ~/c.html|~/c.html|1|0||",
                    }));
    // The start address is first, and every row has its own sequence number.
    QCOMPARE(column(store.database(), "SELECT url FROM audit_pages WHERE crawl_id = " + id + " ORDER BY seq LIMIT 1"),
             QStringList({base + "/"}));
    QCOMPARE(column(store.database(), "SELECT COUNT(DISTINCT seq) FROM audit_pages WHERE crawl_id = " + id),
             QStringList({"8"}));
    QStringList findings =
        column(store.database(),
               "SELECT code, url, detail FROM audit_findings WHERE crawl_id = " + id + " ORDER BY code, url, detail");
    findings.replaceInStrings(base, "~");
    QCOMPARE(findings, QStringList({
                           "blocked-by-robots|~/|~/private/x.html",
                           "broken-link|~/|~/missing.html 404 Lost",
                           "broken-link|~/a.html|~/missing.html 404 Lost again",
                           "canonical-elsewhere|~/a.html|~/b.html",
                           "duplicate-description|~/b.html|About Same",
                           "duplicate-description|~/c.html|About Same",
                           "duplicate-title|~/b.html|Same",
                           "duplicate-title|~/c.html|Same",
                           "no-sitemap-line|~/robots.txt|",
                           "noindex|~/hdr.html|header",
                           "not-found|~/missing.html|404",
                           "redirect-chain|~/r1|301 ~/r2 -> 302 ~/c.html",
                           "redirect-loop|~/loop1|302 ~/loop2 -> 302 ~/loop1",
                       }));
    // Each link knows its target's status once the crawl is finished.
    QCOMPARE(column(store.database(),
                    "SELECT status FROM audit_links WHERE crawl_id = " + id + " AND to_url LIKE '%/missing.html'"),
             QStringList({"404", "404"}));
    QCOMPARE(column(store.database(), "SELECT finished FROM audit_crawls WHERE id = " + id), QStringList({"1"}));
}

void TestAuditCrawl::commandLine()
{
    NginxPeer nginx;
    if (nginx.program().isEmpty())
        QSKIP("nginx is not installed");
    QVERIFY2(serveSite(nginx), qPrintable(nginx.errorString()));
    TempProgramDir dir;
    const QString base = nginx.url("");
    CliRun run = runCliProcess({"--dir", dir.path(), "audit", nginx.url("/"), "--connections", "1", "--pages-csv",
                                dir.filePath("pages.csv"), "--findings-csv", dir.filePath("findings.csv")},
                               cliEnvironment());
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QStringList lines = run.outLines();
    QVERIFY(!lines.isEmpty());
    QVERIFY2(QRegularExpression("^crawl 1 8 pages 13 findings \\d+\\.\\d s$").match(lines.first()).hasMatch(),
             qPrintable(lines.first()));
    QCOMPARE(lines.mid(1), QStringList({"blocked-by-robots 1", "broken-link 2", "canonical-elsewhere 1",
                                        "duplicate-description 2", "duplicate-title 2", "no-sitemap-line 1",
                                        "noindex 1", "not-found 1", "redirect-chain 1", "redirect-loop 1"}));

    const QByteArray pages = dir.read("pages.csv");
    QList<QByteArray> rows = pages.split('\n');
    QCOMPARE(rows.takeLast(), QByteArray()); // every row ends with CR LF
    for (const QByteArray& row : rows)
        QVERIFY(row.endsWith('\r'));
    QCOMPARE(rows.size(), 9);
    QCOMPARE(rows[0], QByteArray("url,status,redirect_hops,final_url,content_type,bytes,response_ms,depth,title,"
                                 "description,h1_count,canonical,robots,indexable,content_sha256\r"));
    // With one connection the rows follow the links in the order they were found.
    QStringList urls;
    for (const QByteArray& row : rows.mid(1))
        urls.append(QString::fromUtf8(row.left(row.indexOf(','))).replace(base, "~"));
    QCOMPARE(urls, QStringList(
                       {"~/", "~/a.html", "~/b.html", "~/missing.html", "~/r1", "~/c.html", "~/loop1", "~/hdr.html"}));
    // The title holds a comma and is quoted; the page is indexable and hashed.
    QVERIFY2(rows[1].contains(",\"Home, sweet home\",\"About Home, sweet home\",1,,,yes,"), rows[1].constData());
    QVERIFY(QRegularExpression(",yes,[0-9a-f]{64}\r$").match(QString::fromUtf8(rows[1])).hasMatch());
    // A redirecting row leaves the page columns empty.
    const QByteArray r1 = rows[5];
    QVERIFY2(QRegularExpression("^[^,]+/r1,301,301 [^,]+/r2 -> 302 [^,]+/c.html,[^,]+/c.html,,,\\d+,1,,,,,,no,\r$")
                 .match(QString::fromUtf8(r1))
                 .hasMatch(),
             r1.constData());

    const QList<QByteArray> findings = dir.read("findings.csv").split('\n');
    QCOMPARE(findings.first(), QByteArray("code,url,detail\r"));
    QCOMPARE(findings.size(), 15);
    QCOMPARE(findings[2], (QStringLiteral("broken-link,%1/,%1/missing.html 404 Lost\r").arg(base)).toUtf8());

    // A second crawl, with the external link checked: nothing listens on its port.
    run = runCliProcess({"--dir", dir.path(), "audit", nginx.url("/"), "--check-external"}, cliEnvironment());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.outLines().contains("broken-link 3"), run.out.constData());

    run = runCliProcess({"--dir", dir.path(), "audits"}, cliEnvironment());
    QCOMPARE(run.exitCode, 0);
    lines = run.outLines();
    QCOMPARE(lines.size(), 2);
    const QString pattern =
        "^%1 " + QRegularExpression::escape(base + "/") + " \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ 8 %2 finished$";
    QVERIFY2(QRegularExpression(pattern.arg(1).arg(13)).match(lines[0]).hasMatch(), qPrintable(lines[0]));
    QVERIFY2(QRegularExpression(pattern.arg(2).arg(14)).match(lines[1]).hasMatch(), qPrintable(lines[1]));

    run = runCliProcess({"--dir", dir.path(), "audit", nginx.url("/"), "--connections", "9"}, cliEnvironment());
    QCOMPARE(run.exitCode, 2);
    run = runCliProcess({"--dir", dir.path(), "audit", "ftp://example.test/"}, cliEnvironment());
    QCOMPARE(run.exitCode, 1);
}

void TestAuditCrawl::startRefusedOrUnreachable()
{
    NginxPeer nginx;
    if (nginx.program().isEmpty())
        QSKIP("nginx is not installed");
    QVERIFY(nginx.addFile("/robots.txt", "User-agent: *\nDisallow: /\nSitemap: /sitemap.xml\n"));
    QVERIFY(nginx.addFile("/index.html", page("Home", "")));
    QVERIFY2(nginx.start(), qPrintable(nginx.errorString()));
    TempProgramDir dir;
    CliRun run = runCliProcess({"--dir", dir.path(), "audit", nginx.url("/")}, cliEnvironment());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errLines().last().contains("robots.txt refuses"), run.err.constData());
    // Ignoring robots.txt crawls the page, and its Sitemap: line still counts.
    run = runCliProcess({"--dir", dir.path(), "audit", nginx.url("/"), "--ignore-robots"}, cliEnvironment());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.outLines().first().startsWith("crawl 2 1 pages 0 findings "), run.out.constData());

    const quint16 closed = LocalPeer::freePort();
    run = runCliProcess({"--dir", dir.path(), "audit", QStringLiteral("http://127.0.0.1:%1/").arg(closed)},
                        cliEnvironment());
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errLines().last().contains("cannot be fetched"), run.err.constData());
    // Crawls that could not start are kept, but not as finished crawls to compare with.
    run = runCliProcess({"--dir", dir.path(), "audits"}, cliEnvironment());
    QCOMPARE(run.outLines().size(), 3);
    QVERIFY(run.outLines()[0].endsWith(" 0 0 unfinished"));
    QVERIFY(run.outLines()[1].endsWith(" 1 0 finished"));
    QVERIFY(run.outLines()[2].endsWith(" 0 0 unfinished"));
}

void TestAuditCrawl::externalLinksChecked()
{
    NginxPeer site, other;
    if (site.program().isEmpty())
        QSKIP("nginx is not installed");
    // The other site refuses HEAD on one address, which then answers GET with 404.
    other.addServerLines(QStringLiteral("        location = /nohead { if ($request_method = HEAD) { return 405; }"
                                        " return 404; }\n"
                                        "        location = /headonly { if ($request_method = HEAD) { return 200; }"
                                        " return 500; }\n"));
    QVERIFY(other.addFile("/ok.html", page("Other", "")));
    QVERIFY2(other.start(), qPrintable(other.errorString()));
    QVERIFY(site.addFile("/robots.txt", "Sitemap: /sitemap.xml\n"));
    QVERIFY(site.addFile("/index.html", page("Home", "<a href='" + other.url("/ok.html").toUtf8() +
                                                         "'>ok</a>"
                                                         "<a href='" +
                                                         other.url("/nohead").toUtf8() +
                                                         "'>no head</a>"
                                                         "<a href='" +
                                                         other.url("/headonly").toUtf8() +
                                                         "'>head</a>"
                                                         "<a href='" +
                                                         other.url("/gone").toUtf8() + "'>gone</a>")));
    QVERIFY2(site.start(), qPrintable(site.errorString()));
    TempProgramDir dir;
    AuditCrawl crawl(dir.path());
    QSignalSpy finished(&crawl, &AuditCrawl::finished);
    AuditOptions options;
    options.startUrl = site.url("/");
    options.checkExternal = true;
    QVERIFY(crawl.start(options));
    QVERIFY(finished.wait(30000));
    QVERIFY2(finished.first().first().toBool(), qPrintable(crawl.errorText()));
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QStringList findings = column(store.database(), "SELECT code, detail FROM audit_findings ORDER BY detail");
    findings.replaceInStrings(other.url(""), "~");
    // One request per link, HEAD first: only a refused HEAD is asked again with GET.
    QCOMPARE(findings, QStringList({"broken-link|~/gone 404 gone", "broken-link|~/nohead 404 no head"}));
    // External addresses are checked, not stored as pages of the crawl.
    QCOMPARE(column(store.database(), "SELECT COUNT(*) FROM audit_pages"), QStringList({"1"}));
}

void TestAuditCrawl::httpsSlowAndLargePages()
{
    NginxPeer nginx;
    if (nginx.program().isEmpty() || TestCertificates::program().isEmpty())
        QSKIP("nginx or openssl is not installed");
    TestCertificates certificates;
    TestCertificates::Pair pair;
    QVERIFY2(certificates.createAuthority() && certificates.issue("localhost", pair),
             qPrintable(certificates.errorString()));
    nginx.setTls(pair.certificate, pair.key);
    // About 2.5 s for 5 KB.
    nginx.addServerLines(QStringLiteral("        location = /slow.html { limit_rate 2k; }\n"));
    QVERIFY(nginx.addFile("/index.html", page("Home", "<img src='http://127.0.0.1:9/a.png'><script src=/j.js></script>"
                                                      "<a href=/slow.html>slow</a><a href=/large.html>large</a>")));
    QVERIFY(nginx.addFile("/slow.html", page("Slow", QByteArray(5000, 'x'))));
    QVERIFY(nginx.addFile("/large.html", page("Large", QByteArray(1100000, 'y'))));
    QVERIFY2(nginx.start(), qPrintable(nginx.errorString()));
    THttpCli::setExtraCaCertificates(certificates.authority());
    TempProgramDir dir;
    AuditCrawl crawl(dir.path());
    QSignalSpy finished(&crawl, &AuditCrawl::finished);
    AuditOptions options;
    options.startUrl = nginx.url("/");
    QVERIFY(crawl.start(options));
    QVERIFY(finished.wait(30000));
    THttpCli::setExtraCaCertificates({});
    QVERIFY2(finished.first().first().toBool(), qPrintable(crawl.errorText()));
    HistoryStore store(dir.path());
    QVERIFY(store.open());
    QStringList findings = column(store.database(), "SELECT code, url, detail FROM audit_findings"
                                                    " WHERE code IN ('mixed-content', 'slow-page', 'large-page')"
                                                    " ORDER BY code");
    findings.replaceInStrings(nginx.url(""), "~");
    QCOMPARE(findings.size(), 3);
    QCOMPARE(findings[0], QString("large-page|~/large.html|%1").arg(page("Large", QByteArray(1100000, 'y')).size()));
    QCOMPARE(findings[1], QString("mixed-content|~/|http://127.0.0.1:9/a.png"));
    QVERIFY2(QRegularExpression("^slow-page\\|~/slow.html\\|\\d{4}$").match(findings[2]).hasMatch(),
             qPrintable(findings[2]));
}

void TestAuditCrawl::killedCrawlStaysUnfinished()
{
    NginxPeer nginx;
    if (nginx.program().isEmpty())
        QSKIP("nginx is not installed");
    for (int i = 0; i < 40; ++i)
        QVERIFY(nginx.addFile(
            QStringLiteral("/p%1.html").arg(i),
            page("Page " + QByteArray::number(i), "<a href=p" + QByteArray::number(i + 1) + ".html>next</a>")));
    QVERIFY(nginx.addFile("/index.html", page("Home", "<a href=p0.html>first</a>")));
    QVERIFY2(nginx.start(), qPrintable(nginx.errorString()));
    TempProgramDir dir;

    int crawlId = 0;
    for (const bool hard : {true, false}) {
        const QString id = QString::number(++crawlId);
        QProcess cli;
        cli.setProcessEnvironment(cliEnvironment());
        cli.start(cliPath(), {"--dir", dir.path(), "audit", nginx.url("/"), "--delay", "100"});
        QVERIFY(cli.waitForStarted());
        HistoryStore store(dir.path());
        // Wait (bounded) until a few pages are committed.
        int stored = 0;
        QElapsedTimer clock;
        clock.start();
        while (stored < 4 && clock.elapsed() < 20000) {
            QTest::qWait(50);
            if (!store.isOpen() && !store.open())
                continue;
            QSqlQuery q(store.database());
            if (q.exec("SELECT COUNT(*) FROM audit_pages WHERE crawl_id = " + id) && q.next())
                stored = q.value(0).toInt();
        }
        QVERIFY2(stored >= 4, "the crawl committed no pages while it ran");
        if (hard)
            cli.kill(); // SIGKILL: nothing of the program runs any more
        else
            cli.terminate();
        QVERIFY(cli.waitForFinished(10000));
        if (!hard)
            QCOMPARE(cli.exitCode(), 130);

        QVERIFY(store.isOpen());
        QCOMPARE(column(store.database(), "PRAGMA integrity_check"), QStringList({"ok"}));
        const QStringList crawl =
            column(store.database(), "SELECT finished, ended_at IS NULL FROM audit_crawls WHERE id = " + id);
        // Killed: no end recorded; interrupted: an end, but still unfinished.
        QCOMPARE(crawl, QStringList({hard ? "0|1" : "0|0"}));
        const QStringList pages = column(
            store.database(), "SELECT COUNT(*), MIN(status), MAX(status) FROM audit_pages WHERE crawl_id = " + id);
        QVERIFY2(pages.first().endsWith("|200|200") && pages.first().section('|', 0, 0).toInt() >= stored,
                 qPrintable(pages.first()));
        QVERIFY(pages.first().section('|', 0, 0).toInt() < 42);
    }
    const CliRun run = runCliProcess({"--dir", dir.path(), "audits"}, cliEnvironment());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outLines().size(), 2);
    for (const QString& line : run.outLines())
        QVERIFY2(line.endsWith(" 0 unfinished"), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestAuditCrawl)
#include "tst_auditcrawl.moc"

void TestAuditCrawl::programTimeoutAndProxy_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("throughProxy");
    QTest::addColumn<int>("timeoutSeconds");

    // The scripted server stands for the site, or for a proxy in front of a site whose name does not resolve.
    QTest::newRow("proxy switched on") << QByteArray("[SubOptions]\r\nTimeout=1\r\n[Proxy]\r\nKeyProxy=1\r\n"
                                                     "ProxyHost=127.0.0.1\r\nProxyPort=%PORT%\r\n")
                                       << true << 1;
    QTest::newRow("proxy stored but off") << QByteArray("[SubOptions]\r\nTimeout=2\r\n[Proxy]\r\nKeyProxy=0\r\n"
                                                        "ProxyHost=127.0.0.1\r\nProxyPort=9\r\n")
                                          << false << 2;
}

void TestAuditCrawl::programTimeoutAndProxy()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, throughProxy);
    QFETCH(int, timeoutSeconds);

    // robots.txt answers; the start page sends its header and part of its body, then nothing more.
    ScriptedServer server;
    QVERIFY(server.isListening());
    ScriptedServer::Script robots, stalled;
    robots.awaitRequest().send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n").close();
    stalled.awaitRequest()
        .send("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5000\r\n\r\n<html><title>Slo")
        .stall();
    server.play(QList<ScriptedServer::Script>{robots, stalled});
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), settings.replace("%PORT%", QByteArray::number(server.port())));

    AuditCrawl crawl(dir.path());
    QSignalSpy finished(&crawl, &AuditCrawl::finished);
    AuditOptions options;
    options.startUrl = throughProxy ? QStringLiteral("http://site.invalid/") : server.url("/");
    options.takeNetworkSettings(dir.path());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(crawl.start(options));
    QVERIFY(finished.wait(30000));
    // The program's time-out ends the silent page, not the client's default.
    QVERIFY2(clock.elapsed() < (timeoutSeconds + 3) * 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(clock.elapsed() >= timeoutSeconds * 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(crawl.errorText().contains("Request Timeout"), qPrintable(crawl.errorText()));
    QCOMPARE(server.connectionCount(), 2);
    const QByteArray request = server.received(1);
    QVERIFY2(request.startsWith(throughProxy ? "GET http://site.invalid/ HTTP/" : "GET / HTTP/"), request.constData());
}
