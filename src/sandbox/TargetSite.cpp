#include "TargetSite.h"

#include "SandboxRouter.h"

namespace {

SandboxResponse redirect(int status, const QByteArray& reason, const SandboxRequest& request)
{
    const QByteArray location = "http://127.0.0.1:" + QByteArray::number(request.localPort) + "/ok";
    SandboxResponse r = SandboxResponse::page(status, reason, reason,
                                              "The page is now at <A HREF=\"" + location + "\">" + location + "</A>.");
    r.addHeader("Location", location);
    return r;
}

SandboxRouter::Handler fixedPage(int status, const QByteArray& reason, const QByteArray& text)
{
    return [=](const SandboxRequest&) { return SandboxResponse::page(status, reason, reason, text); };
}

} // namespace

namespace TargetSite {

void addPaths(SandboxRouter& router)
{
    router.addPath("/ok", [](const SandboxRequest&) {
        return SandboxResponse::page(200, "OK", "Thank you", "Your site has been received and will be reviewed.");
    });
    router.addPath("/ok-noreason", [](const SandboxRequest&) {
        return SandboxResponse::page(200, QByteArray(), "Thank you", "Your site has been received.");
    });
    router.addPath("/moved", [](const SandboxRequest& request) { return redirect(301, "Moved Permanently", request); });
    router.addPath("/found", [](const SandboxRequest& request) { return redirect(302, "Found", request); });
    router.addPath("/missing", fixedPage(404, "Not Found", "There is no page at this address."));
    router.addPath("/timeout", fixedPage(408, "Request Timeout", "The server gave up waiting."));
    router.addPath("/error", fixedPage(500, "Internal Server Error", "The submission script failed."));
    router.addPath("/stall", [](const SandboxRequest&) { return SandboxResponse::stall(); });
    router.addPath("/close", [](const SandboxRequest&) { return SandboxResponse::closeAtOnce(); });
}

} // namespace TargetSite
