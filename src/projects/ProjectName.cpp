#include "ProjectName.h"

QString ProjectName::normalized(const QString& name)
{
    return name.trimmed();
}

ProjectName::Verdict ProjectName::check(const QString& name)
{
    if (isReserved(name))
        return Verdict::Reserved;
    if (name.isEmpty())
        return Verdict::Empty;
    if (isInvalid(name))
        return Verdict::Invalid;
    return Verdict::Ok;
}

bool ProjectName::isReserved(const QString& name)
{
    const QString upper = name.toUpper();
    return upper == QLatin1String("LIST") || upper == QLatin1String("SESSION");
}

bool ProjectName::isInvalid(const QString& name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return true;
    // The index reads a value in enclosing double quotes without them.
    if (name.startsWith(QLatin1Char('"')) || name.endsWith(QLatin1Char('"')))
        return true;
    for (const QChar ch : name) {
        // "[" and "]" would make the Project file's section line unreadable.
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch == QLatin1Char('[') || ch == QLatin1Char(']') ||
            ch.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

QString ProjectName::invalidText()
{
    return QStringLiteral("A Project name cannot hold \"/\", \"\\\", \"[\", \"]\" or control characters, "
                          "cannot begin or end with a double quote, and cannot be \".\" or \"..\".");
}
