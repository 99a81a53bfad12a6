#include "ProgramDirLock.h"

#include "ProgramPaths.h"

ProgramDirLock::Result ProgramDirLock::claim(const QString& programDir)
{
    auto lock = std::make_unique<QLockFile>(programPath(programDir, fileName()));
    // Never stale by age: a run may go on for days. A lock whose process is
    // gone is recognised by QLockFile and taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError)
            return Result::HeldElsewhere;
        // A directory we cannot write to: its files cannot be changed by two
        // processes either, so nothing needs protecting.
        return Result::NotWritable;
    }
    m_lock = std::move(lock);
    return Result::Claimed;
}
