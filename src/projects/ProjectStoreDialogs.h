#pragma once

#include "ProjectStoreUser.h"
#include "ui/ProgressWindow.h"

#include <QPointer>
#include <QWidget>


// The window's answers to the project store: message boxes, the error rule
// and the please-wait window of a long deletion.
class ProjectStoreDialogs : public ProjectStoreUser
{
public:
    ProjectStoreDialogs();
    ~ProjectStoreDialogs() override;

    // The window the message boxes belong to.
    void setParent(QWidget* parent) { m_parent = parent; }
    QWidget* parent() const { return m_parent; }
    ProgressWindow* progressWindow() const { return m_progress; }

    void warn(const QString& caption, const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    void progressBegin(const QString& caption, int total) override;
    void progressStep(const QString& item, int done) override;
    void progressEnd() override;
    void reportError(const QString& text) override;

private:
    QPointer<QWidget> m_parent;
    // Owned here, but a child of the window, which may go first.
    QPointer<ProgressWindow> m_progress;
};
