#include "RankHistoryCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
#include "OutputFile.h"

#include "history/HistoryStore.h"
#include "ranking/RankHistory.h"
#include "ranking/RankHistoryCsv.h"

#include <QFileInfo>

int runRankHistoryCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine cl(context, QStringLiteral("rank-history --keyword K --url U [--csv FILE]"),
                   QStringLiteral("Writes the stored rank checks of a keyword and site address as CSV, oldest "
                                  "first."));
    cl.addValue(QStringLiteral("keyword"), QStringLiteral("K"), QStringLiteral("The keyword the checks were for."));
    cl.addValue(QStringLiteral("url"), QStringLiteral("U"), QStringLiteral("The site address the checks were for."));
    cl.addValue(QStringLiteral("csv"), QStringLiteral("FILE"),
                QStringLiteral("Write the CSV to FILE (\"-\": standard output, the default)."), QStringLiteral("-"));
    if (!cl.parse(arguments, 0, 0))
        return cl.exitCode();
    const QString keyword = cl.value(QStringLiteral("keyword"));
    const QString url = cl.value(QStringLiteral("url"));
    if (keyword.isEmpty())
        return cl.usageError(QStringLiteral("--keyword K is required"));
    if (url.isEmpty())
        return cl.usageError(QStringLiteral("--url U is required"));
    const QString target = cl.value(QStringLiteral("csv"));
    if (target.isEmpty())
        return cl.usageError(QStringLiteral("--csv wants a file name or \"-\""));

    const int opened = context.openProgramDir();
    if (opened != CliExit::Ok)
        return opened;

    QVector<RankResult> rows;
    HistoryStore store(context.programDir());
    // Reading makes no store where there is none.
    if (QFileInfo::exists(store.filePath())) {
        if (!store.open()) {
            context.error(store.errorText());
            return CliExit::Failed;
        }
        RankHistory history(store);
        if (!history.ensure()) {
            context.error(history.errorText());
            return CliExit::Failed;
        }
        rows = history.rows(keyword, url);
        if (!history.errorText().isEmpty()) {
            context.error(history.errorText());
            return CliExit::Failed;
        }
    }
    if (rows.isEmpty())
        context.message(QStringLiteral("no rank checks are stored for \"%1\" and %2").arg(keyword, url));

    OutputFile out(target);
    if (!out.open() || !out.write(RankHistoryCsv::document(rows)) || !out.commit()) {
        context.error(out.errorText());
        return CliExit::Failed;
    }
    return CliExit::Ok;
}
