#pragma once

#include <QStringList>

class CliContext;

// vantor-cli indexnow --project NAME [--engine NAME]... [--urls FILE | --from-audit] [--all]
int runIndexNowCommand(CliContext& context, const QStringList& arguments);
// vantor-cli ledger [--project NAME] [--engine NAME] [--csv FILE]
int runLedgerCommand(CliContext& context, const QStringList& arguments);
