#include "TRankingPage.h"

#include "RankCheck.h"
#include "RankListModel.h"

#include "net/THttpCli.h"
#include "submission/EngineRowImages.h"
#include "submission/ListFile.h"
#include "ui/Dialogs.h"
#include "ui/HtmlCellDelegate.h"
#include "ui/ProgramPaths.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TRankingPage::TRankingPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("RankingPage"));
    m_model = new RankListModel(this);

    HttpRank = named(new THttpCli(this), "HttpRank");
    HttpRank->setAgent(QLatin1String(RankAgent));

    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    RankUrl = named(new QLineEdit(QStringLiteral("http://"), this), "RankUrl");
    ComboBox2 = named(new QComboBox(this), "ComboBox2");
    ComboBox2->setEditable(true);
    ComboBox2->setInsertPolicy(QComboBox::NoInsert);
    ComboBox2->addItems({QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("50"), QStringLiteral("100"),
                         QStringLiteral("150"), QStringLiteral("200")});
    ComboBox2->setCurrentIndex(0);
    Button8 = named(new QPushButton(QStringLiteral("Rank"), this), "Button8");
    Button9 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button9");

    RankView = named(new QTableView(this), "RankView");
    RankView->setModel(m_model);
    RankView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RankView->setSelectionBehavior(QAbstractItemView::SelectRows);
    RankView->setSelectionMode(QAbstractItemView::SingleSelection);
    RankView->setShowGrid(false);
    RankView->setWordWrap(false);
    RankView->verticalHeader()->hide();
    RankView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    RankView->verticalHeader()->setDefaultSectionSize(qMax(fontMetrics().height() + 6, EngineRowImages::Size + 4));
    RankView->horizontalHeader()->setHighlightSections(false);
    RankView->horizontalHeader()->setStretchLastSection(true);
    RankView->setColumnWidth(RankListModel::EnginesColumn, 160);
    RankView->setColumnWidth(RankListModel::ResultColumn, 300);
    m_resultDelegate = new HtmlCellDelegate(
        [](int n) {
            return n >= 0 && n <= static_cast<int>(RowImage::TimedOut)
                       ? EngineRowImages::image(static_cast<RowImage>(n))
                       : QImage();
        },
        RankView);
    RankView->setItemDelegateForColumn(RankListModel::ResultColumn, m_resultDelegate);
    RankView->setMouseTracking(true);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("Keyword"), this), 0, 0);
    form->addWidget(ComboBox1, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("URL"), this), 1, 0);
    form->addWidget(RankUrl, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("Check Ranking in Top"), this), 2, 0);
    auto* depth = new QHBoxLayout;
    depth->addWidget(ComboBox2);
    depth->addStretch(1);
    depth->addWidget(Button8);
    depth->addWidget(Button9);
    form->addLayout(depth, 2, 1);
    form->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(RankView, 1);

    connect(Button8, &QPushButton::clicked, this, &TRankingPage::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &TRankingPage::Button9Click);
    connect(m_resultDelegate, &HtmlCellDelegate::linkActivated, this, &TRankingPage::openListing);
}

TRankingPage::~TRankingPage()
{
    endRunningCheck();
}

QString TRankingPage::rankListPath() const
{
    return programPath(m_programDir, QStringLiteral("\\data\\ranking.ist"));
}

void TRankingPage::endRunningCheck()
{
    if (!m_running)
        return;
    m_running->cancel();
    HttpRank->CancelRequest();
    m_running = nullptr;
}

void TRankingPage::loadRankList()
{
    // The rows are the running check's rows: it ends before they go.
    if (m_running) {
        endRunningCheck();
        emit flashStopRequested();
        Button8->setEnabled(true);
        Button9->setText(QStringLiteral("Cancel"));
    }
    m_model->setLines({});
    // A list that is not there yet gives no rows; one that cannot be read is reported.
    const QString path = rankListPath();
    if (!QFileInfo::exists(path))
        return;
    QStringList lines;
    try {
        LoadListFromFile(path, lines);
    } catch (const std::exception& e) {
        Dialogs::error(this, QString::fromUtf8(e.what()));
        return;
    }
    m_model->setLines(lines);
}

void TRankingPage::setRankUrl(const QString& url)
{
    RankUrl->setText(url);
}

void TRankingPage::Button8Click()
{
    if (m_running)
        return;
    m_model->resetRows(false);
    Button9->setText(QStringLiteral("Cancel"));
    Button8->setEnabled(false);

    RankCheck check(m_model, HttpRank);
    check.setEngineFile(rankListPath());
    if (m_timeoutSeconds)
        check.setIdleTimeoutMs(qMax(1, m_timeoutSeconds()) * 1000);
    m_running = &check;
    QPointer<TRankingPage> self(this);
    QString error;
    try {
        check.run(ComboBox1->currentText(), RankUrl->text(), ComboBox2->currentText());
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    // Cancel (or a reload of the list) has already put the buttons back.
    if (!self || check.isCancelled())
        return;
    m_running = nullptr;
    emit flashStopRequested();
    Button8->setEnabled(true);
    Button9->setText(QStringLiteral("Reset"));
    Button9->repaint();
    if (!error.isEmpty())
        Dialogs::error(this, error);
}

void TRankingPage::Button9Click()
{
    endRunningCheck();
    HttpRank->CancelRequest();
    emit flashStopRequested();
    Button8->setEnabled(true);
    Button9->setText(QStringLiteral("Cancel"));
    m_model->resetRows(true);
}

void TRankingPage::Label15Click()
{
    m_model->resetRows(true);
}

void TRankingPage::openListing(const QString& address)
{
    Dialogs::openUrl(QUrl(address));
}
