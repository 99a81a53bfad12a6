#pragma once

#include <QString>

// Every file the program touches is the program directory followed by a
// relative path written with "\" or "/"; both name the same file here.
QString programPath(const QString& programDir, const QString& relative);
