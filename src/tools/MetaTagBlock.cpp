#include "MetaTagBlock.h"

namespace {

QString metaName(const QString& name, const QString& content)
{
    return QStringLiteral("<META NAME=\"") + name + QStringLiteral("\" CONTENT=\"") + content + QStringLiteral("\">");
}

QString metaProperty(const QString& property, const QString& content)
{
    return QStringLiteral("<META PROPERTY=\"") + property + QStringLiteral("\" CONTENT=\"") + content +
           QStringLiteral("\">");
}

} // namespace

QStringList buildMetaTagBlock(const MetaTagValues& v)
{
    QStringList lines;
    lines << QStringLiteral("<HEAD>");
    lines << QStringLiteral("<TITLE>") + v.title + QStringLiteral("</TITLE>");
    // Keywords before Description, whatever the boxes' order on the page.
    if (v.keywordsOn)
        lines << metaName(QStringLiteral("Keywords"), v.keywords);
    if (v.descriptionOn)
        lines << metaName(QStringLiteral("Description"), v.description);
    if (v.authorOn)
        lines << metaName(QStringLiteral("Author"), v.author);
    if (v.copyrightOn)
        lines << metaName(QStringLiteral("Copyright"), v.copyright);
    lines << metaName(QStringLiteral("Creator"), v.creator);
    if (v.distributionOn)
        lines << metaName(QStringLiteral("Distribution"), v.distribution);
    if (v.ratingOn)
        lines << metaName(QStringLiteral("Rating"), v.rating);
    if (v.robotsOn)
        lines << metaName(QStringLiteral("Robots"), v.robots);
    if (v.revisitOn)
        lines << metaName(QStringLiteral("Revisit-After"), v.revisit);
    if (v.openGraphOn) {
        lines << metaProperty(QStringLiteral("og:title"), v.title);
        lines << metaProperty(QStringLiteral("og:description"), v.description);
        lines << metaProperty(QStringLiteral("og:url"), v.url);
    }
    lines << metaTagBlockEnd();
    return lines;
}
