#include "RankCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"

#include "history/HistoryStore.h"
#include "net/ProxyValues.h"
#include "net/THttpCli.h"
#include "ranking/RankCheck.h"
#include "ranking/RankHistory.h"
#include "ranking/RankListModel.h"
#include "ranking/RankRecorder.h"
#include "settings/IniFile.h"
#include "settings/ProgramPaths.h"
#include "settings/SettingsKeys.h"
#include "submission/ListFile.h"

#include <QFileInfo>
#include <QSet>

namespace SK = SettingsKeys;

namespace {

// The proxy the window's proxy settings put in force, when "behind a proxy" is chosen.
void applyProgramProxy(THttpCli& client, const QString& programDir)
{
    IniFile ini(programPath(programDir, QLatin1String(IniFile::SettingsFileName)));
    if (!ini.readBool(SK::Proxy, SK::KeyProxy, false))
        return;
    ProxyValues proxy;
    proxy.host = ini.readString(SK::Proxy, SK::ProxyHost, QString());
    proxy.port = ini.readString(SK::Proxy, SK::ProxyPort, QString());
    proxy.user = ini.readString(SK::Proxy, SK::ProxyUserName, QString());
    proxy.password = ini.readString(SK::Proxy, SK::ProxyPassword, QString());
    applyProxy(client, proxy);
}

QString line(const RankResult& r, const std::optional<RankResult>& previous)
{
    QString text = r.engine + QLatin1Char(' ') + RankResults::kindName(r.kind) + QLatin1Char(' ');
    switch (r.kind) {
    case RankKind::Found:
        text += QString::number(r.bound);
        break;
    case RankKind::NotFound:
        text += QString::number(r.top);
        break;
    default:
        // One record per line: a reason with a line break would start a false one.
        text += QString(r.error).replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        break;
    }
    if (previous)
        text += QStringLiteral(" (was %1)").arg(RankResults::previousText(*previous));
    return text;
}

} // namespace

int runRankCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine cl(context, QStringLiteral("rank --keyword K --url U [--top N] [--engine NAME]..."),
                   QStringLiteral("Checks the site's rank for a keyword on the rank engines of data/ranking.ist, "
                                  "as the Ranking page does, and keeps the results in the history store."));
    cl.addValue(QStringLiteral("keyword"), QStringLiteral("K"), QStringLiteral("The keyword, as typed in the window."));
    cl.addValue(QStringLiteral("url"), QStringLiteral("U"), QStringLiteral("The site's address."));
    cl.addValue(QStringLiteral("top"), QStringLiteral("N"),
                QStringLiteral("How many results to look through: 10 to 1000, in tens (default 10)."),
                QStringLiteral("10"));
    cl.addValue(QStringLiteral("engine"), QStringLiteral("NAME"),
                QStringLiteral("Check only this rank engine (repeatable); the others are not checked."));
    if (!cl.parse(arguments, 0, 0))
        return cl.exitCode();
    const QString keyword = cl.value(QStringLiteral("keyword"));
    const QString url = cl.value(QStringLiteral("url"));
    if (keyword.trimmed().isEmpty())
        return cl.usageError(QStringLiteral("--keyword K is required"));
    if (url.trimmed().isEmpty())
        return cl.usageError(QStringLiteral("--url U is required"));
    int top = 10;
    if (!cl.intValue(QStringLiteral("top"), 10, 1000, &top))
        return CliExit::Usage;
    if (top % 10 != 0)
        return cl.usageError(QStringLiteral("--top wants a multiple of 10, not %1").arg(top));

    const int opened = context.openProgramDir();
    if (opened != CliExit::Ok)
        return opened;
    const QString listPath = programPath(context.programDir(), QStringLiteral("data/ranking.ist"));
    QStringList lines;
    try {
        if (QFileInfo::exists(listPath))
            LoadListFromFile(listPath, lines);
    } catch (const std::exception& e) {
        context.error(QString::fromUtf8(e.what()));
        return CliExit::Failed;
    }
    if (lines.isEmpty()) {
        context.error(QStringLiteral("there are no rank engines in %1").arg(listPath));
        return CliExit::Failed;
    }

    RankListModel model;
    model.setLines(lines);
    const QStringList wanted = cl.values(QStringLiteral("engine"));
    if (!wanted.isEmpty()) {
        QSet<QString> unknown(wanted.begin(), wanted.end());
        for (int i = 0; i < model.count(); ++i) {
            const bool chosen = wanted.contains(model.row(i).caption);
            model.setChecked(i, chosen);
            unknown.remove(model.row(i).caption);
        }
        if (!unknown.isEmpty()) {
            QStringList names = unknown.values();
            names.sort();
            context.error(QStringLiteral("no rank engine named \"%1\" in %2").arg(names.join(QStringLiteral("\", \"")), listPath));
            return CliExit::Failed;
        }
    }

    HistoryStore store(context.programDir());
    if (!store.open()) {
        context.error(store.errorText());
        return CliExit::Failed;
    }
    RankHistory history(store);
    if (!history.ensure()) {
        context.error(history.errorText());
        return CliExit::Failed;
    }

    THttpCli client;
    client.setAgent(QLatin1String(RankCheck::Agent));
    applyProgramProxy(client, context.programDir());
    RankCheck check(&model, &client);
    check.setEngineFile(listPath);
    RankRecorder recorder(&check, &history);
    recorder.setKeepSkipped(false);
    int results = 0;
    int errors = 0;
    QString storeError;
    QObject::connect(&recorder, &RankRecorder::recorded, [&](int, const RankResult& r, const std::optional<RankResult>& previous) {
        ++results;
        if (r.kind == RankKind::Error)
            ++errors;
        context.progress().clear();
        context.result(line(r, previous));
    });
    QObject::connect(&recorder, &RankRecorder::storeFailed, [&](const QString& text) { storeError = text; });
    QObject::connect(&model, &RankListModel::dataChanged, [&](const QModelIndex& from, const QModelIndex&) {
        if (model.row(from.row()).image == RowImage::Running)
            context.progress().show(QStringLiteral("checking %1").arg(model.row(from.row()).caption));
    });
    QObject::connect(&context.interrupts(), &InterruptWatcher::interrupted, &check, [&] {
        check.cancel();
        client.CancelRequest();
    });

    try {
        check.run(keyword, url, QString::number(top));
    } catch (const std::exception& e) {
        context.progress().clear();
        context.error(QString::fromUtf8(e.what()));
        return CliExit::Failed;
    }
    context.progress().clear();
    if (context.wasInterrupted())
        return CliExit::Interrupted;
    if (!storeError.isEmpty()) {
        context.error(QStringLiteral("the results were not all kept: %1").arg(storeError));
        return CliExit::Failed;
    }
    if (results > 0 && errors == results) {
        context.error(QStringLiteral("every rank engine gave an error"));
        return CliExit::Failed;
    }
    return CliExit::Ok;
}
