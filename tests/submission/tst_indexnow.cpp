// IndexNow requests as composed, and "Check Key" against nginx serving the
// key file over HTTPS with the tests' own authority.
#include "app/TSubmitMain.h"
#include "net/THttpCli.h"
#include "projects/ProjectEditorPage.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineLine.h"
#include "submission/EngineModel.h"
#include "submission/IndexNowKeyCheck.h"
#include "submission/IndexNowRequest.h"
#include "submission/RunProject.h"
#include "support/EngineLoad.h"
#include "support/NginxPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "support/TestCertificates.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTcpServer>
#include <QTest>

#include <memory>
#include <optional>

namespace {

const QString Site = QStringLiteral("https://www.bing.com/");
const QString Submit = QStringLiteral("https://www.bing.com/indexnow");

std::optional<IndexNowKeyCheck::Result> runCheck(const QString& url, const QString& key, int timeoutMs = 15000)
{
    IndexNowKeyCheck check;
    check.setTimeout(timeoutMs);
    std::optional<IndexNowKeyCheck::Result> result;
    QObject::connect(&check, &IndexNowKeyCheck::finished, &check,
                     [&result](const IndexNowKeyCheck::Result& r) { result = r; });
    check.start(url, key);
    // Nothing is reported before the event loop runs.
    if (result)
        return std::nullopt;
    QElapsedTimer clock;
    clock.start();
    while (!result && clock.elapsed() < timeoutMs + 5000)
        QTest::qWait(10);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(IndexNowKeyCheck::Outcome)

class TestIndexNow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void filterFollowsSearchEngines();
    void composition_data();
    void composition();
    void checkKey_data();
    void checkKey();
    void checkKeyButtonShowsTheOutcome();

private:
    TestCertificates m_certs;
    std::unique_ptr<NginxPeer> m_site;      // https://localhost:<port>, the key files
    std::unique_ptr<NginxPeer> m_otherName; // a certificate for another name
};

void TestIndexNow::initTestCase()
{
    if (NginxPeer().program().isEmpty() || TestCertificates::program().isEmpty())
        return; // checkKey skips itself
    QVERIFY2(m_certs.createAuthority(), qPrintable(m_certs.errorString()));
    TestCertificates::Pair good, other;
    QVERIFY2(m_certs.issue(QStringLiteral("localhost"), good), qPrintable(m_certs.errorString()));
    QVERIFY2(m_certs.issue(QStringLiteral("other.example"), other), qPrintable(m_certs.errorString()));
    m_site = std::make_unique<NginxPeer>();
    m_site->setTls(good.certificate, good.key);
    QVERIFY(m_site->addFile(QStringLiteral("/found-key-1.txt"), "found-key-1"));
    QVERIFY(m_site->addFile(QStringLiteral("/found-key-2.txt"), "\xEF\xBB\xBF"
                                                                "found-key-2\r\n"));
    QVERIFY(m_site->addFile(QStringLiteral("/other-key-1.txt"), "found-key-1"));
    QVERIFY(m_site->addFile(QStringLiteral("/long-key-1.txt"), "long-key-1" + QByteArray(5000, ' ')));
    QVERIFY2(m_site->start(), qPrintable(m_site->errorString()));
    m_otherName = std::make_unique<NginxPeer>();
    m_otherName->setTls(other.certificate, other.key);
    QVERIFY(m_otherName->addFile(QStringLiteral("/found-key-1.txt"), "found-key-1"));
    QVERIFY2(m_otherName->start(), qPrintable(m_otherName->errorString()));
    THttpCli::setExtraCaCertificates(m_certs.authority());
}

void TestIndexNow::cleanupTestCase()
{
    THttpCli::setExtraCaCertificates({});
}

void TestIndexNow::filterFollowsSearchEngines()
{
    TempProgramDir dir;
    dir.write(QStringLiteral("data/data.ist"), "Bing=IndexNow|https://www.bing.com/|https://www.bing.com/indexnow|\r\n"
                                               "Engine=ENGINE|http://e/|http://e/add|\r\nLinks=FFA|http://f/|x|\r\n");
    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    page.ApplyEngineFilter(EngineFilter::Scope::All);
    EngineModel& model = *page.model(); // rows: Bing, Engine, Links
    // Unchecked at start, as the search engines are; counted as 1.
    QVERIFY(!model.isChecked(0));
    QTest::mouseClick(page.BitCheckBox4, Qt::LeftButton);
    QVERIFY(model.isChecked(0) && model.isChecked(1));
    QCOMPARE(page.TotalDis->value(), 3);
    // Another box leaves its mark alone, also one set by hand.
    model.setChecked(0, false);
    QTest::mouseClick(page.BitCheckBox6, Qt::LeftButton);
    QVERIFY(!model.isChecked(0));
}

void TestIndexNow::composition_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("query");

    const QString bare = QStringLiteral("Bing=IndexNow|") + Site + QLatin1Char('|') + Submit + QString(36, '|');
    QString filled = QStringLiteral("Bing=IndexNow|") + Site + QLatin1Char('|') + Submit + QLatin1Char('|');
    for (int field = 4; field <= 38; ++field)
        filled += (field == 21 ? QStringLiteral("POST") : QStringLiteral("p%1").arg(field)) + QLatin1Char('|');
    const QString key = QStringLiteral("0123456789abcdef0123456789abcdef");

    QTest::newRow("plain page") << bare << "http://my.example/" << key << "url=http%3A%2F%2Fmy.example%2F&key=" + key;
    QTest::newRow("&, #, blanks, non-ASCII")
        << bare << QStringLiteral("https://my.example/a b?x=1&y=2#top \u00e9") << key
        << "url=https%3A%2F%2Fmy.example%2Fa%20b%3Fx%3D1%26y%3D2%23top%20%C3%A9&key=" + key;
    QTest::newRow("unreserved kept") << bare << "http://my.example/A-z_0.9~" << key
                                     << "url=http%3A%2F%2Fmy.example%2FA-z_0.9~&key=" + key;
    QTest::newRow("parameter fields and POST ignored")
        << filled << "http://my.example/" << key << "url=http%3A%2F%2Fmy.example%2F&key=" + key;
    QTest::newRow("malformed key cannot add parameters") << bare << "http://my.example/"
                                                         << "ab&c=d e"
                                                         << "url=http%3A%2F%2Fmy.example%2F&key=ab%26c%3Dd%20e";
    QTest::newRow("empty url") << bare << "" << key << "url=&key=" + key;
}

void TestIndexNow::composition()
{
    QFETCH(QString, line);
    QFETCH(QString, url);
    QFETCH(QString, key);
    QFETCH(QString, query);
    RunProject project;
    project.setValue(QStringLiteral("url"), url);
    project.setValue(QStringLiteral("title"), QStringLiteral("Never & sent"));
    project.setValue(QStringLiteral("indexnowkey"), key);
    const ComposedRequest request = ComposeIndexNowRequest(EngineLine(line), project);
    QCOMPARE(request.query, query);
    QCOMPARE(transmissionForm(request.query), query);
    QCOMPARE(request.address, Submit);
    QCOMPARE(request.referrer, Site);
    QVERIFY(!request.post);
}

void TestIndexNow::checkKey_data()
{
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");
    QTest::addColumn<IndexNowKeyCheck::Outcome>("outcome");
    QTest::addColumn<QString>("detail");
    using O = IndexNowKeyCheck::Outcome;
    QTest::newRow("found") << "site"
                           << "/shop/page.html?x=1"
                           << "found-key-1" << O::Found << "";
    QTest::newRow("found with BOM and line end") << "site"
                                                 << "/"
                                                 << "found-key-2" << O::Found << "";
    QTest::newRow("missing") << "site"
                             << "/"
                             << "missing-key-1" << O::NotFound << "404 Not Found";
    QTest::newRow("other content") << "site"
                                   << "/"
                                   << "other-key-1" << O::OtherContent << "";
    QTest::newRow("beyond the size read") << "site"
                                          << "/"
                                          << "long-key-1" << O::OtherContent << "";
    // The status counts before the length: a refusal with a long page is still a refusal.
    QTest::newRow("403 with a 10 MB body") << "refusing"
                                           << "/"
                                           << "found-key-1" << O::NotFound << "403 Forbidden";
    QTest::newRow("certificate for another name") << "otherName"
                                                  << "/"
                                                  << "found-key-1" << O::TlsFailure << "TLS handshake failed";
    QTest::newRow("refused") << "closed"
                             << "/"
                             << "found-key-1" << O::NoAnswer << "";
    QTest::newRow("never answers") << "silent"
                                   << "/"
                                   << "found-key-1" << O::NoAnswer << "no answer within";
    QTest::newRow("no URL") << "none"
                            << ""
                            << "found-key-1" << O::NoUrl << "";
    QTest::newRow("not a web address") << "none"
                                       << "ftp://my.example/"
                                       << "found-key-1" << O::BadUrl << "";
    QTest::newRow("no key") << "none"
                            << "http://my.example/"
                            << "" << O::NoKey << "";
    QTest::newRow("key of the wrong form") << "none"
                                           << "http://my.example/"
                                           << "short" << O::BadKey << "";
}

void TestIndexNow::checkKey()
{
    QFETCH(QString, peer);
    QFETCH(QString, path);
    QFETCH(QString, key);
    QFETCH(IndexNowKeyCheck::Outcome, outcome);
    QFETCH(QString, detail);
    QString url = path;
    QString expectedAddress;
    if (peer == QLatin1String("site") || peer == QLatin1String("otherName")) {
        if (!m_site)
            QSKIP("nginx or openssl is not installed (scripts/setup installs them)");
        NginxPeer* server = peer == QLatin1String("site") ? m_site.get() : m_otherName.get();
        url = server->url(path);
        expectedAddress = server->url(QLatin1Char('/') + key + QStringLiteral(".txt"));
    }
    QTcpServer local; // takes the connection and never answers, or is closed to refuse it
    if (peer == QLatin1String("closed") || peer == QLatin1String("silent")) {
        QVERIFY(local.listen(QHostAddress::LocalHost));
        url = QStringLiteral("http://127.0.0.1:%1/").arg(local.serverPort());
        expectedAddress = url + key + QStringLiteral(".txt");
        if (peer == QLatin1String("closed"))
            local.close();
    }
    ScriptedServer refusing;
    if (peer == QLatin1String("refusing")) {
        refusing.play(ScriptedServer::Script()
                          .awaitRequest()
                          .send("HTTP/1.0 403 Forbidden\r\nContent-Type: text/html\r\n\r\n")
                          .sendRepeated(QByteArray(1024, 'x'), 10 * 1024)
                          .close());
        url = refusing.url();
        expectedAddress = url + key + QStringLiteral(".txt");
    }
    const auto result = runCheck(url, key, peer == QLatin1String("silent") ? 300 : 15000);
    QVERIFY(result);
    QCOMPARE(result->outcome, outcome);
    if (!expectedAddress.isEmpty())
        QCOMPARE(result->address, expectedAddress);
    QVERIFY2(detail.isEmpty() || result->detail.startsWith(detail), qPrintable(result->detail));
    const QString text = IndexNowKeyCheck::message(*result);
    QVERIFY(!text.isEmpty());
    if (!expectedAddress.isEmpty())
        QVERIFY2(text.contains(expectedAddress), qPrintable(text));
}

void TestIndexNow::checkKeyButtonShowsTheOutcome()
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    TSubmitMain main;
    ProjectEditorPage* editor = main.ProjectEditor;
    editor->setFieldText(ProjectField::Url, QString());
    editor->setFieldText(ProjectField::IndexNowKey, QStringLiteral("found-key-1"));
    QTest::mouseClick(editor->CheckKey, Qt::LeftButton);
    QVERIFY(!editor->CheckKey->isEnabled());
    QTRY_VERIFY(editor->CheckKey->isEnabled());
    QCOMPARE(dialogs.lastMessage().caption, QStringLiteral("Check Key"));
    QCOMPARE(dialogs.lastMessage().icon, Dialogs::Icon::Warning);
    QCOMPARE(dialogs.lastMessage().text,
             IndexNowKeyCheck::message({IndexNowKeyCheck::Outcome::NoUrl, QString(), QString()}));

    // Each failure has its own words.
    QSet<QString> texts;
    for (int o = 0; o <= int(IndexNowKeyCheck::Outcome::NoAnswer); ++o)
        texts.insert(
            IndexNowKeyCheck::message({IndexNowKeyCheck::Outcome(o), QStringLiteral("a"), QStringLiteral("d")}));
    QCOMPARE(texts.size(), int(IndexNowKeyCheck::Outcome::NoAnswer) + 1);
}

QTEST_MAIN(TestIndexNow)
#include "tst_indexnow.moc"
