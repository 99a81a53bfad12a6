#include "CliCommands.h"

#include "IndexNowCommand.h"
#include "SitemapCommand.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands = {
        {"indexnow", "send a Project's pages to the IndexNow engines as bulk POSTs", &runIndexNowCommand},
        {"ledger", "export the IndexNow ledger as CSV", &runLedgerCommand},
        {"sitemap", "write sitemap.xml from the latest finished audit of a site", &runSitemapCommand},
    };
    return commands;
}
