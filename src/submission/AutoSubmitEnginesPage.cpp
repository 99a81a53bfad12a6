#include "AutoSubmitEnginesPage.h"

#include "EngineListView.h"
#include "EngineModel.h"
#include "ListFile.h"

#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/EventPacer.h"
#include "settings/ProgramPaths.h"
#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace {

// How often long passes let pending events run.
constexpr int EventIntervalMs = 15;

QCheckBox* makeBox(const QString& objectName, const QString& caption, bool checked, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(objectName);
    box->setChecked(checked);
    return box;
}

TCLEDLabel* makeCounter(const QString& objectName, QWidget* parent)
{
    auto* counter = new TCLEDLabel(6, parent);
    counter->setObjectName(objectName);
    counter->setFixedHeight(22);
    counter->setText(QStringLiteral("0"));
    return counter;
}

// Counts a load or pass in progress for its whole life, errors included.
class DepthGuard
{
public:
    explicit DepthGuard(int& depth) : m_depth(depth) { ++m_depth; }
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& m_depth;
};

} // namespace

AutoSubmitEnginesPage::AutoSubmitEnginesPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("AutoSubmitEnginesPage"));
    m_model = new EngineModel(this);
    m_model->setObjectName(QStringLiteral("EngineModel"));

    AdvListView2 = new EngineListView(this);
    AdvListView2->setObjectName(QStringLiteral("AdvListView2"));
    AdvListView2->setModel(m_model);
    AdvListView2->setCheckArea(14);
    AdvListView2->horizontalHeader()->resizeSection(EngineModel::EnginesColumn, 100);
    AdvListView2->horizontalHeader()->resizeSection(EngineModel::UrlColumn, 100);
    // Rows are addressed by position: this view is never sorted.
    AdvListView2->horizontalHeader()->setSectionsClickable(false);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    DeleteEngine1 = PopupMenu2->addAction(QStringLiteral("Delete Engine"));
    DeleteEngine1->setObjectName(QStringLiteral("DeleteEngine1"));
    connect(DeleteEngine1, &QAction::triggered, this, [this] { runCommand(this, [this] { DeleteEngine1Click(); }); });
    connect(AdvListView2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(AdvListView2->viewport()->mapToGlobal(pos)); });

    connect(m_model, &EngineModel::checkToggled, this, &AutoSubmitEnginesPage::AdvListView2CheckboxClick);
    connect(AdvListView2, &EngineListView::checkAreaClicked, m_model, &EngineModel::toggleByUser);
    connect(AdvListView2, &EngineListView::addressClicked, this,
            [](const QString& address) { Dialogs::openUrl(QUrl(address.trimmed())); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(createPanel());
    layout->addWidget(AdvListView2, 1);
}

AutoSubmitEnginesPage::~AutoSubmitEnginesPage() = default;

QWidget* AutoSubmitEnginesPage::createPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("EnginePanel"));
    panel->setFixedWidth(120);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);

    BitCheckBox4 = makeBox(QStringLiteral("BitCheckBox4"), QStringLiteral("Search Engines"), false, panel);
    BitCheckBox6 = makeBox(QStringLiteral("BitCheckBox6"), QStringLiteral("FFA/Classifieds"), true, panel);
    BitCheckBox7 = makeBox(QStringLiteral("BitCheckBox7"), QStringLiteral("Batch Sites"), true, panel);
    CustomCk = makeBox(QStringLiteral("CustomCk"), QStringLiteral("Custom Engines"), true, panel);
    BitCheckBox5 = makeBox(QStringLiteral("BitCheckBox5"), QStringLiteral("Classifieds"), true, panel);
    CustomCk->hide();
    BitCheckBox5->hide();
    connect(BitCheckBox4, &QCheckBox::clicked, this, &AutoSubmitEnginesPage::BitCheckBox4Click);
    connect(BitCheckBox5, &QCheckBox::clicked, this, &AutoSubmitEnginesPage::BitCheckBox5Click);
    connect(BitCheckBox6, &QCheckBox::clicked, this, &AutoSubmitEnginesPage::BitCheckBox6Click);
    connect(BitCheckBox7, &QCheckBox::clicked, this, &AutoSubmitEnginesPage::BitCheckBox7Click);
    connect(CustomCk, &QCheckBox::clicked, this, &AutoSubmitEnginesPage::CustomCkClick);
    column->addWidget(BitCheckBox4);
    column->addWidget(BitCheckBox6);
    column->addWidget(BitCheckBox7);
    column->addWidget(CustomCk);
    column->addWidget(BitCheckBox5);

    Button6 = new QPushButton(QStringLiteral("Submit"), panel);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button7 = new QPushButton(QStringLiteral("Stop"), panel);
    Button7->setObjectName(QStringLiteral("Button7"));
    column->addSpacing(6);
    column->addWidget(Button6);
    column->addWidget(Button7);
    column->addSpacing(6);

    auto addCounter = [&](TCLEDLabel*& counter, const QString& objectName, const QString& caption) {
        auto* label = new QLabel(caption, panel);
        label->setObjectName(objectName + QStringLiteral("Label"));
        counter = makeCounter(objectName, panel);
        column->addWidget(label);
        column->addWidget(counter);
    };
    addCounter(TotalDis, QStringLiteral("TotalDis"), QStringLiteral("Total"));
    addCounter(CLEDLabel2, QStringLiteral("CLEDLabel2"), QStringLiteral("OK"));
    addCounter(CLEDLabel3, QStringLiteral("CLEDLabel3"), QStringLiteral("Failed"));
    addCounter(CLEDLabel4, QStringLiteral("CLEDLabel4"), QStringLiteral("Time out"));
    column->addStretch(1);
    return panel;
}

QString AutoSubmitEnginesPage::dataFilePath() const
{
    return programPath(m_programDir, QStringLiteral("\\data\\data.ist"));
}

EngineFilter::Boxes AutoSubmitEnginesPage::boxes() const
{
    EngineFilter::Boxes b;
    b.searchEngines = BitCheckBox4->isChecked();
    b.classifieds = BitCheckBox5->isChecked();
    b.ffaClassifieds = BitCheckBox6->isChecked();
    b.batchSites = BitCheckBox7->isChecked();
    b.customEngines = CustomCk->isChecked();
    return b;
}

bool AutoSubmitEnginesPage::LoadEngineDatabase()
{
    if (runBusy()) {
        Dialogs::warning(this, QStringLiteral("Submission Running"),
                         QStringLiteral("The engine database cannot be reloaded while a submission is running or "
                                        "stopping."));
        return false;
    }
    if (m_loadDepth > 0)
        return false;
    DepthGuard loading(m_loadDepth);

    // Step 1; the window goes when this function ends, also by an error.
    auto progress = std::make_unique<ProgressWindow>(QStringLiteral("Please wait while database loads"), this);
    progress->show();
    EventPacer quiet(EventIntervalMs);
    const auto quietTick = [&quiet] { quiet.tick(); };
    // Step 2.
    emit databaseLoading();
    // Step 3: read and sort into a new list first, so a file that cannot be
    // read leaves the database and the view as they were.
    EngineDatabase loaded;
    loaded.load(dataFilePath(), quietTick);
    m_database = std::move(loaded);
    // Step 4.
    m_model->clear();
    const int lineCount = m_database.count();
    progress->setMaximum(lineCount);
    // Step 5: rows are gathered and handed to the model in one batch.
    QVector<EngineRow> rows;
    rows.reserve(lineCount);
    int current = 0;
    EventPacer pacer(EventIntervalMs, [&] {
        if (current < rows.size())
            progress->showItem(rows.at(current).name, current);
        progress->setPosition(current);
    });
    for (current = 0; current < lineCount; ++current) {
        rows.append(EngineRow::fromLine(m_database.line(current)));
        pacer.tick();
    }
    // Step 6.
    m_model->setRows(std::move(rows));
    TotalDis->setValue(m_model->count());
    progress.reset();
    // Step 7.
    ApplyEngineFilter(EngineFilter::Scope::SearchEngines);
    ApplyEngineFilter(EngineFilter::Scope::FfaClassifieds);
    ApplyEngineFilter(EngineFilter::Scope::BatchSites);
    emit databaseLoaded();
    return true;
}

void AutoSubmitEnginesPage::ApplyEngineFilter(EngineFilter::Scope scope)
{
    // A few milliseconds for 100,000 rows: the pass runs whole, with no events in between.
    const long long total = EngineFilter::apply(*m_model, scope, boxes());
    TotalDis->setValue(total);
}

void AutoSubmitEnginesPage::RecountSelection()
{
    const long long total = EngineFilter::recount(*m_model);
    TotalDis->setValue(total);
}

bool AutoSubmitEnginesPage::refuseWhileBusy()
{
    if (runBusy()) {
        Dialogs::warning(this, QStringLiteral("Submission Running"),
                         QStringLiteral("Engines cannot be deleted while a submission is running or stopping."));
        return true;
    }
    if (listBusy()) {
        Dialogs::warning(this, QStringLiteral("Engine List Busy"),
                         QStringLiteral("Engines cannot be deleted while the engine list is being updated."));
        return true;
    }
    return false;
}

void AutoSubmitEnginesPage::DeleteEngine1Click()
{
    if (refuseWhileBusy())
        return;
    const QModelIndexList selected = AdvListView2->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        Dialogs::warning(this, QStringLiteral("No Item"), QStringLiteral("You have not selected an item to Delete"));
        return;
    }
    // The rows are the database lines in order: the selected row's own line
    // goes, even when another line's name differs from it only in case.
    const int row = selected.first().row();
    QStringList lines = m_database.lines();
    lines.removeAt(row);
    // Written first: a file that cannot be written leaves everything as it was.
    SaveListToFile(lines, dataFilePath());
    m_database.removeAt(row);
    m_model->removeEngine(row);
    RecountSelection();
}

void AutoSubmitEnginesPage::BitCheckBox4Click()
{
    runCommand(this, [this] { ApplyEngineFilter(EngineFilter::Scope::SearchEngines); });
}

void AutoSubmitEnginesPage::BitCheckBox5Click()
{
    runCommand(this, [this] { ApplyEngineFilter(EngineFilter::Scope::Classifieds); });
}

void AutoSubmitEnginesPage::BitCheckBox6Click()
{
    runCommand(this, [this] { ApplyEngineFilter(EngineFilter::Scope::FfaClassifieds); });
}

void AutoSubmitEnginesPage::BitCheckBox7Click()
{
    runCommand(this, [this] { ApplyEngineFilter(EngineFilter::Scope::BatchSites); });
}

void AutoSubmitEnginesPage::CustomCkClick()
{
    runCommand(this, [this] { ApplyEngineFilter(EngineFilter::Scope::CustomEngines); });
}

void AutoSubmitEnginesPage::AdvListView2CheckboxClick(int)
{
    runCommand(this, [this] { RecountSelection(); });
}
