#include "IndexNowWindow.h"

#include "settings/ProgramSettings.h"

#include "IndexNowLedger.h"
#include "IndexNowSources.h"
#include "IndexNowSubmitter.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectRecord.h"
#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "settings/CsvWriter.h"

namespace {

enum SourceIndex { FromAudit = 0, FromList = 1, ProjectUrlOnly = 2 };

} // namespace

IndexNowWindow::IndexNowWindow(const QString& programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), m_programDir(programDir), m_store(programDir)
{
    setObjectName(QStringLiteral("IndexNowWindow"));
    setWindowTitle(caption());
    resize(900, 640);

    m_projectLabel = new QLabel(this);
    Source = new QComboBox(this);
    Source->setObjectName(QStringLiteral("Source"));
    Source->addItems({QStringLiteral("Latest audit"), QStringLiteral("Address list"), QStringLiteral("Project URL")});
    ListFile = new QLineEdit(this);
    ListFile->setObjectName(QStringLiteral("ListFile"));
    ListFile->setPlaceholderText(QStringLiteral("a text file, one address per line"));
    m_browse = new QPushButton(QStringLiteral("Browse…"), this);
    ChangedOnly = new QCheckBox(QStringLiteral("Changed only"), this);
    ChangedOnly->setObjectName(QStringLiteral("ChangedOnly"));
    ChangedOnly->setChecked(true);
    Engines = new QListWidget(this);
    Engines->setObjectName(QStringLiteral("Engines"));
    Engines->setMaximumHeight(120);
    SubmitButton = new QPushButton(QStringLiteral("Submit"), this);
    SubmitButton->setObjectName(QStringLiteral("SubmitButton"));
    Progress = new QLabel(this);
    Progress->setObjectName(QStringLiteral("Progress"));

    EngineFilter = new QComboBox(this);
    EngineFilter->setObjectName(QStringLiteral("EngineFilter"));
    AddressFilter = new QLineEdit(this);
    AddressFilter->setObjectName(QStringLiteral("AddressFilter"));
    AddressFilter->setPlaceholderText(QStringLiteral("address contains"));
    ResultFilter = new QComboBox(this);
    ResultFilter->setObjectName(QStringLiteral("ResultFilter"));
    ResultFilter->addItems({QStringLiteral("All results"), QStringLiteral("Accepted"), QStringLiteral("Not accepted")});
    ExportButton = new QPushButton(QStringLiteral("Export CSV…"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    LedgerModel = new QStandardItemModel(0, IndexNowLedger::csvHeader().size(), this);
    LedgerModel->setHorizontalHeaderLabels({QStringLiteral("Time (UTC)"), QStringLiteral("Project"),
                                            QStringLiteral("Engine"), QStringLiteral("Address"),
                                            QStringLiteral("Content SHA-256"), QStringLiteral("Status"),
                                            QStringLiteral("Accepted"), QStringLiteral("Detail")});
    Ledger = new QTableView(this);
    Ledger->setObjectName(QStringLiteral("Ledger"));
    Ledger->setModel(LedgerModel);
    Ledger->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Ledger->setSelectionBehavior(QAbstractItemView::SelectRows);
    Ledger->verticalHeader()->hide();
    Ledger->horizontalHeader()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_projectLabel);
    auto* source = new QHBoxLayout;
    source->addWidget(new QLabel(QStringLiteral("Addresses:"), this));
    source->addWidget(Source);
    source->addWidget(ListFile, 1);
    source->addWidget(m_browse);
    source->addWidget(ChangedOnly);
    layout->addLayout(source);
    layout->addWidget(new QLabel(QStringLiteral("IndexNow engines:"), this));
    layout->addWidget(Engines);
    auto* run = new QHBoxLayout;
    run->addWidget(SubmitButton);
    run->addWidget(Progress, 1);
    layout->addLayout(run);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Ledger:"), this));
    filters->addWidget(EngineFilter);
    filters->addWidget(AddressFilter, 1);
    filters->addWidget(ResultFilter);
    filters->addWidget(ExportButton);
    layout->addLayout(filters);
    layout->addWidget(Ledger, 1);

    m_storeOpen = m_store.open() && IndexNowLedger::ensure(m_store);
    if (!m_storeOpen)
        Progress->setText(m_store.errorText());
    m_submitter = new IndexNowSubmitter(m_store, this);

    connect(Source, &QComboBox::currentIndexChanged, this, [this](int index) {
        ListFile->setEnabled(index == FromList);
        m_browse->setEnabled(index == FromList);
    });
    ListFile->setEnabled(false);
    m_browse->setEnabled(false);
    connect(m_browse, &QPushButton::clicked, this, &IndexNowWindow::chooseList);
    connect(SubmitButton, &QPushButton::clicked, this, &IndexNowWindow::submit);
    connect(EngineFilter, &QComboBox::currentIndexChanged, this, &IndexNowWindow::reloadLedger);
    connect(ResultFilter, &QComboBox::currentIndexChanged, this, &IndexNowWindow::reloadLedger);
    connect(AddressFilter, &QLineEdit::editingFinished, this, &IndexNowWindow::reloadLedger);
    connect(ExportButton, &QPushButton::clicked, this, &IndexNowWindow::exportCsv);
    connect(m_submitter, &IndexNowSubmitter::answered, this,
            [this](const QString& engine, int count, int status, const QString& reason) {
                ++m_answers;
                Progress->setText(QStringLiteral("%1: %2 addresses, %3 %4").arg(engine).arg(count).arg(status).arg(reason));
                reloadLedger();
            });
    connect(m_submitter, &IndexNowSubmitter::waiting, this, [this](const QString& engine, int seconds) {
        Progress->setText(QStringLiteral("%1 asks to wait %2 s; the POST is then sent once more").arg(engine).arg(seconds));
    });
    connect(m_submitter, &IndexNowSubmitter::finished, this, [this](bool allAccepted) {
        setRunning(false);
        int unchanged = 0;
        for (const auto& entry : m_submitter->unchanged())
            unchanged += entry.second;
        Progress->setText(QStringLiteral("Done: %1 answers, %2; %3 skipped, %4 unchanged")
                              .arg(m_answers)
                              .arg(allAccepted ? QStringLiteral("all accepted") : QStringLiteral("not all accepted"))
                              .arg(m_submitter->skipped().size())
                              .arg(unchanged));
        reloadLedger();
        emit submitted(allAccepted);
    });
    reload();
}

IndexNowWindow::~IndexNowWindow()
{
    m_submitter->cancel();
}

void IndexNowWindow::setProject(const QString& name)
{
    m_project = name;
    m_projectLabel->setText(QStringLiteral("Project: %1").arg(name.isEmpty() ? QStringLiteral("(none)") : name));
    if (!m_submitter->isRunning() && m_storeOpen) {
        // "Changed only" is the default when there is an audit to compare with.
        QStringList urls, hashes;
        QString error;
        const QString url = ProjectFile::read(m_programDir, name).value(ProjectField::Url).trimmed();
        const bool audited = !url.isEmpty() && IndexNowSources::fromAudit(m_store, url, &urls, &hashes, &error);
        ChangedOnly->setChecked(audited);
        Source->setCurrentIndex(audited ? FromAudit : ProjectUrlOnly);
    }
}

void IndexNowWindow::reload()
{
    QList<IndexNowEngine> engines;
    QString error;
    Engines->clear();
    if (!IndexNowSources::engines(m_programDir, &engines, &error))
        Progress->setText(error);
    const QString filter = EngineFilter->currentText();
    EngineFilter->blockSignals(true);
    EngineFilter->clear();
    EngineFilter->addItem(QStringLiteral("All engines"));
    for (const IndexNowEngine& engine : engines) {
        auto* item = new QListWidgetItem(engine.name, Engines);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, engine.endpoint);
        item->setToolTip(engine.endpoint);
        EngineFilter->addItem(engine.name);
    }
    EngineFilter->setCurrentIndex(qMax(0, EngineFilter->findText(filter)));
    EngineFilter->blockSignals(false);
    reloadLedger();
}

void IndexNowWindow::reloadLedger()
{
    if (!m_storeOpen)
        return;
    IndexNowLedger::Filter filter;
    if (EngineFilter->currentIndex() > 0)
        filter.engine = EngineFilter->currentText();
    filter.address = AddressFilter->text().trimmed();
    filter.result = static_cast<IndexNowLedger::Filter::Result>(ResultFilter->currentIndex());
    filter.limit = ShownRows;
    LedgerModel->removeRows(0, LedgerModel->rowCount());
    IndexNowLedger::read(m_store, filter, [this](const IndexNowLedger::Row& row) {
        QList<QStandardItem*> items;
        for (const QString& field : IndexNowLedger::csvFields(row))
            items << new QStandardItem(field);
        LedgerModel->appendRow(items);
        return true;
    });
    Ledger->scrollToBottom();
}

void IndexNowWindow::chooseList()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Address List"), ListFile->text(),
                                                      QStringLiteral("Text files (*.txt);;All files (*)"));
    if (!path.isEmpty())
        ListFile->setText(path);
}

void IndexNowWindow::showMessage(const QString& text)
{
    Progress->setText(text);
    Dialogs::warning(this, caption(), text);
}

void IndexNowWindow::setRunning(bool running)
{
    SubmitButton->setEnabled(!running);
    Source->setEnabled(!running);
    Engines->setEnabled(!running);
    ChangedOnly->setEnabled(!running);
}

void IndexNowWindow::submit()
{
    if (m_submitter->isRunning())
        return;
    if (m_project.isEmpty() || !QFileInfo(ProjectFile::path(m_programDir, m_project)).isFile()) {
        showMessage(QStringLiteral("Save the Project first: the IndexNow window sends a saved Project."));
        return;
    }
    const ProjectRecord record = ProjectFile::read(m_programDir, m_project);
    IndexNowJob job;
    job.project = m_project;
    job.projectUrl = record.value(ProjectField::Url).trimmed();
    job.key = record.value(ProjectField::IndexNowKey).trimmed();
    job.keyLocation = record.value(ProjectField::IndexNowKeyLocation).trimmed();
    job.changedOnly = ChangedOnly->isChecked();
    for (int i = 0; i < Engines->count(); ++i) {
        if (Engines->item(i)->checkState() == Qt::Checked)
            job.engines.append({Engines->item(i)->text(), Engines->item(i)->data(Qt::UserRole).toString()});
    }
    if (job.engines.isEmpty()) {
        showMessage(QStringLiteral("Check at least one IndexNow engine."));
        return;
    }
    QString error;
    bool ok = true;
    switch (Source->currentIndex()) {
    case FromAudit:
        ok = IndexNowSources::fromAudit(m_store, job.projectUrl, &job.urls, &job.hashes, &error);
        break;
    case FromList:
        ok = IndexNowSources::readList(ListFile->text().trimmed(), &job.urls, &error);
        job.hashes = IndexNowSources::auditHashes(m_store, job.projectUrl, job.urls);
        break;
    default:
        job.urls = QStringList{job.projectUrl};
        job.hashes = IndexNowSources::auditHashes(m_store, job.projectUrl, job.urls);
        break;
    }
    if (!ok) {
        showMessage(error);
        return;
    }
    // The values in the file now: "Apply" in another window may just have changed them.
    ProgramSettings& settings = m_settings.get(m_programDir);
    settings.reload();
    const IndexNowSources::Network network = IndexNowSources::network(settings);
    m_submitter->setTimeoutMs(network.timeoutMs);
    m_submitter->setProxy(network.proxyEnabled, network.proxy);
    m_answers = 0;
    if (!m_submitter->start(job)) {
        showMessage(m_submitter->errorText());
        return;
    }
    setRunning(true);
    Progress->setText(QStringLiteral("Sending %1 POSTs…").arg(m_submitter->postCount()));
}

void IndexNowWindow::exportCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Ledger"),
                                                      QStringLiteral("indexnow-ledger.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    IndexNowLedger::Filter filter;
    if (EngineFilter->currentIndex() > 0)
        filter.engine = EngineFilter->currentText();
    filter.address = AddressFilter->text().trimmed();
    filter.result = static_cast<IndexNowLedger::Filter::Result>(ResultFilter->currentIndex());
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly) && file.write(CsvWriter::row(IndexNowLedger::csvHeader())) > 0;
    ok = ok && IndexNowLedger::read(m_store, filter, [&file, &ok](const IndexNowLedger::Row& row) {
        ok = file.write(CsvWriter::row(IndexNowLedger::csvFields(row))) >= 0;
        return ok;
    });
    if (!ok || !file.commit())
        showMessage(QStringLiteral("Unable to write to %1").arg(path));
}
