#include "ManualList.h"

namespace ManualList {

int countSingle(const QString& line, QChar ch)
{
    int count = 0;
    const qsizetype size = line.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (line.at(i) != ch)
            continue;
        const bool doubled = (i > 0 && line.at(i - 1) == ch) || (i + 1 < size && line.at(i + 1) == ch);
        if (!doubled)
            ++count;
    }
    return count;
}

QChar detectDelimiter(const QString& line1, const QString& line2)
{
    QChar taken;
    int takenCount = 0;
    for (char16_t candidate : Candidates) {
        const QChar ch(candidate);
        const int count = countSingle(line1, ch);
        if (count == countSingle(line2, ch) && count > takenCount) {
            taken = ch;
            takenCount = count;
        }
    }
    return taken.isNull() ? QChar(u',') : taken;
}

QStringList splitLine(const QString& line, QChar delimiter)
{
    QStringList fields;
    QStringView rest(line);
    const QChar quote(u'"');
    while (rest.contains(delimiter)) {
        if (rest.startsWith(quote)) {
            QString field;
            qsizetype i = 1;
            while (i < rest.size()) {
                if (rest.at(i) == quote) {
                    if (i + 1 < rest.size() && rest.at(i + 1) == quote) {
                        field.append(quote);
                        i += 2;
                        continue;
                    }
                    break;
                }
                field.append(rest.at(i));
                ++i;
            }
            fields.append(field);
            const qsizetype next = rest.indexOf(delimiter, qMin(i + 1, rest.size()));
            rest = next < 0 ? QStringView() : rest.mid(next + 1);
            continue;
        }
        const qsizetype at = rest.indexOf(delimiter);
        fields.append(rest.left(at).toString());
        rest = rest.mid(at + 1);
    }
    if (!rest.isEmpty()) {
        if (rest.startsWith(quote))
            rest = rest.mid(1);
        if (rest.endsWith(quote))
            rest.chop(1);
        fields.append(rest.toString());
    }
    return fields;
}

QString joinLine(const QStringList& fields, QChar delimiter)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.append(delimiter);
        const QString& field = fields.at(i);
        if (field.contains(delimiter) || field.startsWith(u'"')) {
            QString quoted = field;
            quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
            line.append(u'"').append(quoted).append(u'"');
        } else {
            line.append(field);
        }
    }
    return line;
}

} // namespace ManualList

namespace ManualList {

QVector<QStringList> parseLines(const QStringList& lines, QChar& delimiter)
{
    if (delimiter.isNull())
        delimiter = detectDelimiter(lines.value(0), lines.value(1));
    QVector<QStringList> rows;
    rows.reserve(lines.size());
    for (const QString& line : lines)
        rows.append(splitLine(line, delimiter));
    return rows;
}

} // namespace ManualList
