#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One writer per program directory: the window and every command that writes
// the directory's files hold `vantor.lock` while they run. A lock left by a
// process that is gone (a crash, a kill) is taken over.
class ProgramDirLock
{
public:
    enum class Result { Claimed, HeldElsewhere, NotWritable };

    ProgramDirLock() = default;
    ProgramDirLock(const ProgramDirLock&) = delete;
    ProgramDirLock& operator=(const ProgramDirLock&) = delete;

    Result claim(const QString& programDir);
    bool isHeld() const { return m_lock != nullptr; }
    void release() { m_lock.reset(); }

    static QString fileName() { return QStringLiteral("vantor.lock"); }
    static QString alreadyRunningText()
    {
        return QStringLiteral("Vantor Pro is already running in this program directory.");
    }

private:
    std::unique_ptr<QLockFile> m_lock;
};
