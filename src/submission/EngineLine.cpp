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
    result.m_value = value;
    const QChar* chars = value.constData();
    for (qsizetype i = 0; i < value.size() && result.m_fieldCount < FieldCount; ++i) {
        if (chars[i] == u'|')
            result.m_ends[++result.m_fieldCount] = i;
    }
    return result;
}

QStringView EngineLine::fieldView(int position) const
{
    if (position < 1 || position > m_fieldCount)
        return QStringView();
    const qsizetype start = m_ends[position - 1] + 1;
    return QStringView(m_value).mid(start, m_ends[position] - start);
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
