#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

IniWriteError::IniWriteError(const QString& path)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString()), m_path(path)
{
}

IniFile::IniFile(const QString& path) : m_path(path) {}

const IniDocument& IniFile::document()
{
    if (!m_loaded) {
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly))
            m_document = IniDocument::fromBytes(file.readAll());
        m_loaded = true;
    }
    return m_document;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue)
{
    return document().readString(section, key, defaultValue);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue)
{
    return document().readInteger(section, key, defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue)
{
    return document().readBool(section, key, defaultValue);
}

QList<QPair<QString, QString>> IniFile::readSection(const QString& section)
{
    return document().readSection(section);
}

bool IniFile::hasSection(const QString& section)
{
    return document().hasSection(section);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    document();
    m_document.writeString(section, key, value);
    changed();
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    document();
    m_document.writeInteger(section, key, value);
    changed();
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    document();
    m_document.writeBool(section, key, value);
    changed();
}

void IniFile::eraseSection(const QString& section)
{
    document();
    if (!m_document.hasSection(section))
        return;
    m_document.eraseSection(section);
    changed();
}

void IniFile::beginUpdate()
{
    ++m_updateDepth;
}

void IniFile::endUpdate()
{
    if (m_updateDepth == 0 || --m_updateDepth > 0)
        return;
    if (m_dirty)
        save();
}

void IniFile::changed()
{
    m_dirty = true;
    if (m_updateDepth == 0)
        save();
}

void IniFile::save()
{
    // Gathered writes are spent whether or not they reach the disk: a failed
    // flush must not be retried by a later, unrelated write.
    m_dirty = false;
    const QFileInfo info(m_path);
    if (info.exists() && !info.isWritable())
        throw IniWriteError(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw IniWriteError(m_path);
    const QByteArray bytes = m_document.toBytes();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw IniWriteError(m_path);
}
