#pragma once

#include <QStringList>

class CliContext;

// vantor-cli sitemap URL --out DIR [--base URL] [--max-urls N]
int runSitemapCommand(CliContext& context, const QStringList& arguments);
