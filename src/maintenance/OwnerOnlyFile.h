#pragma once

#include <QString>

// Makes the file readable and writable by its owner alone, creating it empty
// when it does not exist, before a password is written into it. Replacing the
// file atomically later keeps these permissions. Throws IniWriteError when
// the file cannot be made or changed.
void makeOwnerOnly(const QString& path);
