// The engine models, the "Auto Submit Engines" and "Manual Engines" pages:
// loading, filters, totals, clicks, Delete Engine and the manual list.
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineLine.h"
#include "submission/EngineListView.h"
#include "submission/EngineModel.h"
#include "submission/ListFile.h"
#include "submission/ManualEngineModel.h"
#include "submission/ManualEnginesPage.h"

#include "support/EngineLoad.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include "ui/ProgressWindow.h"
#include "ui/TCLEDLabel.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPaintEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QByteArray engineLine(const QString& name, const QString& type, const QString& site = QString())
{
    const QString url = site.isEmpty() ? QStringLiteral("http://127.0.0.1:8088/site/") + name : site;
    return (name + QLatin1Char('=') + type + QLatin1Char('|') + url + QStringLiteral("|submit|t|u|")).toUtf8();
}

QByteArray lines(const QList<QByteArray>& list)
{
    QByteArray out;
    for (const QByteArray& line : list)
        out += line + "\r\n";
    return out;
}

int rowOf(const EngineModel& model, const QString& name)
{
    for (int i = 0; i < model.count(); ++i) {
        if (model.engineName(i) == name)
            return i;
    }
    return -1;
}

bool checkedByName(const EngineModel& model, const QString& name)
{
    const int row = rowOf(model, name);
    return row >= 0 && model.isChecked(row);
}

QList<ProgressWindow*> progressWindows()
{
    QList<ProgressWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* p = qobject_cast<ProgressWindow*>(w))
            found.append(p);
    }
    return found;
}

// One of every type, in the order the database sorts them.
const QList<QByteArray> kEveryType = {
    engineLine(QStringLiteral("a-engine"), QStringLiteral("ENGINE")),
    engineLine(QStringLiteral("b-classified"), QStringLiteral("CLASSIFIED")),
    engineLine(QStringLiteral("c-ffa"), QStringLiteral("FFA")),
    engineLine(QStringLiteral("d-batch"), QStringLiteral("BATCH->3")),
    engineLine(QStringLiteral("e-custom-engine"), QStringLiteral("Custom->Engine")),
    engineLine(QStringLiteral("f-custom-classified"), QStringLiteral("Custom->Classified")),
    engineLine(QStringLiteral("g-custom-ffa"), QStringLiteral("Custom->FFA")),
    engineLine(QStringLiteral("h-other"), QStringLiteral("DIRECTORY")),
};

} // namespace

class TestEngineViews : public QObject
{
    Q_OBJECT

private slots:
    void engineModelPassesTester();
    void outcomeIsOneChange_data();
    void outcomeIsOneChange();
    void manualModelPassesTester();

    void rowImagesAreDistinct();
    void progressWindowLayout();
    void loadShowsColumns();
    void loadOfEmptyFile();
    void startupMarks_data();
    void startupMarks();
    void filterScopes();
    void batchTotals();
    void badBatchCountNeverStopsAPass();
    void recountMatchesFilter();
    void loadLetsEventsRun();
    void loadOrder_data();
    void loadOrder();
    void loadIsExclusive();
    void loadFailureKeepsViewAndRemovesWindow();
    void loadRefusedWhileRunBusy();

    void checkAreaClickToggles();
    void changedRowsArePainted_data();
    void changedRowsArePainted();
    void addressCellsOpen();

    void deleteEngineRewritesFile();
    void deleteEngineRemovesTheSelectedTwin();
    void deleteEngineWithoutSelection();
    void deleteEngineRefusedWhileRunBusy();

    void manualLoad_data();
    void manualLoad();
    void manualLoadAppendsAndKeepsDelimiter();
    void manualLoadOfMissingFile();
    void manualDeleteRewritesFile();
    void manualHeaderSorts();
};

void TestEngineViews::engineModelPassesTester()
{
    EngineModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVector<EngineRow> rows;
    for (const char* line : {"x=FFA|http://x/|", "y=BATCH->4|http://y/|", "z=ENGINE|"})
        rows.append(EngineRow::fromLine(QString::fromLatin1(line)));
    model.setRows(rows);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Engines"));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QStringLiteral("Type"));
    QCOMPARE(model.submissionWeight(1), 4);
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(model.flags(model.index(0, 1)) & Qt::ItemIsEditable));

    model.setChecked(1, true);
    QCOMPARE(model.data(model.index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    model.setCheckedQuietly(0, true);
    model.setCheckedQuietly(2, true);
    model.flushChecks();
    QCOMPARE(model.checkedRows(), (QVector<int>{0, 1, 2}));

    QVERIFY(model.data(model.index(0, 0), Qt::DecorationRole).isNull());
    model.setRowImage(0, RowImage::Running);
    QVERIFY(!model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    model.setResult(0, QStringLiteral("OK"));
    model.setDate(0, QStringLiteral("07/12/2026 10:00:00"));
    QCOMPARE(model.data(model.index(0, EngineModel::ResultColumn)).toString(), QStringLiteral("OK"));
    model.clearResult(0);
    QVERIFY(model.data(model.index(0, 0), Qt::DecorationRole).isNull());
    QCOMPARE(model.data(model.index(0, EngineModel::DateColumn)).toString(), QString());

    QSignalSpy toggled(&model, &EngineModel::checkToggled);
    model.setChecked(2, false); // by program: no user toggle
    QCOMPARE(toggled.count(), 0);
    model.toggleByUser(2);
    QCOMPARE(toggled.count(), 1);
    QVERIFY(model.isChecked(2));

    model.removeEngine(1);
    QCOMPARE(model.engineName(1), QStringLiteral("z"));
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestEngineViews::outcomeIsOneChange_data()
{
    // Row 1 shows "OK", the OK image and date "d0" before each row's outcome.
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("image");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("changes");
    QTest::newRow("all new") << QStringLiteral("Not Found") << int(RowImage::Failed) << QStringLiteral("d1") << 1;
    QTest::newRow("only the date") << QStringLiteral("OK") << int(RowImage::Ok) << QStringLiteral("d1") << 1;
    QTest::newRow("only the image") << QStringLiteral("OK") << int(RowImage::TimedOut) << QStringLiteral("d0") << 1;
    QTest::newRow("nothing new") << QStringLiteral("OK") << int(RowImage::Ok) << QStringLiteral("d0") << 0;
}

void TestEngineViews::outcomeIsOneChange()
{
    QFETCH(QString, result);
    QFETCH(int, image);
    QFETCH(QString, date);
    QFETCH(int, changes);
    EngineModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setRows({EngineRow::fromLine(QStringLiteral("x=FFA|http://x/|")),
                   EngineRow::fromLine(QStringLiteral("y=FFA|http://y/|"))});
    model.setOutcome(1, QStringLiteral("OK"), RowImage::Ok, QStringLiteral("d0"));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setOutcome(1, result, RowImage(image), date);
    QCOMPARE(changed.count(), changes);
    if (changes > 0) {
        // One range that covers every cell written, so a view repaints them all.
        const auto from = changed.first().at(0).value<QModelIndex>();
        const auto to = changed.first().at(1).value<QModelIndex>();
        QCOMPARE(from.row(), 1);
        QCOMPARE(to.row(), 1);
        QVERIFY(from.column() <= EngineModel::EnginesColumn);
        QVERIFY(to.column() >= EngineModel::DateColumn);
        const auto roles = changed.first().at(2).value<QList<int>>();
        for (int role : {int(Qt::DisplayRole), int(Qt::DecorationRole)})
            QVERIFY(roles.isEmpty() || roles.contains(role));
    }
    QCOMPARE(model.row(1).result, result);
    QCOMPARE(int(model.row(1).image), image);
    QCOMPARE(model.row(1).date, date);
    QCOMPARE(model.row(0).result, QString());
}

void TestEngineViews::manualModelPassesTester()
{
    ManualEngineModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.appendRows({{"b", "http://b/", "http://b/s"}, {"A", "http://a/"}});
    QCOMPARE(model.columnCount(), 3);
    model.appendRows({{"c", "1", "2", "3", "4"}});
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Home Page"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Submit Here"));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString());
    QPersistentModelIndex b = model.index(0, 0);
    model.sort(0, Qt::AscendingOrder);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("A"));
    QCOMPARE(b.row(), 1);
    QCOMPARE(b.data().toString(), QStringLiteral("b"));
    model.sort(0, Qt::DescendingOrder);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("c"));
    model.removeEngine(0);
    QCOMPARE(model.count(), 2);
    model.clear();
    QCOMPARE(model.columnCount(), 3);
}

void TestEngineViews::rowImagesAreDistinct()
{
    const RowImage all[] = {RowImage::Failed, RowImage::Running, RowImage::Ok, RowImage::TimedOut};
    for (RowImage a : all) {
        const QImage image = EngineRowImages::image(a);
        QCOMPARE(image.size(), QSize(EngineRowImages::Size, EngineRowImages::Size));
        QVERIFY(!EngineRowImages::icon(a).isNull());
        for (RowImage b : all) {
            if (a != b)
                QVERIFY(image != EngineRowImages::image(b));
        }
    }
    QVERIFY(EngineRowImages::image(RowImage::None).isNull());
    QVERIFY(EngineRowImages::icon(RowImage::None).isNull());
}

void TestEngineViews::progressWindowLayout()
{
    QWidget owner;
    owner.setWindowIcon(QIcon(QPixmap::fromImage(EngineRowImages::image(RowImage::Ok))));
    ProgressWindow window(QStringLiteral("Please wait while database loads"), &owner);
    QVERIFY(window.isWindow());
    QVERIFY(window.windowFlags() & Qt::Tool);
    QVERIFY(!(window.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(window.size(), QSize(350, 85));
    QCOMPARE(window.windowTitle(), QStringLiteral("Please wait while database loads"));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.EngineLabel->text(), QStringLiteral("Engine: "));
    QCOMPARE(window.EngineLabel->pos(), QPoint(10, 10));
    QCOMPARE(window.EngineName->pos(), QPoint(110, 10));
    QCOMPARE(window.CountLabel->text(), QStringLiteral("Count "));
    QCOMPARE(window.CountLabel->pos(), QPoint(10, 25));
    QCOMPARE(window.CountValue->pos(), QPoint(110, 25));
    QCOMPARE(window.Gauge1->geometry(), QRect(0, 85 - 16, 350, 16));
    window.setMaximum(200);
    window.setPosition(50);
    window.showItem(QStringLiteral("Some Engine"), 50);
    QCOMPARE(window.Gauge1->maximum(), 200);
    QCOMPARE(window.Gauge1->value(), 50);
    QCOMPARE(window.EngineName->text(), QStringLiteral("Some Engine"));
    QCOMPARE(window.CountValue->text(), QStringLiteral("50"));
}

void TestEngineViews::loadShowsColumns()
{
    TempProgramDir dir;
    // The site address without its "|" shows an empty URL.
    dir.write(QStringLiteral("data/data.ist"),
              lines({"Full=FFA|http://full/|", "Short=FFA|http://short/", "Zed=ENGINE|http://zed/|x|"}));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    const EngineModel& model = *page.model();
    QCOMPARE(model.count(), 3);
    QCOMPARE(model.data(model.index(0, EngineModel::EnginesColumn)).toString(), QStringLiteral("Full"));
    QCOMPARE(model.data(model.index(0, EngineModel::UrlColumn)).toString(), QStringLiteral("http://full/"));
    QCOMPARE(model.data(model.index(0, EngineModel::TypeColumn)).toString(), QStringLiteral("FFA"));
    QCOMPARE(model.data(model.index(1, EngineModel::UrlColumn)).toString(), QString());
    QCOMPARE(model.data(model.index(1, EngineModel::TypeColumn)).toString(), QStringLiteral("FFA"));
    QCOMPARE(model.data(model.index(2, EngineModel::ResultColumn)).toString(), QString());
    QVERIFY(model.data(model.index(2, 0), Qt::DecorationRole).isNull());
    QCOMPARE(page.database().count(), 3);
    QVERIFY(progressWindows().isEmpty());
    // The counters of the panel start at 0; "Total" is the filter's.
    QCOMPARE(page.TotalDis->text(), QStringLiteral("2"));
    QCOMPARE(page.CLEDLabel2->text(), QStringLiteral("0"));
    QCOMPARE(page.CLEDLabel3->text(), QStringLiteral("0"));
    QCOMPARE(page.CLEDLabel4->text(), QStringLiteral("0"));
    QVERIFY(!page.BitCheckBox4->isChecked());
    QVERIFY(page.BitCheckBox6->isChecked() && page.BitCheckBox7->isChecked());
    QVERIFY(page.CustomCk->isChecked() && page.BitCheckBox5->isChecked());
    QVERIFY(page.CustomCk->isHidden() && page.BitCheckBox5->isHidden());
    QVERIFY(!page.BitCheckBox4->isHidden());
    QCOMPARE(page.Button6->text(), QStringLiteral("Submit"));
    QCOMPARE(page.Button7->text(), QStringLiteral("Stop"));
}

void TestEngineViews::loadOfEmptyFile()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"Old=FFA|x|"}));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QCOMPARE(page.TotalDis->value(), 1);
    dir.write(QStringLiteral("data/data.ist"), QByteArray());
    QVERIFY(loadEngines(page));
    QCOMPARE(page.model()->count(), 0);
    QCOMPARE(page.database().count(), 0);
    QCOMPARE(page.TotalDis->text(), QStringLiteral("0"));
}

void TestEngineViews::startupMarks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("checked");
    QTest::newRow("ENGINE unchecked") << "a-engine" << false;
    QTest::newRow("CLASSIFIED checked") << "b-classified" << true;
    QTest::newRow("FFA checked") << "c-ffa" << true;
    QTest::newRow("BATCH checked") << "d-batch" << true;
    QTest::newRow("Custom->Engine unchecked") << "e-custom-engine" << false;
    QTest::newRow("Custom->Classified checked") << "f-custom-classified" << true;
    QTest::newRow("Custom->FFA checked") << "g-custom-ffa" << true;
    QTest::newRow("unknown type unchecked") << "h-other" << false;
}

void TestEngineViews::startupMarks()
{
    QFETCH(QString, name);
    QFETCH(bool, checked);
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines(kEveryType));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    // The load's own passes leave the classifieds box's rows alone; the
    // start-up's pass with scope All then marks them too.
    if (name != QLatin1String("b-classified"))
        QCOMPARE(checkedByName(*page.model(), name), checked);
    else
        QVERIFY(!checkedByName(*page.model(), name));
    page.ApplyEngineFilter(EngineFilter::Scope::All);
    QCOMPARE(checkedByName(*page.model(), name), checked);
    // CLASSIFIED 1, FFA 1, BATCH 3, the two custom rows 2.
    QCOMPARE(page.TotalDis->value(), 7);
}

void TestEngineViews::filterScopes()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines(kEveryType));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    page.ApplyEngineFilter(EngineFilter::Scope::All);
    EngineModel& model = *page.model();
    // A mark set by hand on an unknown type survives every pass.
    model.setChecked(rowOf(model, QStringLiteral("h-other")), true);

    // "FFA/Classifieds" off: FFA and custom FFA rows go, CLASSIFIED rows stay.
    QTest::mouseClick(page.BitCheckBox6, Qt::LeftButton);
    QVERIFY(!page.BitCheckBox6->isChecked());
    QVERIFY(!checkedByName(model, QStringLiteral("c-ffa")));
    QVERIFY(!checkedByName(model, QStringLiteral("g-custom-ffa")));
    QVERIFY(checkedByName(model, QStringLiteral("b-classified")));
    QVERIFY(checkedByName(model, QStringLiteral("f-custom-classified")));
    QVERIFY(!checkedByName(model, QStringLiteral("a-engine")));
    QVERIFY(checkedByName(model, QStringLiteral("h-other")));
    QCOMPARE(page.TotalDis->value(), 1 + 3 + 1 + 1); // classified, batch, custom classified, other

    // "Search Engines" on: ENGINE and custom engine rows come in.
    QTest::mouseClick(page.BitCheckBox4, Qt::LeftButton);
    QVERIFY(checkedByName(model, QStringLiteral("a-engine")));
    QVERIFY(checkedByName(model, QStringLiteral("e-custom-engine")));
    QVERIFY(!checkedByName(model, QStringLiteral("c-ffa")));

    // An ENGINE row unchecked by hand: a click on another box keeps it so.
    model.setChecked(rowOf(model, QStringLiteral("a-engine")), false);
    QTest::mouseClick(page.BitCheckBox6, Qt::LeftButton);
    QVERIFY(!checkedByName(model, QStringLiteral("a-engine")));
    QVERIFY(checkedByName(model, QStringLiteral("c-ffa")));

    // The hidden "Custom Engines" box off: every custom row goes.
    page.CustomCk->setChecked(false);
    page.CustomCkClick();
    QVERIFY(!checkedByName(model, QStringLiteral("e-custom-engine")));
    QVERIFY(!checkedByName(model, QStringLiteral("f-custom-classified")));
    QVERIFY(!checkedByName(model, QStringLiteral("g-custom-ffa")));
    QVERIFY(checkedByName(model, QStringLiteral("b-classified")));

    // A scope that matches no box applies only the batch and custom rules.
    page.CustomCk->setChecked(true);
    model.setChecked(rowOf(model, QStringLiteral("c-ffa")), false);
    page.ApplyEngineFilter(EngineFilter::Scope::Other);
    QVERIFY(!checkedByName(model, QStringLiteral("c-ffa")));
    QVERIFY(checkedByName(model, QStringLiteral("g-custom-ffa")));
}

void TestEngineViews::batchTotals()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({engineLine(QStringLiteral("big"), QStringLiteral("BATCH->25")),
                                                      engineLine(QStringLiteral("ffa1"), QStringLiteral("FFA")),
                                                      engineLine(QStringLiteral("ffa2"), QStringLiteral("FFA"))}));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QCOMPARE(page.TotalDis->value(), 27);
    QTest::mouseClick(page.BitCheckBox7, Qt::LeftButton);
    QVERIFY(!checkedByName(*page.model(), QStringLiteral("big")));
    QCOMPARE(page.TotalDis->value(), 2);
    QTest::mouseClick(page.BitCheckBox7, Qt::LeftButton);
    QCOMPARE(page.TotalDis->value(), 27);
    // A row checked by hand counts its N in the recount too.
    page.model()->setChecked(rowOf(*page.model(), QStringLiteral("ffa1")), false);
    page.RecountSelection();
    QCOMPARE(page.TotalDis->value(), 26);
}

void TestEngineViews::badBatchCountNeverStopsAPass()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"),
              lines({engineLine(QStringLiteral("a-bad"), QStringLiteral("BATCH->lots")),
                     engineLine(QStringLiteral("b-ffa"), QStringLiteral("FFA")),
                     engineLine(QStringLiteral("c-good"), QStringLiteral("BATCH->10"))}));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QVERIFY(dialogs.messages().isEmpty());
    // The bad row counts 1 and the rows after it are still marked.
    QVERIFY(checkedByName(*page.model(), QStringLiteral("b-ffa")));
    QVERIFY(checkedByName(*page.model(), QStringLiteral("c-good")));
    QCOMPARE(page.TotalDis->value(), 1 + 1 + 10);
    page.RecountSelection();
    QCOMPARE(page.TotalDis->value(), 12);
    QCOMPARE(page.model()->submissionWeight(rowOf(*page.model(), QStringLiteral("a-bad"))), 1);
}

void TestEngineViews::recountMatchesFilter()
{
    TempProgramDir dir;
    QList<QByteArray> list = kEveryType;
    list.append(engineLine(QStringLiteral("i-batch"), QStringLiteral("BATCH->40")));
    dir.write(QStringLiteral("data/data.ist"), lines(list));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    for (QCheckBox* box : {page.BitCheckBox4, page.BitCheckBox6, page.BitCheckBox7, page.BitCheckBox4}) {
        QTest::mouseClick(box, Qt::LeftButton);
        const long long byFilter = page.TotalDis->value();
        page.RecountSelection();
        QCOMPARE(page.TotalDis->value(), byFilter);
    }
}

void TestEngineViews::loadLetsEventsRun()
{
    TempProgramDir dir;
    QByteArray data;
    for (int i = 0; i < 20000; ++i)
        data +=
            engineLine(QStringLiteral("engine%1").arg(19999 - i), i % 2 ? QStringLiteral("FFA") : "ENGINE") + "\r\n";
    dir.write(QStringLiteral("data/data.ist"), data);
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    bool ranDuringLoad = false;
    bool windowShown = false;
    QMetaObject::invokeMethod(
        &page,
        [&] {
            ranDuringLoad = page.listBusy();
            const QList<ProgressWindow*> windows = progressWindows();
            windowShown = windows.size() == 1 && windows.first()->isVisible() &&
                          windows.first()->windowTitle() == QStringLiteral("Please wait while database loads");
        },
        Qt::QueuedConnection);
    // A precise 10 ms timer: the longest gap between its ticks is the longest the window stood still.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    int ticks = 0;
    int gaugeMoves = 0;
    connect(&ticker, &QTimer::timeout, &page, [&] {
        longestGapMs = qMax(longestGapMs, sinceTick.restart());
        ++ticks;
        const QList<ProgressWindow*> windows = progressWindows();
        if (windows.size() == 1 && windows.first()->Gauge1->value() > 0)
            ++gaugeMoves;
    });
    QSignalSpy loaded(&page, &AutoSubmitEnginesPage::databaseLoaded);
    QVERIFY(page.LoadEngineDatabase());
    sinceTick.start();
    ticker.start();
    QVERIFY(loaded.wait(60000));
    ticker.stop();
    QVERIFY(ranDuringLoad);
    QVERIFY(windowShown);
    QVERIFY2(ticks > 2, qPrintable(QString::number(ticks)));
    QVERIFY(gaugeMoves > 0);
    QVERIFY2(longestGapMs < 100, qPrintable(QStringLiteral("longest gap %1 ms").arg(longestGapMs)));
    QVERIFY(progressWindows().isEmpty());
    QVERIFY(!page.listBusy());
    QCOMPARE(page.model()->count(), 20000);
    QCOMPARE(page.model()->engineName(0), QStringLiteral("engine0"));
    // Whole lines compare: "engine9=" sorts after "engine9999=".
    QCOMPARE(page.model()->engineName(19999), QStringLiteral("engine9"));
    QCOMPARE(page.TotalDis->value(), 10000);
    QVERIFY(dialogs.calls().isEmpty());
}

void TestEngineViews::loadOrder_data()
{
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << QStringList() << QStringList();
    QTest::newRow("sorted without case") << QStringList{"beta=FFA|b|", "Alpha=FFA|a|", "gamma=FFA|g|"}
                                         << QStringList{"Alpha=FFA|a|", "beta=FFA|b|", "gamma=FFA|g|"};
    QTest::newRow("twins in case: the first in the file stays")
        << QStringList{"beta=FFA|b|", "ALPHA=FFA|A|", "Beta=FFA|B|", "alpha=FFA|a|", "beta=FFA|b|"}
        << QStringList{"ALPHA=FFA|A|", "beta=FFA|b|"};
    QTest::newRow("same name, other fields: both stay") << QStringList{"Engine=FFA|second|", "ENGINE=FFA|first|"}
                                                        << QStringList{"ENGINE=FFA|first|", "Engine=FFA|second|"};
    QTest::newRow("exact duplicates far apart")
        << QStringList{"x=ENGINE|1|", "m=FFA|2|", "a=FFA|3|", "x=ENGINE|1|", "M=FFA|2|"}
        << QStringList{"a=FFA|3|", "m=FFA|2|", "x=ENGINE|1|"};
    // Many runs and merge passes, with twins in every case landing in other runs.
    QStringList many;
    QStringList manyExpected;
    for (int i = 0; i < 3000; ++i) {
        const int id = (i * 7919) % 3000;
        const QString line = QStringLiteral("Engine %1=FFA|http://s/%1|").arg(id, 4, 10, QLatin1Char('0'));
        many << line;
        if (i % 3 == 0)
            many << line.toUpper();
        if (i % 5 == 0)
            many << line.toLower();
    }
    for (int id = 0; id < 3000; ++id)
        manyExpected << QStringLiteral("Engine %1=FFA|http://s/%1|").arg(id, 4, 10, QLatin1Char('0'));
    QTest::newRow("3000 lines and 1600 twins") << many << manyExpected;
}

// The load in units gives the order and the duplicates a whole sort gives.
void TestEngineViews::loadOrder()
{
    QFETCH(QStringList, file);
    QFETCH(QStringList, expected);
    TempProgramDir dir;
    QByteArray bytes;
    for (const QString& line : file)
        bytes += line.toUtf8() + "\r\n";
    dir.write(QStringLiteral("data/data.ist"), bytes);
    // The whole sort: stable by the database's comparison, then a line equal to the one kept before it dropped.
    QStringList whole = file;
    std::stable_sort(whole.begin(), whole.end(),
                     [](const QString& a, const QString& b) { return EngineDatabase::compareLines(a, b) < 0; });
    QStringList unique;
    for (const QString& line : whole) {
        if (unique.isEmpty() || EngineDatabase::compareLines(unique.last(), line) != 0)
            unique << line;
    }
    QCOMPARE(unique, expected);

    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QCOMPARE(page.database().lines(), expected);
    QCOMPARE(page.model()->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        const QString name = EngineLine::nameOf(expected.at(i));
        QCOMPARE(page.model()->engineName(i), name);
        // The name index points at the first line of that name in the new order.
        int first = i;
        while (first > 0 && EngineLine::nameOf(expected.at(first - 1)).compare(name, Qt::CaseInsensitive) == 0)
            --first;
        QCOMPARE(page.database().indexOf(name), first);
    }
}

void TestEngineViews::loadIsExclusive()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"Old=FFA|x|", "Older=FFA|y|"}));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    dir.write(QStringLiteral("data/data.ist"), lines({"New=FFA|n|"}));
    QSignalSpy loaded(&page, &AutoSubmitEnginesPage::databaseLoaded);
    QVERIFY(page.LoadEngineDatabase());
    QVERIFY(page.listBusy());
    bool settledLate = false;
    page.whenSettled(&page, [&] { settledLate = page.database().count() == 1 && !page.listBusy(); });
    QVERIFY(!settledLate);
    // A second load is refused; until the end the view and database keep the old list.
    QVERIFY(!page.LoadEngineDatabase());
    QCOMPARE(page.database().count(), 2);
    QCOMPARE(page.model()->count(), 2);
    page.AdvListView2->selectRow(0);
    page.DeleteEngine1->trigger();
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Engine List Busy"));
    QCOMPARE(page.model()->count(), 2);
    QVERIFY(loaded.wait(10000));
    QVERIFY(settledLate);
    QCOMPARE(page.model()->count(), 1);
    QCOMPARE(page.model()->engineName(0), QStringLiteral("New"));
    // Once settled, work runs at once.
    bool ranNow = false;
    page.whenSettled(&page, [&] { ranNow = true; });
    QVERIFY(ranNow);
}

void TestEngineViews::loadFailureKeepsViewAndRemovesWindow()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"Kept=FFA|x|"}));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/data.ist"))));
    bool settled = false;
    try {
        page.LoadEngineDatabase();
        QFAIL("no error for a missing data.ist");
    } catch (const ListFileError& e) {
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("data/data.ist")));
    }
    page.whenSettled(&page, [&] { settled = true; });
    QVERIFY(settled);
    QVERIFY(progressWindows().isEmpty());
    QCOMPARE(page.model()->count(), 1);
    QCOMPARE(page.database().count(), 1);
    QVERIFY(!page.listBusy());
}

void TestEngineViews::loadRefusedWhileRunBusy()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"One=FFA|x|"}));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    page.setRunBusyQuery([] { return true; });
    QVERIFY(!page.LoadEngineDatabase());
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().icon, Dialogs::Icon::Warning);
    QCOMPARE(page.model()->count(), 0);
}

void TestEngineViews::changedRowsArePainted_data()
{
    QTest::addColumn<int>("scrollRows"); // rows scrolled between the change and its repaint
    QTest::newRow("in place") << 0;
    QTest::newRow("scrolled down") << 3;
    QTest::newRow("scrolled up") << -2;
}

void TestEngineViews::changedRowsArePainted()
{
    // Rows are repainted at most every 40 ms during a run; none may be left showing an old text.
    QFETCH(int, scrollRows);
    QList<QByteArray> engines;
    for (int i = 0; i < 60; ++i)
        engines << engineLine(QStringLiteral("e%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("ENGINE"));
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines(engines));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.resize(600, 300);
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    EngineListView* view = page.AdvListView2;
    view->verticalScrollBar()->setValue(10);
    QTest::qWait(100);

    struct Painted : QObject
    {
        QRegion region;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                region += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } painted;
    view->viewport()->installEventFilter(&painted);
    EngineModel* model = page.model();
    // The first change is painted at once, the second waits for the pacing.
    model->setResult(12, QStringLiteral("first"));
    model->setResult(14, QStringLiteral("second"));
    view->verticalScrollBar()->setValue(10 + scrollRows);
    const QModelIndex second = model->index(14, EngineModel::ResultColumn);
    QTRY_VERIFY_WITH_TIMEOUT(painted.region.contains(view->visualRect(second)), 2000);
    QCOMPARE(second.data().toString(), QStringLiteral("second"));
}

void TestEngineViews::checkAreaClickToggles()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({engineLine(QStringLiteral("a"), QStringLiteral("ENGINE")),
                                                      engineLine(QStringLiteral("b"), QStringLiteral("BATCH->5"))}));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.resize(600, 300);
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    EngineListView* view = page.AdvListView2;
    QCOMPARE(page.TotalDis->value(), 5);
    const QRect first = view->visualRect(page.model()->index(0, 0));
    const QRect second = view->visualRect(page.model()->index(1, 0));

    // Within the first 14 pixels: the check box toggles and "Total" follows.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(first.left() + 5, first.center().y()));
    QVERIFY(page.model()->isChecked(0));
    QCOMPARE(page.TotalDis->value(), 6);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(second.left() + 13, second.center().y()));
    QVERIFY(!page.model()->isChecked(1));
    QCOMPARE(page.TotalDis->value(), 1);
    // Beyond them: selection only.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(first.left() + 40, first.center().y()));
    QVERIFY(page.model()->isChecked(0));
    QCOMPARE(view->selectionModel()->selectedRows().value(0).row(), 0);
    QVERIFY(dialogs.calls().isEmpty());
    // The keyboard toggles the current row's box too, and recounts.
    view->setCurrentIndex(page.model()->index(1, 0));
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(page.model()->isChecked(1));
    QCOMPARE(page.TotalDis->value(), 6);
}

void TestEngineViews::addressCellsOpen()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"),
              lines({"Site=FFA|http://127.0.0.1:8088/site/|", "Mail=FFA|mailto:me@example.test|",
                     "Plain=FFA|no address here|"}));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.resize(600, 300);
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    EngineListView* view = page.AdvListView2;
    auto clickUrl = [&](int row) {
        const QRect cell = view->visualRect(page.model()->index(row, EngineModel::UrlColumn));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    };
    const int site = rowOf(*page.model(), QStringLiteral("Site"));
    const int mail = rowOf(*page.model(), QStringLiteral("Mail"));
    const int plain = rowOf(*page.model(), QStringLiteral("Plain"));
    clickUrl(site);
    clickUrl(mail);
    clickUrl(plain);
    QCOMPARE(dialogs.calls().size(), 2);
    QCOMPARE(dialogs.calls().at(0).kind, ScriptedDialogs::Call::OpenUrl);
    QCOMPARE(dialogs.calls().at(0).url, QUrl(QStringLiteral("http://127.0.0.1:8088/site/")));
    QCOMPARE(dialogs.calls().at(1).url, QUrl(QStringLiteral("mailto:me@example.test")));
    // Opening an address does not touch the check marks.
    QVERIFY(page.model()->isChecked(site));
}

void TestEngineViews::deleteEngineRewritesFile()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), "b=BATCH->10|http://b/|\nc=FFA|http://c/|\na=FFA|http://a/|\n");
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QCOMPARE(page.TotalDis->value(), 12);
    page.AdvListView2->selectRow(1); // "b"
    page.DeleteEngine1->trigger();
    QVERIFY(dialogs.messages().isEmpty());
    QCOMPARE(dir.read(QStringLiteral("data/data.ist")), QByteArray("a=FFA|http://a/|\r\nc=FFA|http://c/|\r\n"));
    QCOMPARE(page.model()->count(), 2);
    QCOMPARE(page.model()->engineName(1), QStringLiteral("c"));
    QCOMPARE(page.database().indexOf(QStringLiteral("B")), -1);
    QCOMPARE(page.TotalDis->value(), 2);
}

void TestEngineViews::deleteEngineRemovesTheSelectedTwin()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"Twin=FFA|http://first/|", "TWIN=FFA|http://second/|"}));
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    QCOMPARE(page.model()->count(), 2);
    const int second = page.model()->row(0).siteUrl == QStringLiteral("http://second/") ? 0 : 1;
    page.AdvListView2->selectRow(second);
    page.DeleteEngine1Click();
    QCOMPARE(page.model()->count(), 1);
    QCOMPARE(page.model()->row(0).siteUrl, QStringLiteral("http://first/"));
    QCOMPARE(dir.read(QStringLiteral("data/data.ist")), QByteArray("Twin=FFA|http://first/|\r\n"));
}

void TestEngineViews::deleteEngineWithoutSelection()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"One=FFA|x|"}));
    const QByteArray before = dir.read(QStringLiteral("data/data.ist"));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    page.DeleteEngine1->trigger();
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("No Item"));
    QCOMPARE(dialogs.lastMessage().text, QStringLiteral("You have not selected an item to Delete"));
    QCOMPARE(dialogs.lastMessage().icon, Dialogs::Icon::Warning);
    QCOMPARE(dialogs.lastMessage().buttons, int(Dialogs::Ok));
    QCOMPARE(page.model()->count(), 1);
    QCOMPARE(dir.read(QStringLiteral("data/data.ist")), before);
}

void TestEngineViews::deleteEngineRefusedWhileRunBusy()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), lines({"One=FFA|x|", "Two=FFA|y|"}));
    const QByteArray before = dir.read(QStringLiteral("data/data.ist"));
    ScriptedDialogs dialogs;
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    bool busy = true;
    page.setRunBusyQuery([&busy] { return busy; });
    page.AdvListView2->selectRow(0);
    page.DeleteEngine1->trigger();
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Submission Running"));
    QCOMPARE(page.model()->count(), 2);
    QCOMPARE(dir.read(QStringLiteral("data/data.ist")), before);
    busy = false;
    page.DeleteEngine1->trigger();
    QCOMPARE(page.model()->count(), 1);
    QCOMPARE(dialogs.messages().size(), 1);
}

void TestEngineViews::manualLoad_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("lastRow");
    QTest::newRow("one-line file reads with comma")
        << QByteArray("Dir;http://h/;http://s/\r\n") << 1 << QStringList{"Dir;http://h/;http://s/"};
    QTest::newRow("semicolon detected") << QByteArray("A;http://a/;http://a/s\r\nB;http://b/;http://b/s\r\n") << 2
                                        << QStringList{"B", "http://b/", "http://b/s"};
    QTest::newRow("quoted fields") << QByteArray("\"A, Inc\",http://a/,http://a/s\n\"B\",\"http://b/\",http://b/s") << 2
                                   << QStringList{"B", "http://b/", "http://b/s"};
    QTest::newRow("doubled delimiter does not count")
        << QByteArray("A,,x;http://a/;s\r\nB,,y;http://b/;t\r\n") << 2 << QStringList{"B,,y", "http://b/", "t"};
    QTest::newRow("empty file") << QByteArray() << 0 << QStringList{};
}

void TestEngineViews::manualLoad()
{
    QFETCH(QByteArray, file);
    QFETCH(int, rows);
    QFETCH(QStringList, lastRow);
    TempProgramDir dir;
    dir.write(QStringLiteral("data/datam.ist"), file);
    ManualEnginesPage page;
    page.setProgramDir(dir.path());
    page.LoadManualEngines();
    QCOMPARE(page.model()->count(), rows);
    QCOMPARE(page.ManLED->value(), rows);
    if (rows > 0)
        QCOMPARE(page.model()->rows().last(), lastRow);
}

void TestEngineViews::manualLoadAppendsAndKeepsDelimiter()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/datam.ist"), "A;a;x\r\nB;b;y\r\n");
    ManualEnginesPage page;
    page.setProgramDir(dir.path());
    page.LoadManualEngines();
    QCOMPARE(page.model()->delimiter(), QLatin1Char(';'));
    // A second read uses the delimiter the view holds and appends.
    dir.write(QStringLiteral("data/datam.ist"), "C,1;c;z\r\n");
    page.LoadManualEngines();
    QCOMPARE(page.model()->count(), 3);
    QCOMPARE(page.model()->rows().last(), (QStringList{"C,1", "c", "z"}));
    QCOMPARE(page.ManLED->value(), 3);
    page.ClearManualEngines();
    QCOMPARE(page.model()->count(), 0);
    QCOMPARE(page.model()->delimiter(), QLatin1Char(';'));
}

void TestEngineViews::manualLoadOfMissingFile()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/datam.ist"), "A,a,x\r\n");
    ManualEnginesPage page;
    page.setProgramDir(dir.path());
    page.LoadManualEngines();
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("data/datam.ist"))));
    try {
        page.LoadManualEngines();
        QFAIL("no error for a missing datam.ist");
    } catch (const std::exception& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("File cannot be opened"));
    }
    QCOMPARE(page.model()->count(), 1);
    QCOMPARE(page.ManLED->value(), 1);
}

void TestEngineViews::manualDeleteRewritesFile()
{
    TempProgramDir dir;
    // Line 1 and 2 both hold three ";", so ";" is the delimiter.
    dir.write(QStringLiteral("data/datam.ist"), "A;a;x;w\r\n\"B;1\";b;y\r\nC;c;z;extra\r\n");
    ScriptedDialogs dialogs;
    ManualEnginesPage page;
    page.setProgramDir(dir.path());
    page.LoadManualEngines();
    QCOMPARE(page.ManLED->value(), 3);
    page.DeleteEngine1->trigger();
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("No Item"));
    page.AdvListView1->selectRow(0);
    page.DeleteEngine1->trigger();
    QCOMPARE(page.ManLED->value(), 2);
    // The detected delimiter is written; a field holding it is quoted so it
    // reads back whole; the extra field is kept.
    QCOMPARE(dir.read(QStringLiteral("data/datam.ist")), QByteArray("\"B;1\";b;y\r\nC;c;z;extra\r\n"));
    page.setRunBusyQuery([] { return true; });
    page.AdvListView1->selectRow(0);
    page.DeleteEngine1->trigger();
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Submission Running"));
    QCOMPARE(page.ManLED->value(), 2);
}

void TestEngineViews::manualHeaderSorts()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/datam.ist"), "beta,http://3/,s\r\nAlpha,http://2/,s\r\ngamma,http://1/,s\r\n");
    ManualEnginesPage page;
    page.setProgramDir(dir.path());
    page.LoadManualEngines();
    QHeaderView* header = page.AdvListView1->horizontalHeader();
    auto column = [&](int c) {
        QStringList out;
        for (const QStringList& row : page.model()->rows())
            out.append(row.value(c));
        return out;
    };
    emit header->sectionClicked(0);
    QCOMPARE(column(0), (QStringList{"Alpha", "beta", "gamma"}));
    emit header->sectionClicked(0);
    QCOMPARE(column(0), (QStringList{"gamma", "beta", "Alpha"}));
    emit header->sectionClicked(1);
    QCOMPARE(column(1), (QStringList{"http://1/", "http://2/", "http://3/"}));
    emit header->sectionClicked(1);
    QCOMPARE(column(1), (QStringList{"http://3/", "http://2/", "http://1/"}));
    emit header->sectionClicked(0);
    QCOMPARE(column(0), (QStringList{"Alpha", "beta", "gamma"}));
}

QTEST_MAIN(TestEngineViews)
#include "test_engine_views.moc"
