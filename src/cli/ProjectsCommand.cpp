#include "ProjectsCommand.h"

#include "CliContext.h"
#include "CliExit.h"
#include "CommandLine.h"
#include "projects/ProjectCatalog.h"
#include "projects/ProjectListModel.h"

#include <algorithm>

int runProjectsCommand(CliContext& context, const QStringList& arguments)
{
    CommandLine line(context, QStringLiteral("projects"), QStringLiteral("Lists the Projects: NAME URL per line."));
    if (!line.parse(arguments, 0, 0))
        return line.exitCode();
    if (const int code = context.openProgramDir(); code != CliExit::Ok)
        return code;

    QStringList unsafe;
    QStringList names = ProjectCatalog::loadNames(context.programDir(), &unsafe);
    for (const QString& name : unsafe)
        context.message(QStringLiteral("The project index names \"%1\", which is no usable Project name; it is "
                                       "left out.")
                            .arg(name));
    // In the project list's order.
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return ProjectListModel::compareNames(a, b) < 0; });
    for (const QString& name : names)
        context.result(name + QLatin1Char(' ') +
                       ProjectCatalog::value(context.programDir(), name, QStringLiteral("url")));
    return CliExit::Ok;
}
