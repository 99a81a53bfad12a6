#include "SettingsLink.h"

#include "ProgramPaths.h"
#include "ProgramSettings.h"
#include "SettingsKeys.h"

SettingsLink::SettingsLink() = default;

SettingsLink::~SettingsLink() = default;

ProgramSettings& SettingsLink::get(const QString& programDir)
{
    if (m_shared)
        return *m_shared;
    if (!m_own || m_own->path() != programPath(programDir, SettingsKeys::FileName))
        m_own = std::make_unique<ProgramSettings>(programDir);
    return *m_own;
}
