#include "AuditFixture.h"
#include "indexnow/IndexNowWindow.h"
#include "support/ScriptedServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

class TestIndexNowWindow : public QObject
{
    Q_OBJECT

private slots:
    void submitsAndFiltersTheLedger();
};

void TestIndexNowWindow::submitsAndFiltersTheLedger()
{
    QTemporaryDir dir;
    ScriptedServer server;
    const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    const QByteArray refused = "HTTP/1.1 403 Forbidden\r\nContent-Length: 22\r\nConnection: close\r\n\r\nNo key file is known.\n";
    server.play({ScriptedServer::Script().awaitRequest().send(ok).close(),
                 ScriptedServer::Script().awaitRequest().send(refused).close()});
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data/session")));
    QFile engines(dir.filePath(QStringLiteral("data/data.ist")));
    QVERIFY(engines.open(QIODevice::WriteOnly));
    engines.write("Sandbox IndexNow=IndexNow|" + server.url().toLatin1() + "|" + server.url(QStringLiteral("/indexnow")).toLatin1()
                  + "|\r\nSecond IndexNow=IndexNow|" + server.url().toLatin1() + "|"
                  + server.url(QStringLiteral("/indexnow")).toLatin1() + "|\r\nPlain Engine=ENGINE|x|y|\r\n");
    engines.close();
    QFile project(dir.filePath(QStringLiteral("data/session/Site.zro")));
    QVERIFY(project.open(QIODevice::WriteOnly));
    project.write("[Site]\r\nurl=https://site.example/\r\nindexnowkey=0123456789abcdef0123456789abcdef\r\n");
    project.close();
    {
        AuditFixture fixture(dir.path());
        const qint64 crawl = fixture.addCrawl(QStringLiteral("https://site.example/"), 1700000000);
        for (const char* path : {"", "about.html", "shop/blue-shoes.html"})
            fixture.addPage(crawl, QStringLiteral("https://site.example/") + QLatin1String(path), QStringLiteral("hash-%1").arg(QLatin1String(path)));
    }

    IndexNowWindow window(dir.path());
    window.setProject(QStringLiteral("Site"));
    QCOMPARE(window.Engines->count(), 2); // the IndexNow rows only
    QCOMPARE(window.Source->currentIndex(), 0);
    QVERIFY(window.ChangedOnly->isChecked());
    window.Engines->item(0)->setCheckState(Qt::Checked);
    window.Engines->item(1)->setCheckState(Qt::Checked);
    QSignalSpy done(&window, &IndexNowWindow::submitted);
    window.SubmitButton->click();
    QVERIFY(done.wait(20000));
    QCOMPARE(done.first().first().toBool(), false);
    QCOMPARE(window.LedgerModel->rowCount(), 6);

    window.ResultFilter->setCurrentIndex(2); // not accepted
    QCOMPARE(window.LedgerModel->rowCount(), 3);
    QVERIFY(window.LedgerModel->item(0, 7)->text().startsWith(QStringLiteral("Forbidden: No key file")));
    window.ResultFilter->setCurrentIndex(0);
    window.AddressFilter->setText(QStringLiteral("shoes"));
    emit window.AddressFilter->editingFinished();
    QCOMPARE(window.LedgerModel->rowCount(), 2);
    window.EngineFilter->setCurrentIndex(window.EngineFilter->findText(QStringLiteral("Sandbox IndexNow")));
    QCOMPARE(window.LedgerModel->rowCount(), 1);
    QCOMPARE(window.LedgerModel->item(0, 6)->text(), QStringLiteral("yes"));

    const QString shot = qEnvironmentVariable("VANTOR_INDEXNOW_SHOT");
    if (!shot.isEmpty()) {
        window.AddressFilter->clear();
        emit window.AddressFilter->editingFinished();
        window.EngineFilter->setCurrentIndex(0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.grab().save(shot));
    }
}

QTEST_MAIN(TestIndexNowWindow)
#include "tst_indexnowwindow.moc"
