#pragma once

#include <QString>

// The checks a Project name passes before it is saved.
class ProjectName
{
public:
    enum class Verdict { Ok, Reserved, Empty, Invalid };

    // Blanks at both ends are dropped before any check: reading the index
    // drops them, so such a name would no longer find its file.
    static QString normalized(const QString& name);
    // Checks a normalized name, in the order the save runs them.
    static Verdict check(const QString& name);
    // "LIST" and "SESSION" in any letter case name the index's own sections.
    static bool isReserved(const QString& name);
    // A separator, "." or "..", or a control character would let the name
    // reach files outside the session folder or break the index's lines;
    // "[" or "]" would break the file's section line, and enclosing double
    // quotes are lost when the index is read.
    static bool isInvalid(const QString& name);
    static QString invalidText();
};
