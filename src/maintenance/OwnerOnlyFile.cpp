#include "OwnerOnlyFile.h"

#include "settings/IniFile.h"

#include <QFile>

void makeOwnerOnly(const QString& path)
{
    constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QFile file(path);
    if (!file.exists()) {
        // Created with no permissions for others from the first byte on.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly))
            throw IniWriteError(path);
        file.close();
    }
    if ((file.permissions() & ~(OwnerOnly | QFile::ReadUser | QFile::WriteUser)) == 0)
        return;
    if (!file.setPermissions(OwnerOnly))
        throw IniWriteError(path);
}
