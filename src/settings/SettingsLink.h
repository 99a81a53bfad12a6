#pragma once

#include "ProgramSettings.h"

#include <QPointer>
#include <QString>

#include <memory>

// A window's way to the settings: the program's one object when it was
// handed one, else an object of its own for its program directory (a window
// used alone, as in a test).
class SettingsLink
{
public:
    SettingsLink();
    ~SettingsLink();

    void setShared(ProgramSettings* settings) { m_shared = settings; }
    ProgramSettings& get(const QString& programDir);

private:
    QPointer<ProgramSettings> m_shared;
    std::unique_ptr<ProgramSettings> m_own;
};
