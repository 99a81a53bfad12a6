#pragma once

#include <QByteArray>

class SandboxRouter;

// A small shop site under /spider/ for the import wizard and the spider to
// try offline: relative, "./", "../", absolute and foreign links, mail and
// script links, queries, fragments, images and archives, a duplicate, a
// 100-character link, "/index.html" and "/Index.html", a page that never
// answers, one that redirects to https, a robots.txt refusing /spider/private/,
// and pages with every form of the title, description and keyword tags.
namespace SpiderSite {
void addPaths(SandboxRouter& router);
// How many addresses a crawl of /spider/ accepts, the start address included.
constexpr int CrawlableAddresses = 52;
} // namespace SpiderSite
