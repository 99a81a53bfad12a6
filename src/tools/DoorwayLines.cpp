#include "DoorwayLines.h"

namespace {

QString itemLine(const QString& url, const QString& keyword)
{
    return QStringLiteral("<li><a href=\"") + url + QStringLiteral("\">") + keyword + QStringLiteral("</a></li>");
}

} // namespace

DoorwayKeywords doorwayKeywordItems(const QString& keywords, const QString& url)
{
    DoorwayKeywords out;
    QString rest = keywords;
    // The editor's keyword counter shows 1 (commas plus one, 0 when empty),
    // taken from the text itself so a count still running cannot mislead.
    if (!keywords.isEmpty() && !keywords.contains(QLatin1Char(','))) {
        out.text = keywords;
        out.lines << itemLine(url, keywords);
    } else {
        const qsizetype first = keywords.indexOf(QLatin1Char(','));
        out.text = first < 0 ? QString() : keywords.left(first);
        for (qsizetype comma = rest.indexOf(QLatin1Char(',')); comma >= 0; comma = rest.indexOf(QLatin1Char(','))) {
            const QString item = rest.left(comma);
            out.items << item;
            out.lines << itemLine(url, item);
            rest = rest.mid(comma + 1);
            if (rest.size() > 2 && rest.startsWith(QLatin1Char(' ')))
                rest.remove(0, 1);
        }
    }
    out.items << rest;
    out.lines << itemLine(url, rest) + QStringLiteral("</ul>");
    return out;
}

QStringList doorwayPageLines(const DoorwayInput& in)
{
    const QString& T = in.title;
    const QString& D = in.description;
    const QString& K = in.keywords;
    const QString& U = in.url;
    const QString nilImage = QStringLiteral("<IMG SRC=\"nil.gif\" WIDTH=\"1\" HEIGHT=\"1\" ");

    QStringList lines;
    lines << QStringLiteral("<HTML>") << QStringLiteral("<HEAD>");
    lines << QStringLiteral("<TITLE>") + T + QStringLiteral("</TITLE>");
    lines << QStringLiteral("<META NAME=\"DESCRIPTION\" CONTENT=\"") + D + QStringLiteral("\">");
    lines << QStringLiteral("<META NAME=\"KEYWORDS\" CONTENT=\"") + K + QStringLiteral("\">");
    lines << QStringLiteral("<META NAME=\"Creator\" CONTENT=\"") + in.appTitle +
                 QStringLiteral(" Doorway Page Generator\">");
    lines << QStringLiteral("<SCRIPT LANGUAGE=\"JavaScript\" TYPE=\"text/javascript\">function Start()");
    lines << QStringLiteral("{brwName = navigator.appName; if (brwName == \"Netscape\" )");
    lines << QStringLiteral("{window.parent.location=\"") + U + QStringLiteral("\"} else");
    lines << QStringLiteral("{window.parent.location=\"") + U + QStringLiteral("\"}}</SCRIPT>");
    lines << QStringLiteral("</HEAD>");
    lines << QStringLiteral("<BODY ONLOAD=\"Start()\" BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\" LINK=\"#0000FF\" "
                            "VLINK=\"#0000FF\" ALINK=\"#FF0000\">");
    lines << QStringLiteral("<center><TABLE WIDTH=\"600\" CELLPADDING=\"5\" CELLSPACING=\"0\" BORDER=\"0\">");
    lines << QStringLiteral("<TR><TD VALIGN=\"TOP\">");
    lines << QStringLiteral("<p>");
    lines << nilImage + QStringLiteral("ALIGN=\"LEFT\" BORDER=\"0\" ALT=\"") + T + QStringLiteral("\">");
    lines << QStringLiteral("</p>");
    lines << QStringLiteral("<center><h1>") + T + QStringLiteral("</h1></center><HR WIDTH=\"90%\" COLOR=\"#0000CC\">");
    lines << QStringLiteral("<!--") + D + QStringLiteral("-->");
    lines << QStringLiteral("<INPUT TYPE=\"HIDDEN\" NAME=\"") + K + QStringLiteral("\">");
    lines << QStringLiteral("<!--") + T + QStringLiteral("-->");
    lines << QStringLiteral("<INPUT TYPE=\"hidden\" NAME=\"") + D + QStringLiteral("\">");
    lines << QStringLiteral("<!--") + K + QStringLiteral("-->");
    lines << QStringLiteral("<INPUT TYPE=\"hidden\" NAME=\"") + T + QStringLiteral("\">");
    lines << QStringLiteral("&nbsp;");
    lines << QStringLiteral("Are you searching for one or more of the topics below<br>");
    lines << nilImage + QStringLiteral("ALIGN=\"LEFT\" BORDER=\"0\" ALT=\"") + D +
                 QStringLiteral("\" BORDER=\"0\"><ul>");
    lines << doorwayKeywordItems(K, U).lines;
    const QString link = QStringLiteral("<A HREF=\"") + U + QStringLiteral("\">") + U + QStringLiteral("</a>");
    lines << QStringLiteral("<br>Then look no further  ") + link +
                 QStringLiteral(" has the topics you are looking for.<br>");
    lines << QStringLiteral("<br><font size=\"-1\">") + D + QStringLiteral("</font>");
    lines << QStringLiteral("<br><br>");
    lines << QStringLiteral("<font size=\"-1\">You will find our site \"") + link +
                 QStringLiteral("\"friendly to navigate and full of information on your topic.<br><br>");
    lines << QStringLiteral("<A HREF=\"") + U + QStringLiteral("\">click here</A> if you");
    lines << QStringLiteral("are not automatically forwarded to our site.</font><br><br>");
    lines << QStringLiteral("<HR WIDTH=\"90%\" COLOR=\"#0000CC\">");
    lines << QStringLiteral("<P>") + nilImage + QStringLiteral("BORDER=\"0\" ALT=\"") + K +
                 QStringLiteral("\"></P></TD></TR></TABLE></center></BODY>");
    lines << QStringLiteral("</HTML>");
    return lines;
}

QByteArray linesAsFile(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}
