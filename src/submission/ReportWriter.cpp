#include "ReportWriter.h"

#include "ListFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Reads a header or footer document; false when it cannot be read.
bool readDocument(const QString& path, QStringList& lines)
{
    if (path.isEmpty())
        return false;
    try {
        LoadListFromFile(path, lines);
        return true;
    } catch (const ListFileError&) {
        return false;
    }
}

} // namespace

ReportWriter::Page ReportWriter::build(const ReportSettings& settings, const ReportContent& content,
                                       const QString& homeAddress)
{
    Page page;
    QStringList& out = page.lines;

    if (settings.header) {
        QStringList header;
        if (readDocument(settings.headerPath, header))
            out += header;
        else
            page.headerMissing = true;
    }

    if (settings.title) {
        out << QStringLiteral("<BLOCKQUOTE><P ALIGN=\"center\"><B><FONT SIZE=\"5\" COLOR=\"#00779E\">")
            << settings.titleText << QStringLiteral("</FONT><FONT COLOR=\"#2400AA\" SIZE=\"5\"><BR>")
            << QStringLiteral("<A HREF=\"") + homeAddress + QStringLiteral("\" TARGET=\"_top\"></A><BR>")
            << QStringLiteral("</FONT></B><FONT SIZE=\"3\" COLOR=\"#00639D\"></FONT></P> </BLOCKQUOTE>");
    }

    out << QStringLiteral("<center><b><FONT SIZE=\"5\" COLOR=\"#00779E\">") + content.projectUrl +
               QStringLiteral(" (") + content.projectName + QStringLiteral(")</font></b></center><br>");

    out << QStringLiteral("<table border=\"1\" cellspacing=\"0\" width=\"100%\">")
        << QStringLiteral("<tr><td BGCOLOR=\"#C0C0C0\"><B>Engine</B></td>")
        << QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>URL</B></td>")
        << QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>Result</B></td>")
        << QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>Date</B></td>")
        << QStringLiteral("<td BGCOLOR=\"#C0C0C0\"><B>Type</B></td></tr>");

    for (const ReportRow& row : content.rows) {
        out << QStringLiteral("<tr><td>") + row.engine + QStringLiteral("&nbsp;</td>")
            << QStringLiteral("<td><A HREF=") + row.url + QLatin1Char('>') + row.url +
                   QStringLiteral("</A>&nbsp;</td>")
            << QStringLiteral("<td>") + row.result + QStringLiteral("&nbsp;</td>")
            << QStringLiteral("<td>") + row.date + QStringLiteral("&nbsp;</td>")
            << QStringLiteral("<td>") + row.type + QStringLiteral("&nbsp;</td></tr>");
    }
    out << QStringLiteral("</table>");

    if (settings.footer) {
        QStringList footer;
        if (readDocument(settings.footerPath, footer))
            out += footer;
        else
            page.footerMissing = true;
    }
    return page;
}

QString ReportWriter::datedFileName(const QString& projectName, const QDate& date, const QLocale& locale)
{
    QString shown = locale.toString(date, QLocale::ShortFormat);
    shown.replace(QLatin1Char('/'), QLatin1Char('-'));
    return projectName + shown + QStringLiteral(".htm");
}

bool ReportWriter::isDirectlyInside(const QString& dir, const QString& path)
{
    const QFileInfo target(QDir::cleanPath(QDir(dir).absoluteFilePath(path)));
    const QString name = target.fileName();
    return !name.isEmpty() && name != QLatin1String("..") && name != QLatin1String(".") &&
           target.absolutePath() == QDir::cleanPath(QDir(dir).absolutePath());
}
