#pragma once

#include "ProjectStoreUser.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class ProgressWindow;

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
    ProgressWindow* progressWindow() const { return m_progress.get(); }

    void warn(const QString& caption, const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    void progressBegin(const QString& caption, int total) override;
    void progressStep(const QString& item, int done) override;
    void progressEnd() override;
    void reportError(const QString& text) override;

private:
    QPointer<QWidget> m_parent;
    std::unique_ptr<ProgressWindow> m_progress;
};
