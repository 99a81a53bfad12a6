#pragma once

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

// The report options as the Reports page's controls show them.
struct ReportSettings
{
    bool generate = true;
    bool header = true;
    bool footer = true;
    bool title = true;
    QString headerPath;
    QString footerPath;
    QString titleText;
};

// One checked engine row of the engine view, its cells as they stand.
struct ReportRow
{
    QString engine;
    QString url;
    QString result;
    QString date;
    QString type;
};

// What a report is written from: the run's current Project and its rows.
struct ReportContent
{
    QString projectName;
    QString projectUrl;
    QList<ReportRow> rows;
};

// Builds the HTML page of one Project's submission results. Values go into
// the page as they stand, unescaped, since users' header and footer files and
// the stored results are shown exactly as they are.
class ReportWriter
{
public:
    struct Page
    {
        QStringList lines;
        bool headerMissing = false;
        bool footerMissing = false;
    };

    static Page build(const ReportSettings& settings, const ReportContent& content, const QString& homeAddress);

    // The automatic report's file name: the Project name, today's date in
    // the short date format with "/" turned into "-", then ".htm".
    static QString datedFileName(const QString& projectName, const QDate& date, const QLocale& locale);

    // Whether `path` names an entry of `dir` itself, not of a folder above,
    // beside or below it.
    static bool isDirectlyInside(const QString& dir, const QString& path);

    static constexpr const char* PreviewFileName = "sample2.htm";
};
