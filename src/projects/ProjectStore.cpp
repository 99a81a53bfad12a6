#include "ProjectStore.h"


#include "ProjectCatalog.h"
#include "ProjectFields.h"
#include "ProjectFile.h"
#include "ProjectIndex.h"
#include "ProjectIndexCache.h"
#include "ProjectListModel.h"
#include "ProjectName.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/ProgressWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <algorithm>
#include <memory>

ProjectStore::ProjectStore(ProjectListModel* model, ProjectFields* fields, QObject* parent)
    : QObject(parent), m_model(model), m_fields(fields), m_index(new ProjectIndexCache(this))
{
    connect(m_index, &ProjectIndexCache::flushDue, this,
            [this] { runCommand(m_dialogParent, [this] { flushIndex(); }); });
}

ProjectStore::~ProjectStore()
{
    // Without the list there is nothing to write from; the Projects whose
    // entries waited are found by their files at the next start.
    if (!m_model)
        return;
    try {
        m_index->flush();
    } catch (const std::exception&) {
        // Nothing to show it in any more; the next start lists the Projects from their files.
    }
}

void ProjectStore::setProgramDir(const QString& programDir)
{
    m_programDir = programDir;
    m_index->setProgramDir(programDir);
}

void ProjectStore::flushIndex()
{
    exclusive([this] { m_index->flush(); });
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
        m_index->flush();
        const QList<QPair<QString, QString>> pairs = m_index->load();
        const QStringList indexed = ProjectIndex::namesFrom(pairs);
        // A hand-edited entry that no save could have made is never used as
        // a file name; it is left out, and the user is told once.
        QStringList unsafe;
        m_model->setNames(ProjectCatalog::safeNames(indexed, &unsafe));
        // Projects saved while the index rewrite waited (the program was
        // ended meanwhile) join the list, and the index is made whole again.
        const QStringList unlisted = ProjectIndex::unlistedFiles(m_programDir, indexed);
        for (const QString& name : unlisted)
            m_model->insertSorted(name);
        if (!unlisted.isEmpty()) {
            try {
                m_index->rewrite(m_model->names());
            } catch (const std::exception&) {
                // Read-only: the list shows them all the same.
            }
        }
        emit countChanged(m_model->count());
        if (!unsafe.isEmpty())
            Dialogs::warning(m_dialogParent, invalidCaption(), unsafeEntriesText(unsafe));
    });
}

QString ProjectStore::unsafeEntriesText(const QStringList& names)
{
    constexpr int Shown = 10;
    QStringList shown;
    for (int i = 0; i < names.size() && i < Shown; ++i) {
        QString name = names.at(i);
        for (QChar& ch : name) {
            if (ch.category() == QChar::Other_Control)
                ch = QLatin1Char('?');
        }
        shown << name;
    }
    if (names.size() > Shown)
        shown << QStringLiteral("... (%1 in all)").arg(names.size());
    return QStringLiteral("The project index holds names that cannot be used as Project names; "
                          "they were left out of the project list:\n\r") +
           shown.join(QLatin1String("\n\r"));
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
    exclusive([this] { deleteBatch(true); });
}

void ProjectStore::deleteAll()
{
    exclusive([this] {
        if (!Dialogs::confirm(m_dialogParent, deleteAllCaption(), deleteAllText()))
            return;
        deleteBatch(false);
    });
}

void ProjectStore::deleteBatch(bool checkedOnly)
{
    // The same outcome as deleting the entries one by one, top to bottom
    // (each one selected, deleted, the next one loaded), with one rewrite
    // of the index. Taking the names in order, each deletion takes the
    // topmost remaining entry that is checked (or any entry, for all).
    const int count = m_model->count();
    QStringList kept;
    QStringList removed;
    int lastRemovedRow = -1; // the last deletion's row, counted in the kept list
    for (int row = 0; row < count; ++row) {
        if (checkedOnly && !m_model->isChecked(row)) {
            kept << m_model->name(row);
            continue;
        }
        removed << m_model->name(row);
        lastRemovedRow = static_cast<int>(kept.size());
    }
    if (removed.isEmpty())
        return;
    ProjectIndex::ensureWritable(m_programDir);
    m_index->flush();

    // Emptying a list of several, the single deletions last left one entry,
    // loaded it and wrote it to the index; then "Count" kept that entry's number.
    const bool loadsLast = kept.isEmpty() && removed.size() > 1;
    const QString indexFile = ProjectIndex::path(m_programDir);
    const QByteArray current = ProjectIndex::readBytes(indexFile);
    const QByteArray bytes = loadsLast ? ProjectIndex::rewritten(ProjectIndex::rewritten(current, {removed.last()}), {})
                                       : ProjectIndex::rewritten(current, kept);
    const ProjectRecord lastLoaded = loadsLast ? ProjectFile::read(m_programDir, removed.last()) : ProjectRecord();
    // The index goes first: a crash in between leaves files without entries,
    // never entries without files.
    if (bytes != current) {
        ProjectIndex::writeBytes(indexFile, bytes);
        m_index->forget();
    }
    m_model->setNames(kept);
    removeFiles(removed);

    const int next = lastRemovedRow == static_cast<int>(kept.size()) ? lastRemovedRow - 1 : lastRemovedRow;
    if (!kept.isEmpty())
        m_model->setSelectedRow(next);
    if (loadsLast) {
        emit loadStarting();
        m_fields->setFieldText(ProjectField::SessionName, removed.last());
        for (ProjectField field : ProjectRecord::loadOrder())
            m_fields->setFieldText(field, lastLoaded.value(field));
    }
    clearFields(ClearScope::Site);
    if (!kept.isEmpty())
        loadSelected();
    emit showEditorRequested();
    emit countChanged(m_model->count());
}

void ProjectStore::removeFiles(const QStringList& names)
{
    // Thousands of files take a while: after a moment a progress window
    // shows how far it is, repainted without taking the user's input.
    constexpr int QuietMs = 300;
    constexpr int RepaintMs = 50;
    QElapsedTimer clock;
    clock.start();
    qint64 shownAt = -RepaintMs;
    std::unique_ptr<ProgressWindow> progress;
    for (int i = 0; i < names.size(); ++i) {
        ProjectFile::remove(m_programDir, names.at(i));
        const qint64 now = clock.elapsed();
        if (now < QuietMs || now - shownAt < RepaintMs)
            continue;
        if (!progress) {
            progress = std::make_unique<ProgressWindow>(QStringLiteral("Please wait while Projects are deleted"),
                                                        m_dialogParent);
            progress->EngineLabel->setText(QStringLiteral("Project: "));
            progress->setMaximum(static_cast<int>(names.size()));
            progress->show();
        }
        progress->showItem(names.at(i), i + 1);
        progress->setPosition(i + 1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        shownAt = clock.elapsed();
    }
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
    const bool spidering = m_spiderUrlOption && m_spiderUrlOption();
    if (!spidering)
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
        if (m_index->holds(name, m_model->count())) {
            if (!Dialogs::confirm(m_dialogParent, modifyCaption(), modifyText()))
                return;
            ProjectFile::write(m_programDir, name, record);
            m_index->rewrite(m_model->names());
            return;
        }
    }

    // A deferred rewrite fails later; the usual causes fail the save now.
    if (spidering)
        ProjectIndex::ensureWritable(m_programDir);
    const int row = m_model->insertSorted(name);
    try {
        ProjectFile::write(m_programDir, name, record);
    } catch (...) {
        // No file, no entry: the list stays as it was before the save.
        m_model->removeAt(row);
        throw;
    }
    // The file is written before the index: a Project whose rewrite is still
    // pending when the program ends is found by its file at the next start.
    if (spidering)
        m_index->rewriteSoon(name, [this] { return m_model->names(); });
    else
        m_index->rewrite(m_model->names());
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

void ProjectStore::deleteSelectedEntry()
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
    m_index->rewrite(m_model->names());
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
              ProjectField::IndexNowKey, ProjectField::IndexNowKeyLocation})
            m_fields->setFieldText(field, QString());
        emit showEditorRequested();
    }
    m_fields->setFieldText(ProjectField::Keywords, QString());
    m_fields->setFieldText(ProjectField::SessionName, QString());
}
