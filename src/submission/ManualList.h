#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVector>

// The text rules of the manual engine list datam.ist: one engine a line,
// name, home page and submit page separated by one delimiter character.
namespace ManualList {

// The candidates, tried in this order.
inline constexpr char16_t Candidates[] = {u',', u';', u'#', u'\t', u'|'};

// Occurrences of `ch` in `line` that do not stand next to the same character.
int countSingle(const QString& line, QChar ch);

// The delimiter of a file from its first two lines (line 2 empty for a
// one-line file): a candidate qualifies when it occurs equally often in both
// lines, and a later one must occur strictly more often to replace an earlier
// one. "," when none qualifies with at least one occurrence.
QChar detectDelimiter(const QString& line1, const QString& line2);

// The fields of one line. A field starting with a double quote runs to the
// next single (not doubled) double quote; the quotes are dropped, a doubled
// quote inside stands for one, and the text up to the next delimiter is
// skipped. The text after the last delimiter, if any, is the last field less
// one leading and one trailing double quote.
QStringList splitLine(const QString& line, QChar delimiter);

// One line from the fields. A field that holds the delimiter or starts with a
// double quote is quoted (inner quotes doubled) so it reads back whole; every
// other field is written as it stands.
QString joinLine(const QStringList& fields, QChar delimiter);

} // namespace ManualList

namespace ManualList {

// The rows of a whole file: each line one row (its fields, the first being
// the caption). When `delimiter` is null it is detected from the first two
// lines and stored there, so it stays for later reads and writes.
QVector<QStringList> parseLines(const QStringList& lines, QChar& delimiter);

} // namespace ManualList
