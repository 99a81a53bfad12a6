#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The text of an INI file held in memory, read and changed by the
// profile-file rules: names matched without regard to case, values trimmed,
// one pair of enclosing quotes removed, values cut to 2047 characters.
class IniDocument
{
public:
    static constexpr int MaxValueLength = 2047;

    IniDocument() = default;
    explicit IniDocument(const QString& text);

    static IniDocument fromBytes(const QByteArray& bytes);
    QByteArray toBytes() const;

    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;

    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    // Every key of a section with its value, in the order of the file.
    QList<QPair<QString, QString>> readSection(const QString& section) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void eraseSection(const QString& section);

    // The reading rules on their own: trim, unquote, cut.
    static QString cleanValue(QString raw);
    // The integer rule: "0x"/"0X" with more after it is hexadecimal; text
    // that is not a whole number, or empty, gives the default.
    static int parseInteger(const QString& value, int defaultValue);

private:
    struct Span
    {
        int header = -1; // line of the section header
        int end = -1;    // one past the last line of the section
    };

    Span findSection(const QString& section) const;
    int findKey(const Span& span, const QString& key) const;
    static bool isSectionLine(const QString& line, QString* name = nullptr);
    static bool isKeyLine(const QString& line, QString* name = nullptr, QString* value = nullptr);

    QStringList m_lines;
};
