#include "RankLine.h"

namespace RankLines {

namespace {

const QLatin1String QueryMark("$query");
const QLatin1String PageMark("$page");
const QLatin1String AddMark("$add");
const QLatin1String UrlMark("$url");

// The next field of rest, up to its "|", which is consumed; nullopt when no "|" is left.
std::optional<QStringView> cut(QStringView& rest)
{
    const qsizetype bar = rest.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return std::nullopt;
    const QStringView field = rest.left(bar);
    rest = rest.mid(bar + 1);
    return field;
}

// A whole decimal number, blanks around it allowed; nullopt for anything else.
std::optional<int> wholeNumber(QStringView text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

QString caption(const QString& line)
{
    const qsizetype bar = line.indexOf(QLatin1Char('|'));
    return bar < 0 ? line : line.left(bar);
}

RankLineParse parse(const QString& line)
{
    RankLineParse result;
    const QString name = caption(line);
    QStringView rest(line);
    QStringView fields[6];
    for (int i = 0; i < 6; ++i) {
        const std::optional<QStringView> field = cut(rest);
        if (!field) {
            result.error =
                i < 5 ? QStringLiteral("The rank engine \"%1\" has only %2 of its 6 fields.").arg(name).arg(i)
                      : QStringLiteral("The rank engine \"%1\" has no \"|\" after its first offset.").arg(name);
            return result;
        }
        fields[i] = *field;
    }
    const std::optional<int> first = wholeNumber(fields[5]);
    if (!first) {
        result.error = QStringLiteral("The rank engine \"%1\" has a first offset that is not a number: \"%2\".")
                           .arg(name, fields[5].toString());
        return result;
    }
    RankLine engine;
    engine.name = fields[0].toString();
    engine.queryTemplate = fields[1].toString();
    engine.matchTemplate = fields[2].toString();
    engine.addText = fields[3].toString();
    engine.stripText = fields[4].toString();
    engine.firstOffset = *first;
    result.line = engine;
    return result;
}

QString replaceAll(const QString& text, const QString& pattern, const QString& value)
{
    if (pattern.isEmpty())
        return text;
    // One pass from left to right, so a value that holds the pattern is not replaced again.
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(pattern, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        out += QStringView(text).mid(from, at - from);
        out += value;
        from = at + pattern.size();
    }
    if (from == 0)
        return text;
    out += QStringView(text).mid(from);
    return out;
}

QString query(const RankLine& engine, const QString& keyword)
{
    return replaceAll(engine.queryTemplate, QueryMark, keyword);
}

QString pageAddress(const QString& query, qint64 offset)
{
    return replaceAll(query, PageMark, QString::number(offset));
}

QString matchText(const RankLine& engine, const QString& siteUrl)
{
    QString match = replaceAll(engine.matchTemplate, AddMark, engine.addText);
    match = replaceAll(match, UrlMark, siteUrl);
    return replaceAll(match, engine.stripText, QString());
}

std::optional<int> pagesForTop(const QString& top)
{
    const std::optional<int> value = wholeNumber(top);
    if (!value)
        return std::nullopt;
    return *value / 10;
}

} // namespace RankLines
