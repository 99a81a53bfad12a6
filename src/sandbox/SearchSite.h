#pragma once

class SandboxRouter;

// A search engine to try the rank checker on. Every query and offset gets a
// result page of ten results; one chosen address appears at one chosen rank:
//   /search?q=KEYWORD&start=OFFSET&site=ADDRESS&rank=R&base=B
// The page with offset start shows results start-base+1 to start-base+10
// (base 0 by default; 1 for an engine whose first page has offset 1). The
// result at rank R links to site; every other result is a made-up address.
// Without site or rank the address appears nowhere. Values are percent-decoded
// ("+" is a blank), so a site holding "&" is written "%26".
// With drift=D (or the sandbox's default drift), the site moves from one
// check to the next: the first check finds it at rank R, each later check
// (a request for the first page starts one) up to D places either way,
// never at the same place twice running and never above rank 1.
//   /search-error  500 Internal Server Error, for any query
namespace SearchSite {
void addPaths(SandboxRouter& router);
// The drift for queries without drift=; 0 (none) unless set.
void setDefaultDrift(int drift);

}
