#include "AuditCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
#include "settings/CsvWriter.h"
#include "OutputFile.h"
#include "audit/AuditCrawl.h"
#include "audit/AuditSchema.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QSqlQuery>
#include <QVariant>

#include <climits>
#include <memory>

namespace {

const char* const pageColumns = "url,status,redirect_hops,final_url,content_type,bytes,response_ms,depth,title,"
                                "description,h1_count,canonical,robots,indexable,content_sha256";

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

bool writePages(const QSqlDatabase& db, qint64 crawlId, OutputFile& file)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT url, status, redirect_hops, final_url, content_type, bytes, response_ms, depth, title, description,"
        " h1_count, canonical, robots, indexable, content_sha256 FROM audit_pages WHERE crawl_id = ? ORDER BY seq"));
    query.addBindValue(crawlId);
    if (!query.exec())
        return false;
    if (!file.write(CsvWriter::row(QString::fromLatin1(pageColumns).split(QLatin1Char(',')))))
        return false;
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < 15; ++i)
            fields.append(text(query.value(i)));
        fields[13] = query.value(13).toInt() ? QStringLiteral("yes") : QStringLiteral("no");
        if (!file.write(CsvWriter::row(fields)))
            return false;
    }
    return true;
}

bool writeFindings(const QSqlDatabase& db, qint64 crawlId, OutputFile& file)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT code, url, detail FROM audit_findings WHERE crawl_id = ? ORDER BY code, url, detail"));
    query.addBindValue(crawlId);
    if (!query.exec())
        return false;
    if (!file.write(CsvWriter::row({QStringLiteral("code"), QStringLiteral("url"), QStringLiteral("detail")})))
        return false;
    while (query.next()) {
        if (!file.write(CsvWriter::row({text(query.value(0)), text(query.value(1)), text(query.value(2))})))
            return false;
    }
    return true;
}

} // namespace

int runAuditCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context,
                     QStringLiteral("audit URL [--max-pages N] [--delay MS] [--connections N] [--folder] "
                                    "[--ignore-robots] [--check-external] [--pages-csv FILE] [--findings-csv FILE]"),
                     QStringLiteral("Crawls a site from URL, stores every page's health and the findings in the "
                                    "history store and prints a summary."));
    line.addValue(QStringLiteral("max-pages"), QStringLiteral("N"),
                  QStringLiteral("fetch at most N pages (0: no cap)"));
    line.addValue(QStringLiteral("delay"), QStringLiteral("MS"),
                  QStringLiteral("wait MS milliseconds between requests"));
    line.addValue(QStringLiteral("connections"), QStringLiteral("N"),
                  QStringLiteral("fetch up to N pages at once, 1 to 8 (default 2)"));
    line.addFlag(QStringLiteral("folder"), QStringLiteral("stay within the start address's folder"));
    line.addFlag(QStringLiteral("ignore-robots"),
                 QStringLiteral("do not apply robots.txt's rules (its Sitemap: lines are still read)"));
    line.addFlag(QStringLiteral("check-external"), QStringLiteral("check links to other sites with one request each"));
    line.addValue(QStringLiteral("pages-csv"), QStringLiteral("FILE"),
                  QStringLiteral("write the pages to FILE (- for standard output)"));
    line.addValue(QStringLiteral("findings-csv"), QStringLiteral("FILE"),
                  QStringLiteral("write the findings to FILE (- for standard output)"));
    if (!line.parse(arguments, 1, 1))
        return line.exitCode();

    AuditOptions options;
    options.startUrl = line.positional().first();
    if (!line.intValue(QStringLiteral("max-pages"), 0, INT_MAX, &options.maxPages) ||
        !line.intValue(QStringLiteral("delay"), 0, 3600000, &options.delayMs) ||
        !line.intValue(QStringLiteral("connections"), 1, AuditOptions::MaxConnections, &options.connections))
        return CliExit::Usage;
    options.folderScope = line.isSet(QStringLiteral("folder"));
    options.obeyRobots = !line.isSet(QStringLiteral("ignore-robots"));
    options.checkExternal = line.isSet(QStringLiteral("check-external"));

    const int dir = context.openProgramDir();
    if (dir != CliExit::Ok)
        return dir;
    options.takeNetworkSettings(context.programDir());

    // The files are opened first, so a path that cannot be written costs no crawl.
    std::unique_ptr<OutputFile> pagesFile, findingsFile;
    for (auto [name, file] : {std::pair{QStringLiteral("pages-csv"), &pagesFile},
                              std::pair{QStringLiteral("findings-csv"), &findingsFile}}) {
        if (!line.isSet(name))
            continue;
        *file = std::make_unique<OutputFile>(line.value(name));
        if (!(*file)->open()) {
            context.error((*file)->errorText());
            return CliExit::Failed;
        }
    }

    AuditCrawl crawl(context.programDir());
    QEventLoop loop;
    bool completed = false;
    QObject::connect(&crawl, &AuditCrawl::finished, &loop, [&loop, &completed](bool done) {
        completed = done;
        loop.quit();
    });
    QObject::connect(&crawl, &AuditCrawl::progress, &loop,
                     [&context](int done, int queued) { context.progress().update(done, queued); });
    QObject::connect(&context.interrupts(), &InterruptWatcher::interrupted, &crawl, &AuditCrawl::stop);
    QElapsedTimer clock;
    clock.start();
    if (!crawl.start(options)) {
        context.error(crawl.errorText());
        return CliExit::Failed;
    }
    if (crawl.isRunning())
        loop.exec();
    context.progress().clear();
    const double seconds = clock.elapsed() / 1000.0;
    if (context.wasInterrupted()) {
        context.error(QStringLiteral("Interrupted: crawl %1 is kept as unfinished").arg(crawl.crawlId()));
        return CliExit::Interrupted;
    }
    if (!completed) {
        context.error(crawl.errorText());
        return CliExit::Failed;
    }

    HistoryStore store(context.programDir());
    if (!store.open()) {
        context.error(QStringLiteral("The history store cannot be read: %1").arg(store.errorText()));
        return CliExit::Failed;
    }
    context.result(QStringLiteral("crawl %1 %2 pages %3 findings %4 s")
                       .arg(crawl.crawlId())
                       .arg(crawl.pageCount())
                       .arg(crawl.findingCount())
                       .arg(QLocale::c().toString(seconds, 'f', 1)));
    QSqlQuery counts(store.database());
    counts.prepare(
        QStringLiteral("SELECT code, COUNT(*) FROM audit_findings WHERE crawl_id = ? GROUP BY code ORDER BY code"));
    counts.addBindValue(crawl.crawlId());
    if (counts.exec()) {
        while (counts.next())
            context.result(counts.value(0).toString() + QLatin1Char(' ') + counts.value(1).toString());
    }
    if (pagesFile && !(writePages(store.database(), crawl.crawlId(), *pagesFile) && pagesFile->commit())) {
        context.error(pagesFile->errorText());
        return CliExit::Failed;
    }
    if (findingsFile && !(writeFindings(store.database(), crawl.crawlId(), *findingsFile) && findingsFile->commit())) {
        context.error(findingsFile->errorText());
        return CliExit::Failed;
    }
    if (!crawl.startFetched() || !crawl.errorText().isEmpty()) {
        context.error(crawl.errorText());
        return CliExit::Failed;
    }
    return CliExit::Ok;
}

int runAuditsCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context, QStringLiteral("audits"),
                     QStringLiteral("Lists the stored audit crawls, oldest first: ID START_ADDRESS STARTED PAGES "
                                    "FINDINGS STATE."));
    if (!line.parse(arguments, 0, 0))
        return line.exitCode();
    const int dir = context.openProgramDir();
    if (dir != CliExit::Ok)
        return dir;
    HistoryStore store(context.programDir());
    if (!store.open() || !AuditSchema::ensure(store)) {
        context.error(QStringLiteral("The history store cannot be read: %1").arg(store.errorText()));
        return CliExit::Failed;
    }
    QSqlQuery query(store.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT c.id, c.start_url, c.started_at,"
                                   " (SELECT COUNT(*) FROM audit_pages p WHERE p.crawl_id = c.id),"
                                   " (SELECT COUNT(*) FROM audit_findings f WHERE f.crawl_id = c.id), c.finished"
                                   " FROM audit_crawls c ORDER BY c.id"))) {
        context.error(QStringLiteral("The history store cannot be read: %1").arg(store.errorText()));
        return CliExit::Failed;
    }
    while (query.next()) {
        const QString started = QDateTime::fromSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC)
                                    .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
        context.result(QStringLiteral("%1 %2 %3 %4 %5 %6")
                           .arg(query.value(0).toString(), query.value(1).toString(), started,
                                query.value(3).toString(), query.value(4).toString(),
                                query.value(5).toInt() ? QStringLiteral("finished") : QStringLiteral("unfinished")));
    }
    return CliExit::Ok;
}
