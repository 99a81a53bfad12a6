#pragma once

#include <QStringList>

class CliContext;

// vantor-cli audit URL [...]: a site audit crawl, stored in the history store.
int runAuditCommand(CliContext& context, const QStringList& arguments);
// vantor-cli audits: the stored crawls, oldest first.
int runAuditsCommand(CliContext& context, const QStringList& arguments);
