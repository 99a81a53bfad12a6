#include "ProjectFile.h"

#include "ProjectName.h"
#include "settings/IniFile.h"
#include "settings/ProgramPaths.h"

#include <QFile>

namespace {

bool hasKey(IniFile& ini, const QString& section, const QString& key)
{
    const auto pairs = ini.readSection(section);
    for (const auto& pair : pairs) {
        if (pair.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

QString ProjectFile::sessionDir(const QString& programDir)
{
    return programPath(programDir, QStringLiteral("\\data\\session"));
}

QString ProjectFile::path(const QString& programDir, const QString& name)
{
    if (name.isEmpty() || ProjectName::isInvalid(name))
        return QString();
    return sessionDir(programDir) + QLatin1Char('/') + name + QStringLiteral(".zro");
}

void ProjectFile::write(const QString& programDir, const QString& name, const ProjectRecord& record)
{
    const QString file = path(programDir, name);
    if (file.isEmpty())
        throw IniWriteError(sessionDir(programDir) + QLatin1Char('/') + name + QStringLiteral(".zro"));
    IniFile ini(file);
    ini.beginUpdate();
    for (ProjectField field : ProjectRecord::writeOrder()) {
        // A Project without an IndexNow key (or key location) keeps exactly
        // the file it always had; a key stored before is still overwritten, emptied too.
        if ((field == ProjectField::IndexNowKey || field == ProjectField::IndexNowKeyLocation) &&
            record.value(field).isEmpty() &&
            !hasKey(ini, name, ProjectRecord::key(field)))
            continue;
        ini.writeString(name, ProjectRecord::key(field), record.value(field));
    }
    ini.endUpdate();
}

ProjectRecord ProjectFile::read(const QString& programDir, const QString& name)
{
    ProjectRecord record;
    record.setValue(ProjectField::SessionName, name);
    const QString file = path(programDir, name);
    if (file.isEmpty())
        return record;
    IniFile ini(file);
    for (ProjectField field : ProjectRecord::loadOrder())
        record.setValue(field, ini.readString(name, ProjectRecord::key(field), QString()));
    return record;
}

void ProjectFile::remove(const QString& programDir, const QString& name)
{
    const QString file = path(programDir, name);
    if (!file.isEmpty())
        QFile::remove(file);
}
