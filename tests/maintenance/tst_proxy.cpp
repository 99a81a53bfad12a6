#include "app/TSubmitMain.h"
#include "maintenance/TProxyset.h"
#include "maintenance/TUpdateBox.h"
#include "net/THttpCli.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectListView.h"
#include "ranking/RankListModel.h"
#include "ranking/TRankingPage.h"
#include "sandbox/SandboxServer.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "submission/IndexNowKeyCheck.h"
#include "submission/LiveSubmitter.h"
#include "submission/SubmissionRun.h"
#include "support/EngineLoad.h"
#include "support/NginxPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "support/TestCertificates.h"
#include "support/TinyproxyPeer.h"
#include "tools/ImportWizardPage.h"
#include "tools/TSpider.h"

#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

bool waitForMessage(const ScriptedDialogs& dialogs, int count, const QString& caption)
{
    return QTest::qWaitFor(
        [&] {
            int seen = 0;
            for (const auto& call : dialogs.messages())
                seen += call.caption == caption;
            return seen >= count;
        },
        30000);
}

} // namespace

Q_DECLARE_METATYPE(ProxyValues)

class TestProxy : public QObject
{
    Q_OBJECT

private slots:
    void applyStoresAndHandsOn();
    void requestLine_data();
    void requestLine();
    void keyCheckThroughProxy();
    void throughTinyproxy();
};

void TestProxy::applyStoresAndHandsOn()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=x\r\n");
    TProxyset window;
    window.setProgramDir(dir.path());
    QSignalSpy applied(&window, &TProxyset::proxyApplied);
    window.HttpProxy->setText(QStringLiteral("proxy"));
    window.HttpPort->setText(QStringLiteral("8080"));
    window.HttpUsername->setText(QStringLiteral("u"));
    window.HttpPass->setText(QStringLiteral("pw"));
    window.RadioButton2->setChecked(true);
    QTest::mouseClick(window.Button1, Qt::LeftButton);
    QCOMPARE(dir.read(QStringLiteral("dfd.ini")),
             QByteArray("[tss]\r\napp=x\r\n[Proxy]\r\nProxyHost=proxy\r\nProxyPassword=pw\r\nProxyPort=8080\r\n"
                        "ProxyUserName=u\r\nKeyProxy=1\r\n"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile(dir.filePath(QStringLiteral("dfd.ini"))).permissions() & others, QFile::Permissions());
    QCOMPARE(applied.size(), 1);
    const ProxyValues expected{QStringLiteral("proxy"), QStringLiteral("8080"), QStringLiteral("u"),
                               QStringLiteral("pw")};
    QVERIFY(applied.at(0).at(0).value<ProxyValues>() == expected);

    // "Not behind" is stored, but nothing is withdrawn from the clients.
    window.RadioButton3->setChecked(true);
    QTest::mouseClick(window.Button1, Qt::LeftButton);
    QVERIFY(dir.read(QStringLiteral("dfd.ini")).endsWith("KeyProxy=0\r\n"));
    QCOMPARE(applied.size(), 1);

    // The next start reads the stored settings back into the boxes.
    dir.write(QStringLiteral("dfd.ini"), "[Proxy]\r\nProxyHost=h:3128\r\nKeyProxy=1\r\n");
    TProxyset next;
    next.setProgramDir(dir.path());
    QSignalSpy nextApplied(&next, &TProxyset::proxyApplied);
    next.ApplyProxySettings();
    QVERIFY(next.RadioButton2->isChecked());
    QCOMPARE(next.HttpPort->text(), QString());
    QCOMPARE(nextApplied.size(), 1);
    QCOMPARE(nextApplied.at(0).at(0).value<ProxyValues>().host, QStringLiteral("h:3128"));
}

void TestProxy::requestLine_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("authorization");
    QTest::newRow("host:port, empty Port box, user without password")
        << "127.0.0.1:%PORT%" << "" << "user" << "" << QByteArray("Proxy-Authorization: Basic dXNlcjo=\r\n");
    QTest::newRow("Port box") << "127.0.0.1" << "%PORT%" << "u" << "p"
                              << QByteArray("Proxy-Authorization: Basic dTpw\r\n");
    QTest::newRow("host's port wins") << "127.0.0.1:%PORT%" << "1" << "" << "" << QByteArray();
}

void TestProxy::requestLine()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, authorization);
    ScriptedServer proxy;
    proxy.play(ScriptedServer::Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\n").close());
    const QString proxyPort = QString::number(proxy.port());
    EngineModel engines;
    engines.setRows({EngineRow::fromLine(QStringLiteral("E=FFA|http://s/|http://target.example/ok|"))});
    LiveSubmitter live(&engines);
    live.setProxy({host.replace(QLatin1String("%PORT%"), proxyPort), port.replace(QLatin1String("%PORT%"), proxyPort),
                   user, password});
    QSignalSpy finished(&live, &LiveSubmitter::requestFinished);
    live.StartEngineRequest(QStringLiteral("http://target.example/ok"), QString(), 0, false, QString());
    QVERIFY(finished.wait(10000));
    const QByteArray sent = proxy.received(0);
    // The full address in the request line, Host naming the target.
    QVERIFY2(sent.startsWith("GET http://target.example/ok"), sent.constData());
    QVERIFY(sent.contains("\r\nHost: target.example\r\n"));
    QCOMPARE(sent.contains("Proxy-Authorization"), !authorization.isEmpty());
    if (!authorization.isEmpty())
        QVERIFY(sent.contains(authorization));
    QCOMPARE(engines.row(0).result, QStringLiteral("OK"));
}

void TestProxy::keyCheckThroughProxy()
{
    const QByteArray key = "0123456789abcdef0123456789abcdef";
    ScriptedServer proxy;
    proxy.play(ScriptedServer::Script().awaitRequest().send("HTTP/1.0 200 OK\r\n\r\n" + key).close());
    IndexNowKeyCheck check;
    check.setProxy({QStringLiteral("127.0.0.1:%1").arg(proxy.port()), QString(), QString(), QString()});
    QSignalSpy finished(&check, &IndexNowKeyCheck::finished);
    check.start(QStringLiteral("http://site.example/"), QString::fromLatin1(key));
    QVERIFY(finished.wait(10000));
    QVERIFY(proxy.received(0).startsWith("GET http://site.example/" + key + ".txt HTTP/1.0\r\n"));
    QCOMPARE(finished.at(0).at(0).value<IndexNowKeyCheck::Result>().outcome, IndexNowKeyCheck::Outcome::Found);
}

void TestProxy::throughTinyproxy()
{
    TinyproxyPeer proxy;
    if (proxy.program().isEmpty() || NginxPeer().program().isEmpty() || TestCertificates::program().isEmpty())
        QSKIP("tinyproxy, nginx and openssl are needed (scripts/setup installs them)");
    QVERIFY2(proxy.start(), qPrintable(proxy.errorString()));
    TestCertificates certs;
    TestCertificates::Pair pair;
    QVERIFY(certs.createAuthority() && certs.issue(QStringLiteral("localhost"), pair));
    THttpCli::setExtraCaCertificates(certs.authority());
    NginxPeer secure;
    secure.setTls(pair.certificate, pair.key);
    secure.addFile(QStringLiteral("/index.html"), "<HTML><HEAD><TITLE>Secure Page</TITLE></HEAD></HTML>\n");
    QVERIFY2(secure.start(), qPrintable(secure.errorString()));
    SandboxServer sandbox;
    QBuffer sandboxLog;
    sandboxLog.open(QIODevice::ReadWrite);
    sandbox.setLogDevice(&sandboxLog);
    sandbox.addStandardSites();
    QVERIFY(sandbox.listen(0));
    const QByteArray sandboxAddress = "http://127.0.0.1:" + QByteArray::number(sandbox.port());

    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), "Plain=FFA|http://s/|" + sandboxAddress +
                                                   "/ok|\r\nSecure=FFA|http://s/|" +
                                                   secure.url(QStringLiteral("/index.html")).toUtf8() + "|\r\n");
    dir.write(QStringLiteral("data/ranking.ist"), "Mine|" + sandboxAddress +
                                                      "/search?q=$query&start=$page&site=http://mysite.example/"
                                                      "&rank=4|<A HREF=\"$url\"|||0|\r\n");
    dir.write(QStringLiteral("data/session/session.zro"), "[Session]\r\nCount=0\r\n[List]\r\n0=mysite\r\n");
    dir.write(QStringLiteral("data/session/mysite.zro"), "[mysite]\r\nurl=http://mysite.example\r\ntitle=T\r\n");
    // A host with its own port and an empty Port box.
    dir.write(QStringLiteral("dfd.ini"), "[Reports]\r\nGenReport=0\r\n[Proxy]\r\nProxyHost=127.0.0.1:" +
                                             QByteArray::number(proxy.port()) +
                                             "\r\nProxyPort=\r\nKeyProxy=1\r\n[Update]\r\nServer=" + sandboxAddress +
                                             "\r\n");
    ScriptedDialogs dialogs;
    TSubmitMain window;
    window.show();
    QVERIFY(waitForEngines(*window.EnginesPage));
    auto* projects = qobject_cast<ProjectListModel*>(window.SesList->model());
    QVERIFY(projects);
    auto submit = [&](int run) {
        projects->setChecked(0, true);
        window.Run->Button6Click();
        return waitForMessage(dialogs, run, QStringLiteral("Submission Complete"));
    };
    QVERIFY(submit(1));
    for (int row = 0; row < 2; ++row)
        QCOMPARE(window.EnginesPage->model()->row(row).result, QStringLiteral("OK"));
    const QString plainLine = QStringLiteral("GET %1/ok").arg(QString::fromUtf8(sandboxAddress));
    QTRY_VERIFY_WITH_TIMEOUT(proxy.logText().contains(plainLine), 3000);
    QVERIFY(proxy.logText().contains(QStringLiteral("CONNECT localhost:%1").arg(secure.port())));

    // "Not behind" is stored; the proxy stays in force until the next start.
    window.Proxyset->RadioButton3->setChecked(true);
    QTest::mouseClick(window.Proxyset->Button1, Qt::LeftButton);
    QVERIFY(dir.read(QStringLiteral("dfd.ini")).contains("KeyProxy=0\r\n"));
    QVERIFY(submit(2));
    QTRY_COMPARE_WITH_TIMEOUT(proxy.logText().count(plainLine), 2, 3000);

    // An import, plain and over TLS.
    ImportWizardPage* wizard = window.ImportWizard;
    const QString connectLine = QStringLiteral("CONNECT localhost:%1").arg(secure.port());
    const int connectsBefore = int(proxy.logText().count(connectLine));
    for (const QString& url : {QString::fromUtf8(sandboxAddress) + QStringLiteral("/help.htm"),
                               secure.url(QStringLiteral("/index.html"))}) {
        wizard->TitleImp->clear();
        wizard->UrlImp->setText(url);
        wizard->Button3Click();
        QTRY_COMPARE_WITH_TIMEOUT(wizard->Label13->text(), QStringLiteral("Done"), 20000);
        QVERIFY2(!wizard->TitleImp->text().isEmpty(), qPrintable(url));
    }
    QVERIFY(proxy.logText().contains(QStringLiteral("GET %1/help.htm").arg(QString::fromUtf8(sandboxAddress))));
    QTRY_VERIFY_WITH_TIMEOUT(proxy.logText().count(connectLine) > connectsBefore, 3000);

    window.RankingPage->ComboBox1->setEditText(QStringLiteral("tools"));
    window.RankingPage->RankUrl->setText(QStringLiteral("http://mysite.example/"));
    window.RankingPage->Button8Click();
    QVERIFY(window.RankingPage->model()->row(0).result.contains(QLatin1String("You Ranked In the top 10")));
    QTRY_VERIFY_WITH_TIMEOUT(proxy.logText().contains(QStringLiteral("GET %1/search?q=tools").arg(
                                 QString::fromUtf8(sandboxAddress))),
                             3000);

    // The updater goes direct: the sandbox sees its requests, the proxy does not.
    window.UpdateBox->Button1Click();
    QVERIFY(sandboxLog.data().contains("/?action=dbupdate&version=pro&update=mandata&user=&pass="));
    QVERIFY(!proxy.logText().contains(QLatin1String("dbupdate")));
    // The rank list shows the list the update stored.
    QStringList captions;
    for (int row = 0; row < window.RankingPage->model()->rowCount(); ++row)
        captions << window.RankingPage->model()->row(row).caption;
    QVERIFY2(captions.contains(QStringLiteral("Sandbox Search")) && !captions.contains(QStringLiteral("Mine")),
             qPrintable(captions.join(QLatin1Char(','))));
    THttpCli::setExtraCaCertificates({});
}

QTEST_MAIN(TestProxy)
#include "tst_proxy.moc"
