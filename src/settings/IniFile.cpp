#include "IniFile.h"

#include "UserFile.h"

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
        // Anything but a regular file reads as a missing one; an oversized
        // settings file is not read at all and its defaults apply.
        const UserFile::Content content = UserFile::read(m_path, sizeLimit(m_path));
        if (content.status == UserFile::Status::Ok)
            m_document = IniDocument::fromBytes(content.bytes);
        m_tooLarge = content.status == UserFile::Status::TooLarge;
        m_loaded = true;
    }
    return m_document;
}

qint64 IniFile::sizeLimit(const QString& path)
{
    // Only the settings file: Project files and the index grow with the
    // user's data.
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.compare(QLatin1String(SettingsFileName), Qt::CaseInsensitive) == 0 ? SettingsMaxBytes
                                                                                   : UserFile::NoLimit;
}

bool IniFile::tooLarge()
{
    document();
    return m_tooLarge;
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
    // A file too large to read is not replaced by the few keys written.
    if (m_tooLarge)
        throw IniWriteError(m_path);
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
