#include "TRankingPage.h"

#include "RankCheck.h"
#include "RankHistory.h"
#include "RankListModel.h"
#include "RankRecorder.h"

#include "history/HistoryStore.h"
#include "net/THttpCli.h"
#include "submission/EngineRowImages.h"
#include "submission/ListFile.h"
#include "ui/Dialogs.h"
#include "ui/HtmlCellDelegate.h"
#include "settings/ProgramPaths.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHash>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The change against the previous check, drawn beside the result: a green
// arrow up, a red arrow down, a grey bar for the same place, a grey ring
// when the previous check failed.
QIcon changeIcon(RankChange change)
{
    if (change == RankChange::None)
        return QIcon();
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QPainterPath path;
    switch (change) {
    case RankChange::Up:
    case RankChange::WasNotFound:
        path.addPolygon(QPolygonF({QPointF(6, 1), QPointF(11, 9), QPointF(1, 9)}));
        p.fillPath(path, QColor(0x2c, 0xa0, 0x2c));
        break;
    case RankChange::Down:
        path.addPolygon(QPolygonF({QPointF(1, 3), QPointF(11, 3), QPointF(6, 11)}));
        p.fillPath(path, QColor(0xd6, 0x27, 0x28));
        break;
    case RankChange::Same:
        p.fillRect(QRectF(1, 5, 10, 3), Qt::gray);
        break;
    case RankChange::WasError:
    case RankChange::None:
        p.setPen(QPen(Qt::gray, 2));
        p.drawEllipse(QRectF(2, 2, 8, 8));
        break;
    }
    return QIcon(pixmap);
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
    HistoryButton = named(new QPushButton(QStringLiteral("History"), this), "HistoryButton");
    m_historyStatus = named(new QLabel(this), "RankHistoryStatus");
    m_historyStatus->hide();

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
    m_model->setDecorations([running = QIcon(), changes = QHash<int, QIcon>()](const RankListModel::Row& row,
                                                                               int column) mutable -> QVariant {
        // Only the running mark is ever a row icon.
        if (column == RankListModel::EnginesColumn && row.image == RowImage::Running) {
            if (running.isNull())
                running = EngineRowImages::icon(RowImage::Running);
            return running;
        }
        if (column == RankListModel::ResultColumn && row.change != RankChange::None) {
            auto it = changes.find(int(row.change));
            if (it == changes.end())
                it = changes.insert(int(row.change), changeIcon(row.change));
            return it.value();
        }
        return QVariant();
    });

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
    depth->addWidget(HistoryButton);
    depth->addWidget(Button9);
    form->addLayout(depth, 2, 1);
    form->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(RankView, 1);
    layout->addWidget(m_historyStatus);

    connect(Button8, &QPushButton::clicked, this, &TRankingPage::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &TRankingPage::Button9Click);
    connect(m_resultDelegate, &HtmlCellDelegate::linkActivated, this, &TRankingPage::openListing);
    connect(HistoryButton, &QPushButton::clicked, this,
            [this] { emit historyRequested(ComboBox1->currentText(), RankUrl->text()); });
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

RankHistory* TRankingPage::rankHistory()
{
    if (m_history)
        return m_history.get();
    auto store = std::make_unique<HistoryStore>(m_programDir);
    QString problem;
    if (!store->open()) {
        problem = store->errorText();
    } else {
        auto history = std::make_unique<RankHistory>(*store);
        if (history->ensure()) {
            m_store = std::move(store);
            m_history = std::move(history);
            m_historyStatus->hide();
            return m_history.get();
        }
        problem = history->errorText();
    }
    m_historyStatus->setText(QStringLiteral("Rank results are not kept: %1").arg(problem));
    m_historyStatus->show();
    return nullptr;
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
    RankHistory* history = rankHistory();
    RankRecorder recorder(&check, history);
    recorder.setModel(m_model);
    if (history)
        connect(&recorder, &RankRecorder::recorded, this, &TRankingPage::rankStored);
    connect(&recorder, &RankRecorder::storeFailed, this, [this](const QString& text) {
        m_historyStatus->setText(QStringLiteral("Rank results are not kept: %1").arg(text));
        m_historyStatus->show();
    });
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
