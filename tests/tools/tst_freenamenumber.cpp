#include "projects/ProjectListModel.h"
#include "tools/FreeNameNumber.h"
#include "tools/ProjectImport.h"

#include <QTest>

// The kept search gives what a search of the whole list's text gives, also
// after the list changed under it.
class TestFreeNameNumber : public QObject
{
    Q_OBJECT

private:
    static int byText(const QString& base, const ProjectListModel& model, int from)
    {
        return ProjectImport::freeNumber(base, model.names().join(QLatin1Char('\n')).toUpper(), from);
    }

private slots:
    void matchesTheWholeTextSearch_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("from");
        QTest::newRow("empty list") << "shop" << QStringList() << 1;
        QTest::newRow("consecutive") << "shop" << QStringList{"shop1", "shop2", "shop3"} << 1;
        QTest::newRow("letter case") << "Shop" << QStringList{"SHOP1", "shop2", "sHoP3"} << 1;
        QTest::newRow("longer number holds the shorter") << "s" << QStringList{"s12", "s3"} << 1;
        QTest::newRow("base inside a name") << "shop" << QStringList{"myshop1", "old shop2 copy"} << 1;
        QTest::newRow("base twice in a name") << "ab" << QStringList{"ab9-ab1", "ab2"} << 1;
        QTest::newRow("from a hint") << "shop" << QStringList{"shop1", "shop5", "shop6"} << 5;
        QTest::newRow("empty base") << "" << QStringList{"1", "x2", "31"} << 1;
        QTest::newRow("base that upper-cases longer") << QStringLiteral("stra\u00dfe")
                                                      << QStringList{QStringLiteral("STRASSE1")} << 1;
    }
    void matchesTheWholeTextSearch()
    {
        QFETCH(QString, base);
        QFETCH(QStringList, names);
        QFETCH(int, from);
        ProjectListModel model;
        model.setNames(names);
        FreeNameNumber search(base, &model);
        QCOMPARE(search.next(from), byText(base, model, from));

        // The list changes: an insertion, a removal, a reset.
        model.insertSorted(base + QString::number(search.next(from)));
        QCOMPARE(search.next(from), byText(base, model, from));
        model.removeAt(0);
        QCOMPARE(search.next(from), byText(base, model, from));
        model.setNames({base + QStringLiteral("1")});
        QCOMPARE(search.next(1), byText(base, model, 1));
    }
};

QTEST_GUILESS_MAIN(TestFreeNameNumber)
#include "tst_freenamenumber.moc"
