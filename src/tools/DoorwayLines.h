#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the doorway page is made of, read from the Project editor.
struct DoorwayInput
{
    QString title;
    QString description;
    QString keywords;
    QString url;
    QString appTitle;
};

// The keyword list split for the page and for the ranking drop-down.
struct DoorwayKeywords
{
    // The drop-down's text and items, in order.
    QString text;
    QStringList items;
    // The page's item lines; the last one closes the list.
    QStringList lines;
};

// A single keyword (a keyword count of 1) stands in two item lines; n
// keywords give n lines. After each comma one blank is dropped when the rest
// is longer than two characters.
DoorwayKeywords doorwayKeywordItems(const QString& keywords, const QString& url);

// The page, one line per entry; values go in as they stand (no escaping).
QStringList doorwayPageLines(const DoorwayInput& input);

// The lines as a file: UTF-8, each line followed by CR LF.
QByteArray linesAsFile(const QStringList& lines);
