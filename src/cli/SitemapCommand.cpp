#include "SitemapCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
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
    if (line.value(QStringLiteral("out")).isEmpty())
        return line.usageError(QStringLiteral("--out DIR is required"));
    int maxUrls = Sitemap::MaxUrls;
    if (!line.intValue(QStringLiteral("max-urls"), 1, Sitemap::MaxUrls, &maxUrls))
        return CliExit::Usage;
    const QString start = line.positional().constFirst();
    const QString base = line.value(QStringLiteral("base"));
    if (Sitemap::publishBase(start, base).isEmpty())
        return line.usageError(base.isEmpty() ? QStringLiteral("URL is not an http or https address")
                                              : QStringLiteral("--base is not an http or https address"));

    if (const int code = context.openProgramDir(); code != CliExit::Ok)
        return code;
    HistoryStore store(context.programDir());
    if (!store.open()) {
        context.error(store.errorText());
        return CliExit::Failed;
    }
    const Sitemap::WriteResult written =
        Sitemap::writeFromLatestAudit(store, start, line.value(QStringLiteral("out")), base, maxUrls);
    if (!written.ok) {
        context.error(written.error);
        return CliExit::Failed;
    }
    context.result(QStringLiteral("sitemap %1 files %2 urls").arg(written.files).arg(written.urls));
    for (const SitemapSkip& skip : written.skipped)
        context.result(QStringLiteral("skipped %1 %2").arg(skip.address, skip.reason));
    if (!written.missingRobotsLine.isEmpty())
        context.message(QStringLiteral("robots.txt names no sitemap; add the line \"%1\"").arg(written.missingRobotsLine));
    return CliExit::Ok;
}
