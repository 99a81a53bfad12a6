#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary program directory with the installed layout's folders and
// empty engine databases; the working directory moves into it while the
// object lives.
class TempProgramDir
{
public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const;

    void write(const QString& relative, const QByteArray& bytes) const;
    QByteArray read(const QString& relative) const;
    bool exists(const QString& relative) const;

private:
    QTemporaryDir m_dir;
    QString m_previousCwd;
};
