#include "projects/FieldCounter.h"
#include "ui/TCLEDLabel.h"

#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

class TestFieldCounter : public QObject
{
    Q_OBJECT

private slots:
    void counterRule_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("red");
        QTest::newRow("title empty") << int(FieldCounter::Title) << QString() << "0" << false;
        QTest::newRow("title 60") << int(FieldCounter::Title) << QString(60, 'x') << "60" << false;
        QTest::newRow("title 61") << int(FieldCounter::Title) << QString(61, 'x') << "61" << true;
        QTest::newRow("description 250") << int(FieldCounter::Description) << QString(250, 'x') << "250" << false;
        QTest::newRow("description 251") << int(FieldCounter::Description) << QString(251, 'x') << "251" << true;
        QTest::newRow("keywords empty") << int(FieldCounter::Keywords) << QString() << "0" << false;
        QTest::newRow("keywords blank") << int(FieldCounter::Keywords) << " "
                                        << "1" << false;
        QTest::newRow("keywords a,,b") << int(FieldCounter::Keywords) << "a,,b"
                                       << "3" << false;
        QTest::newRow("keywords a,b,") << int(FieldCounter::Keywords) << "a,b,"
                                       << "3" << false;
        QTest::newRow("keywords comma only") << int(FieldCounter::Keywords) << ","
                                             << "2" << false;
        QTest::newRow("keywords 250") << int(FieldCounter::Keywords) << QString(249, ',') << "250" << false;
        QTest::newRow("keywords 251") << int(FieldCounter::Keywords) << QString(250, ',') << "251" << true;
        QTest::newRow("title counts characters not bytes")
            << int(FieldCounter::Title) << QString(60, QChar(0x00e9)) << "60" << false;
    }

    void counterRule()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(bool, red);
        TCLEDLabel* label = FieldCounter::createLabel(QStringLiteral("CLED"), nullptr);
        std::unique_ptr<TCLEDLabel> owner(label);
        // Start from the other colour so a rule that skips the border shows.
        label->setBorderColor(red ? FieldCounter::aqua() : FieldCounter::red());
        label->setOffColor(Qt::green);
        FieldCounter counter(FieldCounter::Kind(kind), label);
        counter.update(text);
        QCOMPARE(label->text(), shown);
        QCOMPARE(label->borderColor(), red ? QColor(0xFF, 0, 0) : QColor(0, 0xFF, 0xFF));
        QCOMPARE(label->offColor(), QColor(0x80, 0, 0));
        QCOMPARE(label->onColor(), QColor(0, 0xFF, 0xFF));
    }

    void goingBackUnderTheLimitTurnsAqua()
    {
        std::unique_ptr<TCLEDLabel> label(FieldCounter::createLabel(QStringLiteral("CLED2"), nullptr));
        QLineEdit edit;
        FieldCounter counter(FieldCounter::Title, label.get());
        connect(&edit, &QLineEdit::textChanged, &counter, &FieldCounter::update);
        edit.setText(QString(61, 'a'));
        QCOMPARE(label->borderColor(), FieldCounter::red());
        edit.setText(QString(60, 'a'));
        QCOMPARE(label->text(), QStringLiteral("60"));
        QCOMPARE(label->borderColor(), FieldCounter::aqua());
    }

    void newLabelStartsAtZero()
    {
        std::unique_ptr<TCLEDLabel> label(FieldCounter::createLabel(QStringLiteral("CLED4"), nullptr));
        QCOMPARE(label->objectName(), QStringLiteral("CLED4"));
        QCOMPARE(label->digitCount(), 5);
        QCOMPARE(label->text(), QStringLiteral("0"));
        QCOMPARE(label->borderColor(), FieldCounter::aqua());
        QCOMPARE(label->offColor(), FieldCounter::maroon());
    }

    void keywordCountLetsEventsRunAfterEachComma()
    {
        int runs = 0;
        QCOMPARE(FieldCounter::keywordCount(QStringLiteral("a,b,c,d"), [&runs] { ++runs; }), 4);
        QCOMPARE(runs, 3);
        runs = 0;
        QCOMPARE(FieldCounter::keywordCount(QStringLiteral("abc"), [&runs] { ++runs; }), 1);
        QCOMPARE(runs, 0);
    }

    // A change that arrives from an event is counted after the count that
    // was running: nothing lets events run inside a count, and the label
    // ends with the latest text's count.
    void changeDuringCountWins()
    {
        std::unique_ptr<TCLEDLabel> label(FieldCounter::createLabel(QStringLiteral("CLED4"), nullptr));
        QLineEdit edit;
        FieldCounter counter(FieldCounter::Keywords, label.get());
        connect(&edit, &QLineEdit::textChanged, &counter, &FieldCounter::update);
        bool changed = false;
        QTimer::singleShot(0, &edit, [&] {
            changed = true;
            edit.setText(QStringLiteral("x,y"));
        });
        edit.setText(QString(300, ','));
        QVERIFY(!changed);
        QCOMPARE(label->text(), QStringLiteral("301"));
        QTRY_VERIFY(changed);
        QCOMPARE(edit.text(), QStringLiteral("x,y"));
        QCOMPARE(label->text(), QStringLiteral("2"));
        QCOMPARE(label->borderColor(), FieldCounter::aqua());
    }

    void counterDeletedDuringCount()
    {
        std::unique_ptr<TCLEDLabel> label(FieldCounter::createLabel(QStringLiteral("CLED4"), nullptr));
        QPointer<FieldCounter> counter = new FieldCounter(FieldCounter::Keywords, label.get());
        QTimer::singleShot(0, counter.data(), [&] { delete counter.data(); });
        counter->update(QStringLiteral("a,b,c"));
        QVERIFY(!counter.isNull());
        QCOMPARE(label->text(), QStringLiteral("3"));
        QTRY_VERIFY(counter.isNull());
        QCOMPARE(label->text(), QStringLiteral("3"));
    }
};

QTEST_MAIN(TestFieldCounter)
#include "test_field_counter.moc"
