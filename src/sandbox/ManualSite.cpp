#include "ManualSite.h"

#include "SandboxRouter.h"

namespace {

const char HelpPage[] = R"(<HTML><HEAD><TITLE>Vantor Pro Help</TITLE></HEAD>
<BODY>
<H1>Vantor Pro Help</H1>
<P>Vantor Pro submits your websites to many search engines, directories, link pages and classified boards at once.</P>
<H2>Projects</H2>
<P>Keep one Project per website: its URL, title, description, keywords and category, and your contact details.
Save it with "Save"; check the Projects you want to submit in the project list.</P>
<H2>Submitting</H2>
<P>Check the engines on the "Auto Submit Engines" page and click "Submit". Every result appears in its row as it
arrives; the counters show how many were OK, Failed or timed out. "Stop" ends the run.
Options, "Timeouts/Ports" sets how long to wait for an engine and how many requests run at once.</P>
<H2>Reports</H2>
<P>With "Generate Reports" on, every Project's run writes an HTML report into the reports folder; the Reports page
lists them.</P>
<H2>Offline runs</H2>
<P>This page comes from vantor-sandbox, the local stand-in for the internet. Its <A HREF="/">home page</A> lists the
addresses it answers.</P>
</BODY></HTML>
)";

SandboxResponse htmlPage(const QByteArray& html)
{
    return SandboxResponse::answer(200, "OK", "text/html", html);
}

} // namespace

namespace ManualSite {

void addPaths(SandboxRouter& router)
{
    router.addPath("/help.htm", [](const SandboxRequest&) { return htmlPage(HelpPage); });
    // The index is built at request time so paths added later by other sites show up too.
    router.addPath("/", [&router](const SandboxRequest&) {
        QByteArray list;
        for (const QByteArray& path : router.paths())
            list += "<LI><A HREF=\"" + path + "\">" + path + "</A></LI>\n";
        return htmlPage("<HTML><HEAD><TITLE>vantor-sandbox</TITLE></HEAD>\n<BODY>\n<H1>vantor-sandbox</H1>\n"
                        "<P>Local sites for offline runs of Vantor Pro. Paths:</P>\n<UL>\n" +
                        list + "</UL>\n</BODY></HTML>\n");
    });
}

} // namespace ManualSite
