#pragma once

#include "LinkScan.h"
#include "PageScan.h"
#include "PoliteCrawler.h"
#include "RobotsTxt.h"
#include "projects/ProjectRecord.h"

#include <QMap>
#include <QPointer>
#include <QWidget>

#include <functional>

class FieldCounter;
class FreeNameNumber;
class ProjectFields;
class ProjectStore;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class TCLEDLabel;
class THttpCli;
class TSpider;

// The "Import Wizard" page: takes a page's title, description and keywords
// from an address or a local file, imports a Project from ".sav" and ".zro"
// files, and runs the site spider, whose window is TSpider. The client
// HttpMap serves both the import and the spider.
class ImportWizardPage : public QWidget
{
    Q_OBJECT

public:
    ImportWizardPage(ProjectFields* editor, ProjectStore* store, QWidget* parent = nullptr);
    ~ImportWizardPage() override;

    void setSpider(TSpider* spider);
    TSpider* spider() const { return m_spider; }
    void setDialogParent(QWidget* parent) { m_dialogParent = parent; }
    // A page that has not ended after this long is cancelled, so a site that
    // never answers cannot hold the import or the crawl.
    static constexpr int DefaultPageTimeoutMs = 30000;
    void setPageTimeoutMs(int ms) { m_pageTimeoutMs = ms; }

    // The spider's queue and found list (SiteToCr, SiteList).
    const LinkCollector& siteLists() const { return m_crawler.links(); }
    QString siteName() const { return m_siteName; }
    QString spiderScope() const { return m_scope; }
    const RobotsTxt& robots() const { return m_crawler.robots(); }
    bool crawling() const { return m_crawling; }

    static QString noUrlText() { return QStringLiteral("You must enter a url to Import"); }
    static QString noUrlCaption() { return QStringLiteral("Import Incomplete!"); }
    static QString categoryText() { return QStringLiteral("Please Select a Catagory For This Project"); }
    static QString categoryCaption() { return QStringLiteral("Select Catagory"); }
    static QString completedText() { return QStringLiteral("Import Completed"); }

    // The controls, named as the system names them.
    QLineEdit* UrlImp = nullptr;
    QRadioButton* FromFile = nullptr;
    QRadioButton* FromUrl = nullptr;
    QCheckBox* TitleImpCk = nullptr;
    QCheckBox* DescriptionImpCk = nullptr;
    QCheckBox* Key1ImpCk = nullptr;
    QCheckBox* SpiderCK = nullptr;
    QLineEdit* TitleImp = nullptr;
    QLineEdit* DescriptionImp = nullptr;
    QLineEdit* Key1Imp = nullptr;
    TCLEDLabel* CLED2Imp = nullptr;
    TCLEDLabel* CLED3Imp = nullptr;
    TCLEDLabel* CLED4Imp = nullptr;
    QPushButton* Button3 = nullptr; // Import
    QPushButton* Button4 = nullptr; // Cancel
    QPushButton* Button5 = nullptr; // Apply
    QLabel* Label13 = nullptr;
    // Public so the proxy settings can be applied to it.
    THttpCli* HttpMap = nullptr;

public slots:
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void FromFileClick();
    void FromUrlClick();
    void HttpMapDocData(THttpCli* Sender, const char* Buffer, int Len);
    void HttpMapDocEnd(THttpCli* Sender);
    void HttpMapRequestDone(THttpCli* Sender, int RqType, int Error);

    // The Spider window's commands.
    void spiderStart();
    void spiderStop();

signals:
    // The attention flasher: mode 1 blinks "Import", mode 2 "Start Spider".
    void flashRequested(int mode);
    void flashStopRequested(int mode);
    // Show "Projects", and its "Project Information" page when `information` is true.
    void showProjectsRequested(bool information);

private:
    QCheckBox* addCheck(const QString& objectName, const QString& caption, bool checked);
    QLineEdit* addEdit(const QString& objectName);
    PageScanner::Options scanOptions() const;
    void showScanResults(const PageScanner& scanner);
    void clearResultBoxes();

    void importFile(const QString& path);
    void importSav(const QString& path);
    void importZro(const QString& path);
    void scanFile(const QString& path);
    void applyFields(const QMap<ProjectField, QString>& fields);

    // The crawl.
    void prepareSpider();
    void fetchRobots();
    void robotsDone(int error);
    void nextPageStep();
    void pageDone();
    void finishCrawl(const QString& status, bool completed);
    void scheduleNextPage(int waitMs);
    QString robotsRefusal(const QString& url) const;
    bool spiderRunning() const;
    void beginGet();

    ProjectFields* m_editor;
    ProjectStore* m_store;
    QPointer<TSpider> m_spider;
    QWidget* m_dialogParent = nullptr;
    FieldCounter* m_titleCounter = nullptr;
    FieldCounter* m_descriptionCounter = nullptr;
    FieldCounter* m_keywordCounter = nullptr;

    // Head buffer with the values it gave, and the link buffer with the lists.
    PageScanner m_scanner;
    // The queue, robots.txt, the waits and the page cap; LinkCollector m_links is its link lists.
    PoliteCrawler m_crawler;
    LinkCollector& m_links = m_crawler.links();

    bool m_crawling = false;
    QString m_siteName;
    QString m_scope;
    SpiderRules::Scope m_scopeRule; // the scope as the links are tested against it
    bool m_fetchingRobots = false;
    int m_nameHint = 1;
    FreeNameNumber* m_freeNames = nullptr;
    QTimer* m_wait = nullptr;
    QTimer* m_pageTimer = nullptr;
    int m_pageTimeoutMs = DefaultPageTimeoutMs;
};
