#include "VantorApplication.h"

#include "net/DescriptorLimit.h"
#include "ui/Dialogs.h"
#include "ui/ProgramPaths.h"

#include <exception>

VantorApplication::VantorApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Vantor Pro"));
    setApplicationDisplayName(QStringLiteral("Vantor Pro"));
    setDesktopFileName(QStringLiteral("io.vantor.VantorPro"));
    // A run opens one socket per parallel request; take every descriptor the
    // system lets us have.
    raiseDescriptorLimit();
}

VantorApplication::~VantorApplication() = default;

bool VantorApplication::notify(QObject* receiver, QEvent* event)
{
    // An exception must not unwind through Qt's event delivery: it would end
    // the program. The handler that raised it is over; the rest goes on.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Dialogs::error(activeWindow(), QString::fromUtf8(e.what()));
    } catch (...) {
        Dialogs::error(activeWindow(), QStringLiteral("Unknown error"));
    }
    return false;
}

bool VantorApplication::claimProgramDir(const QString& programDir)
{
    auto lock = std::make_unique<QLockFile>(programPath(programDir, lockFileName()));
    // Never stale by age: a run may go on for days. A lock whose process is
    // gone (a crash, a kill) is recognised by QLockFile and taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            Dialogs::warning(nullptr, applicationDisplayName(), alreadyRunningText());
            return false;
        }
        // A directory we cannot write to: the files it holds cannot be changed
        // by two instances either, so no lock is needed to protect them.
        return true;
    }
    m_lock = std::move(lock);
    return true;
}
