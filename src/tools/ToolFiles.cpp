#include "ToolFiles.h"

#include "settings/UserFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <stdexcept>

QByteArray readFileBytes(const QString& path)
{
    // A regular file only: a FIFO or a device picked by "All Files" would
    // block the window or never end.
    QFile file;
    QString reason;
    if (!UserFile::open(file, path, &reason))
        throw std::runtime_error(QStringLiteral("Unable to read %1: %2").arg(path, reason).toStdString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()).toStdString());
    return bytes;
}

void replaceFileBytes(const QString& path, const QByteArray& bytes, std::optional<QFileDevice::Permissions> permissions)
{
    // A crash or a full disk leaves the old file whole. The permissions go on
    // the temporary file, so the file is never readable by more than they say.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || (permissions && !file.setPermissions(*permissions)) ||
        file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString());
}

void requireOwnerWritable(const QString& path)
{
    if (!QFileInfo(path).permissions().testFlag(QFileDevice::WriteOwner))
        throw std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString());
}
