#pragma once

#include "ProjectListModel.h"
#include "ProjectRecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class ProjectFields;
class ProjectIndexCache;
class QWidget;

// The store operations on the Projects: load the index, save the Project
// being edited, load the selected Project into the editor, delete, clear.
// Errors (IniWriteError) leave the operation where it stands and propagate
// to the command that called it.
class ProjectStore : public QObject
{
    Q_OBJECT

public:
    enum class ClearScope { Site, All };

    ProjectStore(ProjectListModel* model, ProjectFields* fields, QObject* parent = nullptr);
    // Writes an index rewrite that is still pending.
    ~ProjectStore() override;

    void setProgramDir(const QString& programDir);
    QString programDir() const { return m_programDir; }
    // The window the store's message boxes belong to.
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }
    // Whether the Import Wizard's "Spider URL" option is on (a save then
    // leaves the current page alone, and the index is rewritten at most once
    // a second: a crawl saves page after page).
    void setSpiderUrlOption(std::function<bool()> option) { m_spiderUrlOption = std::move(option); }

    ProjectListModel* model() const { return m_model; }
    // True while an operation runs; a command that arrives meanwhile (from
    // the events a keyword count lets run) is run when it ends.
    bool isBusy() const { return m_busy; }
    ProjectFields* fields() const { return m_fields; }

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

private:
    // Runs one operation; one that arrives while another runs (through the
    // events a keyword count lets run) waits until the running one ends, so
    // a load never mixes two Projects and positions stay valid.
    void exclusive(std::function<void()> operation);

    void saveProject();
    void loadSelected();
    void deleteSelectedEntry();
    // Deletes every checked entry, or every entry.
    void deleteBatch(bool checkedOnly);
    void removeFiles(const QStringList& names);
    void clearFields(ClearScope scope);

    // The list is a sibling: it may be destroyed before the store.
    QPointer<ProjectListModel> m_model;
    ProjectFields* m_fields;
    ProjectIndexCache* m_index;
    QString m_programDir;
    QWidget* m_dialogParent = nullptr;
    std::function<bool()> m_spiderUrlOption;
    bool m_busy = false;
    QList<std::function<void()>> m_pending;
};
