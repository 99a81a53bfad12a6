#include "IniDocument.h"

#include "TextCodec.h"

#include <limits>

IniDocument::IniDocument(const QString& text)
{
    if (text.isEmpty())
        return;
    // CR LF, LF and a lone CR all end a line.
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_lines = normalized.split(QLatin1Char('\n'));
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

IniDocument IniDocument::fromBytes(const QByteArray& bytes)
{
    return IniDocument(decodeText(bytes));
}

QByteArray IniDocument::toBytes() const
{
    QByteArray out;
    for (const QString& line : m_lines) {
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}

bool IniDocument::isSectionLine(const QString& line, QString* name)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return false;
    if (name) {
        const int close = trimmed.indexOf(QLatin1Char(']'));
        *name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
    }
    return true;
}

bool IniDocument::isKeyLine(const QString& line, QString* name, QString* value)
{
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    if (name)
        *name = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1);
    return true;
}

IniDocument::Span IniDocument::findSection(const QString& section) const
{
    Span span;
    const QString wanted = section.trimmed();
    QString name;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (!isSectionLine(m_lines.at(i), &name))
            continue;
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            span.header = i;
    }
    if (span.header >= 0)
        span.end = m_lines.size();
    return span;
}

int IniDocument::findKey(const Span& span, const QString& key) const
{
    if (span.header < 0)
        return -1;
    const QString wanted = key.trimmed();
    QString name;
    for (int i = span.header + 1; i < span.end; ++i) {
        if (isKeyLine(m_lines.at(i), &name) && name.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool IniDocument::hasSection(const QString& section) const
{
    return findSection(section).header >= 0;
}

bool IniDocument::hasKey(const QString& section, const QString& key) const
{
    return findKey(findSection(section), key) >= 0;
}

QString IniDocument::cleanValue(QString raw)
{
    raw = raw.trimmed();
    if (raw.size() >= 2) {
        const QChar first = raw.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && raw.back() == first)
            raw = raw.mid(1, raw.size() - 2);
    }
    if (raw.size() > MaxValueLength)
        raw.truncate(MaxValueLength);
    return raw;
}

int IniDocument::parseInteger(const QString& value, int defaultValue)
{
    bool ok = false;
    qlonglong parsed = 0;
    if (value.size() > 2 && (value.startsWith(QLatin1String("0x")) || value.startsWith(QLatin1String("0X")))) {
        const QString digits = value.mid(2);
        // Hexadecimal text is a bit pattern: 0xFFFFFFFF reads as -1.
        if (!digits.startsWith(QLatin1Char('+')) && !digits.startsWith(QLatin1Char('-'))) {
            const qulonglong bits = digits.toULongLong(&ok, 16);
            if (ok && bits <= std::numeric_limits<quint32>::max())
                return static_cast<int>(static_cast<quint32>(bits));
        }
        return defaultValue;
    }
    parsed = value.toLongLong(&ok, 10);
    if (!ok || parsed < std::numeric_limits<int>::min() || parsed > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(parsed);
}

QString IniDocument::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const int line = findKey(findSection(section), key);
    if (line < 0)
        return defaultValue;
    QString value;
    isKeyLine(m_lines.at(line), nullptr, &value);
    return cleanValue(value);
}

int IniDocument::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    const QString text = readString(section, key, QString());
    if (text.isEmpty())
        return defaultValue;
    return parseInteger(text, defaultValue);
}

bool IniDocument::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QList<QPair<QString, QString>> IniDocument::readSection(const QString& section) const
{
    QList<QPair<QString, QString>> pairs;
    const Span span = findSection(section);
    if (span.header < 0)
        return pairs;
    QString name;
    for (int i = span.header + 1; i < span.end; ++i) {
        if (!isKeyLine(m_lines.at(i), &name) || name.isEmpty())
            continue;
        // A repeated key reads as its first occurrence, as a key look-up would.
        pairs.append({name, readString(section, name, QString())});
    }
    return pairs;
}

void IniDocument::writeString(const QString& section, const QString& key, const QString& value)
{
    // A line break inside a value would split it into lines of its own and
    // could forge keys or sections; it is stored as a blank.
    QString stored = value;
    stored.replace(QLatin1String("\r\n"), QLatin1String(" "));
    stored.replace(QLatin1Char('\r'), QLatin1Char(' '));
    stored.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString line = key + QLatin1Char('=') + stored;

    Span span = findSection(section);
    if (span.header < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
        return;
    }
    const int existing = findKey(span, key);
    if (existing >= 0) {
        m_lines[existing] = line;
        return;
    }
    // A new key goes after the section's last non-blank line.
    int insertAt = span.end;
    while (insertAt > span.header + 1 && m_lines.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, line);
}

void IniDocument::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniDocument::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniDocument::eraseSection(const QString& section)
{
    for (Span span = findSection(section); span.header >= 0; span = findSection(section))
        m_lines.erase(m_lines.begin() + span.header, m_lines.begin() + span.end);
}
