#pragma once

#include "InterruptWatcher.h"
#include "ProgressLine.h"
#include "settings/ProgramDirLock.h"

#include <QProcessEnvironment>
#include <QString>

#include <memory>

// What every command shares: the program directory and its lock, results on
// standard output, messages on standard error, the progress line and Ctrl-C.
class CliContext
{
public:
    CliContext(const QString& dirOption, bool quiet);
    ~CliContext();
    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

    // Finds the program directory (--dir, VANTOR_PROGRAM_DIR, the per-user one
    // made from the installed template) and checks that it is one. Returns
    // CliExit::Ok, or CliExit::ProgramDir after saying which directory it tried.
    int openProgramDir();
    QString programDir() const { return m_programDir; }
    // Takes vantor.lock, as the window does, for a command that writes the
    // directory's files. CliExit::Ok, or CliExit::ProgramDir when it is held.
    int claimLock();

    bool isQuiet() const { return m_quiet; }
    void setQuiet(bool quiet);

    // One result line on standard output, written at once.
    void result(const QString& line);
    // "vantor-cli: TEXT" on standard error; messages are dropped by --quiet,
    // errors never.
    void message(const QString& text);
    void error(const QString& text);

    ProgressLine& progress() { return *m_progress; }
    InterruptWatcher& interrupts() { return m_interrupts; }
    bool wasInterrupted() const { return m_interrupts.wasInterrupted(); }

    // The per-user program directory of the vantor-pro launcher.
    static QString userProgramDir(const QProcessEnvironment& environment);
    // Where the installed template sits, relative to this executable.
    static QString installedTemplate();

private:
    bool prepareFromTemplate(const QString& dir);

    QString m_dirOption;
    QString m_programDir;
    bool m_quiet;
    std::unique_ptr<ProgressLine> m_progress;
    InterruptWatcher m_interrupts;
    ProgramDirLock m_lock;
};
