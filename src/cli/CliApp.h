#pragma once

#include <QStringList>

// vantor-cli [--dir DIR] [--quiet] COMMAND [OPTIONS] [ARGUMENTS]: reads the
// global options, then hands the rest to the command. Returns the exit code.
int runCli(const QStringList& arguments);
