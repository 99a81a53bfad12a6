// vantor-cli sitemap over a stored 100,000-page crawl (with an older crawl
// whose pages half changed since), in time and peak memory; and one
// 10,000-address IndexNow POST built, sent to the sandbox and answered.
#include "audit/AuditSchema.h"
#include "history/HistoryStore.h"
#include "indexnow/IndexNowSubmitter.h"
#include "sandbox/IndexNowSite.h"
#include "sandbox/SandboxServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int Pages = 100000;

bool fillCrawl(HistoryStore& store, qint64 startedAt, int changedEvery)
{
    QSqlQuery crawl(store.database());
    crawl.prepare(QStringLiteral("INSERT INTO audit_crawls(start_url, started_at, ended_at, finished) VALUES(?,?,?,1)"));
    crawl.addBindValue(QStringLiteral("https://big.example/"));
    crawl.addBindValue(startedAt);
    crawl.addBindValue(startedAt + 3600);
    if (!crawl.exec())
        return false;
    const qint64 id = crawl.lastInsertId().toLongLong();
    store.beginTransaction();
    QSqlQuery page(store.database());
    page.prepare(QStringLiteral("INSERT INTO audit_pages(crawl_id, seq, url, status, indexable, content_sha256)"
                                " VALUES(?,?,?,200,?,?)"));
    for (int i = 0; i < Pages; ++i) {
        page.bindValue(0, id);
        page.bindValue(1, i + 1);
        page.bindValue(2, QStringLiteral("https://big.example/catalogue/item-%1.html?colour=blue&size=%2").arg(i).arg(i % 7));
        page.bindValue(3, i % 50 == 0 ? 0 : 1);
        page.bindValue(4, QStringLiteral("%1").arg(changedEvery > 0 && i % changedEvery == 0 ? i + startedAt : i, 64, 10, QLatin1Char('0')));
        if (!page.exec())
            return false;
    }
    return store.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    {
        HistoryStore store(dir.path());
        if (!store.open() || !AuditSchema::ensure(store) || !fillCrawl(store, 1700000000, 0)
            || !fillCrawl(store, 1710000000, 2)) {
            std::fprintf(stderr, "bench_sitemap: cannot fill the store: %s\n", qPrintable(store.errorText()));
            return 1;
        }
    }

    QElapsedTimer timer;
    timer.start();
    QProcess cli;
    cli.start(QStringLiteral(VANTOR_CLI_PATH),
              {QStringLiteral("--dir"), dir.path(), QStringLiteral("sitemap"), QStringLiteral("https://big.example/"),
               QStringLiteral("--out"), dir.filePath(QStringLiteral("out"))});
    cli.waitForFinished(120000);
    const double sitemapSeconds = timer.nsecsElapsed() / 1e9;
    struct rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    std::fprintf(stderr, "bench_sitemap: %s", cli.readAllStandardOutput().constData());
    if (cli.exitCode() != 0) {
        std::fprintf(stderr, "bench_sitemap: vantor-cli failed: %s\n", cli.readAllStandardError().constData());
        return 1;
    }

    SandboxServer sandbox;
    auto keys = std::make_shared<IndexNowKeys>();
    const QString key = QStringLiteral("0123456789abcdef0123456789abcdef");
    keys->add(key.toLatin1(), keys->now() - 2 * IndexNowKeys::FreshMs);
    IndexNowSite::addPaths(sandbox.router(), keys);
    if (!sandbox.listen(0))
        return 1;
    HistoryStore store(dir.path());
    store.open();
    IndexNowJob job;
    job.project = QStringLiteral("Big");
    job.projectUrl = QStringLiteral("https://big.example/");
    job.key = key;
    job.changedOnly = false;
    job.engines = {{QStringLiteral("Sandbox IndexNow"), QStringLiteral("http://127.0.0.1:%1/indexnow").arg(sandbox.port())}};
    for (int i = 0; i < 10000; ++i) {
        job.urls << QStringLiteral("https://big.example/catalogue/item-%1.html").arg(i);
        job.hashes << QString(64, QLatin1Char('a'));
    }
    IndexNowSubmitter submitter(store);
    QEventLoop loop;
    int status = 0;
    QObject::connect(&submitter, &IndexNowSubmitter::answered, &loop,
                     [&status](const QString&, int, int code, const QString&) { status = code; });
    QObject::connect(&submitter, &IndexNowSubmitter::finished, &loop, &QEventLoop::quit);
    timer.restart();
    if (!submitter.start(job))
        return 1;
    loop.exec();
    const double postSeconds = timer.nsecsElapsed() / 1e9;
    if (status != 200) {
        std::fprintf(stderr, "bench_sitemap: the POST was answered %d\n", status);
        return 1;
    }
    std::printf("RESULT bench_sitemap pages100000_s=%.3f rss_kb=%ld post10000_s=%.3f\n", sitemapSeconds,
                usage.ru_maxrss, postSeconds);
    const bool ok = sitemapSeconds < 2.0 && usage.ru_maxrss < 100 * 1024 && postSeconds < 1.0;
    return ok ? 0 : 1;
}
