#include "CliCommands.h"

#include "AuditCommand.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands = {
        {"audit", "crawl a site and store every page's health and the findings", &runAuditCommand},
        {"audits", "list the stored audit crawls", &runAuditsCommand},
    };
    return commands;
}
