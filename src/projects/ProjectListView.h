#pragma once

#include <QListView>

class ProjectStore;
class QAction;
class QMenu;

// The project check list SesList: shows the store's list, keeps its one
// selection in step with the list's model, loads a Project on a click and
// offers the three deletions in its pop-up menu PopupMenu3.
class ProjectListView : public QListView
{
    Q_OBJECT

public:
    explicit ProjectListView(ProjectStore* store, QWidget* parent = nullptr);

    ProjectStore* store() const { return m_store; }
    QMenu* popupMenu() const { return m_popup; }

    QAction* DeleteSelected2 = nullptr;
    QAction* DeleteCheckedOnly2 = nullptr;
    QAction* DeleteAll2 = nullptr;

    // The click rule: select the entry and load it.
    void SesListClick(const QModelIndex& index);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showSelectedRow(int row);
    void takeSelection();

    ProjectStore* m_store;
    QMenu* m_popup;
    bool m_syncing = false;
};
