#pragma once

#include "ProjectStoreCore.h"
#include "ProjectStoreDialogs.h"

class QWidget;

// The project store of the window: its questions and refusals are message
// boxes, a long deletion shows the please-wait window.
class ProjectStore : public ProjectStoreCore
{
    Q_OBJECT

public:
    ProjectStore(ProjectListModel* model, ProjectFields* fields, QObject* parent = nullptr);

    // The window the store's message boxes belong to.
    void setDialogParent(QWidget* parent) { m_dialogs.setParent(parent); }
    ProjectStoreDialogs& dialogs() { return m_dialogs; }

private:
    ProjectStoreDialogs m_dialogs;
};
