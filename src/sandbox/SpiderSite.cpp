#include "SpiderSite.h"

#include "SandboxRouter.h"

namespace {

constexpr int ProductCount = 30;

SandboxResponse html(const QByteArray& body, const QByteArray& contentType = "text/html")
{
    return SandboxResponse::answer(200, "OK", contentType, body);
}

QByteArray origin(const SandboxRequest& request)
{
    return "http://127.0.0.1:" + QByteArray::number(request.localPort);
}

QByteArray head(const QByteArray& title, const QByteArray& description, const QByteArray& keywords)
{
    return "<HTML>\n<HEAD>\n<TITLE>" + title + "</TITLE>\n<META NAME=\"description\" CONTENT=\"" + description +
           "\">\n<META NAME=\"keywords\" CONTENT=\"" + keywords + "\">\n</HEAD>\n";
}

QByteArray productName(int n)
{
    return "item" + QByteArray::number(n).rightJustified(2, '0') + ".html";
}

SandboxResponse home(const SandboxRequest& request)
{
    const QByteArray o = origin(request);
    // 100 characters once resolved against the origin: one too many to be accepted.
    QByteArray longLink = "/spider/" + QByteArray(100 - o.size() - 13, 'x') + ".html";
    QByteArray page =
        head("Sandbox Garden Shop", "Tools, seeds and advice for small gardens.", "garden, tools, seeds, advice") +
        "<BODY>\n<H1>Sandbox Garden Shop</H1>\n<UL>\n"
        "<LI><A HREF=\"about.html\">About us</A> (relative)</LI>\n"
        "<LI><A HREF=\"/spider/contact.html\">Contact</A> (from the root)</LI>\n"
        "<LI><A HREF=\"" +
        o +
        "/spider/news.html\">News</A> (absolute)</LI>\n"
        "<LI><A HREF=products.html>Products</A> (unquoted)</LI>\n"
        "<LI><A HREF=\"./welcome.html\">Welcome</A> (./ goes to the root: not crawled)</LI>\n"
        "<LI><A HREF=\"../up.html\">Up</A> (../ goes to the root: not crawled)</LI>\n"
        "<LI><A HREF=\"http://other.example/page.html\">Another site</A></LI>\n"
        "<LI><A HREF=\"mailto:owner@garden.example\">Mail us</A></LI>\n"
        "<LI><A HREF=\"javascript:window.print()\">Print</A></LI>\n"
        "<LI><A HREF=\"/spider/search.html?q=spade\">Search</A></LI>\n"
        "<LI><A HREF=\"/spider/about.html#team\">Our team</A></LI>\n"
        "<LI><A HREF=\"/spider/images/logo.gif\">Logo</A> <A HREF=\"/spider/images/shop.jpg\">Shop</A>"
        "</LI>\n"
        "<LI><A HREF=\"/spider/files/catalogue.zip\">Catalogue</A> "
        "<A HREF=\"/spider/files/catalogue.tar\">(tar)</A></LI>\n"
        "<LI><A HREF=\"about.html\">About us again</A> (a duplicate)</LI>\n"
        "<LI><A HREF=\"" +
        longLink +
        "\">A long address</A></LI>\n"
        "<LI><A HREF=\"/spider/index.html\">Home</A> <A HREF=\"/spider/Index.html\">Home (capital)</A>"
        "</LI>\n"
        "<LI><A HREF=\"/spider/slow.html\">A page that never answers</A></LI>\n"
        "<LI><A HREF=\"/spider/secure.html\">A page that moved to https</A></LI>\n"
        "<LI><A HREF=\"/spider/private/staff.html\">Staff only</A> (robots.txt refuses it)</LI>\n"
        "<LI><A HREF=\"/spider/docs/v1.2/guide.html\">Guide</A></LI>\n"
        "<LI><A HREF=\"/spider/meta.html\">Meta tag forms</A></LI>\n"
        "</UL>\n</BODY></HTML>\n";
    return html(page);
}

SandboxResponse plain(const QByteArray& title, const QByteArray& more = QByteArray())
{
    return html(head(title, title + " of the Sandbox Garden Shop.", "garden, " + title.toLower()) + "<BODY>\n<H1>" +
                title + "</H1>\n<P><A HREF=\"/spider/\">Home</A></P>\n" + more + "</BODY></HTML>\n");
}

SandboxResponse products()
{
    QByteArray list;
    for (int n = 1; n <= ProductCount; ++n)
        list += "<LI><A HREF=\"products/" + productName(n) + "\">Item " + QByteArray::number(n) + "</A></LI>\n";
    return plain("Products", "<UL>\n" + list + "</UL>\n");
}

SandboxResponse product(int n)
{
    // Each item links on to the next, relative to its own directory, and back up with "../" (to the root).
    const int next = n % ProductCount + 1;
    return html(head("Item " + QByteArray::number(n), "Garden item number " + QByteArray::number(n) + ".",
                     "item, garden, tool " + QByteArray::number(n)) +
                "<BODY>\n<P><A HREF=\"" + productName(next) +
                "\">Next item</A> <A HREF=\"../products.html\">All"
                "</A></P>\n</BODY></HTML>\n");
}

// Every form of the title, description and keyword tags the scans know.
struct MetaPage
{
    const char* name;
    const char* html;
};

const MetaPage MetaPages[] = {
    {"upper.html", "<HTML><HEAD><TITLE>Upper Case Tags</TITLE>\n<META NAME=\"DESCRIPTION\" CONTENT=\"Best widgets\">\n"
                   "<META NAME=\"KEYWORDS\" CONTENT=\"a, b,c\">\n</HEAD><BODY>Upper</BODY></HTML>\n"},
    {"lower.html", "<html><head><title>Lower case tags</title>\n<meta name=\"description\" content=\"Best widgets\">\n"
                   "<meta name=\"keywords\" content=\"widgets, gadgets, gizmos\">\n</head><body>lower</body></html>\n"},
    {"unquoted.html", "<HTML><HEAD><TITLE>Unquoted values</TITLE>\n<META NAME=\"description\" CONTENT=Best widgets>\n"
                      "<META NAME=\"keywords\" CONTENT=one,two,three>\n</HEAD><BODY>unquoted</BODY></HTML>\n"},
    {"lang.html", "<HTML><HEAD><TITLE>An attribute between</TITLE>\n"
                  "<meta name=\"description\" lang=\"en\" content=\"Described in English\">\n"
                  "<meta name=\"keywords\" lang=\"en\" content=\"english, words\">\n</HEAD><BODY>lang</BODY></HTML>\n"},
    {"two-blanks.html",
     "<HTML><HEAD><TITLE>Two blanks</TITLE>\n<META NAME=\"DESCRIPTION\"  CONTENT=\"Found from a URL, "
     "not from a file\">\n<META NAME=\"KEYWORDS\" CONTENT=\"x,  y, z\">\n</HEAD><BODY></BODY>"
     "</HTML>\n"},
    {"no-end.html", "<HTML><HEAD><TITLE>No terminator</TITLE>\n<META NAME=\"DESCRIPTION\" CONTENT=\"runs to the end"},
    {"empty-items.html", "<HTML><HEAD><TITLE>Empty items</TITLE>\n<META NAME=\"KEYWORDS\" CONTENT=\"a,,b, ,c\">\n"
                         "</HEAD><BODY></BODY></HTML>\n"},
    {"utf8.html", "<HTML><HEAD><TITLE>Caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65</TITLE>\n"
                  "<META NAME=\"DESCRIPTION\" CONTENT=\"D\xC3\xA9j\xC3\xA0 vu\">\n</HEAD><BODY></BODY></HTML>\n"},
    {"latin1.html", "<HTML><HEAD><TITLE>Caf\xE9 cr\xE8me</TITLE>\n</HEAD><BODY></BODY></HTML>\n"},
    {"no-tags.html", "<HTML><HEAD></HEAD><BODY>No title, no description, no keywords.</BODY></HTML>\n"},
};

QByteArray longKeywordPage()
{
    // A keyword list far longer than one received block, so it arrives cut in many places.
    QByteArray keywords;
    for (int i = 1; i <= 1500; ++i)
        keywords += (i > 1 ? ", keyword" : "keyword") + QByteArray::number(i);
    return "<HTML><HEAD><TITLE>Many keywords</TITLE>\n<META NAME=\"KEYWORDS\" CONTENT=\"" + keywords +
           "\">\n</HEAD><BODY>many</BODY></HTML>\n";
}

SandboxResponse metaIndex()
{
    QByteArray list;
    for (const MetaPage& page : MetaPages)
        list += "<LI><A HREF=\"meta/" + QByteArray(page.name) + "\">" + page.name + "</A></LI>\n";
    list += "<LI><A HREF=\"meta/many-keywords.html\">many-keywords.html</A></LI>\n";
    return plain("Meta tag forms", "<UL>\n" + list + "</UL>\n");
}

} // namespace

namespace SpiderSite {

void addPaths(SandboxRouter& router)
{
    router.addPath("/robots.txt", [](const SandboxRequest&) {
        // No Sitemap: line, so an audit of the sandbox shows that finding too.
        return html("# The sandbox's own pages may all be crawled, except the shop's staff pages\n"
                    "# and the audit site's private report.\n"
                    "User-agent: *\nDisallow: /spider/private/\nDisallow: /audit/private/\nAllow: /\n",
                    "text/plain");
    });
    router.addPath("/spider/", home);
    router.addPath("/spider", home); // "/spider/index.html" is normalised to this
    router.addPath("/spider/Index.html", home);
    router.addPath("/spider/about.html", [](const SandboxRequest&) { return plain("About us"); });
    router.addPath("/spider/contact.html", [](const SandboxRequest&) { return plain("Contact"); });
    router.addPath("/spider/news.html", [](const SandboxRequest&) { return plain("News"); });
    router.addPath("/spider/products.html", [](const SandboxRequest&) { return products(); });
    for (int n = 1; n <= ProductCount; ++n)
        router.addPath("/spider/products/" + productName(n), [n](const SandboxRequest&) { return product(n); });
    router.addPath("/spider/private/staff.html", [](const SandboxRequest&) { return plain("Staff"); });
    router.addPath("/spider/docs/v1.2/guide.html", [](const SandboxRequest&) {
        // "faq.html" resolves to the root here, because the directory name holds a ".".
        return plain("Guide", "<P><A HREF=\"faq.html\">FAQ</A></P>\n");
    });
    router.addPath("/spider/slow.html", [](const SandboxRequest&) { return SandboxResponse::stall(); });
    router.addPath("/spider/secure.html", [](const SandboxRequest& request) {
        SandboxResponse r = SandboxResponse::page(301, "Moved Permanently", "Moved", "This page moved to https.");
        r.addHeader("Location", "https://127.0.0.1:" + QByteArray::number(request.localPort) + "/spider/");
        return r;
    });
    router.addPath("/spider/meta.html", [](const SandboxRequest&) { return metaIndex(); });
    for (const MetaPage& page : MetaPages) {
        const QByteArray body = page.html;
        router.addPath("/spider/meta/" + QByteArray(page.name), [body](const SandboxRequest&) { return html(body); });
    }
    router.addPath("/spider/meta/many-keywords.html", [](const SandboxRequest&) { return html(longKeywordPage()); });
}

} // namespace SpiderSite
