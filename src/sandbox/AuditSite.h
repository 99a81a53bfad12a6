#pragma once

class SandboxRouter;

// A small site under /audit/ holding one known instance of each problem a
// site audit reports: a 301 -> 302 -> 200 chain, a redirect loop, a 404
// linked from three pages, a 500, a page hidden only by its X-Robots-Tag
// header, a canonical pointing elsewhere and one pointing at a 404, duplicate
// titles and descriptions, a missing, a long title and description, pages
// without and with two <h1>, an hreflang alternate that does not link back, a
// slow and a large page, and a link that robots.txt refuses.
namespace AuditSite {
void addPaths(SandboxRouter& router);
// How long the slow page holds its answer back.
constexpr int SlowPageDelayMs = 1200;
// The large page's body size: just over 1 MiB.
constexpr int LargePageBytes = 1100 * 1024;
} // namespace AuditSite
