#include "TempProgramDir.h"

#include "ui/Dialogs.h"
#include "settings/ProgramPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

// In force while no ScriptedDialogs is: a dialog a test did not expect fails
// it at once instead of waiting for a click that never comes.
class FailingDialogs : public Dialogs::Handler
{
public:
    int message(QWidget*, const QString& caption, const QString& text, Dialogs::Icon, int buttons) override
    {
        QTest::qFail(qPrintable(QStringLiteral("unexpected dialog \"%1\": %2").arg(caption, text)), __FILE__,
                     __LINE__);
        return (buttons & Dialogs::No) ? Dialogs::No : Dialogs::Cancel;
    }
    QString fileName(QWidget*, Dialogs::FileKind, const QString& caption, const QString&, const QString&) override
    {
        QTest::qFail(qPrintable(QStringLiteral("unexpected file dialog \"%1\"").arg(caption)), __FILE__, __LINE__);
        return QString();
    }
    bool openUrl(const QUrl& url) override
    {
        QTest::qFail(qPrintable(QStringLiteral("unexpected open of %1").arg(url.toString())), __FILE__, __LINE__);
        return false;
    }
};

} // namespace

TempProgramDir::TempProgramDir() : m_previousCwd(QDir::currentPath())
{
    static FailingDialogs failing;
    if (!Dialogs::handler())
        Dialogs::setHandler(&failing);
    QDir dir(m_dir.path());
    for (const char* sub : {"data/session", "reports", "doorways"})
        dir.mkpath(QString::fromLatin1(sub));
    // An installed program directory has its databases, empty or not.
    write(QStringLiteral("data/data.ist"), QByteArray());
    write(QStringLiteral("data/datam.ist"), QByteArray());
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
