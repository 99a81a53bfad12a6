#pragma once

#include "settings/ProgramDirLock.h"

#include <QApplication>

// The program's application object. Every event passes through notify(), so
// an error that a handler lets escape (a timer tick, a network event, the
// run's end) is caught there: it ends that handler with the error box and
// the program goes on, as an error inside a menu command does.
class VantorApplication : public QApplication
{
    Q_OBJECT

public:
    VantorApplication(int& argc, char** argv);
    ~VantorApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // One instance per program directory: takes the lock file in `programDir`
    // (a lock left by a crashed instance is taken over). When another
    // instance holds it, says so and returns false; nothing is changed.
    bool claimProgramDir(const QString& programDir);

    static QString alreadyRunningText() { return ProgramDirLock::alreadyRunningText(); }
    static QString lockFileName() { return ProgramDirLock::fileName(); }

private:
    ProgramDirLock m_lock;
};
