#include "Skin.h"

#include "ProgramPaths.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QWidget>

void applySkin(QWidget* window, const QString& programDir)
{
    // The look is applied to every button and group box, so make them take
    // the sheet now rather than at first show.
    QFile file(programPath(programDir, QStringLiteral("\\skin.skn")));
    if (!file.open(QIODevice::ReadOnly))
        return;
    window->setStyleSheet(QString::fromUtf8(file.readAll()));
    for (QWidget* child : window->findChildren<QAbstractButton*>())
        child->ensurePolished();
    for (QWidget* child : window->findChildren<QGroupBox*>())
        child->ensurePolished();
}
