#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class AuditCrawl;
class AuditPagesModel;
class HistoryStore;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QSqlQueryModel;
class QStandardItemModel;
class QTabWidget;
class QTableView;
class QTimer;

// "Site Audit": crawls one site with the audit's controller and shows what
// the store holds for that crawl: every page, the findings grouped by code,
// and the changes since the previous finished crawl of the same address.
// Previous crawls can be reopened. The pages table follows a running crawl
// by reading only the rows stored since its last look, a batch per tick.
class SiteAuditWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SiteAuditWindow(const QString& programDir, QWidget* parent = nullptr);
    ~SiteAuditWindow() override;

    void setStartAddress(const QString& address);
    // Shows a stored crawl (the pages, findings and changes tabs).
    void openCrawl(qint64 crawlId);
    qint64 shownCrawl() const { return m_shownCrawl; }
    bool isCrawling() const;

    QLineEdit* startAddress = nullptr;
    QCheckBox* obeyRobots = nullptr;
    QSpinBox* delayMs = nullptr;
    QSpinBox* maxPages = nullptr;
    QCheckBox* folderScope = nullptr;
    QCheckBox* checkExternal = nullptr;
    QSpinBox* connections = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* sitemapButton = nullptr;
    QLabel* progressText = nullptr;
    QComboBox* crawlList = nullptr;
    QTabWidget* tabs = nullptr;
    QLineEdit* pagesFilter = nullptr;
    QTableView* pagesView = nullptr;
    QTableView* findingCodes = nullptr;
    QTableView* findingUrls = nullptr;
    QLabel* changesText = nullptr;
    QTableView* changesView = nullptr;

    AuditPagesModel* pagesModel() const { return m_pages; }

signals:
    // A crawl started by this window ended (completed: ran to its end).
    void crawlFinished(bool completed);

public slots:
    void startClick();
    void stopClick();
    void exportClick();
    void sitemapClick();

private:
    bool openStore();
    void crawlProgress(int pagesDone, int pagesQueued);
    void crawlEnded(bool completed);
    void readNewPages();
    void showProgress();
    void loadFindings();
    void showFindingUrls();
    void openFindingUrl(const QModelIndex& index);
    void loadChanges();
    void loadCrawlList();
    void setRunning(bool running);

    QString m_programDir;
    std::unique_ptr<HistoryStore> m_store;
    AuditCrawl* m_crawl = nullptr;
    qint64 m_shownCrawl = 0;
    AuditPagesModel* m_pages;
    QSortFilterProxyModel* m_pagesProxy;
    QSqlQueryModel* m_codes;
    QSqlQueryModel* m_urls;
    QStandardItemModel* m_changes;
    QTimer* m_readTimer;   // paces the reads of new rows while a crawl runs
    QTimer* m_secondTimer; // keeps the elapsed time moving
    QElapsedTimer m_elapsed;
    int m_done = 0;
    int m_queued = 0;
};
