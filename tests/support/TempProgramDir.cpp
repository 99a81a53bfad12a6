#include "TempProgramDir.h"

#include "ui/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempProgramDir::TempProgramDir() : m_previousCwd(QDir::currentPath())
{
    QDir dir(m_dir.path());
    for (const char* sub : {"data/session", "reports", "doorways"})
        dir.mkpath(QString::fromLatin1(sub));
    QDir::setCurrent(m_dir.path());
}

TempProgramDir::~TempProgramDir()
{
    QDir::setCurrent(m_previousCwd);
}

QString TempProgramDir::filePath(const QString& relative) const
{
    return programPath(m_dir.path(), relative);
}

void TempProgramDir::write(const QString& relative, const QByteArray& bytes) const
{
    const QString target = filePath(relative);
    QDir().mkpath(QFileInfo(target).path());
    QFile file(target);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray TempProgramDir::read(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TempProgramDir::exists(const QString& relative) const
{
    return QFileInfo::exists(filePath(relative));
}
