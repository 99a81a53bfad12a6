#include "SubmitCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
#include "projects/ProjectCatalog.h"
#include "projects/ProjectListModel.h"
#include "settings/ProgramPaths.h"
#include "settings/ProgramSettings.h"
#include "submission/EngineDatabase.h"
#include "submission/EngineFilter.h"
#include "submission/EngineRowList.h"
#include "submission/ListFile.h"
#include "submission/LiveSubmitter.h"
#include "submission/ReportWriter.h"
#include "submission/SubmissionController.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QLocale>

#include <exception>

namespace {

using Key = ProgramSettings::Key;

QString classText(ResultClass resultClass)
{
    switch (resultClass) {
    case ResultClass::Ok:
        return QStringLiteral("ok");
    case ResultClass::TimedOut:
        return QStringLiteral("timeout");
    case ResultClass::Failed:
        break;
    }
    return QStringLiteral("failed");
}

ReportSettings reportSettings(const ProgramSettings& settings)
{
    ReportSettings s;
    s.generate = settings.flag(Key::GenReport);
    s.header = settings.flag(Key::HeaderCK);
    s.footer = settings.flag(Key::FooterCk);
    s.title = settings.flag(Key::TitleCk);
    s.headerPath = settings.text(Key::HeaderPath);
    s.footerPath = settings.text(Key::FooterPath);
    s.titleText = settings.text(Key::TitleTxt);
    return s;
}

// Writes a Project's dated report as the window does; says what went wrong
// on standard error and gives the path written, or empty.
QString writeReport(CliContext& context, const ProgramSettings& settings, const ReportContent& content)
{
    const ReportWriter::Page page = ReportWriter::build(reportSettings(settings), content, settings.text(Key::Home));
    if (page.headerMissing)
        context.message(QStringLiteral("Could not find header, Please Reload header"));
    if (page.footerMissing)
        context.message(QStringLiteral("Could not find Footer, Please Reload Footer"));
    const QString dir = programPath(context.programDir(), QStringLiteral("\\reports"));
    const QString path =
        QDir(dir).filePath(ReportWriter::datedFileName(content.projectName, QDate::currentDate(), QLocale::system()));
    try {
        if (!ReportWriter::isDirectlyInside(dir, path))
            throw ListFileError::writeFailure(path);
        SaveListToFile(page.lines, path);
    } catch (const std::exception& e) {
        context.error(QString::fromUtf8(e.what()));
        return QString();
    }
    return path;
}

} // namespace

int runSubmitCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context,
                     QStringLiteral("submit --project NAME [--search-engines] [--ffa] [--batch] [--ports N] "
                                    "[--timeout S]"),
                     QStringLiteral("Submits a Project to the engines the window's filter boxes would check."));
    line.addValue(QStringLiteral("project"), QStringLiteral("NAME"), QStringLiteral("The Project to submit."));
    line.addFlag(QStringLiteral("search-engines"), QStringLiteral("Check the search engines."));
    line.addFlag(QStringLiteral("ffa"), QStringLiteral("Check the FFA/Classifieds sites."));
    line.addFlag(QStringLiteral("batch"), QStringLiteral("Check the batch sites."));
    line.addValue(QStringLiteral("ports"), QStringLiteral("N"),
                  QStringLiteral("Requests at once, for this run only (dfd.ini's Ports otherwise)."));
    line.addValue(QStringLiteral("timeout"), QStringLiteral("S"),
                  QStringLiteral("Seconds before a request times out, for this run only (dfd.ini's Timeout "
                                 "otherwise)."));
    if (!line.parse(arguments, 0, 0))
        return line.exitCode();
    if (!line.isSet(QStringLiteral("project")))
        return line.usageError(QStringLiteral("--project is required"));
    const QString projectName = line.value(QStringLiteral("project"));
    int portsOption = 0;
    int timeoutOption = 0;
    if (!line.intValue(QStringLiteral("ports"), 1, 100000, &portsOption) ||
        !line.intValue(QStringLiteral("timeout"), 1, 86400, &timeoutOption))
        return CliExit::Usage;

    if (const int code = context.openProgramDir(); code != CliExit::Ok)
        return code;
    if (const int code = context.claimLock(); code != CliExit::Ok)
        return code;
    const QString programDir = context.programDir();
    ProgramSettings settings(programDir);

    const QStringList names = ProjectCatalog::loadNames(programDir);
    if (!names.contains(projectName)) {
        context.error(QStringLiteral("There is no Project named \"%1\".").arg(projectName));
        return CliExit::Failed;
    }

    EngineDatabase database;
    try {
        database.load(programPath(programDir, QStringLiteral("\\data\\data.ist")));
    } catch (const std::exception& e) {
        context.error(QString::fromUtf8(e.what()));
        return CliExit::Failed;
    }
    EngineRowList rows = EngineRowList::fromDatabase(database);
    // The boxes as the window starts, or just the ones named.
    EngineFilter::Boxes boxes;
    const bool search = line.isSet(QStringLiteral("search-engines"));
    const bool ffa = line.isSet(QStringLiteral("ffa"));
    const bool batch = line.isSet(QStringLiteral("batch"));
    if (search || ffa || batch) {
        boxes.searchEngines = search;
        boxes.ffaClassifieds = ffa;
        boxes.batchSites = batch;
    }
    // The passes the window makes when it has loaded the database.
    EngineFilter::apply(rows, EngineFilter::Scope::SearchEngines, boxes);
    EngineFilter::apply(rows, EngineFilter::Scope::FfaClassifieds, boxes);
    const long long total = EngineFilter::apply(rows, EngineFilter::Scope::BatchSites, boxes);
    if (total == 0) {
        context.error(QStringLiteral("No engine row is selected for this run."));
        return CliExit::Failed;
    }

    ProjectListModel projects;
    projects.setNames({projectName});
    projects.setChecked(0, true);

    LiveSubmitter live(&rows);
    if (settings.flag(Key::KeyProxy))
        live.setProxy({settings.text(Key::ProxyHost), settings.text(Key::ProxyPort),
                       settings.text(Key::ProxyUserName), settings.text(Key::ProxyPassword)});
    SubmissionController run(&rows, &database, &projects, &live);
    run.setProgramDir(programDir);
    run.setRunSettings([&] { return portsOption > 0 ? portsOption : settings.integer(Key::Ports); },
                       [&] { return timeoutOption > 0 ? timeoutOption : settings.integer(Key::Timeout); });
    run.setReportsEnabled([&] { return settings.flag(Key::GenReport); });

    QEventLoop loop;
    QString reportPath;
    int ok = 0, failed = 0, timedOut = 0;
    QObject::connect(&run, &SubmissionController::rowFinished, &loop,
                     [&](int row, int code, const QString& text, ResultClass resultClass) {
                         context.result(QStringLiteral("%1 %2 %3 %4")
                                            .arg(classText(resultClass))
                                            .arg(code)
                                            .arg(rows.engineName(row), text));
                     });
    QObject::connect(&run, &SubmissionController::countsChanged, &loop, [&](int o, int f, int t) {
        ok = o;
        failed = f;
        timedOut = t;
        context.progress().update(qint64(o) + f + t, total);
    });
    QObject::connect(&run, &SubmissionController::reportDue, &loop,
                     [&](const ReportContent& content) { reportPath = writeReport(context, settings, content); });
    QObject::connect(&run, &SubmissionController::finished, &loop, [&loop] { loop.quit(); });
    QObject::connect(&run, &SubmissionController::noProjectChecked, &loop, [&loop] { loop.exit(1); });
    // Ctrl-C while the list is still being built stops the run as it starts.
    QObject::connect(&context.interrupts(), &InterruptWatcher::interrupted, &run, [&run] { run.stop(); });
    QObject::connect(&run, &SubmissionController::runStarted, &run, [&] {
        if (context.wasInterrupted())
            run.stop();
    });

    // Started from the loop, so a signal that comes at once is heard.
    QMetaObject::invokeMethod(&run, [&run] { run.submit(); }, Qt::QueuedConnection);
    if (loop.exec() != 0)
        return CliExit::Failed;
    context.progress().clear();

    context.result(QStringLiteral("total %1 ok %2 failed %3 timeout %4").arg(total).arg(ok).arg(failed).arg(timedOut));
    context.result(reportPath.isEmpty() ? QStringLiteral("report none") : QStringLiteral("report ") + reportPath);
    return context.wasInterrupted() ? CliExit::Interrupted : CliExit::Ok;
}
