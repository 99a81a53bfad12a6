#pragma once

#include <QList>
#include <QStringList>

class CliContext;

// One subcommand: its name, a line for the program's help, and the function
// that parses its own options and runs it, returning the exit code.
struct CliCommand
{
    const char* name;
    const char* summary;
    int (*run)(CliContext& context, const QStringList& arguments);
};

// Every subcommand, in the order the help lists them.
const QList<CliCommand>& cliCommands();
