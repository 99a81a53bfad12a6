#include "RankHistoryWindow.h"

#include "RankHistory.h"
#include "RankHistoryCsv.h"
#include "RankSummaryModel.h"

#include "history/HistoryStore.h"
#include "ui/Dialogs.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDateTimeAxis>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

const QColor EngineColors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
                               QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                               QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};

void hideFromLegend(QChart* chart, QAbstractSeries* series)
{
    for (QLegendMarker* marker : chart->legend()->markers(series))
        marker->setVisible(false);
}

} // namespace

RankHistoryWindow::RankHistoryWindow(const QString& programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), m_programDir(programDir)
{
    setObjectName(QStringLiteral("RankHistoryWindow"));
    setWindowTitle(QStringLiteral("Rank History"));
    resize(820, 640);

    KeywordBox = new QComboBox(this);
    KeywordBox->setObjectName(QStringLiteral("KeywordBox"));
    KeywordBox->setEditable(true);
    KeywordBox->setInsertPolicy(QComboBox::NoInsert);
    UrlBox = new QComboBox(this);
    UrlBox->setObjectName(QStringLiteral("UrlBox"));
    UrlBox->setEditable(true);
    UrlBox->setInsertPolicy(QComboBox::NoInsert);
    auto* show = new QPushButton(QStringLiteral("Show"), this);
    show->setObjectName(QStringLiteral("ShowButton"));

    ChartView = new QChartView(this);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setMinimumHeight(320);

    m_summary = new RankSummaryModel(this);
    EngineTable = new QTableView(this);
    EngineTable->setObjectName(QStringLiteral("EngineTable"));
    EngineTable->setModel(m_summary);
    EngineTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    EngineTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    EngineTable->verticalHeader()->hide();
    EngineTable->horizontalHeader()->setStretchLastSection(true);
    EngineTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("HistoryStatus"));
    ExportButton = new QPushButton(QStringLiteral("Export CSV…"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("Keyword"), this), 0, 0);
    form->addWidget(KeywordBox, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("URL"), this), 1, 0);
    form->addWidget(UrlBox, 1, 1);
    form->addWidget(show, 1, 2);
    form->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(ExportButton);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ChartView, 3);
    layout->addWidget(EngineTable, 1);
    layout->addLayout(buttons);

    connect(show, &QPushButton::clicked, this, &RankHistoryWindow::reload);
    connect(KeywordBox, &QComboBox::activated, this, &RankHistoryWindow::reload);
    connect(UrlBox, &QComboBox::activated, this, &RankHistoryWindow::reload);
    connect(KeywordBox->lineEdit(), &QLineEdit::returnPressed, this, &RankHistoryWindow::reload);
    connect(UrlBox->lineEdit(), &QLineEdit::returnPressed, this, &RankHistoryWindow::reload);
    connect(ExportButton, &QPushButton::clicked, this, &RankHistoryWindow::exportCsv);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

RankHistoryWindow::~RankHistoryWindow() = default;

bool RankHistoryWindow::openStore()
{
    if (m_history)
        return true;
    auto store = std::make_unique<HistoryStore>(m_programDir);
    if (!store->open()) {
        m_status->setText(store->errorText());
        return false;
    }
    auto history = std::make_unique<RankHistory>(*store);
    if (!history->ensure()) {
        m_status->setText(history->errorText());
        return false;
    }
    m_store = std::move(store);
    m_history = std::move(history);
    return true;
}

void RankHistoryWindow::showFor(const QString& keyword, const QString& url)
{
    KeywordBox->setCurrentText(keyword);
    UrlBox->setCurrentText(url);
    // With no keyword typed yet, the last one checked is the likely question.
    if (keyword.trimmed().isEmpty() && openStore()) {
        const QStringList keywords = m_history->keywords();
        if (!keywords.isEmpty()) {
            KeywordBox->setCurrentText(keywords.first());
            UrlBox->setCurrentText(m_history->urls(keywords.first()).value(0, url));
        }
    }
    reload();
    show();
    raise();
    activateWindow();
}

void RankHistoryWindow::reload()
{
    m_rows.clear();
    if (openStore()) {
        const QString keyword = KeywordBox->currentText();
        const QString url = UrlBox->currentText();
        // The choices are what the store holds; the texts stay as typed.
        const QSignalBlocker blockKeyword(KeywordBox);
        const QSignalBlocker blockUrl(UrlBox);
        KeywordBox->clear();
        KeywordBox->addItems(m_history->keywords());
        KeywordBox->setCurrentText(keyword);
        UrlBox->clear();
        UrlBox->addItems(m_history->urls(keyword));
        UrlBox->setCurrentText(url);
        m_rows = m_history->rows(keyword, url);
        m_status->setText(m_rows.isEmpty() ? QStringLiteral("No rank checks stored for this keyword and URL.")
                                           : QStringLiteral("%1 results stored.").arg(m_rows.size()));
    }
    m_summary->setRows(m_rows);
    ExportButton->setEnabled(!m_rows.isEmpty());
    rebuildChart();
}

void RankHistoryWindow::rebuildChart()
{
    m_chart = RankChartModel(m_rows);
    m_seriesRows.clear();
    auto* chart = new QChart;
    chart->setTitle(m_rows.isEmpty() ? QStringLiteral("No rank checks")
                                     : QStringLiteral("\"%1\" for %2").arg(m_rows.first().keyword.toHtmlEscaped(),
                                                                           m_rows.first().url.toHtmlEscaped()));
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto* timeAxis = new QDateTimeAxis;
    // Checks minutes apart need the seconds; checks months apart the year.
    const qint64 span = m_chart.lastTime() - m_chart.firstTime();
    timeAxis->setFormat(span < 3LL * 3600 * 1000         ? QStringLiteral("HH:mm:ss")
                        : span < 60LL * 24 * 3600 * 1000 ? QStringLiteral("dd MMM HH:mm")
                                                          : QStringLiteral("dd MMM yyyy"));
    timeAxis->setTitleText(QStringLiteral("Checked"));
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_chart.firstTime()),
                       QDateTime::fromMSecsSinceEpoch(m_chart.lastTime()));
    auto* boundAxis = new QCategoryAxis;
    boundAxis->setTitleText(QStringLiteral("In the top"));
    boundAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    boundAxis->setReverse(true);
    boundAxis->setStartValue(m_chart.axisMin());
    for (int v : m_chart.labels())
        boundAxis->append(QString::number(v), v);
    boundAxis->append(QStringLiteral("not found"), m_chart.bandY());
    boundAxis->setRange(m_chart.axisMin(), m_chart.axisMax());
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(boundAxis, Qt::AlignLeft);

    const auto add = [&](QXYSeries* series, const QVector<RankChartModel::Point>& points, bool legend) {
        QVector<int> rows;
        for (const RankChartModel::Point& p : points) {
            series->append(p.at);
            rows.append(p.row);
        }
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(boundAxis);
        if (!legend)
            hideFromLegend(chart, series);
        m_seriesRows.insert(series, rows);
        connect(series, &QXYSeries::hovered, this, &RankHistoryWindow::pointHovered);
    };

    if (!m_rows.isEmpty()) {
        // The band's upper edge, so not-found points read as apart from the bounds.
        auto* edge = new QLineSeries;
        const double edgeY = (m_chart.labels().last() + m_chart.bandY()) / 2;
        edge->append(m_chart.firstTime(), edgeY);
        edge->append(m_chart.lastTime(), edgeY);
        edge->setPen(QPen(Qt::gray, 1, Qt::DashLine));
        chart->addSeries(edge);
        edge->attachAxis(timeAxis);
        edge->attachAxis(boundAxis);
        hideFromLegend(chart, edge);
    }

    int colorIndex = 0;
    for (const RankChartModel::EngineSeries& engine : m_chart.engines()) {
        const QColor color = EngineColors[colorIndex++ % std::size(EngineColors)];
        bool named = false;
        const auto name = [&](QAbstractSeries* series) {
            const bool first = !named;
            if (first)
                series->setName(engine.engine);
            named = true;
            return first;
        };
        for (const QVector<RankChartModel::Point>& segment : engine.segments) {
            auto* line = new QLineSeries;
            line->setPen(QPen(color, 2));
            line->setPointsVisible(true);
            line->setMarkerSize(7);
            add(line, segment, name(line));
        }
        if (!engine.notFound.isEmpty()) {
            auto* band = new QScatterSeries;
            band->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
            band->setMarkerSize(9);
            band->setColor(Qt::white);
            band->setBorderColor(color);
            add(band, engine.notFound, name(band));
        }
        if (!engine.gaps.isEmpty()) {
            auto* gaps = new QScatterSeries;
            gaps->setMarkerShape(QScatterSeries::MarkerShapeStar);
            gaps->setMarkerSize(11);
            gaps->setColor(color.lighter(140));
            gaps->setBorderColor(Qt::darkGray);
            add(gaps, engine.gaps, name(gaps));
        }
    }

    QChart* old = ChartView->chart();
    ChartView->setChart(chart);
    delete old;
}

void RankHistoryWindow::pointHovered(const QPointF& point, bool state)
{
    if (!state) {
        QToolTip::hideText();
        return;
    }
    auto* series = qobject_cast<QXYSeries*>(sender());
    const QVector<int> rows = m_seriesRows.value(series);
    if (!series || rows.isEmpty())
        return;
    // The point nearest in time is the one under the cursor.
    const QList<QPointF> points = series->points();
    int nearest = 0;
    for (int i = 1; i < points.size() && i < rows.size(); ++i) {
        if (qAbs(points.at(i).x() - point.x()) < qAbs(points.at(nearest).x() - point.x()))
            nearest = i;
    }
    QToolTip::showText(QCursor::pos(), m_chart.tip(rows.at(nearest)), ChartView);
}

void RankHistoryWindow::exportCsv()
{
    if (m_rows.isEmpty())
        return;
    const QString path = Dialogs::saveFileName(this, QStringLiteral("Export CSV"),
                                               QDir::home().filePath(QStringLiteral("rank-history.csv")),
                                               QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(RankHistoryCsv::document(m_rows)) < 0 || !file.commit()) {
        Dialogs::error(this, QStringLiteral("Unable to write to %1").arg(path));
        return;
    }
    m_status->setText(QStringLiteral("%1 results written to %2.").arg(m_rows.size()).arg(path));
}
