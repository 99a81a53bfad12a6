#include "SitemapCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
#include "audit/AuditSchema.h"
#include "audit/Sitemap.h"
#include "history/HistoryStore.h"

int runSitemapCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context, QStringLiteral("sitemap URL --out DIR [--base URL] [--max-urls N]"),
                     QStringLiteral("Writes DIR/sitemap.xml (and numbered files beyond one file's limits) from the "
                                    "latest finished audit of URL."));
    line.addValue(QStringLiteral("out"), QStringLiteral("DIR"), QStringLiteral("the folder the files go to"));
    line.addValue(QStringLiteral("base"), QStringLiteral("URL"),
                  QStringLiteral("where the files will be published (default: the site's top)"));
    line.addValue(QStringLiteral("max-urls"), QStringLiteral("N"),
                  QStringLiteral("addresses per file (default and most 50000)"));
    if (!line.parse(arguments, 1, 1))
        return line.exitCode();
    if (!line.isSet(QStringLiteral("out")) || line.value(QStringLiteral("out")).isEmpty())
        return line.usageError(QStringLiteral("--out DIR is required"));
    int maxUrls = Sitemap::MaxUrls;
    if (!line.intValue(QStringLiteral("max-urls"), 1, Sitemap::MaxUrls, &maxUrls))
        return CliExit::Usage;
    const QString start = line.positional().constFirst();
    const QString base = Sitemap::publishBase(start, line.value(QStringLiteral("base")));
    if (base.isEmpty())
        return line.usageError(line.isSet(QStringLiteral("base"))
                                   ? QStringLiteral("--base is not an http or https address")
                                   : QStringLiteral("URL is not an http or https address"));

    if (const int code = context.openProgramDir(); code != CliExit::Ok)
        return code;
    HistoryStore store(context.programDir());
    if (!store.open() || !AuditSchema::ensure(store)) {
        context.error(store.errorText());
        return CliExit::Failed;
    }
    const qint64 crawl = Sitemap::latestFinishedCrawl(store, start);
    if (crawl == -2) {
        context.error(QStringLiteral("Unable to read the history store %1").arg(store.filePath()));
        return CliExit::Failed;
    }
    if (crawl < 0) {
        context.error(QStringLiteral("There is no finished audit of %1.").arg(AuditSchema::normalizedStart(start)));
        return CliExit::Failed;
    }
    Sitemap::CrawlPages pages;
    QString error;
    if (!Sitemap::readCrawl(store, crawl, &pages, &error)) {
        context.error(error);
        return CliExit::Failed;
    }
    const Sitemap::WriteResult written =
        Sitemap::write(pages.entries, line.value(QStringLiteral("out")), base, maxUrls);
    if (!written.ok) {
        context.error(written.error);
        return CliExit::Failed;
    }
    context.result(QStringLiteral("sitemap %1 files %2 urls").arg(written.files).arg(written.urls));
    for (const SitemapSkip& skip : pages.skipped)
        context.result(QStringLiteral("skipped %1 %2").arg(skip.address, skip.reason));
    if (Sitemap::lacksRobotsLine(store, crawl))
        context.message(QStringLiteral("robots.txt names no sitemap; add the line \"%1\"").arg(Sitemap::robotsLine(base)));
    return CliExit::Ok;
}
