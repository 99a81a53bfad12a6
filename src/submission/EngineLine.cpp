#include "EngineLine.h"

EngineLine::EngineLine(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
        m_name = line;
        return;
    }
    *this = fromValue(line.left(eq), line.mid(eq + 1));
}

EngineLine EngineLine::fromValue(const QString& name, const QString& value)
{
    EngineLine result;
    result.m_name = name;
    result.m_fields.reserve(FieldCount);
    qsizetype start = 0;
    while (result.m_fields.size() < FieldCount) {
        const qsizetype bar = value.indexOf(QLatin1Char('|'), start);
        if (bar < 0)
            break;
        result.m_fields.append(value.mid(start, bar - start));
        start = bar + 1;
    }
    return result;
}

QString EngineLine::field(int position) const
{
    if (position < 1 || position > m_fields.size())
        return QString();
    return m_fields.at(position - 1);
}

QString EngineLine::nameOf(QStringView line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return (eq < 0 ? line : line.left(eq)).toString();
}

QStringView EngineLine::valueOf(QStringView line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringView() : line.mid(eq + 1);
}

QStringView EngineLine::fieldOf(QStringView value, int position)
{
    if (position < 1 || position > FieldCount)
        return QStringView();
    qsizetype start = 0;
    for (int i = 1;; ++i) {
        const qsizetype bar = value.indexOf(QLatin1Char('|'), start);
        if (bar < 0)
            return QStringView();
        if (i == position)
            return value.mid(start, bar - start);
        start = bar + 1;
    }
}
