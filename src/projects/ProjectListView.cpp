#include "ProjectListView.h"

#include "ProjectListModel.h"
#include "ProjectStore.h"
#include "ui/ErrorReport.h"

#include <QContextMenuEvent>
#include <QMenu>

ProjectListView::ProjectListView(ProjectStore* store, QWidget* parent)
    : QListView(parent), m_store(store), m_popup(new QMenu(this))
{
    setObjectName(QStringLiteral("SesList"));
    setModel(store->model());
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);

    m_popup->setObjectName(QStringLiteral("PopupMenu3"));
    auto addItem = [this](const QString& objectName, const QString& caption) {
        QAction* action = m_popup->addAction(caption);
        action->setObjectName(objectName);
        return action;
    };
    DeleteSelected2 = addItem(QStringLiteral("DeleteSelected2"), QStringLiteral("Delete Selected"));
    DeleteCheckedOnly2 = addItem(QStringLiteral("DeleteCheckedOnly2"), QStringLiteral("Delete Checked Only"));
    DeleteAll2 = addItem(QStringLiteral("DeleteAll2"), QStringLiteral("Delete All"));
    connect(DeleteSelected2, &QAction::triggered, this,
            [this] { runCommand(this, [this] { m_store->deleteSelected(); }); });
    connect(DeleteCheckedOnly2, &QAction::triggered, this,
            [this] { runCommand(this, [this] { m_store->deleteChecked(); }); });
    connect(DeleteAll2, &QAction::triggered, this, [this] { runCommand(this, [this] { m_store->deleteAll(); }); });

    connect(this, &QListView::clicked, this, &ProjectListView::SesListClick);
    connect(store->model(), &ProjectListModel::selectedRowChanged, this, &ProjectListView::showSelectedRow);
    connect(store->model(), &QAbstractItemModel::modelReset, this,
            [this] { showSelectedRow(m_store->model()->selectedRow()); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ProjectListView::takeSelection);
}

void ProjectListView::SesListClick(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    runCommand(this, [this, row = index.row()] { m_store->selectAndLoad(row); });
}

void ProjectListView::contextMenuEvent(QContextMenuEvent* event)
{
    m_popup->popup(event->globalPos());
}

void ProjectListView::showSelectedRow(int row)
{
    if (m_syncing)
        return;
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearSelection();
    } else {
        const QModelIndex index = model()->index(row, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    }
    m_syncing = false;
}

void ProjectListView::takeSelection()
{
    if (m_syncing)
        return;
    m_syncing = true;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    m_store->model()->setSelectedRow(selected.isEmpty() ? -1 : selected.first().row());
    m_syncing = false;
}
