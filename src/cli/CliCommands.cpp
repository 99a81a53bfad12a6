#include "CliCommands.h"

#include "ProjectsCommand.h"
#include "SubmitCommand.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands = {
        {"submit", "Submit a Project to the checked engines, as the window's \"Submit\".", &runSubmitCommand},
        {"projects", "List the Projects: NAME URL.", &runProjectsCommand},
    };
    return commands;
}
