#include "AutoSubmitEnginesPage.h"

#include "EngineDatabaseLoader.h"
#include "EngineListView.h"
#include "EngineModel.h"
#include "ListFile.h"

#include "settings/ProgramPaths.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long one unit of a load runs before events run again.
constexpr int LoadUnitMs = 8;
// Rows built between looks at the clock.
constexpr int RowsPerSlice = 256;

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

} // namespace

// A load in progress: the database being built, then its rows.
struct AutoSubmitEnginesPage::Load
{
    // In order; each unit works on one stage.
    enum class Stage { Read, Rows, Show, SearchEngines, FfaClassifieds, BatchSites };
    Stage stage = Stage::Read;
    std::unique_ptr<ProgressWindow> progress;
    std::unique_ptr<EngineDatabaseLoader> loader;
    EngineDatabase database;
    QVector<EngineRow> rows;
};

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

    m_loadTimer = new QTimer(this);
    m_loadTimer->setSingleShot(true);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &AutoSubmitEnginesPage::loadUnit);

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
    if (m_load)
        return false;

    auto load = std::make_unique<Load>();
    // Step 1.
    load->progress = std::make_unique<ProgressWindow>(QStringLiteral("Please wait while database loads"), this);
    load->progress->show();
    // Step 2.
    emit databaseLoading();
    // Step 3 opens the file now, so a file that cannot be opened is reported
    // to the caller; the rest runs in units. The lines go into a new
    // database first, so a file that cannot be read leaves the database and
    // the view as they were.
    load->loader = std::make_unique<EngineDatabaseLoader>(dataFilePath());
    m_load = std::move(load);
    m_loadTimer->start();
    return true;
}

void AutoSubmitEnginesPage::whenSettled(QObject* context, std::function<void()> work)
{
    if (!m_load) {
        work();
        return;
    }
    m_whenSettled.emplace_back(context, std::move(work));
}

void AutoSubmitEnginesPage::loadUnit()
{
    if (!m_load)
        return;
    Load& load = *m_load;
    bool more = false;
    const bool ok = runCommand(this, [&] {
        switch (load.stage) {
        case Load::Stage::Read:
            more = readUnit(load);
            break;
        case Load::Stage::Rows:
            more = rowsUnit(load);
            break;
        case Load::Stage::Show:
            // Step 6: the view takes the new database and rows at once.
            m_database = std::move(load.database);
            m_model->setRows(std::move(load.rows));
            TotalDis->setValue(m_model->count());
            load.progress.reset();
            break;
        // Step 7, a whole pass per unit.
        case Load::Stage::SearchEngines:
            ApplyEngineFilter(EngineFilter::Scope::SearchEngines);
            break;
        case Load::Stage::FfaClassifieds:
            ApplyEngineFilter(EngineFilter::Scope::FfaClassifieds);
            break;
        case Load::Stage::BatchSites:
            ApplyEngineFilter(EngineFilter::Scope::BatchSites);
            break;
        }
    });
    if (!ok) {
        // Reported above. Before the view took the new list it keeps what it held.
        endLoad();
        return;
    }
    if (!more)
        load.stage = static_cast<Load::Stage>(static_cast<int>(load.stage) + 1);
    if (load.stage > Load::Stage::BatchSites) {
        finishLoad();
        return;
    }
    m_loadTimer->start();
}

bool AutoSubmitEnginesPage::readUnit(Load& load)
{
    // Step 3.
    QElapsedTimer clock;
    clock.start();
    while (load.loader->step()) {
        if (clock.elapsed() >= LoadUnitMs)
            return true;
    }
    load.database = load.loader->takeDatabase();
    load.loader.reset();
    // Step 4: the rows are gathered apart and handed to the view at the end.
    load.rows.reserve(load.database.count());
    load.progress->setMaximum(load.database.count());
    return false;
}

bool AutoSubmitEnginesPage::rowsUnit(Load& load)
{
    // Step 5.
    QElapsedTimer clock;
    clock.start();
    const int lineCount = load.database.count();
    while (load.rows.size() < lineCount) {
        const int end = qMin(lineCount, static_cast<int>(load.rows.size()) + RowsPerSlice);
        for (int i = static_cast<int>(load.rows.size()); i < end; ++i)
            load.rows.append(EngineRow::fromLine(load.database.line(i)));
        if (clock.elapsed() >= LoadUnitMs)
            break;
    }
    const int current = static_cast<int>(load.rows.size()) - 1;
    if (current >= 0) {
        load.progress->showItem(load.rows.at(current).name, current);
        load.progress->setPosition(current);
    }
    return load.rows.size() < lineCount;
}

void AutoSubmitEnginesPage::finishLoad()
{
    emit databaseLoaded();
    endLoad();
}

void AutoSubmitEnginesPage::endLoad()
{
    m_loadTimer->stop();
    m_load.reset();
    // Work started by a callback (another load) waits for that one.
    auto waiting = std::move(m_whenSettled);
    m_whenSettled.clear();
    for (size_t i = 0; i < waiting.size(); ++i) {
        if (m_load) {
            for (size_t j = i; j < waiting.size(); ++j)
                m_whenSettled.push_back(std::move(waiting[j]));
            return;
        }
        if (waiting[i].first)
            runCommand(this, waiting[i].second);
    }
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
