#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

class AttentionFlasher;
class AutoSubmitEnginesPage;
class DoorwayPage;
class ImportWizardPage;
class IndexNowWindow;
class IndexNowKeyCheck;
class LiveSubmitter;
class SubmissionRun;
class ManualEnginesPage;
class MetaTagsPage;
class ProjectEditorPage;
class ProjectListModel;
class ProjectListView;
class ProgramSettings;
class ProjectStore;
class QComboBox;
class QListView;
class QMenu;
class QTabWidget;
class SiteAuditWindow;
class TCLEDLabel;
class TLiveResult;
class TProxyset;
class RankHistoryWindow;
class TRankingPage;
class TReportsPage;
class TSpider;
class TUpdateBox;

// The main window: owns the application state, every page, the menus, the
// attention flasher and the secondary windows, and runs the start-up order.
class TSubmitMain : public QMainWindow
{
    Q_OBJECT

public:
    enum class Page { Projects, Submit, Ranking, Reports, MetaTags, DoorwayPages, About };
    enum class InnerPage { None, ProjectInformation, ImportWizard, AutoSubmitEngines, ManualEngines };

    explicit TSubmitMain(QWidget* parent = nullptr);
    ~TSubmitMain() override;

    // Application state.
    QString programDir() const { return m_programDir; }
    QString appTitle() const { return m_appTitle; }
    QString homeAddress() const { return m_homeAddress; }
    QString versionMarker() const { return m_versionMarker; }
    int ports() const { return m_ports; }
    void setPorts(int ports) { m_ports = ports; }
    int timeout() const { return m_timeout; }
    void setTimeout(int seconds) { m_timeout = seconds; }
    QString updateUser() const { return m_updateUser; }
    QString updatePassword() const { return m_updatePassword; }
    // A path under the program directory, "\" or "/" separated.
    QString path(const QString& relative) const;

    // Navigation by command: does not run the page-change rule.
    void showPage(Page page, InnerPage inner = InnerPage::None);
    Page currentPage() const;
    InnerPage currentInnerPage() const;

    AttentionFlasher* flasher() const { return m_flasher; }
    ProjectStore* projectStore() const { return m_projectStore; }
    void openOnlineManual();
    // The "Site Audit" window while it is open.
    SiteAuditWindow* siteAudit() const;

    // Page controls and pages, named as the system names them.
    QTabWidget* PageControl1 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QTabWidget* PageControl3 = nullptr;
    QWidget* TabSheet1 = nullptr;  // Projects
    QWidget* TabSheet2 = nullptr;  // Auto Submit Engines
    QWidget* TabSheet3 = nullptr;  // Manual Engines
    QWidget* TabSheet4 = nullptr;  // Submit
    QWidget* TabSheet5 = nullptr;  // Project Information
    QWidget* TabSheet6 = nullptr;  // Import Wizard
    QWidget* TabSheet7 = nullptr;  // Ranking
    QWidget* TabSheet8 = nullptr;  // Reports
    QWidget* TabSheet9 = nullptr;  // Meta Tags
    QWidget* TabSheet10 = nullptr; // Doorway Pages
    QWidget* TabSheet11 = nullptr; // About

    TCLEDLabel* CLEDLabel1 = nullptr;
    ProjectListView* SesList = nullptr;
    ProjectEditorPage* ProjectEditor = nullptr; // on TabSheet5
    ImportWizardPage* ImportWizard = nullptr;   // on TabSheet6

    TReportsPage* ReportsPage = nullptr;
    // The pages of TabSheet2 and TabSheet3.
    AutoSubmitEnginesPage* EnginesPage = nullptr;
    ManualEnginesPage* ManualPage = nullptr;

    SubmissionRun* Run = nullptr;

    TRankingPage* RankingPage = nullptr; // on TabSheet7, owns HttpRank
    RankHistoryWindow* RankHistoryView = nullptr; // "Rank History", made on first use

    // The site tools' pages.
    MetaTagsPage* MetaTags = nullptr;  // on TabSheet9
    DoorwayPage* Doorways = nullptr;   // on TabSheet10

    TSpider* Spider = nullptr;
    IndexNowWindow* IndexNow = nullptr;
    TLiveResult* LiveResult = nullptr;
    TProxyset* Proxyset = nullptr;
    TUpdateBox* UpdateBox = nullptr;

public slots:
    void Proxy1Click();
    void SubmitOptions1Click();
    void UpdateDatabase1Click();
    void OnlineManual1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void createPages();
    QWidget* createAboutPage();
    void createSecondaryWindows();
    void createProjects(QWidget* column);
    void createImportWizard();
    void createRun();
    void createRanking();
    void showRankHistory(const QString& keyword, const QString& url);
    void wireMaintenance();
    void applyIdleTimeout();

    void createSiteToolPages();

    // Start-up, in order; an error in one step is shown and the rest still run.
    void runStartup();
    void readApplicationSettings();
    void readRunSettings();
    void firstShow();

    void PageControl1TabClicked(int index);

    QString m_programDir;
    // The one object over dfd.ini, handed to every window that uses it.
    ProgramSettings* m_settings = nullptr;
    QPointer<SiteAuditWindow> m_siteAudit;
    QString m_appTitle;
    QString m_homeAddress;
    QString m_versionMarker;
    int m_ports = 10;
    int m_timeout = 40;
    QString m_updateUser;
    QString m_updatePassword;
    bool m_shown = false;

    AttentionFlasher* m_flasher = nullptr;
    ProjectListModel* m_projectList = nullptr;
    ProjectStore* m_projectStore = nullptr;
    LiveSubmitter* m_liveSubmitter = nullptr;
    IndexNowKeyCheck* m_keyCheck = nullptr;
};
