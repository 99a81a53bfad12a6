#pragma once

#include <QString>

#include <optional>

// One rank engine of ranking.ist: "name|query|match|add|strip|first|...".
// The fields are cut at each "|" in order, so none can hold a "|"; whatever
// follows the "|" after the first offset is ignored.
struct RankLine
{
    QString name;
    QString queryTemplate; // "$query" stands for the keyword, "$page" for the page offset
    QString matchTemplate; // "$add" stands for addText, "$url" for the site address
    QString addText;
    QString stripText; // removed from the match text after the substitutions
    int firstOffset = 0;
};

// The outcome of reading a rank line: the engine, or why the line cannot be used.
struct RankLineParse
{
    std::optional<RankLine> line;
    QString error; // names the engine; empty when line is set
};

namespace RankLines {

// The row caption of a line: the text before its first "|" (the whole line without one).
QString caption(const QString& line);

RankLineParse parse(const QString& line);

// Replaces every occurrence of pattern, letter case ignored; an empty pattern changes nothing.
QString replaceAll(const QString& text, const QString& pattern, const QString& value);

// The engine's result-page address for a keyword, before the page offset goes in:
// the keyword goes in exactly as typed.
QString query(const RankLine& engine, const QString& keyword);
// The address of the page with this offset.
QString pageAddress(const QString& query, qint64 offset);
// The text whose presence in a result page marks the site.
QString matchText(const RankLine& engine, const QString& siteUrl);

// The number of ten-result pages to look through for a "Check Ranking in Top"
// text; nullopt when the text is not a whole number.
std::optional<int> pagesForTop(const QString& top);

} // namespace RankLines
