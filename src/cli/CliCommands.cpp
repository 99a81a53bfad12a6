#include "CliCommands.h"

#include "SitemapCommand.h"

const QList<CliCommand>& cliCommands()
{
    static const QList<CliCommand> commands = {
        {"sitemap", "write sitemap.xml from the latest finished audit of a site", &runSitemapCommand},
    };
    return commands;
}
