#include "projects/ProjectListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

class TestProjectListModel : public QObject
{
    Q_OBJECT

private slots:
    void modelTester()
    {
        ProjectListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setNames({QStringLiteral("b"), QStringLiteral("d")});
        model.insertSorted(QStringLiteral("a"));
        model.insertSorted(QStringLiteral("C"));
        model.insertSorted(QStringLiteral("z"));
        model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole);
        model.removeAt(0);
        model.removeAt(model.count() - 1);
        model.setNames({});
        model.insertSorted(QStringLiteral("x"));
        QCOMPARE(model.names(), QStringList{QStringLiteral("x")});
    }

    void sortedWithoutRegardToCase_data()
    {
        QTest::addColumn<QStringList>("inserted");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("mixed case") << QStringList{"c", "B", "a", "D"} << QStringList{"a", "B", "c", "D"};
        QTest::newRow("equal ignoring case keeps arrival order")
            << QStringList{"alpha", "Alpha", "ALPHA"} << QStringList{"alpha", "Alpha", "ALPHA"};
        QTest::newRow("prefix first") << QStringList{"ab", "a", "abc"} << QStringList{"a", "ab", "abc"};
        QTest::newRow("empty name first") << QStringList{"b", ""} << QStringList{"", "b"};
    }

    void sortedWithoutRegardToCase()
    {
        QFETCH(QStringList, inserted);
        QFETCH(QStringList, expected);
        ProjectListModel model;
        for (const QString& name : inserted)
            model.insertSorted(name);
        QCOMPARE(model.names(), expected);
    }

    void insertKeepsSelectionAndChecks()
    {
        ProjectListModel model;
        model.setNames({QStringLiteral("b"), QStringLiteral("d")});
        model.setChecked(1, true);
        model.setSelectedRow(1);
        QSignalSpy selection(&model, &ProjectListModel::selectedRowChanged);
        QCOMPARE(model.insertSorted(QStringLiteral("a")), 0);
        QCOMPARE(model.selectedName(), QStringLiteral("d"));
        QCOMPARE(model.selectedRow(), 2);
        QCOMPARE(selection.count(), 1);
        QVERIFY(model.isChecked(2));
        QVERIFY(!model.isChecked(0));
        QCOMPARE(model.checkedNames(), QStringList{QStringLiteral("d")});
    }

    void removeMovesSelection()
    {
        ProjectListModel model;
        model.setNames({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        model.setSelectedRow(2);
        model.removeAt(0);
        QCOMPARE(model.selectedName(), QStringLiteral("c"));
        model.removeAt(1);
        QCOMPARE(model.selectedRow(), -1);
        model.setSelectedRow(7);
        QCOMPARE(model.selectedRow(), -1);
    }

    void loadedOrderIsKept()
    {
        ProjectListModel model;
        model.setNames({QStringLiteral("b"), QString(), QStringLiteral("a")});
        QCOMPARE(model.names(), (QStringList{QStringLiteral("b"), QString(), QStringLiteral("a")}));
    }

    void exactLookups()
    {
        ProjectListModel model;
        model.setNames({QStringLiteral("alpha"), QStringLiteral("Alpha")});
        model.setChecked(1, true);
        QCOMPARE(model.indexOfName(QStringLiteral("Alpha")), 1);
        QCOMPARE(model.indexOfName(QStringLiteral("ALPHA")), -1);
        QCOMPARE(model.indexOfCheckedName(QStringLiteral("alpha")), -1);
        QCOMPARE(model.indexOfCheckedName(QStringLiteral("Alpha")), 1);
    }

    void checkStateThroughSetData()
    {
        ProjectListModel model;
        model.setNames({QStringLiteral("a")});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(model.setData(model.index(0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(model.data(model.index(0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!model.setData(model.index(0), QStringLiteral("renamed"), Qt::EditRole));
        QCOMPARE(model.name(0), QStringLiteral("a"));
        QVERIFY(model.flags(model.index(0)) & Qt::ItemIsUserCheckable);
    }
};

QTEST_GUILESS_MAIN(TestProjectListModel)
#include "test_project_list_model.moc"
