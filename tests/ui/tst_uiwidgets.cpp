#include "support/ScriptedDialogs.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "settings/ProgramPaths.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <stdexcept>

class TestUiWidgets : public QObject
{
    Q_OBJECT

private slots:
    void fullStop_data();
    void fullStop();
    void errorRuleShowsAppTitle();
    void displayTextBreaksLines();
    void programPath_data();
    void programPath();
    void ledValue_data();
    void ledValue();
    void ledValueAfterText_data();
    void ledValueAfterText();
    void ledDrawsRightAligned();
    void ledColorsAreProperties();
    void ledRepaintsPaced();
};

void TestUiWidgets::fullStop_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << QStringLiteral("Unable to write to /x/dfd.ini") << QStringLiteral("Unable to write to /x/dfd.ini.");
    QTest::newRow("full stop") << QStringLiteral("Done.") << QStringLiteral("Done.");
    QTest::newRow("digit sorts after") << QStringLiteral("Error 3") << QStringLiteral("Error 3.");
    QTest::newRow("slash sorts after") << QStringLiteral("at /") << QStringLiteral("at /.");
    QTest::newRow("bracket sorts before") << QStringLiteral("(x)") << QStringLiteral("(x)");
    QTest::newRow("exclamation") << QStringLiteral("Stop!") << QStringLiteral("Stop!");
    QTest::newRow("comma sorts before") << QStringLiteral("a,") << QStringLiteral("a,");
    QTest::newRow("empty") << QString() << QString();
}

void TestUiWidgets::fullStop()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(Dialogs::withFullStop(text), shown);
}

void TestUiWidgets::errorRuleShowsAppTitle()
{
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vantor Pro v4.0"));
    ScriptedDialogs dialogs;
    bool after = false;
    const bool ok = runCommand(nullptr, [&after] {
        throw std::runtime_error("Unable to write to /tmp/x.zro");
        after = true;
    });
    QVERIFY(!ok);
    QVERIFY(!after);
    QCOMPARE(dialogs.messages().size(), 1);
    const ScriptedDialogs::Call call = dialogs.lastMessage();
    QCOMPARE(call.caption, QStringLiteral("Vantor Pro v4.0"));
    QCOMPARE(call.text, QStringLiteral("Unable to write to /tmp/x.zro."));
    QCOMPARE(call.icon, Dialogs::Icon::Error);
    QCOMPARE(call.buttons, int(Dialogs::Ok));

    // A command that raises nothing shows nothing.
    QVERIFY(runCommand(nullptr, [] {}));
    QCOMPARE(dialogs.messages().size(), 1);
}

void TestUiWidgets::displayTextBreaksLines()
{
    QCOMPARE(Dialogs::displayText(QStringLiteral("Session name already exists.\n\rDo you wish to modify it  ?")),
             QStringLiteral("Session name already exists.\nDo you wish to modify it  ?"));
    QCOMPARE(Dialogs::displayText(QStringLiteral("Successful \r\nsaved as \r\n/x.htm.bac")),
             QStringLiteral("Successful \nsaved as \n/x.htm.bac"));
}

void TestUiWidgets::programPath_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");
    QTest::newRow("backslashes") << QStringLiteral("/home/u/vp") << QStringLiteral("\\data\\data.ist")
                                 << QStringLiteral("/home/u/vp/data/data.ist");
    QTest::newRow("slashes") << QStringLiteral("/home/u/vp") << QStringLiteral("/data/datam.ist")
                             << QStringLiteral("/home/u/vp/data/datam.ist");
    QTest::newRow("no separator") << QStringLiteral("/home/u/vp") << QStringLiteral("dfd.ini")
                                  << QStringLiteral("/home/u/vp/dfd.ini");
    QTest::newRow("dir with slash") << QStringLiteral("/home/u/vp/") << QStringLiteral("\\reports")
                                    << QStringLiteral("/home/u/vp/reports");
    QTest::newRow("root dir") << QStringLiteral("/") << QStringLiteral("\\dfd.ini") << QStringLiteral("/dfd.ini");
}

void TestUiWidgets::programPath()
{
    QFETCH(QString, dir);
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    QCOMPARE(::programPath(dir, relative), expected);
}

void TestUiWidgets::ledValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<long long>("value");
    QTest::newRow("number") << QStringLiteral("42") << 42LL;
    QTest::newRow("zero") << QStringLiteral("0") << 0LL;
    QTest::newRow("not a number") << QStringLiteral("abc") << 0LL;
    QTest::newRow("blank padded") << QStringLiteral(" 7") << 7LL;
}

void TestUiWidgets::ledValue()
{
    QFETCH(QString, text);
    QFETCH(long long, value);
    TCLEDLabel led(6);
    led.setText(text);
    QCOMPARE(led.value(), value);
    led.add(25);
    QCOMPARE(led.text(), QString::number(value + 25));
}

void TestUiWidgets::ledValueAfterText_data()
{
    QTest::addColumn<QString>("between"); // text set between two values
    QTest::addColumn<long long>("value");  // set before and after it
    QTest::newRow("other text") << QStringLiteral("abc") << 5LL;
    QTest::newRow("the number padded") << QStringLiteral(" 5") << 5LL;
    QTest::newRow("another number") << QStringLiteral("9") << 5LL;
}

void TestUiWidgets::ledValueAfterText()
{
    QFETCH(QString, between);
    QFETCH(long long, value);
    TCLEDLabel led(6);
    led.setValue(value);
    led.setText(between);
    QCOMPARE(led.text(), between);
    // The same number again must replace whatever text came between.
    led.setValue(value);
    QCOMPARE(led.text(), QString::number(value));
    led.setProperty("text", between);
    led.setValue(value);
    QCOMPARE(led.text(), QString::number(value));
}

static int litColumns(const QImage& image, const QColor& on)
{
    // The right-most column that shows the on colour.
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (image.pixelColor(x, y) == on) {
                last = x;
                break;
            }
        }
    }
    return last;
}

void TestUiWidgets::ledDrawsRightAligned()
{
    TCLEDLabel led(6);
    led.resize(120, 30);
    led.setText(QStringLiteral("1"));
    const QImage one = led.grab().toImage();
    // A "1" lights only segments b and c: on pixels in the last cell only.
    const int lastLit = litColumns(one, led.onColor());
    QVERIFY(lastLit > 100);
    bool litOutsideLastCell = false;
    for (int x = 0; x < 100 && !litOutsideLastCell; ++x) {
        for (int y = 0; y < one.height(); ++y) {
            if (one.pixelColor(x, y) == led.onColor()) {
                litOutsideLastCell = true;
                break;
            }
        }
    }
    QVERIFY(!litOutsideLastCell);
    // Unlit segments are drawn in the off colour on black.
    QCOMPARE(one.pixelColor(1, 1), QColor(Qt::black));
    bool offSeen = false;
    for (int x = 0; x < one.width() && !offSeen; ++x)
        for (int y = 0; y < one.height() && !offSeen; ++y)
            offSeen = one.pixelColor(x, y) == led.offColor();
    QVERIFY(offSeen);
}

void TestUiWidgets::ledColorsAreProperties()
{
    TCLEDLabel led(6);
    QCOMPARE(led.property("onColor").value<QColor>(), QColor(Qt::cyan));
    QCOMPARE(led.property("offColor").value<QColor>(), QColor(0x80, 0, 0));
    QCOMPARE(led.property("borderColor").value<QColor>(), QColor(Qt::cyan));
    QVERIFY(led.setProperty("onColor", QColor(Qt::red)));
    QCOMPARE(led.onColor(), QColor(Qt::red));
    QVERIFY(led.setProperty("text", QStringLiteral("12")));
    QCOMPARE(led.value(), 12LL);
}

void TestUiWidgets::ledRepaintsPaced()
{
    // A counter of a run changes hundreds of times a second while events run between the changes.
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    TCLEDLabel led(6);
    led.resize(120, 30);
    led.show();
    QVERIFY(QTest::qWaitForWindowExposed(&led));
    QTest::qWait(100);
    led.installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    int changes = 0;
    while (clock.elapsed() < 200) {
        led.setValue(++changes);
        QCOMPARE(led.value(), changes); // the state changes at once
        QCoreApplication::processEvents();
    }
    QTest::qWait(100);
    // One repaint per 40 ms at most (and the last change is painted), not one per turn of the loop.
    QVERIFY2(changes > 20, qPrintable(QString::number(changes)));
    QVERIFY2(counter.paints >= 2 && counter.paints <= 200 / 40 + 3, qPrintable(QString::number(counter.paints)));
    const int painted = counter.paints;
    led.setValue(changes + 1);
    QTRY_COMPARE(counter.paints, painted + 1);
}

QTEST_MAIN(TestUiWidgets)
#include "tst_uiwidgets.moc"
