#include "CliCommands.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands = {
    };
    return commands;
}
