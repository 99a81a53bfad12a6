#include "ManualEnginesPage.h"

#include "EngineListView.h"
#include "ListFile.h"
#include "ManualEngineModel.h"
#include "ManualList.h"

#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "settings/ProgramPaths.h"
#include "ui/TCLEDLabel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

#include <stdexcept>

ManualEnginesPage::ManualEnginesPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ManualEnginesPage"));
    m_model = new ManualEngineModel(this);
    m_model->setObjectName(QStringLiteral("ManualEngineModel"));

    AdvListView1 = new EngineListView(this);
    AdvListView1->setObjectName(QStringLiteral("AdvListView1"));
    AdvListView1->setModel(m_model);
    QHeaderView* header = AdvListView1->horizontalHeader();
    header->resizeSection(0, 100);
    header->resizeSection(1, 225);
    header->resizeSection(2, 150);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { AdvListView1ColumnClick(column); });
    connect(AdvListView1, &EngineListView::addressClicked, this,
            [](const QString& address) { Dialogs::openUrl(QUrl(address.trimmed())); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    DeleteEngine1 = PopupMenu1->addAction(QStringLiteral("Delete Engine"));
    DeleteEngine1->setObjectName(QStringLiteral("DeleteEngine1"));
    connect(DeleteEngine1, &QAction::triggered, this, [this] { runCommand(this, [this] { DeleteEngine1Click(); }); });
    connect(AdvListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(AdvListView1->viewport()->mapToGlobal(pos)); });

    ManLED = new TCLEDLabel(6, this);
    ManLED->setObjectName(QStringLiteral("ManLED"));
    ManLED->setFixedHeight(22);
    ManLED->setFixedWidth(ManLED->sizeHint().width());
    auto* caption = new QLabel(QStringLiteral("Manual Engine Count"), this);
    caption->setObjectName(QStringLiteral("ManLEDLabel"));

    auto* top = new QHBoxLayout;
    top->addWidget(caption);
    top->addWidget(ManLED);
    top->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(AdvListView1, 1);
}

QString ManualEnginesPage::dataFilePath() const
{
    return programPath(m_programDir, QStringLiteral("/data/datam.ist"));
}

void ManualEnginesPage::LoadManualEngines()
{
    QStringList lines;
    try {
        LoadListFromFile(dataFilePath(), lines);
    } catch (const ListFileError&) {
        throw std::runtime_error("File cannot be opened");
    }
    QChar delimiter = m_model->delimiter();
    const QVector<QStringList> rows = ManualList::parseLines(lines, delimiter);
    m_model->setDelimiter(delimiter);
    m_model->appendRows(rows);
    ManLED->setValue(m_model->count());
}

void ManualEnginesPage::ClearManualEngines()
{
    m_model->clear();
}

void ManualEnginesPage::SaveManualEngines()
{
    SaveListToFile(m_model->toLines(), dataFilePath());
}

void ManualEnginesPage::DeleteEngine1Click()
{
    if (m_runBusy && m_runBusy()) {
        Dialogs::warning(this, QStringLiteral("Submission Running"),
                         QStringLiteral("Engines cannot be deleted while a submission is running or stopping."));
        return;
    }
    const QModelIndexList selected = AdvListView1->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        Dialogs::warning(this, QStringLiteral("No Item"), QStringLiteral("You have not selected an item to Delete"));
        return;
    }
    const int row = selected.first().row();
    QVector<QStringList> rows = m_model->rows();
    rows.removeAt(row);
    // Written first: a file that cannot be written leaves the view as it was.
    const QChar delimiter = m_model->delimiter().isNull() ? QChar(u',') : m_model->delimiter();
    QStringList lines;
    for (const QStringList& fields : rows)
        lines.append(ManualList::joinLine(fields, delimiter));
    SaveListToFile(lines, dataFilePath());
    m_model->removeEngine(row);
    ManLED->setValue(m_model->count());
}

void ManualEnginesPage::AdvListView1ColumnClick(int column)
{
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_sortOrder = Qt::AscendingOrder;
    m_sortColumn = column;
    m_model->sort(column, m_sortOrder);
    AdvListView1->horizontalHeader()->setSortIndicator(column, m_sortOrder);
}
