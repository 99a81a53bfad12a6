#include "IndexNowCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
#include "settings/CsvWriter.h"
#include "OutputFile.h"
#include "history/HistoryStore.h"
#include "indexnow/IndexNowLedger.h"
#include "indexnow/IndexNowSources.h"
#include "indexnow/IndexNowSubmitter.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectRecord.h"

#include <QEventLoop>
#include <QFileInfo>

#include <algorithm>

int runIndexNowCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context,
                     QStringLiteral("indexnow --project NAME [--engine NAME]... [--urls FILE | --from-audit] [--all]"),
                     QStringLiteral("Sends a Project's pages to the IndexNow engines of data/data.ist as bulk POSTs "
                                    "and keeps every answer in the ledger. Without --urls or --from-audit the "
                                    "Project's URL alone is sent; without --all only changed addresses."));
    line.addValue(QStringLiteral("project"), QStringLiteral("NAME"), QStringLiteral("the Project"));
    line.addValue(QStringLiteral("engine"), QStringLiteral("NAME"),
                  QStringLiteral("an IndexNow engine as the list names it (repeatable; default: all)"));
    line.addValue(QStringLiteral("urls"), QStringLiteral("FILE"), QStringLiteral("the addresses, one per line"));
    line.addFlag(QStringLiteral("from-audit"), QStringLiteral("the indexable pages of the latest finished audit"));
    line.addFlag(QStringLiteral("all"), QStringLiteral("send unchanged addresses too"));
    if (!line.parse(arguments, 0, 0))
        return line.exitCode();
    const QString name = line.value(QStringLiteral("project"));
    if (name.isEmpty())
        return line.usageError(QStringLiteral("--project NAME is required"));
    if (line.isSet(QStringLiteral("urls")) && line.isSet(QStringLiteral("from-audit")))
        return line.usageError(QStringLiteral("--urls and --from-audit exclude each other"));

    if (const int code = context.openProgramDir(); code != CliExit::Ok)
        return code;
    const QString dir = context.programDir();
    const QString projectFile = ProjectFile::path(dir, name);
    if (projectFile.isEmpty() || !QFileInfo(projectFile).isFile()) {
        context.error(QStringLiteral("There is no Project named \"%1\".").arg(name));
        return CliExit::Failed;
    }
    const ProjectRecord project = ProjectFile::read(dir, name);

    QString error;
    QList<IndexNowEngine> all;
    if (!IndexNowSources::engines(dir, &all, &error)) {
        context.error(error);
        return CliExit::Failed;
    }
    QList<IndexNowEngine> engines;
    const QStringList wanted = line.values(QStringLiteral("engine"));
    for (const QString& want : wanted) {
        const auto it = std::find_if(all.cbegin(), all.cend(), [&](const IndexNowEngine& e) {
            return e.name.compare(want, Qt::CaseInsensitive) == 0;
        });
        if (it == all.cend()) {
            context.error(QStringLiteral("There is no IndexNow engine named \"%1\" in data/data.ist.").arg(want));
            return CliExit::Failed;
        }
        engines.append(*it);
    }
    if (wanted.isEmpty())
        engines = all;
    if (engines.isEmpty()) {
        context.error(QStringLiteral("data/data.ist holds no IndexNow engine."));
        return CliExit::Failed;
    }

    HistoryStore store(dir);
    if (!store.open()) {
        context.error(store.errorText());
        return CliExit::Failed;
    }
    IndexNowJob job;
    job.project = name;
    job.projectUrl = project.value(ProjectField::Url).trimmed();
    job.key = project.value(ProjectField::IndexNowKey).trimmed();
    job.keyLocation = project.value(ProjectField::IndexNowKeyLocation).trimmed();
    job.changedOnly = !line.isSet(QStringLiteral("all"));
    job.engines = engines;
    if (line.isSet(QStringLiteral("from-audit"))) {
        if (!IndexNowSources::fromAudit(store, job.projectUrl, &job.urls, &job.hashes, &error)) {
            context.error(error);
            return CliExit::Failed;
        }
    } else {
        if (line.isSet(QStringLiteral("urls"))) {
            if (!IndexNowSources::readList(line.value(QStringLiteral("urls")), &job.urls, &error)) {
                context.error(error);
                return CliExit::Failed;
            }
        } else {
            job.urls = QStringList{job.projectUrl};
        }
        job.hashes = IndexNowSources::auditHashes(store, job.projectUrl, job.urls);
    }

    const IndexNowSources::Network network = IndexNowSources::network(dir);
    IndexNowSubmitter submitter(store);
    submitter.setTimeoutMs(network.timeoutMs);
    submitter.setProxy(network.proxyEnabled, network.proxy);
    if (!submitter.start(job)) {
        context.error(submitter.errorText());
        return CliExit::Failed;
    }
    bool allAccepted = false;
    QEventLoop loop;
    QObject::connect(&submitter, &IndexNowSubmitter::answered, &loop,
                     [&context](const QString& engine, int count, int status, const QString& reason) {
                         context.result(QStringLiteral("%1 %2 %3 %4").arg(engine).arg(count).arg(status).arg(reason));
                     });
    QObject::connect(&submitter, &IndexNowSubmitter::waiting, &loop, [&context](const QString& engine, int seconds) {
        context.message(QStringLiteral("%1 asks to wait %2 s before the POST is sent again").arg(engine).arg(seconds));
    });
    QObject::connect(&submitter, &IndexNowSubmitter::progress, &loop, [&context](int done, int total) {
        context.progress().show(QStringLiteral("%1 of %2 POSTs").arg(done).arg(total));
    });
    QObject::connect(&submitter, &IndexNowSubmitter::finished, &loop, [&](bool accepted) {
        allAccepted = accepted;
        loop.quit();
    });
    QObject::connect(&context.interrupts(), &InterruptWatcher::interrupted, &loop, [&] { submitter.cancel(); });
    loop.exec();
    context.progress().clear();

    for (const IndexNowSkip& skip : submitter.skipped())
        context.result(QStringLiteral("skipped %1 %2").arg(skip.address, skip.reason));
    const auto unchanged = submitter.unchanged();
    for (const auto& entry : unchanged)
        context.result(QStringLiteral("unchanged %1 %2").arg(entry.first).arg(entry.second));
    if (context.wasInterrupted())
        return CliExit::Interrupted;
    if (!submitter.errorText().isEmpty())
        context.error(submitter.errorText());
    return allAccepted ? CliExit::Ok : CliExit::Failed;
}

int runLedgerCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context, QStringLiteral("ledger [--project NAME] [--engine NAME] [--csv FILE]"),
                     QStringLiteral("Exports the IndexNow ledger, oldest first, as CSV."));
    line.addValue(QStringLiteral("project"), QStringLiteral("NAME"), QStringLiteral("only this Project's rows"));
    line.addValue(QStringLiteral("engine"), QStringLiteral("NAME"), QStringLiteral("only this engine's rows"));
    line.addValue(QStringLiteral("csv"), QStringLiteral("FILE"), QStringLiteral("the file (default: standard output)"),
                  QStringLiteral("-"));
    if (!line.parse(arguments, 0, 0))
        return line.exitCode();
    if (const int code = context.openProgramDir(); code != CliExit::Ok)
        return code;
    HistoryStore store(context.programDir());
    if (!store.open() || !IndexNowLedger::ensure(store)) {
        context.error(store.errorText());
        return CliExit::Failed;
    }
    OutputFile out(line.value(QStringLiteral("csv")));
    if (!out.open()) {
        context.error(out.errorText());
        return CliExit::Failed;
    }
    IndexNowLedger::Filter filter;
    filter.project = line.value(QStringLiteral("project"));
    filter.engine = line.value(QStringLiteral("engine"));
    bool written = out.write(CsvWriter::row(IndexNowLedger::csvHeader()));
    const bool read = IndexNowLedger::read(store, filter, [&](const IndexNowLedger::Row& row) {
        written = written && out.write(CsvWriter::row(IndexNowLedger::csvFields(row)));
        return written && !context.wasInterrupted();
    });
    if (!read) {
        context.error(QStringLiteral("Unable to read the IndexNow ledger in %1").arg(store.filePath()));
        return CliExit::Failed;
    }
    if (!written || !out.commit()) {
        context.error(out.errorText());
        return CliExit::Failed;
    }
    return context.wasInterrupted() ? CliExit::Interrupted : CliExit::Ok;
}
