#pragma once

class SandboxRouter;

// The program's home address points at the sandbox, so the online manual
// ("/help.htm") and the home page ("/", which lists the sandbox's paths) live here.
namespace ManualSite {
void addPaths(SandboxRouter& router);
}
