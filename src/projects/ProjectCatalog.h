#pragma once

#include <QString>
#include <QStringList>

// The Projects of a program directory without a window: the names the
// project index lists, as the project list takes them at start-up, and what
// each Project's file holds.
class ProjectCatalog
{
public:
    // The names of the index in its numbering, then those of Project files
    // the index does not list yet; a missing or unreadable index lists only
    // the latter. A hand-edited entry that no save could have made is never
    // used as a file name: it is left out and named in `unsafe`.
    static QStringList loadNames(const QString& programDir, QStringList* unsafe = nullptr);
    // `names` without those no save could have made, which go to `unsafe`.
    static QStringList safeNames(QStringList names, QStringList* unsafe = nullptr);

    // One key of a Project's file; empty when the file or key is missing.
    static QString value(const QString& programDir, const QString& name, const QString& key);
};
