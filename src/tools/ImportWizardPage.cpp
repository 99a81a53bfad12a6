#include "ImportWizardPage.h"

#include "FreeNameNumber.h"
#include "ProjectImport.h"
#include "TSpider.h"
#include "net/THttpCli.h"
#include "projects/FieldCounter.h"
#include "projects/ProjectFields.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

ImportWizardPage::ImportWizardPage(ProjectFields* editor, ProjectStore* store, QWidget* parent)
    : QWidget(parent), m_editor(editor), m_store(store)
{
    setObjectName(QStringLiteral("ImportWizard"));

    UrlImp = addEdit(QStringLiteral("UrlImp"));
    FromFile = new QRadioButton(QStringLiteral("From File"), this);
    FromFile->setObjectName(QStringLiteral("FromFile"));
    FromUrl = new QRadioButton(QStringLiteral("From URL"), this);
    FromUrl->setObjectName(QStringLiteral("FromUrl"));
    FromUrl->setChecked(true);
    TitleImpCk = addCheck(QStringLiteral("TitleImpCk"), QStringLiteral("Title"), true);
    DescriptionImpCk = addCheck(QStringLiteral("DescriptionImpCk"), QStringLiteral("Description"), true);
    Key1ImpCk = addCheck(QStringLiteral("Key1ImpCk"), QStringLiteral("Keywords"), true);
    SpiderCK = addCheck(QStringLiteral("SpiderCK"), QStringLiteral("Spider URL"), false);
    TitleImp = addEdit(QStringLiteral("TitleImp"));
    DescriptionImp = addEdit(QStringLiteral("DescriptionImp"));
    Key1Imp = addEdit(QStringLiteral("Key1Imp"));
    CLED2Imp = FieldCounter::createLabel(QStringLiteral("CLED2Imp"), this);
    CLED3Imp = FieldCounter::createLabel(QStringLiteral("CLED3Imp"), this);
    CLED4Imp = FieldCounter::createLabel(QStringLiteral("CLED4Imp"), this);
    for (TCLEDLabel* counter : {CLED2Imp, CLED3Imp, CLED4Imp})
        counter->setFixedSize(60, 20);
    m_titleCounter = new FieldCounter(FieldCounter::Title, CLED2Imp, this);
    m_descriptionCounter = new FieldCounter(FieldCounter::Description, CLED3Imp, this);
    m_keywordCounter = new FieldCounter(FieldCounter::Keywords, CLED4Imp, this);
    connect(TitleImp, &QLineEdit::textChanged, m_titleCounter, &FieldCounter::update);
    connect(DescriptionImp, &QLineEdit::textChanged, m_descriptionCounter, &FieldCounter::update);
    connect(Key1Imp, &QLineEdit::textChanged, m_keywordCounter, &FieldCounter::update);

    Button3 = new QPushButton(QStringLiteral("Import"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button4 = new QPushButton(QStringLiteral("Cancel"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button5 = new QPushButton(QStringLiteral("Apply"), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    Label13 = new QLabel(this);
    Label13->setObjectName(QStringLiteral("Label13"));

    auto* source = new QGroupBox(QStringLiteral("Import from"), this);
    auto* sourceRow = new QHBoxLayout(source);
    sourceRow->addWidget(FromUrl);
    sourceRow->addWidget(FromFile);
    sourceRow->addWidget(SpiderCK);
    sourceRow->addStretch(1);
    auto* values = new QGroupBox(QStringLiteral("Import these"), this);
    auto* valuesRow = new QHBoxLayout(values);
    for (QCheckBox* box : {TitleImpCk, DescriptionImpCk, Key1ImpCk})
        valuesRow->addWidget(box);
    valuesRow->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("URL:"), this), 0, 0);
    grid->addWidget(UrlImp, 0, 1, 1, 2);
    const std::tuple<QString, QLineEdit*, TCLEDLabel*> rows[] = {
        {QStringLiteral("Title:"), TitleImp, CLED2Imp},
        {QStringLiteral("Description:"), DescriptionImp, CLED3Imp},
        {QStringLiteral("Keywords:"), Key1Imp, CLED4Imp},
    };
    int row = 1;
    for (const auto& [text, edit, counter] : rows) {
        grid->addWidget(new QLabel(text, this), row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(counter, row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label13, 1);
    buttons->addWidget(Button3);
    buttons->addWidget(Button4);
    buttons->addWidget(Button5);

    auto* page = new QVBoxLayout(this);
    page->addWidget(source);
    page->addWidget(values);
    page->addLayout(grid);
    page->addLayout(buttons);
    page->addStretch(1);

    HttpMap = new THttpCli(this);
    HttpMap->setObjectName(QStringLiteral("HttpMap"));
    HttpMap->setAgent(QStringLiteral("Mozilla/3.0 (compatible)"));
    HttpMap->setAccept(QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"));
    HttpMap->setNoCache(false);
    connect(HttpMap, &THttpCli::OnDocData, this, &ImportWizardPage::HttpMapDocData);
    connect(HttpMap, &THttpCli::OnDocEnd, this, &ImportWizardPage::HttpMapDocEnd);
    connect(HttpMap, &THttpCli::OnRequestDone, this, &ImportWizardPage::HttpMapRequestDone);
    // robots.txt is read with redirects followed up to five.
    connect(HttpMap, &THttpCli::OnLocationChange, this, [this](THttpCli*) {
        if (m_fetchingRobots && !m_crawler.robotsRedirect())
            HttpMap->CancelRequest();
    });

    m_pageTimer = new QTimer(this);
    m_pageTimer->setSingleShot(true);
    connect(m_pageTimer, &QTimer::timeout, HttpMap, &THttpCli::CancelRequest);
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    // A coarse timer may fire 5 % early; a site's Retry-After or Crawl-delay is a minimum.
    m_wait->setTimerType(Qt::PreciseTimer);
    connect(m_wait, &QTimer::timeout, this, [this] { runCommand(m_dialogParent, [this] { nextPageStep(); }); });

    auto command = [this](auto handler) {
        return [this, handler] { runCommand(m_dialogParent, [this, handler] { (this->*handler)(); }); };
    };
    connect(Button3, &QPushButton::clicked, this, command(&ImportWizardPage::Button3Click));
    connect(Button4, &QPushButton::clicked, this, command(&ImportWizardPage::Button4Click));
    connect(Button5, &QPushButton::clicked, this, command(&ImportWizardPage::Button5Click));
    connect(FromFile, &QRadioButton::clicked, this, &ImportWizardPage::FromFileClick);
    connect(FromUrl, &QRadioButton::clicked, this, &ImportWizardPage::FromUrlClick);
}

ImportWizardPage::~ImportWizardPage() = default;

QCheckBox* ImportWizardPage::addCheck(const QString& objectName, const QString& caption, bool checked)
{
    auto* box = new QCheckBox(caption, this);
    box->setObjectName(objectName);
    box->setChecked(checked);
    return box;
}

QLineEdit* ImportWizardPage::addEdit(const QString& objectName)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    return edit;
}

void ImportWizardPage::setSpider(TSpider* spider)
{
    m_spider = spider;
    connect(spider, &TSpider::startRequested, this, [this] { runCommand(m_dialogParent, [this] { spiderStart(); }); });
    connect(spider, &TSpider::stopRequested, this, &ImportWizardPage::spiderStop);
}

PageScanner::Options ImportWizardPage::scanOptions() const
{
    PageScanner::Options options;
    options.title = TitleImpCk->isChecked();
    options.description = DescriptionImpCk->isChecked();
    options.keywords = Key1ImpCk->isChecked();
    return options;
}

void ImportWizardPage::clearResultBoxes()
{
    TitleImp->clear();
    DescriptionImp->clear();
    Key1Imp->clear();
}

void ImportWizardPage::showScanResults(const PageScanner& scanner)
{
    // Only changed texts are set again, so the counters run once per change.
    auto show = [](QLineEdit* edit, const QByteArray& value) {
        const QString text = PageScan::decodeValue(value);
        if (edit->text() != text)
            edit->setText(text);
    };
    show(TitleImp, scanner.title());
    show(DescriptionImp, scanner.description());
    show(Key1Imp, scanner.keywords());
}

bool ImportWizardPage::spiderRunning() const
{
    return m_crawling && SpiderCK->isChecked();
}

void ImportWizardPage::FromFileClick()
{
    SpiderCK->setChecked(false);
    SpiderCK->setEnabled(false);
}

void ImportWizardPage::FromUrlClick()
{
    SpiderCK->setEnabled(true);
}

void ImportWizardPage::Button3Click()
{
    clearResultBoxes();
    if (FromUrl->isChecked()) {
        if (UrlImp->text().isEmpty()) {
            Dialogs::notice(m_dialogParent, noUrlCaption(), noUrlText());
            return;
        }
        if (SpiderCK->isChecked()) {
            prepareSpider();
            return;
        }
        m_scanner.reset();
        m_scanner.setOptions(scanOptions());
        Button3->setEnabled(false);
        Button4->setEnabled(true);
        emit flashRequested(1);
        HttpMap->setURL(UrlImp->text());
        Label13->setText(QStringLiteral("Contacting ... ") + HttpMap->URL());
        try {
            beginGet();
        } catch (...) {
            // The client is still busy with a crawl's page: this import never started.
            Button3->setEnabled(true);
            Button4->setEnabled(false);
            emit flashStopRequested(1);
            throw;
        }
        return;
    }
    // The shared open dialog, as the last user left it.
    const QString path = Dialogs::openFileName(m_dialogParent, QString(), QString(), QString());
    if (path.isEmpty())
        return;
    importFile(path);
}

void ImportWizardPage::Button4Click()
{
    HttpMap->CancelRequest();
}

void ImportWizardPage::Button5Click()
{
    m_editor->setFieldText(ProjectField::Title, TitleImp->text());
    m_editor->setFieldText(ProjectField::Description, DescriptionImp->text());
    m_editor->setFieldText(ProjectField::Keywords, Key1Imp->text());
    if (!SpiderCK->isChecked())
        emit showProjectsRequested(true);
}

void ImportWizardPage::HttpMapDocData(THttpCli*, const char* Buffer, int Len)
{
    if (m_fetchingRobots) {
        m_crawler.robotsData(Buffer, Len);
        return;
    }
    const QString progress = QStringLiteral("Downloading ... ") + QString::number(HttpMap->ReceivedBytes());
    if (SpiderCK->isChecked() && m_spider)
        m_spider->setStatus(progress);
    else
        Label13->setText(progress);

    const QByteArray block = PageScan::blockText(Buffer, Len);
    m_links.appendBlock(block);
    m_scanner.streamBlock(block);
    if (SpiderCK->isChecked() && m_crawling) {
        const int found = m_links.foundCount();
        m_links.scan(
            HttpMap->URL(), m_scopeRule, [this](const QString& text) { m_spider->setStatus(text); },
            [this](const QString& url) { return robotsRefusal(url); });
        if (m_links.foundCount() != found) {
            Label13->setText(QStringLiteral("Extracting Urls..") + QString::number(m_links.foundCount()));
            m_spider->LedImp1->setValue(m_links.foundCount());
        }
    } else {
        m_links.clearBuffer();
    }
    // Last: the fields' change rules see the buffers already up to date.
    showScanResults(m_scanner);
}

void ImportWizardPage::HttpMapDocEnd(THttpCli* Sender)
{
    if (QIODevice* stream = Sender->ReceiveStream()) {
        Sender->setReceiveStream(nullptr);
        delete stream;
    }
}

void ImportWizardPage::beginGet()
{
    HttpMap->BeginGet();
    m_pageTimer->start(m_pageTimeoutMs);
}

void ImportWizardPage::HttpMapRequestDone(THttpCli*, int, int Error)
{
    m_pageTimer->stop();
    if (m_fetchingRobots) {
        m_fetchingRobots = false;
        robotsDone(Error);
        return;
    }
    m_scanner.finish();
    m_links.clearBuffer();
    showScanResults(m_scanner);
    if (spiderRunning()) {
        pageDone();
        return;
    }
    // A crawl whose "Spider URL" was unchecked ends with this page, like an import.
    if (m_crawling)
        emit flashStopRequested(2);
    m_crawling = false;
    m_wait->stop();
    Label13->setText(QStringLiteral("Done"));
    Button3->setEnabled(true);
    Button4->setEnabled(false);
    Button5->setEnabled(true);
    emit flashStopRequested(1);
}

// ---- Imports from files

void ImportWizardPage::importFile(const QString& path)
{
    // The file's own suffix decides, not a folder named "x.sav" on the way to it.
    const QString name = QFileInfo(path).fileName();
    if (name.endsWith(QLatin1String(".sav")))
        importSav(path);
    else if (name.endsWith(QLatin1String(".zro")))
        importZro(path);
    else
        scanFile(path);
}

void ImportWizardPage::applyFields(const QMap<ProjectField, QString>& fields)
{
    for (auto it = fields.cbegin(); it != fields.cend(); ++it)
        m_editor->setFieldText(it.key(), it.value());
}

void ImportWizardPage::importSav(const QString& path)
{
    // Everything is read and checked before the editor changes.
    const QByteArray bytes = ProjectImport::readFile(path);
    ProjectImport::Fields fields = ProjectImport::fromSav(bytes, m_editor->fieldText(ProjectField::FirstName),
                                                          m_editor->fieldText(ProjectField::LastName));
    fields.insert(ProjectField::SessionName,
                  ProjectImport::savName(fields.value(ProjectField::Url), m_store->model()->names()));
    applyFields(fields);
    emit showProjectsRequested(false);
    Dialogs::warning(m_dialogParent, categoryCaption(), categoryText());
}

void ImportWizardPage::importZro(const QString& path)
{
    const QByteArray bytes = ProjectImport::readFile(path);
    applyFields(ProjectImport::fromZro(bytes, path));
    emit showProjectsRequested(false);
}

void ImportWizardPage::scanFile(const QString& path)
{
    const QList<QByteArray> lines = PageScan::splitLines(ProjectImport::readFile(path));
    // A scan goes through the bytes once, megabytes in milliseconds, so the
    // file is scanned whole inside the click, without letting events run.
    PageScanner scanner;
    scanner.setOptions(scanOptions());
    for (const QByteArray& line : lines)
        scanner.fileLine(line);
    scanner.finish();
    showScanResults(scanner);
}

// ---- The spider

void ImportWizardPage::prepareSpider()
{
    m_crawling = false;
    m_wait->stop();
    m_links.clear();
    if (!m_spider)
        return;
    m_spider->prepare();
    m_spider->show();
    m_spider->raise();
}

void ImportWizardPage::spiderStart()
{
    if (!m_spider)
        return;
    m_spider->Button1->setEnabled(false);
    m_spider->Button2->setEnabled(true);
    const QString start = UrlImp->text();
    m_crawler.begin(start);

    const SpiderRules::Address address = SpiderRules::split(start);
    // Project names cannot hold "/", "\" or control characters; a host can.
    m_siteName = SpiderRules::siteName(address.host);
    m_siteName.removeIf([](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control;
    });
    m_siteName = m_siteName.trimmed();
    m_scope = SpiderRules::scope(address);
    m_scopeRule = SpiderRules::scopeOf(m_crawler.startProto(), m_scope);
    m_nameHint = 1;
    delete m_freeNames;
    m_freeNames = new FreeNameNumber(m_siteName, m_store->model(), this);
    m_crawling = true;
    emit flashRequested(2);
    if (m_spider->respectRobots())
        fetchRobots();
    else
        nextPageStep();
}

void ImportWizardPage::spiderStop()
{
    m_wait->stop();
    const bool requestRunning = HttpMap->Phase() != THttpCli::Idle;
    HttpMap->CancelRequest();
    emit flashStopRequested(2);
    // A crawl waiting between pages has no request whose end would stop it.
    if (!requestRunning)
        m_crawling = false;
}

void ImportWizardPage::fetchRobots()
{
    m_fetchingRobots = true;
    m_crawler.robotsBegin();
    HttpMap->setURL(m_crawler.robotsUrl());
    m_spider->setStatus(QStringLiteral("Reading robots.txt"));
    beginGet();
}

void ImportWizardPage::robotsDone(int error)
{
    m_crawler.robotsDone(HttpMap->ResponseCode(), !HttpMap->ResponseHeader().isEmpty(), error);
    if (!m_spider || !m_spider->Button2->isEnabled()) {
        m_crawling = false;
        return;
    }
    const QString refused = robotsRefusal(m_links.firstQueued());
    if (!refused.isEmpty()) {
        finishCrawl(refused, false);
        return;
    }
    m_spider->setStatus(QStringLiteral("Idle"));
    nextPageStep();
}

QString ImportWizardPage::robotsRefusal(const QString& url) const
{
    // Only the start address's server is crawled, so its rules cover every address fetched.
    if (!SpiderRules::sameSite(SpiderRules::split(url), m_scopeRule))
        return QStringLiteral("Out of scope: %1").arg(url);
    return m_crawler.robotsRefusal(url);
}

void ImportWizardPage::nextPageStep()
{
    m_store->whenIdle([this] {
        if (!m_crawling || !m_spider)
            return;
        const int limit = m_spider->pageLimit();
        m_crawler.setPageLimit(limit);
        if (m_links.hasQueued() && !m_crawler.limitReached()) {
            const QString url = m_links.firstQueued();
            HttpMap->setURL(url);
            m_links.clearBuffer();
            m_store->clear(ProjectStore::ClearScope::Site);
            m_editor->setFieldText(ProjectField::Url, url);
            m_links.takeFirst();
            m_spider->LedImp2->setValue(m_spider->LedImp1->value() - m_links.queuedCount());
            // The names only grow during a crawl, so the search goes on from the last number given.
            m_nameHint = m_freeNames->next(m_nameHint);
            m_editor->setFieldText(ProjectField::SessionName, m_siteName + QString::number(m_nameHint));
            clearResultBoxes();
            m_scanner.reset();
            m_scanner.setOptions(scanOptions());
            m_crawler.countPage();
            beginGet();
            return;
        }
        if (!SpiderCK->isChecked()) {
            m_crawling = false;
            return;
        }
        if (m_links.hasQueued()) {
            m_links.dropQueue();
            finishCrawl(QStringLiteral("Done. Page limit of %1 reached, %2 of %3 Urls saved")
                            .arg(limit)
                            .arg(m_crawler.pagesFetched())
                            .arg(m_links.foundCount()),
                        true);
            return;
        }
        finishCrawl(QStringLiteral("Done. %1 Urls Found and saved").arg(m_links.foundCount()), true);
    });
}

void ImportWizardPage::finishCrawl(const QString& status, bool completed)
{
    m_crawling = false;
    runCommand(m_dialogParent, [this] { m_store->flushIndex(); });
    if (completed)
        Dialogs::notice(m_dialogParent, completedText(), completedText());
    else if (m_spider)
        m_spider->Button2->setEnabled(false);
    if (m_spider)
        m_spider->setStatus(status);
    emit flashStopRequested(2);
}

void ImportWizardPage::pageDone()
{
    m_store->whenIdle([this] {
        Button5Click();
        try {
            m_store->save();
        } catch (...) {
            // A Project that cannot be written ends the crawl; the error is shown once.
            finishCrawl(QStringLiteral("Stopped: a Project could not be saved"), false);
            throw;
        }
        if (!m_spider || !m_spider->Button2->isEnabled()) {
            m_crawling = false;
            return;
        }
        int seconds = -1;
        const int waitMs = m_crawler.waitAfter(m_spider->delayMs(), HttpMap->ResponseCode(), HttpMap->ResponseHeader(),
                                               QDateTime::currentDateTimeUtc(), &seconds);
        if (m_crawler.robots().crawlDelayCapped())
            m_spider->setStatus(QStringLiteral("Crawl-delay of %1 s counts as %2 s")
                                    .arg(m_crawler.robots().crawlDelay(), 0, 'g', 12)
                                    .arg(RobotsTxt::MaxCrawlDelay));
        if (seconds > 0)
            m_spider->setStatus(QStringLiteral("Waiting %1 s (Retry-After)").arg(seconds));
        scheduleNextPage(waitMs);
    });
}

void ImportWizardPage::scheduleNextPage(int waitMs)
{
    if (waitMs <= 0) {
        nextPageStep();
        return;
    }
    m_wait->start(waitMs);
}
