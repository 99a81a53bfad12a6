#pragma once

#include <QStringList>

class CliContext;

// vantor-cli submit --project NAME [--search-engines] [--ffa] [--batch] [--ports N] [--timeout S]
int runSubmitCommand(CliContext& context, const QStringList& arguments);
