#include "ProjectStoreDialogs.h"

#include "ui/Dialogs.h"
#include "ui/ProgressWindow.h"

#include <QLabel>

ProjectStoreDialogs::ProjectStoreDialogs() = default;

ProjectStoreDialogs::~ProjectStoreDialogs()
{
    delete m_progress;
}

void ProjectStoreDialogs::warn(const QString& caption, const QString& text)
{
    Dialogs::warning(m_parent, caption, text);
}

bool ProjectStoreDialogs::confirm(const QString& caption, const QString& text)
{
    return Dialogs::confirm(m_parent, caption, text);
}

void ProjectStoreDialogs::progressBegin(const QString& caption, int total)
{
    delete m_progress;
    m_progress = new ProgressWindow(caption, m_parent);
    m_progress->EngineLabel->setText(QStringLiteral("Project: "));
    m_progress->setMaximum(total);
    // The files go between events; meanwhile the list already shows the
    // outcome while the editor does not yet, so the user waits for the end.
    m_progress->setWindowModality(Qt::ApplicationModal);
    m_progress->show();
}

void ProjectStoreDialogs::progressStep(const QString& item, int done)
{
    if (!m_progress)
        return;
    m_progress->showItem(item, done);
    m_progress->setPosition(done);
}

void ProjectStoreDialogs::progressEnd()
{
    delete m_progress;
}

void ProjectStoreDialogs::reportError(const QString& text)
{
    Dialogs::error(m_parent, text);
}
