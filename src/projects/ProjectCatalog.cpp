#include "ProjectCatalog.h"

#include "ProjectFile.h"
#include "ProjectIndex.h"
#include "ProjectName.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <exception>

QStringList ProjectCatalog::loadNames(const QString& programDir, QStringList* unsafe)
{
    QList<QPair<QString, QString>> pairs;
    try {
        pairs = ProjectIndex::load(programDir);
    } catch (const std::exception&) {
        pairs.clear();
    }
    const QStringList indexed = ProjectIndex::namesFrom(pairs);
    // A Project whose file was written while its index entry still waited
    // (the program was ended meanwhile) is listed too, as the window lists it.
    return safeNames(indexed, unsafe) + ProjectIndex::unlistedFiles(programDir, indexed);
}

QStringList ProjectCatalog::safeNames(QStringList names, QStringList* unsafe)
{
    names.erase(std::remove_if(names.begin(), names.end(),
                               [unsafe](const QString& name) {
                                   if (!ProjectName::isInvalid(name))
                                       return false;
                                   if (unsafe)
                                       *unsafe << name;
                                   return true;
                               }),
                names.end());
    return names;
}

QString ProjectCatalog::value(const QString& programDir, const QString& name, const QString& key)
{
    const QString file = ProjectFile::path(programDir, name);
    if (file.isEmpty())
        return QString();
    try {
        return IniFile(file).readString(name, key, QString());
    } catch (const std::exception&) {
        return QString();
    }
}
