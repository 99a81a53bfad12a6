#include "ProjectStoreCore.h"

#include "ProjectCatalog.h"
#include "ProjectFields.h"
#include "ProjectFile.h"
#include "ProjectIndex.h"
#include "ProjectIndexCache.h"
#include "ProjectListModel.h"
#include "ProjectName.h"
#include "ProjectStoreUser.h"

#include <QTimer>

#include <exception>

ProjectStoreCore::ProjectStoreCore(ProjectListModel* model, ProjectFields* fields, ProjectStoreUser* user,
                                   QObject* parent)
    : QObject(parent), m_model(model), m_fields(fields), m_user(user), m_index(new ProjectIndexCache(this))
{
    // The timer's flush is a command of its own: its error has nobody else to go to.
    connect(m_index, &ProjectIndexCache::flushDue, this, [this] {
        try {
            flushIndex();
        } catch (const std::exception& e) {
            if (m_user)
                m_user->reportError(QString::fromUtf8(e.what()));
        }
    });
}

ProjectStoreCore::~ProjectStoreCore()
{
    // Their entries are gone from the index already; left behind, the files
    // would bring the Projects back at the next start.
    for (int i = m_deletion.done; i < m_deletion.files.size(); ++i)
        ProjectFile::remove(m_programDir, m_deletion.files.at(i));
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

void ProjectStoreCore::setProgramDir(const QString& programDir)
{
    m_programDir = programDir;
    m_index->setProgramDir(programDir);
}

void ProjectStoreCore::setDeletionSlices(int firstMs, int laterMs, int maxFiles)
{
    m_firstSliceMs = firstMs;
    m_laterSliceMs = laterMs;
    m_sliceFiles = maxFiles;
}

void ProjectStoreCore::warn(const QString& caption, const QString& text)
{
    if (m_user)
        m_user->warn(caption, text);
}

bool ProjectStoreCore::confirm(const QString& caption, const QString& text)
{
    return m_user && m_user->confirm(caption, text);
}

void ProjectStoreCore::whenIdle(std::function<void()> step)
{
    if (isBusy()) {
        m_waiting.append({std::move(step), false});
        return;
    }
    // The caller's own step: the store commands it gives run at once.
    step();
}

void ProjectStoreCore::command(std::function<void()> operation)
{
    if (isBusy()) {
        m_waiting.append({std::move(operation), true});
        return;
    }
    m_running = true;
    try {
        operation();
    } catch (...) {
        m_running = false;
        // The error goes to this command's caller; what waited still runs.
        if (!m_waiting.isEmpty())
            QTimer::singleShot(0, this, &ProjectStoreCore::runWaiting);
        throw;
    }
    m_running = false;
    runWaiting();
}

void ProjectStoreCore::runWaiting()
{
    // Every command works on the list; without it there is nothing to do.
    if (!m_model) {
        m_waiting.clear();
        return;
    }
    // A waiting command may start another deletion; the rest wait for that one.
    while (!isBusy() && !m_waiting.isEmpty()) {
        const Waiting next = m_waiting.takeFirst();
        m_running = next.command;
        try {
            next.run();
        } catch (const std::exception& e) {
            m_running = false;
            if (m_user)
                m_user->reportError(QString::fromUtf8(e.what()));
        }
        m_running = false;
    }
}

void ProjectStoreCore::flushIndex()
{
    command([this] { m_index->flush(); });
}

void ProjectStoreCore::loadIndex()
{
    command([this] {
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
        } else if (m_model->names() == indexed) {
            // The file lists the list as it is: a save then encodes its own entry only.
            m_index->adopt(indexed);
        }
        emit countChanged(m_model->count());
        if (!unsafe.isEmpty())
            warn(invalidCaption(), unsafeEntriesText(unsafe));
    });
}

QString ProjectStoreCore::unsafeEntriesText(const QStringList& names)
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

void ProjectStoreCore::save()
{
    if (!isBusy()) {
        command([this] { saveProject(currentRecord(m_fields->fieldText(ProjectField::SessionName)), true); });
        return;
    }
    // The fields as they are now: the end of a deletion loads another
    // Project into the editor before this save runs.
    whenIdle(
        [this, typed = currentRecord(m_fields->fieldText(ProjectField::SessionName))] { saveProject(typed, false); });
}

void ProjectStoreCore::loadProject()
{
    command([this] { loadSelected(); });
}

void ProjectStoreCore::selectAndLoad(int row)
{
    if (row < 0 || row >= m_model->count())
        return;
    // Held by name: a click that waits for a deletion may find the rows moved.
    const QString name = m_model->name(row);
    command([this, row, name] {
        int target = row;
        if (m_model->name(target) != name)
            target = m_model->indexOfName(name);
        if (target < 0)
            return;
        m_model->setSelectedRow(target);
        loadSelected();
    });
}

void ProjectStoreCore::deleteSelected()
{
    command([this] { deleteSelectedEntry(); });
}

void ProjectStoreCore::deleteChecked()
{
    command([this] { deleteBatch(true); });
}

void ProjectStoreCore::deleteAll()
{
    command([this] {
        if (!confirm(deleteAllCaption(), deleteAllText()))
            return;
        deleteBatch(false);
    });
}

void ProjectStoreCore::deleteBatch(bool checkedOnly)
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
    // The index goes first: a crash in between leaves files without entries,
    // never entries without files.
    if (bytes != current) {
        ProjectIndex::writeBytes(indexFile, bytes);
        m_index->forget();
    }
    m_deletion = Deletion();
    m_deletion.active = true;
    m_deletion.loadsLast = loadsLast;
    m_deletion.lastLoaded = loadsLast ? ProjectFile::read(m_programDir, removed.last()) : ProjectRecord();
    m_deletion.nextRow = lastRemovedRow == static_cast<int>(kept.size()) ? lastRemovedRow - 1 : lastRemovedRow;
    m_deletion.files = removed;
    m_model->setNames(kept);

    // Thousands of files take a while: the first ones go now, the rest in
    // slices between events, while the user sees how far it is.
    if (removeSlice(m_firstSliceMs)) {
        finishDeletion();
        return;
    }
    m_deletion.shown = m_user != nullptr;
    if (m_user) {
        m_user->progressBegin(deletingCaption(), static_cast<int>(m_deletion.files.size()));
        m_user->progressStep(m_deletion.files.at(m_deletion.done - 1), m_deletion.done);
    }
    QTimer::singleShot(0, this, &ProjectStoreCore::continueDeletion);
}

bool ProjectStoreCore::removeSlice(int sliceMs)
{
    QElapsedTimer clock;
    clock.start();
    int inSlice = 0;
    const int total = static_cast<int>(m_deletion.files.size());
    while (m_deletion.done < total) {
        ProjectFile::remove(m_programDir, m_deletion.files.at(m_deletion.done));
        ++m_deletion.done;
        ++inSlice;
        if ((m_sliceFiles > 0 && inSlice >= m_sliceFiles) || clock.elapsed() >= sliceMs)
            break;
    }
    return m_deletion.done >= total;
}

void ProjectStoreCore::continueDeletion()
{
    if (!m_deletion.active)
        return;
    const bool done = removeSlice(m_laterSliceMs);
    if (m_deletion.shown)
        m_user->progressStep(m_deletion.files.at(m_deletion.done - 1), m_deletion.done);
    if (!done) {
        QTimer::singleShot(0, this, &ProjectStoreCore::continueDeletion);
        return;
    }
    try {
        finishDeletion();
    } catch (const std::exception& e) {
        if (m_user)
            m_user->reportError(QString::fromUtf8(e.what()));
    }
    emit idle();
    runWaiting();
}

void ProjectStoreCore::finishDeletion()
{
    const Deletion deletion = m_deletion;
    m_deletion = Deletion();
    if (deletion.shown && m_user)
        m_user->progressEnd();
    if (!m_model)
        return;
    const bool kept = !m_model->isEmpty();
    if (kept)
        m_model->setSelectedRow(deletion.nextRow);
    if (deletion.loadsLast) {
        emit loadStarting();
        m_fields->setFieldText(ProjectField::SessionName, deletion.files.last());
        for (ProjectField field : ProjectRecord::loadOrder())
            m_fields->setFieldText(field, deletion.lastLoaded.value(field));
    }
    clearFields(ClearScope::Site);
    if (kept)
        loadSelected();
    emit showEditorRequested();
    emit countChanged(m_model->count());
}

void ProjectStoreCore::clear(ClearScope scope)
{
    command([this, scope] { clearFields(scope); });
}

ProjectRecord ProjectStoreCore::currentRecord(const QString& name) const
{
    ProjectRecord record;
    for (int i = 0; i < ProjectRecord::FieldCount; ++i) {
        const auto field = static_cast<ProjectField>(i);
        record.setValue(field, m_fields->fieldText(field));
    }
    record.setValue(ProjectField::SessionName, name);
    return record;
}
void ProjectStoreCore::saveProject(const ProjectRecord& typedRecord, bool inEditor)
{
    const bool spidering = m_spiderUrlOption && m_spiderUrlOption();
    if (!spidering)
        emit showEditorRequested();

    const QString typed = typedRecord.value(ProjectField::SessionName);
    const QString name = ProjectName::normalized(typed);
    switch (ProjectName::check(name)) {
    case ProjectName::Verdict::Reserved:
        warn(invalidCaption(), reservedText());
        return;
    case ProjectName::Verdict::Empty:
        warn(emptyCaption(), emptyText());
        return;
    case ProjectName::Verdict::Invalid:
        warn(invalidCaption(), ProjectName::invalidText());
        return;
    case ProjectName::Verdict::Ok:
        break;
    }
    // The editor shows the name as it is stored.
    if (name != typed && inEditor)
        m_fields->setFieldText(ProjectField::SessionName, name);
    ProjectRecord record = typedRecord;
    record.setValue(ProjectField::SessionName, name);

    if (!m_model->isEmpty()) {
        if (m_index->holds(name, m_model->count())) {
            if (!confirm(modifyCaption(), modifyText()))
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
        m_index->rewriteInserted(name, row, m_model->count(), [this] { return m_model->names(); });
    emit countChanged(m_model->count());
}

void ProjectStoreCore::loadSelected()
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

void ProjectStoreCore::deleteSelectedEntry()
{
    const int row = m_model->selectedRow();
    if (row < 0) {
        warn(noItemCaption(), noItemText());
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

void ProjectStoreCore::clearFields(ClearScope scope)
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
