#include "ProjectStore.h"

ProjectStore::ProjectStore(ProjectListModel* model, ProjectFields* fields, QObject* parent)
    : ProjectStoreCore(model, fields, nullptr, parent)
{
    setUser(&m_dialogs);
}
