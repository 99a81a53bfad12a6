#include "ProjectStore.h"

#include "ProjectFields.h"
#include "ProjectFile.h"
#include "ProjectIndex.h"
#include "ProjectListModel.h"
#include "ProjectName.h"
#include "ui/Dialogs.h"

ProjectStore::ProjectStore(ProjectListModel* model, ProjectFields* fields, QObject* parent)
    : QObject(parent), m_model(model), m_fields(fields)
{
}

void ProjectStore::exclusive(std::function<void()> operation)
{
    if (m_busy) {
        m_pending.append(std::move(operation));
        return;
    }
    m_busy = true;
    try {
        operation();
    } catch (...) {
        m_busy = false;
        m_pending.clear();
        throw;
    }
    m_busy = false;
    while (!m_pending.isEmpty())
        exclusive(m_pending.takeFirst());
}

void ProjectStore::loadIndex()
{
    exclusive([this] {
        QList<QPair<QString, QString>> pairs;
        try {
            pairs = ProjectIndex::load(m_programDir);
        } catch (const std::exception&) {
            pairs.clear();
        }
        m_model->setNames(ProjectIndex::namesFrom(pairs));
        emit countChanged(m_model->count());
    });
}

void ProjectStore::save()
{
    exclusive([this] { saveProject(); });
}

void ProjectStore::loadProject()
{
    exclusive([this] { loadSelected(); });
}

void ProjectStore::selectAndLoad(int row)
{
    // Held by name: rows may move before a waiting click runs.
    const QString name = m_model->name(row);
    if (row < 0 || row >= m_model->count())
        return;
    exclusive([this, row, name] {
        int target = row;
        if (m_model->name(target) != name)
            target = m_model->indexOfName(name);
        if (target < 0)
            return;
        m_model->setSelectedRow(target);
        loadSelected();
    });
}

void ProjectStore::deleteSelected()
{
    exclusive([this] { deleteSelectedEntry(); });
}

void ProjectStore::deleteChecked()
{
    exclusive([this] { deleteNames(m_model->checkedNames(), true); });
}

void ProjectStore::deleteAll()
{
    exclusive([this] {
        if (!Dialogs::confirm(m_dialogParent, deleteAllCaption(), deleteAllText()))
            return;
        deleteNames(m_model->names(), false);
    });
}

void ProjectStore::deleteNames(const QStringList& names, bool checkedOnly)
{
    bool unsynced = false;
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names.at(i);
        const int row = checkedOnly ? m_model->indexOfCheckedName(name) : m_model->indexOfName(name);
        if (row < 0)
            continue;
        m_model->setSelectedRow(row);
        const bool last = i == names.size() - 1;
        deleteSelectedEntry(last);
        unsynced = !last;
    }
    // The batch's last name was not found: flush what the others wrote.
    if (unsynced)
        ProjectIndex::rewrite(m_programDir, m_model->names());
}

void ProjectStore::clear(ClearScope scope)
{
    exclusive([this, scope] { clearFields(scope); });
}

ProjectRecord ProjectStore::currentRecord(const QString& name) const
{
    ProjectRecord record;
    for (int i = 0; i < ProjectRecord::FieldCount; ++i) {
        const auto field = static_cast<ProjectField>(i);
        record.setValue(field, m_fields->fieldText(field));
    }
    record.setValue(ProjectField::SessionName, name);
    return record;
}

void ProjectStore::saveProject()
{
    if (!(m_spiderUrlOption && m_spiderUrlOption()))
        emit showEditorRequested();

    const QString typed = m_fields->fieldText(ProjectField::SessionName);
    const QString name = ProjectName::normalized(typed);
    switch (ProjectName::check(name)) {
    case ProjectName::Verdict::Reserved:
        Dialogs::warning(m_dialogParent, invalidCaption(), reservedText());
        return;
    case ProjectName::Verdict::Empty:
        Dialogs::warning(m_dialogParent, emptyCaption(), emptyText());
        return;
    case ProjectName::Verdict::Invalid:
        Dialogs::warning(m_dialogParent, invalidCaption(), ProjectName::invalidText());
        return;
    case ProjectName::Verdict::Ok:
        break;
    }
    // The editor shows the name as it is stored.
    if (name != typed)
        m_fields->setFieldText(ProjectField::SessionName, name);
    const ProjectRecord record = currentRecord(name);

    if (!m_model->isEmpty()) {
        const QStringList stored = ProjectIndex::valuesByNumber(ProjectIndex::load(m_programDir), m_model->count());
        if (stored.contains(name)) {
            if (!Dialogs::confirm(m_dialogParent, modifyCaption(), modifyText()))
                return;
            ProjectFile::write(m_programDir, name, record);
            ProjectIndex::rewrite(m_programDir, m_model->names());
            return;
        }
    }

    const int row = m_model->insertSorted(name);
    try {
        ProjectFile::write(m_programDir, name, record);
    } catch (...) {
        // No file, no entry: the list stays as it was before the save.
        m_model->removeAt(row);
        throw;
    }
    ProjectIndex::rewrite(m_programDir, m_model->names());
    emit countChanged(m_model->count());
}

void ProjectStore::loadSelected()
{
    const int row = m_model->selectedRow();
    if (row < 0)
        return;
    emit loadStarting();
    const QString name = m_model->name(row);
    const ProjectRecord record = ProjectFile::read(m_programDir, name);
    m_fields->setFieldText(ProjectField::SessionName, name);
    for (ProjectField field : ProjectRecord::loadOrder())
        m_fields->setFieldText(field, record.value(field));
    emit projectLoaded(name);
}

void ProjectStore::deleteSelectedEntry(bool last)
{
    const int row = m_model->selectedRow();
    if (row < 0) {
        Dialogs::warning(m_dialogParent, noItemCaption(), noItemText());
        return;
    }
    // The index is replaced once, below; find out first whether it can be,
    // so that nothing is deleted when it cannot.
    ProjectIndex::ensureWritable(m_programDir);
    const int next = row == m_model->count() - 1 ? row - 1 : row;
    ProjectFile::remove(m_programDir, m_model->name(row));
    m_model->removeAt(row);
    if (!m_model->isEmpty())
        m_model->setSelectedRow(next);
    ProjectIndex::rewrite(m_programDir, m_model->names(),
                          last ? ProjectIndex::Flush::Synced : ProjectIndex::Flush::Unsynced);
    clearFields(ClearScope::Site);
    if (!m_model->isEmpty())
        loadSelected();
    emit showEditorRequested();
    emit countChanged(m_model->count());
}

void ProjectStore::clearFields(ClearScope scope)
{
    m_fields->setFieldText(ProjectField::Url, QString());
    m_fields->setFieldText(ProjectField::Title, QString());
    m_fields->setFieldText(ProjectField::Description, QString());
    if (scope == ClearScope::All) {
        for (ProjectField field :
             {ProjectField::Email, ProjectField::FirstName, ProjectField::LastName, ProjectField::Company,
              ProjectField::Address1, ProjectField::Address2, ProjectField::City, ProjectField::State,
              ProjectField::Phone, ProjectField::Fax, ProjectField::Zip, ProjectField::Country, ProjectField::Category,
              ProjectField::IndexNowKey})
            m_fields->setFieldText(field, QString());
        emit showEditorRequested();
    }
    m_fields->setFieldText(ProjectField::Keywords, QString());
    m_fields->setFieldText(ProjectField::SessionName, QString());
}
