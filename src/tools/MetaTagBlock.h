#pragma once

#include <QString>
#include <QStringList>

// What the "Meta Tags" page holds when the block is built. The check
// boxes' defaults are the page's defaults.
struct MetaTagValues
{
    QString title;
    QString description;
    QString keywords;
    QString author;
    QString copyright;
    QString distribution;
    QString rating;
    QString robots;
    QString revisit;
    QString creator; // the application title
    QString url;     // the Project's address, for the Open Graph lines

    bool keywordsOn = true;
    bool descriptionOn = true;
    bool authorOn = true;
    bool copyrightOn = true;
    bool distributionOn = false;
    bool ratingOn = false;
    bool robotsOn = false;
    bool revisitOn = false;
    bool openGraphOn = false;
};

// The HEAD block, one tag per line. Values go in as they stand: no escaping.
// The title line is always written: a head without a title is not valid,
// and an injection replaces the file's own title.
QStringList buildMetaTagBlock(const MetaTagValues& values);

// The block's closing line, dropped when the block goes in before a script.
inline QString metaTagBlockEnd()
{
    return QStringLiteral("</HEAD>");
}
