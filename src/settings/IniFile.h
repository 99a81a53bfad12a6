#pragma once

#include "IniDocument.h"

#include <QString>

#include <stdexcept>

// Raised when an INI file cannot be written; its text is "Unable to write to
// <path>" and it ends the command that wrote.
class IniWriteError : public std::runtime_error
{
public:
    explicit IniWriteError(const QString& path);
    QString path() const { return m_path; }

private:
    QString m_path;
};

// One opening of an INI file for one use. Reads take the file as it is on
// disk when this object first reads; each write replaces the file atomically
// at once, unless writes are gathered between beginUpdate() and endUpdate(),
// which then replace it once, leaving the same text as key-by-key writes.
class IniFile
{
public:
    explicit IniFile(const QString& path);

    QString path() const { return m_path; }

    // The settings file is not read above this size; its defaults apply.
    static constexpr const char* SettingsFileName = "dfd.ini";
    static constexpr qint64 SettingsMaxBytes = 1024 * 1024;
    static qint64 sizeLimit(const QString& path);
    // True when the file was over its limit: reads give the defaults and
    // writes fail rather than replace it.
    bool tooLarge();

    QString readString(const QString& section, const QString& key, const QString& defaultValue);
    int readInteger(const QString& section, const QString& key, int defaultValue);
    bool readBool(const QString& section, const QString& key, bool defaultValue);
    QList<QPair<QString, QString>> readSection(const QString& section);
    bool hasSection(const QString& section);

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void eraseSection(const QString& section);

    void beginUpdate();
    void endUpdate();

private:
    const IniDocument& document();
    void changed();
    void save();

    QString m_path;
    IniDocument m_document;
    bool m_loaded = false;
    bool m_tooLarge = false;
    int m_updateDepth = 0;
    bool m_dirty = false;
};
