#include "SiteAuditWindow.h"

#include "AuditComparison.h"
#include "AuditCrawl.h"
#include "AuditCsvExport.h"
#include "AuditPagesModel.h"
#include "AuditSchema.h"
#include "Sitemap.h"
#include "history/HistoryStore.h"
#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("Site Audit");
// Rows read per look at the store: enough to keep up with any crawl at a few
// looks a second, few enough that one look never holds the window up.
constexpr int ReadBatch = 1000;
constexpr int ReadPaceMs = 250;

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QTableView* tableView(const char* name)
{
    auto* view = named(new QTableView, name);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setWordWrap(false);
    return view;
}

QString minutesSeconds(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

SiteAuditWindow::SiteAuditWindow(const QString& programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), m_programDir(programDir), m_pages(new AuditPagesModel(this)),
      m_pagesProxy(new QSortFilterProxyModel(this)), m_codes(new QSqlQueryModel(this)),
      m_urls(new QSqlQueryModel(this)), m_changes(new QStandardItemModel(this)), m_readTimer(new QTimer(this)),
      m_secondTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("SiteAuditWindow"));
    setWindowTitle(Caption);
    resize(1000, 680);

    startAddress = named(new QLineEdit, "startAddress");
    startAddress->setPlaceholderText(QStringLiteral("http://www.example.com/"));
    obeyRobots = named(new QCheckBox(QStringLiteral("Obey robots.txt")), "obeyRobots");
    obeyRobots->setChecked(true);
    delayMs = named(new QSpinBox, "delayMs");
    delayMs->setRange(0, 60000);
    delayMs->setSingleStep(100);
    delayMs->setSuffix(QStringLiteral(" ms"));
    maxPages = named(new QSpinBox, "maxPages");
    maxPages->setRange(0, 10000000);
    maxPages->setSpecialValueText(QStringLiteral("No cap"));
    folderScope = named(new QCheckBox(QStringLiteral("Only the start address's folder")), "folderScope");
    checkExternal = named(new QCheckBox(QStringLiteral("Check external links")), "checkExternal");
    connections = named(new QSpinBox, "connections");
    connections->setRange(1, 8);
    connections->setValue(2);
    startButton = named(new QPushButton(QStringLiteral("Start")), "startButton");
    stopButton = named(new QPushButton(QStringLiteral("Stop")), "stopButton");
    exportButton = named(new QPushButton(QStringLiteral("Export CSV…")), "exportButton");
    sitemapButton = named(new QPushButton(QStringLiteral("Write Sitemap…")), "sitemapButton");
    progressText = named(new QLabel, "progressText");
    progressText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    crawlList = named(new QComboBox, "crawlList");
    crawlList->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(QStringLiteral("Start address:")));
    addressRow->addWidget(startAddress, 1);
    addressRow->addWidget(startButton);
    addressRow->addWidget(stopButton);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(obeyRobots);
    optionRow->addWidget(new QLabel(QStringLiteral("Delay:")));
    optionRow->addWidget(delayMs);
    optionRow->addWidget(new QLabel(QStringLiteral("Page cap:")));
    optionRow->addWidget(maxPages);
    optionRow->addWidget(new QLabel(QStringLiteral("Connections:")));
    optionRow->addWidget(connections);
    optionRow->addWidget(folderScope);
    optionRow->addWidget(checkExternal);
    optionRow->addStretch(1);
    auto* crawlRow = new QHBoxLayout;
    crawlRow->addWidget(new QLabel(QStringLiteral("Previous crawls:")));
    crawlRow->addWidget(crawlList, 1);
    crawlRow->addWidget(exportButton);
    crawlRow->addWidget(sitemapButton);

    // Pages: every address of the crawl, sortable, with a filter over all columns.
    pagesFilter = named(new QLineEdit, "pagesFilter");
    pagesFilter->setPlaceholderText(QStringLiteral("Filter"));
    pagesFilter->setClearButtonEnabled(true);
    pagesView = tableView("pagesView");
    m_pagesProxy->setSourceModel(m_pages);
    m_pagesProxy->setSortRole(Qt::EditRole);
    m_pagesProxy->setFilterKeyColumn(-1);
    m_pagesProxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    pagesView->setModel(m_pagesProxy);
    pagesView->setSortingEnabled(true);
    pagesView->sortByColumn(-1, Qt::AscendingOrder); // the fetch order until a header is clicked
    pagesView->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    pagesView->setColumnWidth(AuditPagesModel::Url, 300);
    pagesView->setColumnWidth(AuditPagesModel::Title, 220);
    pagesView->setColumnWidth(AuditPagesModel::Description, 220);
    auto* pagesTab = new QWidget;
    auto* pagesLayout = new QVBoxLayout(pagesTab);
    pagesLayout->addWidget(pagesFilter);
    pagesLayout->addWidget(pagesView);

    // Findings: codes with their counts; the selected code's addresses beside them.
    findingCodes = tableView("findingCodes");
    findingCodes->setSelectionMode(QAbstractItemView::SingleSelection);
    findingCodes->setModel(m_codes);
    findingCodes->verticalHeader()->hide();
    findingCodes->horizontalHeader()->setStretchLastSection(false);
    findingUrls = tableView("findingUrls");
    findingUrls->setModel(m_urls);
    findingUrls->verticalHeader()->hide();
    findingUrls->setToolTip(QStringLiteral("Double-click an address to open it"));
    auto* findingsTab = new QSplitter;
    findingsTab->addWidget(findingCodes);
    findingsTab->addWidget(findingUrls);
    findingsTab->setStretchFactor(1, 3);
    findingsTab->setSizes({300, 700});

    changesText = named(new QLabel, "changesText");
    changesView = tableView("changesView");
    changesView->setModel(m_changes);
    changesView->setSortingEnabled(true);
    auto* changesTab = new QWidget;
    auto* changesLayout = new QVBoxLayout(changesTab);
    changesLayout->addWidget(changesText);
    changesLayout->addWidget(changesView);

    tabs = named(new QTabWidget, "tabs");
    tabs->addTab(pagesTab, QStringLiteral("Pages"));
    tabs->addTab(findingsTab, QStringLiteral("Findings"));
    tabs->addTab(changesTab, QStringLiteral("Changes"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(addressRow);
    layout->addLayout(optionRow);
    layout->addWidget(progressText);
    layout->addLayout(crawlRow);
    layout->addWidget(tabs, 1);

    m_readTimer->setSingleShot(true);
    m_secondTimer->setInterval(1000);
    connect(m_readTimer, &QTimer::timeout, this, &SiteAuditWindow::readNewPages);
    connect(m_secondTimer, &QTimer::timeout, this, &SiteAuditWindow::showProgress);
    connect(startButton, &QPushButton::clicked, this, &SiteAuditWindow::startClick);
    connect(startAddress, &QLineEdit::returnPressed, this, &SiteAuditWindow::startClick);
    connect(stopButton, &QPushButton::clicked, this, &SiteAuditWindow::stopClick);
    connect(exportButton, &QPushButton::clicked, this, &SiteAuditWindow::exportClick);
    connect(sitemapButton, &QPushButton::clicked, this, &SiteAuditWindow::sitemapClick);
    connect(pagesFilter, &QLineEdit::textChanged, m_pagesProxy, &QSortFilterProxyModel::setFilterFixedString);
    connect(pagesView, &QTableView::doubleClicked, this, &SiteAuditWindow::openFindingUrl);
    connect(findingCodes->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &SiteAuditWindow::showFindingUrls);
    connect(findingUrls, &QTableView::doubleClicked, this, &SiteAuditWindow::openFindingUrl);
    connect(crawlList, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        const qint64 id = crawlList->itemData(index).toLongLong();
        if (id > 0 && id != m_shownCrawl && !isCrawling())
            openCrawl(id);
    });

    setRunning(false);
    if (openStore())
        loadCrawlList();
}

SiteAuditWindow::~SiteAuditWindow()
{
    // A crawl still running ends as stopped (stored unfinished) without calling back into a window half gone.
    if (m_crawl) {
        m_crawl->disconnect(this);
        delete m_crawl;
    }
    // The query models hold statements of the store's connection: let them go before it.
    m_urls->clear();
    m_codes->clear();
}

bool SiteAuditWindow::openStore()
{
    if (m_store)
        return true;
    auto store = std::make_unique<HistoryStore>(m_programDir);
    if (!store->open() || !AuditSchema::ensure(*store)) {
        progressText->setText(QStringLiteral("The history store cannot be read: %1").arg(store->errorText()));
        return false;
    }
    m_store = std::move(store);
    return true;
}

void SiteAuditWindow::setStartAddress(const QString& address)
{
    startAddress->setText(address.trimmed());
}

bool SiteAuditWindow::isCrawling() const
{
    return m_crawl && m_crawl->isRunning();
}

void SiteAuditWindow::setRunning(bool running)
{
    startButton->setEnabled(!running);
    stopButton->setEnabled(running);
    crawlList->setEnabled(!running);
    exportButton->setEnabled(!running && m_shownCrawl > 0);
    sitemapButton->setEnabled(!running && m_shownCrawl > 0);
    for (QWidget* option : std::initializer_list<QWidget*>{startAddress, obeyRobots, delayMs, maxPages, folderScope,
                                                          checkExternal, connections})
        option->setEnabled(!running);
}

void SiteAuditWindow::startClick()
{
    if (isCrawling())
        return;
    const QString address = startAddress->text().trimmed();
    if (address.isEmpty()) {
        Dialogs::warning(this, Caption, QStringLiteral("Enter the address of the site to audit."));
        return;
    }
    AuditOptions options;
    options.startUrl = address;
    options.obeyRobots = obeyRobots->isChecked();
    options.delayMs = delayMs->value();
    options.maxPages = maxPages->value();
    options.folderScope = folderScope->isChecked();
    options.checkExternal = checkExternal->isChecked();
    options.connections = connections->value();
    options.takeNetworkSettings(m_programDir);

    delete m_crawl;
    m_crawl = new AuditCrawl(m_programDir, this);
    connect(m_crawl, &AuditCrawl::progress, this, &SiteAuditWindow::crawlProgress);
    connect(m_crawl, &AuditCrawl::finished, this, &SiteAuditWindow::crawlEnded);
    if (!m_crawl->start(options)) {
        const QString why = m_crawl->errorText();
        delete m_crawl;
        m_crawl = nullptr;
        Dialogs::warning(this, Caption, why);
        return;
    }
    m_done = 0;
    m_queued = 0;
    m_elapsed.start();
    openStore();
    openCrawl(m_crawl->crawlId());
    setRunning(true);
    m_secondTimer->start();
    showProgress();
    loadCrawlList();
}

void SiteAuditWindow::stopClick()
{
    if (isCrawling())
        m_crawl->stop();
}

void SiteAuditWindow::crawlProgress(int pagesDone, int pagesQueued)
{
    m_done = pagesDone;
    m_queued = pagesQueued;
    if (!m_readTimer->isActive())
        m_readTimer->start(ReadPaceMs);
}

void SiteAuditWindow::crawlEnded(bool completed)
{
    m_secondTimer->stop();
    AuditCrawl* crawl = m_crawl;
    m_crawl = nullptr;
    const qint64 ms = m_elapsed.isValid() ? m_elapsed.elapsed() : 0;
    QString text;
    if (!crawl->errorText().isEmpty())
        text = crawl->errorText();
    else
        text = QStringLiteral("%1: %2 pages, %3 findings in %4")
                   .arg(completed ? QStringLiteral("Finished") : QStringLiteral("Stopped"))
                   .arg(crawl->pageCount())
                   .arg(crawl->findingCount())
                   .arg(minutesSeconds(ms));
    crawl->deleteLater();
    m_readTimer->stop();
    readNewPages();
    loadFindings();
    loadChanges();
    loadCrawlList();
    setRunning(false);
    progressText->setText(text);
    emit crawlFinished(completed);
}

void SiteAuditWindow::showProgress()
{
    if (!isCrawling())
        return;
    const qint64 ms = m_elapsed.elapsed();
    const double perSecond = ms > 0 ? m_done * 1000.0 / static_cast<double>(ms) : 0.0;
    progressText->setText(QStringLiteral("%1 pages done, %2 queued · %3 pages/s · elapsed %4")
                              .arg(m_done)
                              .arg(m_queued)
                              .arg(perSecond, 0, 'f', 1)
                              .arg(minutesSeconds(ms)));
}

void SiteAuditWindow::readNewPages()
{
    if (!m_store)
        return;
    const int read = m_pages->fetchNew(m_store->database(), ReadBatch);
    showProgress();
    if (read < 0) {
        progressText->setText(QStringLiteral("The history store cannot be read: %1").arg(m_pages->lastError()));
        return;
    }
    // A full batch means more may be waiting: look again once pending events have run.
    if (read == ReadBatch)
        m_readTimer->start(0);
}

void SiteAuditWindow::openCrawl(qint64 crawlId)
{
    if (!openStore())
        return;
    m_shownCrawl = crawlId;
    m_pages->setCrawl(crawlId);
    m_urls->clear();
    m_codes->clear();
    m_changes->clear();
    changesText->clear();
    const int index = crawlList->findData(crawlId);
    if (index >= 0)
        crawlList->setCurrentIndex(index);
    if (isCrawling())
        return;
    readNewPages();
    loadFindings();
    loadChanges();
    exportButton->setEnabled(crawlId > 0);
    sitemapButton->setEnabled(crawlId > 0);
}

void SiteAuditWindow::loadFindings()
{
    m_urls->clear();
    QSqlQuery query(m_store->database());
    query.prepare(QStringLiteral(
        "SELECT code, COUNT(*) FROM audit_findings WHERE crawl_id = ? GROUP BY code ORDER BY code"));
    query.addBindValue(m_shownCrawl);
    query.exec();
    m_codes->setQuery(std::move(query));
    m_codes->setHeaderData(0, Qt::Horizontal, QStringLiteral("Finding"));
    m_codes->setHeaderData(1, Qt::Horizontal, QStringLiteral("Count"));
    findingCodes->resizeColumnsToContents();
    if (m_codes->rowCount() > 0)
        findingCodes->setCurrentIndex(m_codes->index(0, 0));
}

void SiteAuditWindow::showFindingUrls()
{
    const QModelIndex current = findingCodes->currentIndex();
    if (!current.isValid()) {
        m_urls->clear();
        return;
    }
    const QString code = m_codes->index(current.row(), 0).data().toString();
    QSqlQuery query(m_store->database());
    query.prepare(QStringLiteral(
        "SELECT url, detail FROM audit_findings WHERE crawl_id = ? AND code = ? ORDER BY url, detail"));
    query.addBindValue(m_shownCrawl);
    query.addBindValue(code);
    query.exec();
    m_urls->setQuery(std::move(query));
    m_urls->setHeaderData(0, Qt::Horizontal, QStringLiteral("Address"));
    m_urls->setHeaderData(1, Qt::Horizontal, QStringLiteral("Detail"));
    findingUrls->setColumnWidth(0, 380);
}

void SiteAuditWindow::openFindingUrl(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const QString url = index.sibling(index.row(), 0).data().toString();
    if (!url.isEmpty())
        Dialogs::openUrl(QUrl(url));
}

void SiteAuditWindow::loadChanges()
{
    m_changes->clear();
    m_changes->setHorizontalHeaderLabels({QStringLiteral("Change"), QStringLiteral("Address"),
                                          QStringLiteral("Detail")});
    const qint64 previous = previousFinishedCrawl(m_store->database(), m_shownCrawl);
    if (previous <= 0) {
        changesText->setText(QStringLiteral("No earlier finished crawl of this address to compare with."));
        return;
    }
    QSqlQuery started(m_store->database());
    started.prepare(QStringLiteral("SELECT started_at FROM audit_crawls WHERE id = ?"));
    started.addBindValue(previous);
    const QString when = started.exec() && started.next()
                             ? QDateTime::fromSecsSinceEpoch(started.value(0).toLongLong(), Qt::UTC)
                                   .toLocalTime()
                                   .toString(QStringLiteral("yyyy-MM-dd hh:mm"))
                             : QString();
    const QList<AuditChange> changes = compareCrawls(m_store->database(), previous, m_shownCrawl);
    changesText->setText(QStringLiteral("%1 changes since crawl %2 of %3").arg(changes.size()).arg(previous).arg(when));
    m_changes->setRowCount(static_cast<int>(changes.size()));
    for (int row = 0; row < changes.size(); ++row) {
        const AuditChange& change = changes.at(row);
        m_changes->setItem(row, 0, new QStandardItem(change.kind));
        m_changes->setItem(row, 1, new QStandardItem(change.url));
        m_changes->setItem(row, 2, new QStandardItem(change.detail));
    }
    changesView->setColumnWidth(0, 150);
    changesView->setColumnWidth(1, 380);
}

void SiteAuditWindow::loadCrawlList()
{
    if (!m_store)
        return;
    crawlList->clear();
    QSqlQuery query(m_store->database());
    query.setForwardOnly(true);
    query.exec(QStringLiteral("SELECT c.id, c.start_url, c.started_at, c.finished,"
                              " (SELECT COUNT(*) FROM audit_pages p WHERE p.crawl_id = c.id)"
                              " FROM audit_crawls c ORDER BY c.id DESC"));
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        const QString started = QDateTime::fromSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC)
                                    .toLocalTime()
                                    .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        crawlList->addItem(QStringLiteral("%1  %2  %3  %4 pages, %5")
                               .arg(id)
                               .arg(query.value(1).toString(), started)
                               .arg(query.value(4).toLongLong())
                               .arg(query.value(3).toInt() != 0 ? QStringLiteral("finished")
                                                                : QStringLiteral("unfinished")),
                           id);
    }
    // With no crawl shown the list would look empty although crawls are stored.
    crawlList->setPlaceholderText(crawlList->count() > 0
                                      ? QStringLiteral("Choose a crawl to open (%1 stored)").arg(crawlList->count())
                                      : QStringLiteral("No crawls stored yet"));
    const int index = crawlList->findData(m_shownCrawl);
    crawlList->setCurrentIndex(index);
}

void SiteAuditWindow::exportClick()
{
    if (m_shownCrawl <= 0 || !openStore())
        return;
    const QString pagesName = Dialogs::saveFileName(
        this, QStringLiteral("Export CSV"),
        QStringLiteral("%1/audit-%2-pages.csv").arg(m_programDir).arg(m_shownCrawl),
        QStringLiteral("CSV files (*.csv)"));
    if (pagesName.isEmpty())
        return;
    // The findings go beside the pages: "x-pages.csv" gives "x-findings.csv", any other name "<name>-findings.csv".
    QString findingsName = pagesName;
    if (findingsName.endsWith(QLatin1String("-pages.csv")))
        findingsName.replace(findingsName.size() - 10, 10, QStringLiteral("-findings.csv"));
    else {
        const QFileInfo info(pagesName);
        findingsName = info.dir().filePath(info.completeBaseName() + QStringLiteral("-findings.csv"));
    }
    using Writer = bool (*)(const QSqlDatabase&, qint64, QIODevice&, QString*);
    const QList<QPair<QString, Writer>> files = {{pagesName, &AuditCsvExport::writePages},
                                                 {findingsName, &AuditCsvExport::writeFindings}};
    for (const auto& [name, write] : files) {
        QSaveFile file(name);
        QString error;
        if (!file.open(QIODevice::WriteOnly) || !write(m_store->database(), m_shownCrawl, file, &error) ||
            !file.commit()) {
            Dialogs::warning(this, QStringLiteral("Export CSV"), QStringLiteral("Unable to write to %1").arg(name));
            return;
        }
    }
    progressText->setText(QStringLiteral("Wrote %1 and %2").arg(pagesName, findingsName));
}

void SiteAuditWindow::sitemapClick()
{
    if (m_shownCrawl <= 0 || !openStore())
        return;
    const QString caption = QStringLiteral("Write Sitemap");
    QSqlQuery query(m_store->database());
    query.prepare(QStringLiteral("SELECT start_url FROM audit_crawls WHERE id = ?"));
    query.addBindValue(m_shownCrawl);
    if (!query.exec() || !query.next())
        return;
    const QString startUrl = query.value(0).toString();
    const QString dir = Dialogs::folderName(this, caption, m_programDir);
    if (dir.isEmpty())
        return;
    // The sitemap always comes from the latest finished crawl of the site, whichever crawl is shown.
    const Sitemap::WriteResult result = Sitemap::writeFromLatestAudit(*m_store, startUrl, dir);
    if (result.noAudit) {
        Dialogs::warning(this, caption, QStringLiteral("There is no finished audit of %1 to write a sitemap from.")
                                            .arg(startUrl));
        return;
    }
    if (!result.ok) {
        Dialogs::warning(this, caption, result.error);
        return;
    }
    QString text = QStringLiteral("Wrote %1 sitemap file(s) with %2 addresses to %3.")
                       .arg(result.files)
                       .arg(result.urls)
                       .arg(QDir::toNativeSeparators(dir));
    if (!result.skipped.isEmpty())
        text += QStringLiteral("\n%1 addresses were left out.").arg(result.skipped.size());
    if (!result.missingRobotsLine.isEmpty())
        text += QStringLiteral("\nYour robots.txt names no sitemap: add the line \"%1\" to it.")
                    .arg(result.missingRobotsLine);
    Dialogs::notice(this, caption, text);
    progressText->setText(QStringLiteral("Wrote the sitemap to %1").arg(dir));
}
