#pragma once

class SandboxRouter;

// The target sites a submission run talks to offline. Each path gives one
// kind of answer; the query and the method do not matter:
//   /ok           200 OK, a small thank-you page
//   /ok-noreason  status line "HTTP/1.0 200" with no reason phrase
//   /moved        301 Moved Permanently, Location: http://127.0.0.1:<port>/ok
//   /found        302 Found, Location: http://127.0.0.1:<port>/ok
//   /missing      404 Not Found (as is every unknown path)
//   /timeout      408 Request Timeout
//   /error        500 Internal Server Error
//   /stall        reads the request and never answers; held until the peer
//                 closes, or dropped without a byte after ten minutes
//   /close        reads the request and closes without a byte
namespace TargetSite {
void addPaths(SandboxRouter& router);
}
