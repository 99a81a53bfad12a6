#include "UpdateFraming.h"

#include "settings/TextCodec.h"
#include "submission/ListFile.h"

#include <QUrl>

#include <algorithm>

namespace UpdateFraming {

bool isComplete(const QStringList& lines)
{
    bool start = false;
    bool end = false;
    for (const QString& line : lines) {
        start = start || line.contains(StartMark);
        end = end || line.contains(EndMark);
        if (start && end)
            return true;
    }
    return false;
}

QStringList removeMarks(const QStringList& lines)
{
    QStringList kept;
    kept.reserve(lines.size());
    for (QString line : lines) {
        line.remove(StartMark, Qt::CaseInsensitive);
        line.remove(EndMark, Qt::CaseInsensitive);
        kept.append(line);
    }
    return kept;
}

QStringList bodyLines(const QByteArray& body)
{
    return splitListLines(decodeText(body));
}

QString loginValue(const QString& value)
{
    const bool unsafe = std::any_of(value.cbegin(), value.cend(), [](QChar c) {
        return c == u'&' || c == u'#' || c == u'%' || c == u'+' || c == u' ' || c.unicode() < 0x20 ||
               c.unicode() == 0x7F;
    });
    if (!unsafe)
        return value;
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString query(const QString& kind, const QString& user, const QString& password)
{
    return QStringLiteral("/?action=dbupdate&version=pro&update=") + kind + QStringLiteral("&user=") +
           loginValue(user) + QStringLiteral("&pass=") + loginValue(password);
}

QString address(const QString& server, const QString& kind, const QString& user, const QString& password)
{
    QString base = server.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + query(kind, user, password);
}

const QList<Step>& steps()
{
    static const QList<Step> table = {
        {QStringLiteral("categories"), QStringLiteral("Status: Downloading Latest Category Map "),
         QStringLiteral("Status: Downloading Latest Category Map "), QStringLiteral("Status: Category Map Updated "),
         QStringLiteral("Status: Category Map Updated"),
         QStringLiteral("Status: Updating the Category Map failed: the file is corrupt"),
         QStringLiteral("\\data\\catagory.ist"), Reload::None, false},
        {QStringLiteral("ranking"), QStringLiteral("Status: Downloading Latest Ranking "),
         QStringLiteral("Status: Downloading Latest Ranking "), QStringLiteral("Status: Ranking Updated "),
         QStringLiteral("Status: Ranking Updated"),
         QStringLiteral("Status: Updating the Ranking failed: the file is corrupt"),
         QStringLiteral("\\data\\ranking.ist"), Reload::RankList, false},
        {QStringLiteral("engines"), QStringLiteral("Status: Downloading Latest Engines "),
         QStringLiteral("Status: Downloading Latest Engines"), QStringLiteral("Status: Engines Updated "),
         QStringLiteral("Status: Engines Updated"),
         QStringLiteral("Status: Updating the Engines failed: the file is corrupt"),
         QStringLiteral("\\data\\data.ist"), Reload::EngineDatabase, true},
        {QStringLiteral("mandata"), QStringLiteral("Status: Downloading Latest Manual Engines "),
         QStringLiteral("Status: Downloading Latest Manual Engines"), QStringLiteral("Status: Manual Engines Updated "),
         QStringLiteral("Status: Manual Engines Updated"),
         QStringLiteral("Status: Updating the Manual Engines failed: the file is corrupt"),
         QStringLiteral("\\data\\datam.ist"), Reload::ManualEngines, true},
    };
    return table;
}

QString failedLine(int code, const QString& text)
{
    return QStringLiteral("Status: Failed : ") + QString::number(code) + QLatin1Char(' ') + text;
}

void store(const QStringList& lines, const QString& path)
{
    // Both of the table's store rules (the list routine and plain lines) write
    // each line followed by CR LF; the list routine replaces the file atomically.
    SaveListToFile(lines, path);
}

} // namespace UpdateFraming
