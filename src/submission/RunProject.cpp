#include "RunProject.h"

#include "settings/IniFile.h"

#include <QStringList>

RunProject RunProject::read(const QString& projectFile, const QString& name)
{
    static const QStringList keys = [] {
        QStringList k{QStringLiteral("url"),      QStringLiteral("name"),     QStringLiteral("email"),
                      QStringLiteral("last"),     QStringLiteral("catagory"), QStringLiteral("title"),
                      QStringLiteral("description"), QStringLiteral("company"), QStringLiteral("address1"),
                      QStringLiteral("address2"), QStringLiteral("country"),  QStringLiteral("city"),
                      QStringLiteral("state"),    QStringLiteral("phone"),    QStringLiteral("fax"),
                      QStringLiteral("zip")};
        for (int i = 1; i <= 16; ++i)
            k << QStringLiteral("key%1").arg(i);
        k << QStringLiteral("indexnowkey");
        return k;
    }();
    RunProject project;
    project.m_name = name;
    IniFile ini(projectFile);
    for (const QString& key : keys)
        project.m_values.insert(key, ini.readString(name, key, QString()));
    return project;
}
