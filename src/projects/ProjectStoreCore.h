#pragma once

#include "ProjectListModel.h"
#include "ProjectRecord.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class ProjectFields;
class ProjectIndexCache;
class ProjectStoreUser;

// The store operations on the Projects: load the index, save the Project
// being edited, load the selected Project into the editor, delete, clear.
// Questions, refusals and progress go to a ProjectStoreUser. Errors
// (IniWriteError) leave the operation where it stands and propagate to the
// command that called it.
class ProjectStoreCore : public QObject
{
    Q_OBJECT

public:
    enum class ClearScope { Site, All };

    // `user` may be null only while nothing asks (it must outlive the store's commands).
    ProjectStoreCore(ProjectListModel* model, ProjectFields* fields, ProjectStoreUser* user, QObject* parent = nullptr);
    // Writes an index rewrite that is still pending and removes the files of
    // a deletion that was still going on.
    ~ProjectStoreCore() override;

    void setProgramDir(const QString& programDir);
    QString programDir() const { return m_programDir; }
    void setUser(ProjectStoreUser* user) { m_user = user; }
    // Whether the Import Wizard's "Spider URL" option is on (a save then
    // leaves the current page alone, and the index is rewritten at most once
    // a second: a crawl saves page after page).
    void setSpiderUrlOption(std::function<bool()> option) { m_spiderUrlOption = std::move(option); }

    ProjectListModel* model() const { return m_model; }
    ProjectFields* fields() const { return m_fields; }
    // True while a command runs (its questions wait for the user's answer
    // with events running) or a deletion of many Projects removes their
    // files between other events; commands given meanwhile wait for the end.
    bool isBusy() const { return m_running || m_deletion.active; }
    // Runs `step` now, or when the running deletion has ended. An error it
    // raises then goes to the user's reportError.
    void whenIdle(std::function<void()> step);

    void loadIndex();
    void save();
    // Loads the selected Project; with none selected nothing happens.
    void loadProject();
    // A click on an entry: select it, then load it.
    void selectAndLoad(int row);
    void deleteSelected();
    void deleteChecked();
    void deleteAll();
    void clear(ClearScope scope);
    // Writes a deferred index rewrite now (the end of a crawl).
    void flushIndex();

    // The editor's fields as a record under the given name.
    ProjectRecord currentRecord(const QString& name) const;

    // A deletion removes files for up to `firstMs` before the command
    // returns, then in slices of `laterMs` between other events, with
    // progress shown; `maxFiles` (0: no limit) also ends a slice.
    void setDeletionSlices(int firstMs, int laterMs, int maxFiles = 0);

    // Messages, exactly as the user sees them.
    static QString reservedText() { return QStringLiteral("Sorry that name is being used by this program"); }
    static QString invalidCaption() { return QStringLiteral("Invalid Session Name"); }
    static QString emptyText() { return QStringLiteral("You have no Session_Name to save."); }
    static QString emptyCaption() { return QStringLiteral("No Session Name"); }
    static QString modifyText()
    {
        return QStringLiteral("Session name already exists.\n\rDo you wish to modify it  ?");
    }
    static QString modifyCaption() { return QStringLiteral("Modify Session Name"); }
    static QString noItemText() { return QStringLiteral("You have not selected an item to Delete"); }
    static QString noItemCaption() { return QStringLiteral("No Item"); }
    static QString deleteAllText() { return QStringLiteral("Are you sure you want to delete all projects?"); }
    static QString deleteAllCaption() { return QStringLiteral("Delete all projects"); }
    static QString deletingCaption() { return QStringLiteral("Please wait while Projects are deleted"); }
    // Said once at start-up when the index holds names no save could have made.
    static QString unsafeEntriesText(const QStringList& names);

signals:
    // A load begins: the attention flasher stops and the list turns black.
    void loadStarting();
    // A Project was loaded into the editor (the doorway page follows it).
    void projectLoaded(const QString& name);
    // Show the "Projects" page with its "Project Information" page.
    void showEditorRequested();
    void countChanged(int count);
    // A deletion that went on between events has ended.
    void idle();

private:
    // A command given while the store is busy waits for its end.
    void command(std::function<void()> operation);

    // `typedRecord` holds the editor's fields; `inEditor` when they are still there.
    void saveProject(const ProjectRecord& typedRecord, bool inEditor);
    void loadSelected();
    void deleteSelectedEntry();
    // Deletes every checked entry, or every entry.
    void deleteBatch(bool checkedOnly);
    // Removes files for one slice; true when none is left.
    bool removeSlice(int sliceMs);
    void continueDeletion();
    void finishDeletion();
    void runWaiting();
    void clearFields(ClearScope scope);
    void warn(const QString& caption, const QString& text);
    bool confirm(const QString& caption, const QString& text);

    // The list is a sibling: it may be destroyed before the store.
    QPointer<ProjectListModel> m_model;
    ProjectFields* m_fields;
    ProjectStoreUser* m_user;
    ProjectIndexCache* m_index;
    QString m_programDir;
    std::function<bool()> m_spiderUrlOption;

    struct Deletion
    {
        bool active = false;
        QStringList files;
        int done = 0;
        bool shown = false;
        // What follows the files: the entry to select and the Project to load.
        int nextRow = -1;
        bool loadsLast = false;
        ProjectRecord lastLoaded;
    };
    bool m_running = false;
    Deletion m_deletion;
    int m_firstSliceMs = 300;
    int m_laterSliceMs = 50;
    int m_sliceFiles = 0;
    struct Waiting
    {
        std::function<void()> run;
        bool command; // a store command, or a caller's step that gives commands
    };
    QList<Waiting> m_waiting;
};
