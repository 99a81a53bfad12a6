#include "UpdateFraming.h"

#include "ranking/RankLine.h"
#include "settings/TextCodec.h"
#include "submission/EngineLine.h"
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

std::optional<QStringList> framedLines(QByteArrayView body)
{
    // Line by line: the first line that begins with the start mark, then the
    // first later one that begins with the end mark. Nothing else is looked at.
    const QByteArrayView start(StartMark.data(), StartMark.size());
    const QByteArrayView end(EndMark.data(), EndMark.size());
    const qsizetype size = body.size();
    // The start of the line after the line ending at `eol` (CR LF, CR or LF).
    const auto nextLine = [&body, size](qsizetype eol) {
        if (eol < size && body[eol] == '\r')
            ++eol;
        else if (eol < size && body[eol] == '\n')
            return eol + 1;
        if (eol < size && eol > 0 && body[eol - 1] == '\r' && body[eol] == '\n')
            ++eol;
        return eol;
    };
    qsizetype from = -1; // the first byte of the line after the start mark's line
    qsizetype pos = 0;
    while (pos < size) {
        qsizetype eol = pos;
        while (eol < size && body[eol] != '\r' && body[eol] != '\n')
            ++eol;
        const QByteArrayView line = body.sliced(pos, eol - pos);
        if (from < 0) {
            if (line.startsWith(start))
                from = nextLine(eol);
        } else if (line.startsWith(end)) {
            const QByteArrayView between = body.sliced(from, pos - from);
            if (between.contains('\0'))
                return std::nullopt;
            return splitListLines(decodeText(between.toByteArray()));
        }
        pos = nextLine(eol);
    }
    return std::nullopt;
}

bool lineParses(const QString& line, LineRule rule)
{
    switch (rule) {
    case LineRule::None:
        return true;
    case LineRule::Rank:
        return RankLines::parse(line).line.has_value();
    case LineRule::Engine: {
        // A name, "=", and at least the type, site and submit address fields, each ended by "|".
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || line.left(eq).trimmed().isEmpty())
            return false;
        const bool control = std::any_of(line.cbegin(), line.cend(), [](QChar c) {
            return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F;
        });
        return !control && line.mid(eq + 1).count(QLatin1Char('|')) >= 3;
    }
    }
    return true;
}

LineCheck checkLines(const QStringList& lines, LineRule rule)
{
    LineCheck check;
    if (rule == LineRule::None)
        return check;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).trimmed().isEmpty())
            continue;
        ++check.nonEmpty;
        if (lineParses(lines.at(i), rule))
            continue;
        ++check.bad;
        if (check.firstBad == 0)
            check.firstBad = int(i + 1);
    }
    return check;
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
        {QStringLiteral("categories"), QStringLiteral("Category Map"),
         QStringLiteral("Status: Downloading Latest Category Map "),
         QStringLiteral("Status: Downloading Latest Category Map "), QStringLiteral("Status: Category Map Updated "),
         QStringLiteral("Status: Category Map Updated"),
         QStringLiteral("Status: Updating the Category Map failed: the file is corrupt"),
         QStringLiteral("\\data\\catagory.ist"), Reload::None, false, LineRule::None},
        {QStringLiteral("ranking"), QStringLiteral("Ranking"), QStringLiteral("Status: Downloading Latest Ranking "),
         QStringLiteral("Status: Downloading Latest Ranking "), QStringLiteral("Status: Ranking Updated "),
         QStringLiteral("Status: Ranking Updated"),
         QStringLiteral("Status: Updating the Ranking failed: the file is corrupt"),
         QStringLiteral("\\data\\ranking.ist"), Reload::RankList, false, LineRule::Rank},
        {QStringLiteral("engines"), QStringLiteral("Engines"), QStringLiteral("Status: Downloading Latest Engines "),
         QStringLiteral("Status: Downloading Latest Engines"), QStringLiteral("Status: Engines Updated "),
         QStringLiteral("Status: Engines Updated"),
         QStringLiteral("Status: Updating the Engines failed: the file is corrupt"), QStringLiteral("\\data\\data.ist"),
         Reload::EngineDatabase, true, LineRule::Engine},
        {QStringLiteral("mandata"), QStringLiteral("Manual Engines"),
         QStringLiteral("Status: Downloading Latest Manual Engines "),
         QStringLiteral("Status: Downloading Latest Manual Engines"), QStringLiteral("Status: Manual Engines Updated "),
         QStringLiteral("Status: Manual Engines Updated"),
         QStringLiteral("Status: Updating the Manual Engines failed: the file is corrupt"),
         QStringLiteral("\\data\\datam.ist"), Reload::ManualEngines, true, LineRule::None},
    };
    return table;
}

QString failedLine(int code, const QString& text)
{
    return QStringLiteral("Status: Failed : ") + QString::number(code) + QLatin1Char(' ') + text;
}

QString failedLine(const QString& reason)
{
    return QStringLiteral("Status: Failed : ") + reason;
}

QString refusedLine(const Step& step, const LineCheck& check)
{
    const QString kind = step.rule == LineRule::Rank ? QStringLiteral("a rank line") : QStringLiteral("an engine line");
    return QStringLiteral("Status: Updating the %1 failed: line %2 is not %3 (%4 of %5 lines do not parse)")
        .arg(step.name)
        .arg(check.firstBad)
        .arg(kind)
        .arg(check.bad)
        .arg(check.nonEmpty);
}

void store(const QStringList& lines, const QString& path)
{
    // Both of the table's store rules (the list routine and plain lines) write
    // each line followed by CR LF; the list routine replaces the file atomically.
    SaveListToFile(lines, path);
}

} // namespace UpdateFraming
