#pragma once

#include <QStringList>

class CliContext;

// vantor-cli rank --keyword K --url U [--top N] [--engine NAME]...
int runRankCommand(CliContext& context, const QStringList& arguments);
