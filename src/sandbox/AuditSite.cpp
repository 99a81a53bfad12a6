#include "AuditSite.h"

#include "SandboxRouter.h"

namespace {

SandboxResponse html(const QByteArray& body, const QByteArray& contentType = "text/html; charset=utf-8")
{
    return SandboxResponse::answer(200, "OK", contentType, body);
}

QByteArray origin(const SandboxRequest& request)
{
    return "http://127.0.0.1:" + QByteArray::number(request.localPort);
}

// One page of the site. A null title leaves out <title>, a null description
// its meta tag; every page links home so the crawl can reach it either way.
struct Page
{
    QByteArray title;
    QByteArray description;
    QByteArrayList h1s;
    QByteArray body;
    QByteArray head; // more <head> lines (canonical, hreflang)
};

QByteArray render(const Page& page)
{
    QByteArray out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    if (!page.title.isNull())
        out += "<title>" + page.title + "</title>\n";
    if (!page.description.isNull())
        out += "<meta name=\"description\" content=\"" + page.description + "\">\n";
    out += page.head + "</head>\n<body>\n";
    for (const QByteArray& h1 : page.h1s)
        out += "<h1>" + h1 + "</h1>\n";
    out += page.body + "<p><a href=\"/audit/\">Home</a></p>\n</body>\n</html>\n";
    return out;
}

// A healthy page apart from what the caller changes.
Page healthy(const QByteArray& name, const QByteArray& body = QByteArray())
{
    return {name + " | Audit Sandbox", name + " of the audit sandbox, a site with one instance of every problem.",
            {name}, body, QByteArray()};
}

const QByteArray MissingLink = "<p><a href=\"/audit/missing.html\">A page that is gone</a></p>\n";

SandboxResponse redirect(int status, const QByteArray& reason, const QByteArray& location,
                         const SandboxRequest& request)
{
    SandboxResponse r = SandboxResponse::page(status, reason, reason, "This page moved.");
    r.addHeader("Location", origin(request) + location);
    return r;
}

SandboxResponse home(const SandboxRequest&)
{
    struct Link
    {
        const char* href;
        const char* text;
    };
    static const Link links[] = {
        {"/audit/about.html", "About"},
        {"/audit/contact.html", "Contact"},
        {"/audit/error.html", "A page that fails (500)"},
        {"/audit/old.html", "An old address (301, then 302)"},
        {"/audit/loop-a.html", "A redirect loop"},
        {"/audit/header-noindex.html", "Hidden by its X-Robots-Tag header"},
        {"/audit/canonical.html", "A page whose canonical is another page"},
        {"/audit/canonical-broken.html", "A page whose canonical is gone"},
        {"/audit/shoes-red.html", "Red shoes"},
        {"/audit/shoes-blue.html", "Blue shoes"},
        {"/audit/no-title.html", "No title"},
        {"/audit/long-texts.html", "A long title and description"},
        {"/audit/no-description.html", "No description"},
        {"/audit/no-h1.html", "No heading"},
        {"/audit/two-h1.html", "Two headings"},
        {"/audit/en.html", "English"},
        {"/audit/de.html", "Deutsch"},
        {"/audit/slow.html", "A slow page"},
        {"/audit/large.html", "A large page"},
        {"/audit/cafe.html", "A Windows-1252 page"},
        {"/audit/private/report.html", "The private report (robots.txt refuses it)"},
    };
    QByteArray list = "<ul>\n";
    for (const Link& link : links)
        list += "<li><a href=\"" + QByteArray(link.href) + "\">" + link.text + "</a></li>\n";
    list += "</ul>\n" + MissingLink;
    return html(render(healthy("Home", list)));
}

QByteArray largeBody()
{
    const QByteArray paragraph = "<p>This page is large on purpose: a site audit reports pages over one mebibyte, "
                                 "since they are slow to load and costly to crawl.</p>\n";
    QByteArray body;
    body.reserve(AuditSite::LargePageBytes + paragraph.size());
    while (body.size() < AuditSite::LargePageBytes)
        body += paragraph;
    return body;
}

} // namespace

namespace AuditSite {

void addPaths(SandboxRouter& router)
{
    router.addPath("/audit/", home);
    router.addPath("/audit", home);
    router.addPath("/audit/index.html", home);
    // Three pages link to a page that does not exist: one not-found, three broken links.
    router.addPath("/audit/about.html", [](const SandboxRequest&) { return html(render(healthy("About", MissingLink))); });
    router.addPath("/audit/contact.html",
                   [](const SandboxRequest&) { return html(render(healthy("Contact", MissingLink))); });
    router.addPath("/audit/error.html", [](const SandboxRequest&) {
        return SandboxResponse::page(500, "Internal Server Error", "Internal Server Error", "This page always fails.");
    });
    router.addPath("/audit/old.html", [](const SandboxRequest& r) {
        return redirect(301, "Moved Permanently", "/audit/older.html", r);
    });
    router.addPath("/audit/older.html", [](const SandboxRequest& r) { return redirect(302, "Found", "/audit/new.html", r); });
    router.addPath("/audit/new.html", [](const SandboxRequest&) { return html(render(healthy("New address"))); });
    router.addPath("/audit/loop-a.html", [](const SandboxRequest& r) { return redirect(302, "Found", "/audit/loop-b.html", r); });
    router.addPath("/audit/loop-b.html", [](const SandboxRequest& r) { return redirect(302, "Found", "/audit/loop-a.html", r); });
    router.addPath("/audit/header-noindex.html", [](const SandboxRequest&) {
        SandboxResponse r = html(render(healthy("Hidden by header")));
        r.addHeader("X-Robots-Tag", "noindex");
        return r;
    });
    router.addPath("/audit/canonical.html", [](const SandboxRequest&) {
        Page p = healthy("Canonical elsewhere");
        p.head = "<link rel=\"canonical\" href=\"about.html\">\n";
        return html(render(p));
    });
    router.addPath("/audit/canonical-broken.html", [](const SandboxRequest&) {
        Page p = healthy("Canonical gone");
        p.head = "<link rel=\"canonical\" href=\"/audit/missing.html\">\n";
        return html(render(p));
    });
    for (const char* colour : {"red", "blue"}) {
        router.addPath("/audit/shoes-" + QByteArray(colour) + ".html", [colour](const SandboxRequest&) {
            Page p = healthy("Shoes");
            p.h1s = {"Shoes in " + QByteArray(colour)};
            return html(render(p));
        });
    }
    router.addPath("/audit/no-title.html", [](const SandboxRequest&) {
        Page p = healthy("No title");
        p.title = QByteArray();
        return html(render(p));
    });
    router.addPath("/audit/long-texts.html", [](const SandboxRequest&) {
        Page p = healthy("Long texts");
        p.title = "A title far too long to show whole in a search engine's list of results";
        p.description = "A description far longer than a search engine shows under a result, which cuts it off "
                        "after about a hundred and sixty characters, so the end of this sentence goes unread.";
        return html(render(p));
    });
    router.addPath("/audit/no-description.html", [](const SandboxRequest&) {
        Page p = healthy("No description");
        p.description = QByteArray();
        return html(render(p));
    });
    router.addPath("/audit/no-h1.html", [](const SandboxRequest&) {
        Page p = healthy("No heading");
        p.h1s.clear();
        return html(render(p));
    });
    router.addPath("/audit/two-h1.html", [](const SandboxRequest&) {
        Page p = healthy("Two headings");
        p.h1s = {"Two headings", "A second heading"};
        return html(render(p));
    });
    // The English page names its German alternate; the German page names none, so it does not link back.
    router.addPath("/audit/en.html", [](const SandboxRequest&) {
        Page p = healthy("English", "<p><a href=\"de.html\">Deutsch</a></p>\n");
        p.head = "<link rel=\"alternate\" hreflang=\"en\" href=\"/audit/en.html\">\n"
                 "<link rel=\"alternate\" hreflang=\"de\" href=\"/audit/de.html\">\n";
        return html(render(p));
    });
    router.addPath("/audit/de.html", [](const SandboxRequest&) {
        Page p = healthy("Deutsch");
        p.description = "Die deutsche Seite der Audit-Sandbox, ohne R\xC3\xBC"
                        "ckverweis auf die englische.";
        return html(render(p));
    });
    router.addPath("/audit/slow.html", [](const SandboxRequest&) {
        SandboxResponse r = html(render(healthy("Slow page")));
        r.delayMs = SlowPageDelayMs;
        return r;
    });
    router.addPath("/audit/large.html", [](const SandboxRequest&) { return html(render(healthy("Large page", largeBody()))); });
    // No charset anywhere, and bytes that are no UTF-8: read as Windows-1252.
    router.addPath("/audit/cafe.html", [](const SandboxRequest&) {
        return html("<html><head><title>Caf\xE9 cr\xE8me | Audit Sandbox</title>\n"
                    "<meta name=\"description\" content=\"A page in Windows-1252: caf\xE9, cr\xE8me, "
                    "\x93quotes\x94.\">\n</head><body><h1>Caf\xE9</h1>"
                    "<p><a href=\"/audit/\">Home</a></p></body></html>\n",
                    "text/html");
    });
    router.addPath("/audit/private/report.html",
                   [](const SandboxRequest&) { return html(render(healthy("Private report"))); });
}

} // namespace AuditSite
