#include "AuditOptions.h"

#include "settings/ProgramSettings.h"

void AuditOptions::takeNetworkSettings(const QString& programDir)
{
    using Key = ProgramSettings::Key;
    const ProgramSettings settings(programDir);
    timeoutSeconds = qMax(1, settings.integer(Key::Timeout));
    if (settings.flag(Key::KeyProxy))
        proxy = {settings.text(Key::ProxyHost), settings.text(Key::ProxyPort), settings.text(Key::ProxyUserName),
                 settings.text(Key::ProxyPassword)};
}
