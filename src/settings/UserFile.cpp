#include "UserFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool UserFile::open(QFile& file, const QString& path, QString* reason)
{
    // Opened without waiting (a FIFO with no writer would block here), then
    // checked on the open descriptor, so the file cannot be swapped between.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (reason)
            *reason = QStringLiteral("Not a regular file");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (reason)
            *reason = file.errorString();
        return false;
    }
    return true;
}

UserFile::Content UserFile::read(const QString& path, qint64 maxBytes)
{
    Content content;
    QFile file;
    if (!open(file, path, &content.reason)) {
        content.status = QFile::exists(path) ? Status::NotRegular : Status::Missing;
        return content;
    }
    if (maxBytes >= 0 && file.size() > maxBytes) {
        content.status = Status::TooLarge;
        content.reason = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        return content;
    }
    // A file that grows while it is read is cut at the limit, not followed.
    content.bytes = maxBytes >= 0 ? file.read(maxBytes + 1) : file.readAll();
    if (maxBytes >= 0 && content.bytes.size() > maxBytes) {
        content.bytes.clear();
        content.status = Status::TooLarge;
        content.reason = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        return content;
    }
    content.status = Status::Ok;
    return content;
}
