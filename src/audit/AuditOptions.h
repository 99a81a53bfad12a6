#pragma once

#include "net/ProxyValues.h"

#include <QString>

// How one audit crawl goes; the window and `vantor-cli audit` fill it alike.
struct AuditOptions
{
    QString startUrl;
    bool obeyRobots = true;     // false: robots.txt is still read for its Sitemap: lines, its rules are not applied
    int delayMs = 0;            // the politeness delay; a Crawl-delay of robots.txt applies too
    int maxPages = 0;           // 0: no cap
    bool folderScope = false;   // scope: the start address's folder instead of scheme+host+port
    bool checkExternal = false; // one HEAD (GET on 405/501) per out-of-scope link
    int connections = 2;        // 1..8; one at a time whenever a delay or Crawl-delay applies
    int timeoutSeconds = 40;    // a fetch that receives nothing for this long is given up
    ProxyValues proxy;          // an empty host: straight to the site

    static constexpr int MaxConnections = 8;

    // The program's Timeout and, when it is switched on, its proxy, as every
    // other client of the program applies them.
    void takeNetworkSettings(const QString& programDir);
};
