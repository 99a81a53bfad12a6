#pragma once

#include <QStringList>

class CliContext;

// vantor-cli rank-history --keyword K --url U [--csv FILE]
int runRankHistoryCommand(CliContext& context, const QStringList& arguments);
