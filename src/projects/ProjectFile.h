#pragma once

#include "ProjectRecord.h"

#include <QString>

// One Project's file: data/session/<name>.zro, one INI section named after
// the Project holding its keys.
class ProjectFile
{
public:
    // The file of a Project; empty for a name that could reach outside the
    // session folder (such a name only comes from a hand-edited index).
    static QString path(const QString& programDir, const QString& name);
    static QString sessionDir(const QString& programDir);

    // Writes every key, in the save's order, as one replacement of the file;
    // raises IniWriteError when it cannot.
    static void write(const QString& programDir, const QString& name, const ProjectRecord& record);
    // Every key with an empty default; a missing file reads as all empty.
    static ProjectRecord read(const QString& programDir, const QString& name);
    // A missing file is no error.
    static void remove(const QString& programDir, const QString& name);
};
