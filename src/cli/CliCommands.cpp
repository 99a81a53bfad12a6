#include "CliCommands.h"

#include "AuditCommand.h"
#include "RankCommand.h"
#include "RankHistoryCommand.h"
#include "ProjectsCommand.h"
#include "SubmitCommand.h"
#include "IndexNowCommand.h"
#include "SitemapCommand.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands = {
        {"audit", "crawl a site and store every page's health and the findings", &runAuditCommand},
        {"audits", "list the stored audit crawls", &runAuditsCommand},
        {"rank", "check a site's rank for a keyword and keep the results", &runRankCommand},
        {"rank-history", "export the stored rank checks of a keyword and site as CSV", &runRankHistoryCommand},
        {"submit", "submit a Project to the engines the window would check, and write its report", &runSubmitCommand},
        {"projects", "list the Projects, one NAME URL per line", &runProjectsCommand},
        {"indexnow", "send a Project's pages to the IndexNow engines as bulk POSTs", &runIndexNowCommand},
        {"ledger", "export the IndexNow ledger as CSV", &runLedgerCommand},
        {"sitemap", "write sitemap.xml from the latest finished audit of a site", &runSitemapCommand},
    };
    return commands;
}
