#include "Skin.h"

#include "settings/ProgramPaths.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens the skin without waiting on it (a FIFO would block) and only when
// it is a regular file.
bool openRegular(QFile& file, const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return true;
}

} // namespace

SkinResult applySkin(QWidget* window, const QString& programDir)
{
    // The look is applied to every button and group box, so make them take
    // the sheet now rather than at first show.
    QFile file;
    if (!openRegular(file, programPath(programDir, QStringLiteral("\\skin.skn"))))
        return SkinResult::Missing;
    const QByteArray sheet = file.read(SkinMaxBytes + 1);
    if (sheet.size() > SkinMaxBytes)
        return SkinResult::TooLarge;
    window->setStyleSheet(QString::fromUtf8(sheet));
    for (QWidget* child : window->findChildren<QAbstractButton*>())
        child->ensurePolished();
    for (QWidget* child : window->findChildren<QGroupBox*>())
        child->ensurePolished();
    return SkinResult::Applied;
}
