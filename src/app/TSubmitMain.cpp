#include "TSubmitMain.h"

#include "AttentionFlasher.h"
#include "audit/SiteAuditWindow.h"
#include "maintenance/TProxyset.h"
#include "maintenance/TUpdateBox.h"
#include "net/ProxyValues.h"
#include "net/THttpCli.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectListView.h"
#include "projects/ProjectStore.h"
#include "ranking/RankHistoryWindow.h"
#include "ranking/TRankingPage.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsKeys.h"
#include "settings/UserFile.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineFilter.h"
#include "submission/IndexNowKeyCheck.h"
#include "submission/EngineModel.h"
#include "submission/LiveSubmitter.h"
#include "submission/ManualEnginesPage.h"
#include "submission/SubmissionRun.h"
#include "submission/TLiveResult.h"
#include "submission/TReportsPage.h"
#include "tools/DoorwayPage.h"
#include "tools/ImportWizardPage.h"
#include "tools/MetaTagsPage.h"
#include "tools/TSpider.h"
#include "indexnow/IndexNowWindow.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "settings/ProgramPaths.h"
#include "ui/Skin.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace SK = SettingsKeys;

namespace {

QWidget* makePage(const QString& objectName)
{
    auto* page = new QWidget;
    page->setObjectName(objectName);
    return page;
}

QTabWidget* makePageControl(const QString& objectName, QWidget* parent)
{
    auto* control = new QTabWidget(parent);
    control->setObjectName(objectName);
    return control;
}

// A picture label that stretches its pixmap over the whole page.
class AboutPicture : public QLabel
{
public:
    explicit AboutPicture(QWidget* parent) : QLabel(parent)
    {
        setScaledContents(true);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }
};

} // namespace

TSubmitMain::TSubmitMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("SubmitMain"));
    setWindowTitle(QStringLiteral("Vantor Pro v4"));
    resize(649, 379);

    m_flasher = new AttentionFlasher(this);
    createMenus();
    createPages();
    runStartup();
    createSiteToolPages();
    createSecondaryWindows();
}

TSubmitMain::~TSubmitMain() = default;

QString TSubmitMain::path(const QString& relative) const
{
    return programPath(m_programDir, relative);
}

SiteAuditWindow* TSubmitMain::siteAudit() const
{
    return m_siteAudit.data();
}

void TSubmitMain::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    auto addMenu = [bar](const QString& objectName, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(objectName);
        return menu;
    };
    auto addItem = [this](QMenu* menu, const QString& objectName, const QString& caption, auto&& handler) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(objectName);
        connect(action, &QAction::triggered, this, [this, handler] { runCommand(this, handler); });
        return action;
    };
    // Opening a top-level menu that has an action runs it before the items drop down.
    auto onOpen = [this](QMenu* menu, auto&& handler) {
        connect(menu, &QMenu::aboutToShow, this, [this, handler] { runCommand(this, handler); });
    };

    QMenu* projects = addMenu(QStringLiteral("Projects1"), QStringLiteral("Projects"));
    addItem(projects, QStringLiteral("ProjectInformation1"), QStringLiteral("Project Information"),
            [this] { showPage(Page::Projects, InnerPage::ProjectInformation); });
    addItem(projects, QStringLiteral("ImportWizard1"), QStringLiteral("Import Wizard"),
            [this] { showPage(Page::Projects, InnerPage::ImportWizard); });
    addItem(projects, QStringLiteral("SiteAudit1"), QStringLiteral("Site Audit"), [this] {
        // One window; opening it again brings it forward with the current Project's address.
        if (!m_siteAudit) {
            m_siteAudit = new SiteAuditWindow(m_programDir, this);
            m_siteAudit->setAttribute(Qt::WA_DeleteOnClose);
        }
        if (!m_siteAudit->isCrawling())
            m_siteAudit->setStartAddress(ProjectEditor->urllist->text());
        m_siteAudit->show();
        m_siteAudit->raise();
        m_siteAudit->activateWindow();
    });
    addItem(projects, QStringLiteral("NewProject1"), QStringLiteral("New Project"),
            [this] { m_projectStore->clear(ProjectStore::ClearScope::All); });
    addItem(projects, QStringLiteral("SaveProject1"), QStringLiteral("Save Project"),
            [this] { m_projectStore->save(); });
    addItem(projects, QStringLiteral("DeleteSelectedProject1"), QStringLiteral("Delete Selected Project"),
            [this] { m_projectStore->deleteSelected(); });
    addItem(projects, QStringLiteral("DeleteCheckedProjectOnly1"), QStringLiteral("Delete Checked Project Only"),
            [this] { m_projectStore->deleteChecked(); });
    addItem(projects, QStringLiteral("DeleteAllProjects1"), QStringLiteral("Delete All Projects"),
            [this] { m_projectStore->deleteAll(); });

    QMenu* submit = addMenu(QStringLiteral("Submit1"), QStringLiteral("Submit"));
    onOpen(submit, [this] { showPage(Page::Submit, InnerPage::AutoSubmitEngines); });
    addItem(submit, QStringLiteral("AutoSubmitEngines1"), QStringLiteral("Auto Submit Engines"),
            [this] { showPage(Page::Submit, InnerPage::AutoSubmitEngines); });
    addItem(submit, QStringLiteral("ManualEngines1"), QStringLiteral("Manual Engines"),
            [this] { showPage(Page::Submit, InnerPage::ManualEngines); });
    addItem(submit, QStringLiteral("IndexNow1"), QStringLiteral("IndexNow"), [this] {
        // Made on first use, so a start that never opens it touches no history store.
        if (!IndexNow) {
            IndexNow = new IndexNowWindow(m_programDir, this);
            IndexNow->setSettings(m_settings);
            applySkin(IndexNow, m_programDir);
        }
        IndexNow->setProject(ProjectEditor->Session_Name->text().trimmed());
        IndexNow->reload();
        IndexNow->show();
        IndexNow->raise();
    });

    QMenu* ranking = addMenu(QStringLiteral("Ranking1"), QStringLiteral("Ranking"));
    onOpen(ranking, [this] { showPage(Page::Ranking); });
    addItem(ranking, QStringLiteral("ResetList1"), QStringLiteral("Reset List"), [this] {
        showPage(Page::Ranking);
        RankingPage->Label15Click();
    });
    addItem(ranking, QStringLiteral("RankHistory1"), QStringLiteral("Rank History"),
            [this] { showRankHistory(RankingPage->ComboBox1->currentText(), RankingPage->RankUrl->text()); });

    QMenu* metaTags = addMenu(QStringLiteral("MetaTags1"), QStringLiteral("MetaTags"));
    onOpen(metaTags, [this] { showPage(Page::MetaTags); });
    addItem(metaTags, QStringLiteral("GenerateTags1"), QStringLiteral("Generate Tags"),
            [this] { MetaTags->Button10Click(); });
    addItem(metaTags, QStringLiteral("ApplyTags1"), QStringLiteral("Apply Tags"), [this] { MetaTags->Button12Click(); });

    QMenu* reports = addMenu(QStringLiteral("Reports1"), QStringLiteral("Reports"));
    onOpen(reports, [this] { showPage(Page::Reports); });
    addItem(reports, QStringLiteral("PreviewReport1"), QStringLiteral("Preview"),
            [this] { ReportsPage->writePreview(); });
    addItem(reports, QStringLiteral("Apply1"), QStringLiteral("Apply"), [this] { ReportsPage->Button14Click(); });

    QMenu* doorways = addMenu(QStringLiteral("DoorwayPages1"), QStringLiteral("Doorway Pages"));
    onOpen(doorways, [this] { showPage(Page::DoorwayPages); });
    addItem(doorways, QStringLiteral("Save1"), QStringLiteral("Save As"), [this] { Doorways->Save1Click(); });

    QMenu* options = addMenu(QStringLiteral("Options1"), QStringLiteral("Options"));
    addItem(options, QStringLiteral("Proxy1"), QStringLiteral("Proxy Settings"), [this] { Proxy1Click(); });
    addItem(options, QStringLiteral("UpdateDatabase1"), QStringLiteral("Database Update"),
            [this] { UpdateDatabase1Click(); });
    addItem(options, QStringLiteral("SubmitOptions1"), QStringLiteral("Timeouts/Ports"),
            [this] { SubmitOptions1Click(); });

    QMenu* help = addMenu(QStringLiteral("Help1"), QStringLiteral("Help"));
    addItem(help, QStringLiteral("OnlineManual1"), QStringLiteral("Online Manual"), [this] { OnlineManual1Click(); });
}

void TSubmitMain::createPages()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);

    PageControl1 = makePageControl(QStringLiteral("PageControl1"), central);
    TabSheet1 = makePage(QStringLiteral("TabSheet1"));
    TabSheet4 = makePage(QStringLiteral("TabSheet4"));
    TabSheet7 = makePage(QStringLiteral("TabSheet7"));
    createRanking();
    TabSheet8 = makePage(QStringLiteral("TabSheet8"));
    ReportsPage = new TReportsPage(TabSheet8);
    (new QVBoxLayout(TabSheet8))->addWidget(ReportsPage);
    connect(ReportsPage, &TReportsPage::showRequested, this, [this] { showPage(Page::Reports); });
    TabSheet9 = makePage(QStringLiteral("TabSheet9"));
    TabSheet10 = makePage(QStringLiteral("TabSheet10"));
    TabSheet11 = createAboutPage();
    PageControl1->addTab(TabSheet1, QStringLiteral("Projects"));
    PageControl1->addTab(TabSheet4, QStringLiteral("Submit"));
    PageControl1->addTab(TabSheet7, QStringLiteral("Ranking"));
    PageControl1->addTab(TabSheet8, QStringLiteral("Reports"));
    PageControl1->addTab(TabSheet9, QStringLiteral("Meta Tags"));
    PageControl1->addTab(TabSheet10, QStringLiteral("Doorway Pages"));
    PageControl1->addTab(TabSheet11, QStringLiteral("About"));

    PageControl3 = makePageControl(QStringLiteral("PageControl3"), TabSheet1);
    TabSheet5 = makePage(QStringLiteral("TabSheet5"));
    TabSheet6 = makePage(QStringLiteral("TabSheet6"));
    PageControl3->addTab(TabSheet5, QStringLiteral("Project Information"));
    PageControl3->addTab(TabSheet6, QStringLiteral("Import Wizard"));
    (new QVBoxLayout(TabSheet1))->addWidget(PageControl3);

    PageControl2 = makePageControl(QStringLiteral("PageControl2"), TabSheet4);
    TabSheet2 = makePage(QStringLiteral("TabSheet2"));
    TabSheet3 = makePage(QStringLiteral("TabSheet3"));
    PageControl2->addTab(TabSheet2, QStringLiteral("Auto Submit Engines"));
    PageControl2->addTab(TabSheet3, QStringLiteral("Manual Engines"));
    (new QVBoxLayout(TabSheet4))->addWidget(PageControl2);
    EnginesPage = new AutoSubmitEnginesPage(TabSheet2);
    (new QVBoxLayout(TabSheet2))->addWidget(EnginesPage);
    ManualPage = new ManualEnginesPage(TabSheet3);
    (new QVBoxLayout(TabSheet3))->addWidget(ManualPage);

    // Only the user's click on a tab runs the page-change rule.
    connect(PageControl1->tabBar(), &QTabBar::tabBarClicked, this, &TSubmitMain::PageControl1TabClicked);

    // The right-hand column: project count above the project check list.
    auto* column = new QWidget(central);
    column->setObjectName(QStringLiteral("ProjectColumn"));
    column->setFixedWidth(132);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(2);
    CLEDLabel1 = new TCLEDLabel(10, column);
    CLEDLabel1->setObjectName(QStringLiteral("CLEDLabel1"));
    CLEDLabel1->setFixedHeight(22);
    createProjects(column);
    createImportWizard();
    QPalette listPalette = SesList->palette();
    listPalette.setColor(QPalette::Base, QColor(0xE9, 0xEA, 0xE9));
    listPalette.setColor(QPalette::Text, Qt::black);
    SesList->setPalette(listPalette);
    columnLayout->addWidget(CLEDLabel1);
    columnLayout->addWidget(SesList, 1);
    m_flasher->setTarget(AttentionFlasher::ProjectList, SesList);

    row->addWidget(PageControl1, 1);
    row->addWidget(column);
    setCentralWidget(central);

    PageControl3->setCurrentWidget(TabSheet5);
    PageControl1->setCurrentWidget(TabSheet11);
}

QWidget* TSubmitMain::createAboutPage()
{
    QWidget* page = makePage(QStringLiteral("TabSheet11"));
    auto* picture = new AboutPicture(page);
    picture->setObjectName(QStringLiteral("Image1"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(picture);
    return page;
}

void TSubmitMain::runStartup()
{
    // Step 1: the program directory is the working directory at start.
    m_programDir = QDir::currentPath();
    m_settings = new ProgramSettings(m_programDir, this);
    ReportsPage->setSettings(m_settings);
    // Step 2: "About" in front, "Project Information" inside "Projects".
    PageControl1->setCurrentWidget(TabSheet11);
    PageControl3->setCurrentWidget(TabSheet5);
    // Step 3: the skin.
    runCommand(this, [this] {
        if (applySkin(this, m_programDir) == SkinResult::TooLarge)
            Dialogs::warning(this, QStringLiteral("Skin Not Loaded"),
                             QStringLiteral("The skin file %1 is larger than 1 MB and was not loaded.\n\r"
                                            "The windows keep their default look.")
                                 .arg(path(QStringLiteral("\\skin.skn"))));
    });
    if (auto* picture = TabSheet11->findChild<QLabel*>(QStringLiteral("Image1"))) {
        // Read as any user file: a regular file only, of a picture's size.
        const UserFile::Content about = UserFile::read(path(QStringLiteral("\\about.jpg")), 16 * 1024 * 1024);
        QPixmap pixmap;
        if (about.status == UserFile::Status::Ok)
            pixmap.loadFromData(about.bytes);
        picture->setPixmap(pixmap);
    }
    // Step 4: application title and home address.
    runCommand(this, [this] { readApplicationSettings(); });
    // Step 5: the auto-submit engine database; a file that cannot be read is
    // reported and the start-up goes on with an empty view.
    EnginesPage->setProgramDir(m_programDir);
    ManualPage->setProgramDir(m_programDir);
    runCommand(this, [this] { EnginesPage->LoadEngineDatabase(); });
    // Step 6: the saved-report list.
    runCommand(this, [this] { ReportsPage->setProgramDir(m_programDir, m_homeAddress); });
    // Step 7: report options and run settings.
    runCommand(this, [this] { readRunSettings(); });
    // Step 8: the engine marks by type, on the rows step 5 fills.
    EnginesPage->whenSettled(
        this, [this] { runCommand(this, [this] { EnginesPage->ApplyEngineFilter(EngineFilter::Scope::All); }); });
    // Step 9: the manual engines and their count.
    runCommand(this, [this] { ManualPage->LoadManualEngines(); });
    // Step 10: the project list from the project index.
    m_projectStore->setProgramDir(m_programDir);
    runCommand(this, [this] { m_projectStore->loadIndex(); });
    // Step 11: the rank-check list.
    RankingPage->setProgramDir(m_programDir);
    RankingPage->setTimeoutSource([this] { return m_timeout; });
    runCommand(this, [this] { RankingPage->loadRankList(); });
}

void TSubmitMain::readApplicationSettings()
{
    using Key = ProgramSettings::Key;
    const QString app = m_settings->text(Key::App);
    const QString version = m_settings->text(Key::Version);
    m_homeAddress = m_settings->text(Key::Home);
    m_versionMarker = m_settings->text(Key::Ver);
    m_appTitle = app + QStringLiteral(" v") + version;
    QGuiApplication::setApplicationDisplayName(m_appTitle);
    setWindowTitle(m_appTitle);
    if (m_settings->tooLarge())
        Dialogs::warning(this, QStringLiteral("Settings Not Read"),
                         QStringLiteral("The settings file %1 is larger than 1 MB and was not read.\n\r"
                                        "The default settings apply.")
                             .arg(m_settings->path()));
}

void TSubmitMain::readRunSettings()
{
    // A second reading of the file, as the start-up reads it.
    using Key = ProgramSettings::Key;
    m_settings->reload();
    ReportsPage->readSettings(*m_settings);
    m_ports = m_settings->integer(Key::Ports);
    m_timeout = m_settings->integer(Key::Timeout);
}

void TSubmitMain::createSecondaryWindows()
{
    Spider = new TSpider(this);
    ImportWizard->setSpider(Spider);
    m_flasher->setTarget(AttentionFlasher::SpiderButton, Spider->Button1);
    LiveResult = new TLiveResult(m_programDir, m_timeout, m_ports, this);
    LiveResult->setSettings(m_settings);
    connect(LiveResult, &TLiveResult::optionsApplied, this, [this](int timeout, int ports) {
        m_timeout = timeout;
        m_ports = ports;
        applyIdleTimeout();
    });
    createRun();
    Proxyset = new TProxyset(this);
    UpdateBox = new TUpdateBox(this);
    wireMaintenance();
    applyIdleTimeout();
    for (QWidget* window : {static_cast<QWidget*>(Spider), static_cast<QWidget*>(LiveResult),
                            static_cast<QWidget*>(Proxyset), static_cast<QWidget*>(UpdateBox)})
        runCommand(this, [this, window] { applySkin(window, m_programDir); });
}

// The clients that read whole answers give up on a peer that sends nothing for Timeout seconds.
void TSubmitMain::applyIdleTimeout()
{
    for (THttpCli* client : {ImportWizard->HttpMap, RankingPage->HttpRank, UpdateBox->HttpCli2})
        client->setIdleTimeout(m_timeout);
}

void TSubmitMain::wireMaintenance()
{
    Proxyset->setProgramDir(m_programDir);
    Proxyset->setSettings(m_settings);
    // The proxy reaches every client but the updater's.
    connect(Proxyset, &TProxyset::proxyApplied, this,
            [this](const ProxyValues& proxy) {
                m_liveSubmitter->setProxy(proxy);
                applyProxy(*ImportWizard->HttpMap, proxy);
                applyProxy(*RankingPage->HttpRank, proxy);
                m_keyCheck->setProxy(proxy);
            });

    UpdateBox->setProgramDir(m_programDir);
    UpdateBox->setSettings(m_settings);
    UpdateBox->setEngineCount([this] { return EnginesPage->database().count(); });
    connect(UpdateBox, &TUpdateBox::loginStored, this, [this](const QString& user, const QString& password) {
        m_updateUser = user;
        m_updatePassword = password;
    });
    // A load still running (the start-up's) would refuse the reload: it waits for that one.
    connect(UpdateBox, &TUpdateBox::engineDatabaseChanged, this, [this] {
        EnginesPage->whenSettled(this, [this] { runCommand(this, [this] { EnginesPage->LoadEngineDatabase(); }); });
    });
    connect(UpdateBox, &TUpdateBox::manualEnginesChanged, this, [this] {
        runCommand(this, [this] {
            ManualPage->ClearManualEngines();
            ManualPage->LoadManualEngines();
        });
    });
    // After the reload the engines step asked for, when one runs.
    connect(UpdateBox, &TUpdateBox::engineFilterRequested, this, [this] {
        EnginesPage->whenSettled(
            this, [this] { runCommand(this, [this] { EnginesPage->ApplyEngineFilter(EngineFilter::Scope::Other); }); });
    });
    connect(UpdateBox, &TUpdateBox::rankListChanged, RankingPage, &TRankingPage::loadRankList);
}

void TSubmitMain::createRun()
{
    // The live requests belong to the Submit Options window.
    m_liveSubmitter = new LiveSubmitter(EnginesPage->model(), LiveResult);
    Run = new SubmissionRun(EnginesPage, m_projectList, m_liveSubmitter, ReportsPage, this);
    Run->setProgramDir(m_programDir);
    Run->setRunSettings([this] { return m_ports; }, [this] { return m_timeout; });
    Run->setDialogParent(this);
    EnginesPage->setRunBusyQuery([this] { return Run->busy(); });
    ReportsPage->setContentSource([this] { return Run->reportContent(); });
    m_flasher->setTarget(AttentionFlasher::SubmitButton, EnginesPage->Button6);

    connect(EnginesPage->Button6, &QPushButton::clicked, this,
            [this] { runCommand(this, [this] { Run->Button6Click(); }); });
    connect(EnginesPage->Button7, &QPushButton::clicked, this,
            [this] { runCommand(this, [this] { Run->Button7Click(); }); });
    connect(Run, &SubmissionRun::flashRequested, m_flasher, &AttentionFlasher::start);
    connect(Run, &SubmissionRun::flashStopRequested, this, [this] {
        m_flasher->stop();
        m_flasher->restore(AttentionFlasher::SubmitButton);
    });
    connect(Run, &SubmissionRun::showEditorRequested, this,
            [this] { showPage(Page::Projects, InnerPage::ProjectInformation); });
}

void TSubmitMain::createRanking()
{
    RankingPage = new TRankingPage(TabSheet7);
    auto* layout = new QVBoxLayout(TabSheet7);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RankingPage);
    // A control stopped mid-blink would keep its flashed look.
    connect(RankingPage, &TRankingPage::flashStopRequested, this, [this] {
        const int mode = m_flasher->mode();
        m_flasher->stop();
        m_flasher->restore(mode);
    });
    connect(RankingPage, &TRankingPage::historyRequested, this, &TSubmitMain::showRankHistory);
    connect(RankingPage, &TRankingPage::rankStored, this, [this] {
        if (RankHistoryView && RankHistoryView->isVisible())
            RankHistoryView->reload();
    });
}

void TSubmitMain::showRankHistory(const QString& keyword, const QString& url)
{
    if (!RankHistoryView)
        RankHistoryView = new RankHistoryWindow(m_programDir, this);
    RankHistoryView->showFor(keyword, url);
}

void TSubmitMain::createSiteToolPages()
{
    MetaTags = new MetaTagsPage(TabSheet9);
    MetaTags->setProgramDir(m_programDir);
    MetaTags->setAppTitle(m_appTitle);
    (new QVBoxLayout(TabSheet9))->addWidget(MetaTags);
    connect(MetaTags, &MetaTagsPage::showRequested, this, [this] { showPage(Page::MetaTags); });
    // The editor's change rules fill the page; the copies run one way.
    connect(ProjectEditor, &ProjectEditorPage::titleChanged, MetaTags->TitleMet, &QLineEdit::setText);
    connect(ProjectEditor, &ProjectEditorPage::descriptionChanged, MetaTags->DescriptionMet, &QLineEdit::setText);
    connect(ProjectEditor, &ProjectEditorPage::keywordsChanged, MetaTags->Key1Met, &QLineEdit::setText);
    connect(ProjectEditor, &ProjectEditorPage::authorChanged, MetaTags->Author, &QLineEdit::setText);
    connect(ProjectEditor, &ProjectEditorPage::companyChanged, MetaTags->CopyRight, &QLineEdit::setText);
    connect(ProjectEditor, &ProjectEditorPage::urlChanged, MetaTags, &MetaTagsPage::setProjectUrl);

    Doorways = new DoorwayPage(TabSheet10);
    Doorways->setProgramDir(m_programDir);
    Doorways->setAppTitle(m_appTitle);
    (new QVBoxLayout(TabSheet10))->addWidget(Doorways);
    Doorways->setInputSource([this] {
        DoorwayInput input;
        input.title = ProjectEditor->title->text();
        input.description = ProjectEditor->Description->text();
        input.keywords = ProjectEditor->Key1->text();
        input.url = ProjectEditor->urllist->text();
        return input;
    });
    Doorways->setSelectedProjectSource([this] { return m_projectList->selectedName(); });
    connect(Doorways, &DoorwayPage::showRequested, this, [this] { showPage(Page::DoorwayPages); });
    connect(Doorways, &DoorwayPage::keywordItemsChanged, this, [this](const QStringList& items, const QString& text) {
        // The Ranking page's keyword drop-down. Items first: adding to an
        // empty drop-down would replace its text.
        QComboBox* keywords = RankingPage->ComboBox1;
        keywords->clear();
        keywords->clearEditText();
        keywords->addItems(items);
        keywords->setEditText(text);
    });
    // Every load of a Project into the editor regenerates the doorway page.
    connect(m_projectStore, &ProjectStore::projectLoaded, this,
            [this] { runCommand(this, [this] { Doorways->build(); }); });
}

void TSubmitMain::createProjects(QWidget* column)
{
    ProjectEditor = new ProjectEditorPage(TabSheet5);
    auto* editorLayout = new QVBoxLayout(TabSheet5);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    editorLayout->addWidget(ProjectEditor);

    m_projectList = new ProjectListModel(this);
    m_projectStore = new ProjectStore(m_projectList, ProjectEditor, this);
    m_projectStore->setDialogParent(this);
    SesList = new ProjectListView(m_projectStore, column);

    connect(ProjectEditor, &ProjectEditorPage::saveClicked, this,
            [this] { runCommand(this, [this] { m_projectStore->save(); }); });
    connect(ProjectEditor, &ProjectEditorPage::clearClicked, this,
            [this] { runCommand(this, [this] { m_projectStore->clear(ProjectStore::ClearScope::Site); }); });
    connect(m_projectStore, &ProjectStore::loadStarting, this, [this] {
        m_flasher->stop();
        m_flasher->restore(AttentionFlasher::ProjectList);
    });
    connect(m_projectStore, &ProjectStore::showEditorRequested, this,
            [this] { showPage(Page::Projects, InnerPage::ProjectInformation); });
    connect(m_projectStore, &ProjectStore::countChanged, CLEDLabel1,
            [this](int count) { CLEDLabel1->setValue(count); });
    connect(ProjectEditor, &ProjectEditorPage::urlChanged, RankingPage, &TRankingPage::setRankUrl);
    // "Check Key" of the IndexNow key; it waits as long as a submission does.
    auto* keyCheck = new IndexNowKeyCheck(this);
    m_keyCheck = keyCheck;
    connect(ProjectEditor, &ProjectEditorPage::checkKeyClicked, keyCheck,
            [this, keyCheck](const QString& url, const QString& key, const QString& location) {
                ProjectEditor->CheckKey->setEnabled(false);
                keyCheck->setTimeout(qMax(1, m_timeout) * 1000);
                keyCheck->start(url, key, location);
            });
    connect(keyCheck, &IndexNowKeyCheck::finished, this, [this](const IndexNowKeyCheck::Result& result) {
        ProjectEditor->CheckKey->setEnabled(true);
        IndexNowKeyCheck::report(this, result);
    });
}

void TSubmitMain::createImportWizard()
{
    ImportWizard = new ImportWizardPage(ProjectEditor, m_projectStore, TabSheet6);
    ImportWizard->setDialogParent(this);
    (new QVBoxLayout(TabSheet6))->addWidget(ImportWizard);
    m_flasher->setTarget(AttentionFlasher::ImportButton, ImportWizard->Button3);
    m_projectStore->setSpiderUrlOption([this] { return ImportWizard->SpiderCK->isChecked(); });
    connect(ProjectEditor, &ProjectEditorPage::urlChanged, ImportWizard->UrlImp, &QLineEdit::setText);
    connect(ImportWizard, &ImportWizardPage::flashRequested, m_flasher, &AttentionFlasher::start);
    connect(ImportWizard, &ImportWizardPage::flashStopRequested, this, [this](int mode) {
        m_flasher->stop();
        m_flasher->restore(mode);
    });
    connect(ImportWizard, &ImportWizardPage::showProjectsRequested, this, [this](bool information) {
        showPage(Page::Projects, information ? InnerPage::ProjectInformation : InnerPage::None);
    });
}

void TSubmitMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    runCommand(this, [this] { firstShow(); });
}

void TSubmitMain::firstShow()
{
    // Step 1: the update service login.
    m_settings->reload();
    m_updateUser = m_settings->text(ProgramSettings::Key::User);
    m_updatePassword = m_settings->text(ProgramSettings::Key::Pass);
    UpdateBox->setLogin(m_updateUser, m_updatePassword);
    // Step 2: the proxy settings, applied to the clients.
    runCommand(this, [this] { Proxyset->ApplyProxySettings(); });
    // Step 3.
    update();
    // Step 4: a near-empty engine database opens the Database Update window
    // beside the main window; judged on the loaded database.
    EnginesPage->whenSettled(this, [this] {
        if (EnginesPage->database().count() < 10) {
            UpdateBox->move(frameGeometry().topRight() + QPoint(4, 0));
            UpdateBox->show();
            UpdateBox->raise();
        }
    });
}

void TSubmitMain::showPage(Page page, InnerPage inner)
{
    switch (page) {
    case Page::Projects:
        PageControl1->setCurrentWidget(TabSheet1);
        break;
    case Page::Submit:
        PageControl1->setCurrentWidget(TabSheet4);
        break;
    case Page::Ranking:
        PageControl1->setCurrentWidget(TabSheet7);
        break;
    case Page::Reports:
        PageControl1->setCurrentWidget(TabSheet8);
        break;
    case Page::MetaTags:
        PageControl1->setCurrentWidget(TabSheet9);
        break;
    case Page::DoorwayPages:
        PageControl1->setCurrentWidget(TabSheet10);
        break;
    case Page::About:
        PageControl1->setCurrentWidget(TabSheet11);
        break;
    }
    switch (inner) {
    case InnerPage::ProjectInformation:
        PageControl3->setCurrentWidget(TabSheet5);
        break;
    case InnerPage::ImportWizard:
        PageControl3->setCurrentWidget(TabSheet6);
        break;
    case InnerPage::AutoSubmitEngines:
        PageControl2->setCurrentWidget(TabSheet2);
        break;
    case InnerPage::ManualEngines:
        PageControl2->setCurrentWidget(TabSheet3);
        break;
    case InnerPage::None:
        break;
    }
}

TSubmitMain::Page TSubmitMain::currentPage() const
{
    const QWidget* current = PageControl1->currentWidget();
    if (current == TabSheet1)
        return Page::Projects;
    if (current == TabSheet4)
        return Page::Submit;
    if (current == TabSheet7)
        return Page::Ranking;
    if (current == TabSheet8)
        return Page::Reports;
    if (current == TabSheet9)
        return Page::MetaTags;
    if (current == TabSheet10)
        return Page::DoorwayPages;
    return Page::About;
}

TSubmitMain::InnerPage TSubmitMain::currentInnerPage() const
{
    switch (currentPage()) {
    case Page::Projects:
        return PageControl3->currentWidget() == TabSheet6 ? InnerPage::ImportWizard : InnerPage::ProjectInformation;
    case Page::Submit:
        return PageControl2->currentWidget() == TabSheet3 ? InnerPage::ManualEngines : InnerPage::AutoSubmitEngines;
    default:
        return InnerPage::None;
    }
}

void TSubmitMain::PageControl1TabClicked(int index)
{
    if (PageControl1->widget(index) != TabSheet10)
        return;
    // The "Doorway Pages" tab loads the selected Project, the first one when
    // none is selected; the load regenerates the doorway page (projectLoaded).
    runCommand(this, [this] {
        if (m_projectList->selectedRow() < 0 && !m_projectList->isEmpty())
            m_projectList->setSelectedRow(0);
        m_projectStore->loadProject();
    });
}

void TSubmitMain::Proxy1Click()
{
    Proxyset->show();
    Proxyset->raise();
}

void TSubmitMain::SubmitOptions1Click()
{
    LiveResult->show();
    LiveResult->raise();
}

void TSubmitMain::UpdateDatabase1Click()
{
    UpdateBox->Memo1->clear();
    UpdateBox->show();
    UpdateBox->raise();
}

void TSubmitMain::OnlineManual1Click()
{
    openOnlineManual();
}

void TSubmitMain::openOnlineManual()
{
    Dialogs::openUrl(QUrl(m_homeAddress + QStringLiteral("/help.htm")));
}
