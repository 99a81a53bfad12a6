#include "VantorApplication.h"

#include "net/DescriptorLimit.h"
#include "ui/Dialogs.h"

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
    if (m_lock.claim(programDir) == ProgramDirLock::Result::HeldElsewhere) {
        Dialogs::warning(nullptr, applicationDisplayName(), alreadyRunningText());
        return false;
    }
    return true;
}
