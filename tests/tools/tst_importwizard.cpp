#include "app/TSubmitMain.h"
#include "net/THttpCli.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "sandbox/SandboxServer.h"
#include "sandbox/SpiderSite.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"
#include "tools/ImportWizardPage.h"
#include "tools/TSpider.h"
#include "ui/TCLEDLabel.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

namespace {

QByteArray answer(const QByteArray& status, const QByteArray& body, const QByteArray& extra = QByteArray())
{
    return "HTTP/1.0 " + status + "\r\nContent-Type: text/html\r\n" + extra + "\r\n" + body;
}

ScriptedServer::Script page(const QByteArray& status, const QByteArray& body, const QByteArray& extra = QByteArray())
{
    ScriptedServer::Script s;
    s.awaitRequest().send(answer(status, body, extra)).close();
    return s;
}

// The project names the store holds, and one Project file's text.
QStringList projectNames(TSubmitMain& window)
{
    return window.projectStore()->model()->names();
}

struct Fixture
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    TSubmitMain window;
    ImportWizardPage* wizard = window.ImportWizard;
    TSpider* spider = window.Spider;

    void fillContacts()
    {
        window.ProjectEditor->email->setText(QStringLiteral("ann@shop.example"));
        window.ProjectEditor->name->setText(QStringLiteral("Ann"));
        window.ProjectEditor->City->setText(QStringLiteral("Leeds"));
    }
    // Prepares and starts a crawl of `url`.
    void crawl(const QString& url)
    {
        wizard->UrlImp->setText(url);
        wizard->SpiderCK->setChecked(true);
        wizard->Button3Click();
        QVERIFY(spider->isVisible());
        QVERIFY(spider->Button1->isEnabled());
        QVERIFY(!spider->Button2->isEnabled());
        spider->Button1Click();
    }
    bool crawlEnded() const { return !wizard->crawling() && wizard->HttpMap->Phase() == THttpCli::Idle; }
};

} // namespace

class TestImportWizard : public QObject
{
    Q_OBJECT

private slots:
    void importInSmallWrites_data();
    void importInSmallWrites();
    void importRefusals();
    void importFromFile_data();
    void importFromFile();
    void crawlSandboxSite();
    void stopSavesCurrentPage();
    void waitsForBusyStore();
    void robots_data();
    void robots();
    void robotsUnreachable();
    void robotsRedirectsEndAfterFive();
    void pageLimit();
    void delayAndRetryAfter_data();
    void delayAndRetryAfter();
    void offHostLinkIsNotFollowed();
    void crawlDelayIsCapped();
    void robotsCutByThePageTimerRefusesAll();
};

void TestImportWizard::importInSmallWrites_data()
{
    QTest::addColumn<int>("piece");
    QTest::newRow("3 bytes") << 3;
    QTest::newRow("7 bytes") << 7;
    QTest::newRow("whole") << 100000;
}

// A page that arrives in many small TCP writes gives the same values as one
// that arrives whole; every keyword is in the box once.
void TestImportWizard::importInSmallWrites()
{
    QFETCH(int, piece);
    Fixture f;
    const QByteArray body = "<HTML><HEAD><TITLE>Caf\xC3\xA9 Shop</TITLE>\n"
                            "<META NAME=\"description\" CONTENT=\"Fresh coffee, roasted daily\">\n"
                            "<META NAME=\"keywords\" CONTENT=\"coffee, beans,  espresso,roast, caf\xC3\xA9\">\n"
                            "</HEAD><BODY><A HREF=\"x.html\">x</A></BODY></HTML>\n";
    const QByteArray bytes = answer("200 OK", body);
    ScriptedServer server;
    ScriptedServer::Script script;
    script.awaitRequest();
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        script.send(bytes.mid(at, piece)).wait(2);
    script.close();
    server.play(script);

    f.window.ProjectEditor->urllist->setText(server.url(QStringLiteral("/page.html")));
    QCOMPARE(f.wizard->UrlImp->text(), server.url(QStringLiteral("/page.html")));
    f.wizard->Button3Click();
    QVERIFY(!f.wizard->Button3->isEnabled());
    QVERIFY(f.wizard->Button4->isEnabled());
    QCOMPARE(f.wizard->Label13->text(), QStringLiteral("Contacting ... ") + server.url(QStringLiteral("/page.html")));
    QTRY_COMPARE_WITH_TIMEOUT(f.wizard->Label13->text(), QStringLiteral("Done"), 20000);
    QVERIFY(f.wizard->Button3->isEnabled());
    QVERIFY(!f.wizard->Button4->isEnabled());
    QCOMPARE(f.wizard->TitleImp->text(), QStringLiteral("Caf\u00e9 Shop"));
    QCOMPARE(f.wizard->DescriptionImp->text(), QStringLiteral("Fresh coffee, roasted daily"));
    QCOMPARE(f.wizard->Key1Imp->text(), QStringLiteral("coffee, beans,  espresso, roast, caf\u00e9"));
    QCOMPARE(f.wizard->CLED4Imp->text(), QStringLiteral("5"));

    f.window.ProjectEditor->email->setText(QStringLiteral("kept@x"));
    f.wizard->Button5Click();
    QCOMPARE(f.window.ProjectEditor->title->text(), QStringLiteral("Caf\u00e9 Shop"));
    QCOMPARE(f.window.ProjectEditor->Key1->text(), f.wizard->Key1Imp->text());
    QCOMPARE(f.window.ProjectEditor->email->text(), QStringLiteral("kept@x"));
    QCOMPARE(f.window.currentInnerPage(), TSubmitMain::InnerPage::ProjectInformation);
    QVERIFY(f.dialogs.messages().isEmpty());
}

void TestImportWizard::importRefusals()
{
    Fixture f;
    f.wizard->TitleImp->setText(QStringLiteral("old"));
    f.wizard->Button3Click();
    QCOMPARE(f.dialogs.messages().size(), 1);
    QCOMPARE(f.dialogs.lastMessage().caption, QStringLiteral("Import Incomplete!"));
    QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("You must enter a url to Import"));
    QCOMPARE(f.dialogs.lastMessage().icon, Dialogs::Icon::None);
    QVERIFY(f.wizard->TitleImp->text().isEmpty());

    f.wizard->SpiderCK->setChecked(true);
    f.wizard->FromFile->click();
    QVERIFY(!f.wizard->SpiderCK->isChecked());
    QVERIFY(!f.wizard->SpiderCK->isEnabled());
    f.wizard->FromUrl->click();
    QVERIFY(f.wizard->SpiderCK->isEnabled());
    QVERIFY(!f.wizard->SpiderCK->isChecked());

    // "Apply" with the Title box unchecked copies an empty title.
    f.window.ProjectEditor->title->setText(QStringLiteral("typed"));
    f.wizard->TitleImpCk->setChecked(false);
    f.wizard->Button5Click();
    QVERIFY(f.window.ProjectEditor->title->text().isEmpty());
}

void TestImportWizard::importFromFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");    // the caption of the one message, empty for none
    QTest::addColumn<QStringList>("expect"); // field=value pairs of the editor after the import
    QTest::newRow("html file") << "page.htm"
                               << QByteArray("<META NAME=\"KEYWORDS\" CONTENT=\"k1, k2\"><BODY>\r\nx\r\n"
                                             "<title>Third</title>\r\n")
                               << ""
                               << QStringList{"TitleImp=Third", "Key1Imp=k1, k2", "title=", "email=ann@shop.example"};
    // Only the file's suffix picks the reader.
    QTest::newRow("html file in a .sav.zro folder")
        << "old.sav.zro/page.htm" << QByteArray("<title>Inside</title>\r\n") << ""
        << QStringList{"TitleImp=Inside", "Session_Name=mine", "email=ann@shop.example"};
    QTest::newRow("sav") << "old.sav"
                         << QByteArray("[URL]\r\nhttp://www.garden.com/\r\n[MAILTO]\r\nbob@garden.com\r\n"
                                       "[Submitter]\r\nBob Gray\r\n[TOWN]\r\nYork\r\n")
                         << "Select Catagory" << QStringList{"Session_Name=garden1",
                                                             "email=bob@garden.com",
                                                             "name=Bob",
                                                             "LastN=Gray",
                                                             "City=York",
                                                             "Company="};
    QTest::newRow("zro") << "other.zro"
                         << QByteArray("[Their Site]\r\nurl=http://their/\r\nkey1=a\r\nkey2=b\r\ncatagory=News\r\n")
                         << ""
                         << QStringList{"Session_Name=Their Site", "Key1=a, b", "email=", "urllist=http://their/"};
    // Nothing in the editor changes when the file cannot give a Project.
    QTest::newRow("zro without section") << "broken.zro" << QByteArray("url=http://x/\r\n") << "Vantor Pro v4"
                                         << QStringList{"email=ann@shop.example", "Session_Name=mine"};
    QTest::newRow("binary sav") << "image.sav" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "Vantor Pro v4"
                                << QStringList{"email=ann@shop.example", "Session_Name=mine"};
    QTest::newRow("unreadable") << "missing.htm" << QByteArray() << "Vantor Pro v4"
                                << QStringList{"email=ann@shop.example"};
}

void TestImportWizard::importFromFile()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(QStringList, expect);
    Fixture f;
    f.window.projectStore()->model()->setNames({QStringLiteral("Garden")});
    f.fillContacts();
    f.window.ProjectEditor->Session_Name->setText(QStringLiteral("mine"));
    if (!content.isEmpty())
        f.dir.write(file, content);
    f.wizard->FromFile->click();
    f.dialogs.answerFile(f.dir.filePath(file));
    f.wizard->Button3->click();
    const QList<ScriptedDialogs::Call> messages = f.dialogs.messages();
    QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QVERIFY2(messages.first().caption == message || messages.first().icon == Dialogs::Icon::Error,
                 qPrintable(messages.first().caption + ": " + messages.first().text));
    }
    for (const QString& pair : expect) {
        const QString field = pair.section(QLatin1Char('='), 0, 0);
        auto* edit = f.window.findChild<QLineEdit*>(field);
        QVERIFY(edit);
        QCOMPARE(edit->text(), pair.section(QLatin1Char('='), 1));
    }
}

// The sandbox's shop: one Project per page, named after the site, with the
// contact details reused; robots.txt keeps the staff pages out.
void TestImportWizard::crawlSandboxSite()
{
    Fixture f;
    SandboxServer sandbox;
    sandbox.addStandardSites();
    QVERIFY(sandbox.listen(0));
    f.fillContacts();
    f.wizard->setPageTimeoutMs(1500);
    QSignalSpy statuses(f.spider, &TSpider::statusChanged);
    const QString start = QStringLiteral("http://127.0.0.1:%1/spider/").arg(sandbox.port());
    f.crawl(start);
    QVERIFY(!f.spider->Button1->isEnabled());
    QVERIFY(f.spider->Button2->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 120000);

    const int found = SpiderSite::CrawlableAddresses;
    QCOMPARE(f.spider->status(), QStringLiteral("Done. %1 Urls Found and saved").arg(found));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("Import Completed"));
    QCOMPARE(f.spider->LedImp1->value(), found);
    const QStringList names = projectNames(f.window);
    QCOMPARE(names.size(), found);
    QVERIFY(names.contains(QStringLiteral("1271")));
    QVERIFY(names.contains(QStringLiteral("12752")));
    const QStringList lists = f.wizard->siteLists().found();
    QCOMPARE(lists.first(), start);
    QVERIFY(lists.contains(QStringLiteral("http://127.0.0.1:%1/spider").arg(sandbox.port())));
    QVERIFY(lists.contains(QStringLiteral("http://127.0.0.1:%1/spider/Index.html").arg(sandbox.port())));
    QVERIFY(lists.contains(QStringLiteral("http://127.0.0.1:%1/spider/products/item30.html").arg(sandbox.port())));
    for (const QString& url : lists)
        QVERIFY2(!url.contains(QLatin1String("private")) && !url.contains(QLatin1String("long")), qPrintable(url));
    bool refused = false, duplicate = false;
    for (const QList<QVariant>& s : statuses) {
        refused = refused ||
                  s.first().toString().startsWith(QLatin1String("Refused by robots.txt (Disallow: /spider/private/)"));
        duplicate = duplicate || s.first().toString().startsWith(QLatin1String("Checking Duplicates "));
    }
    QVERIFY(refused);
    QVERIFY(duplicate);

    // The first page, and a page whose keywords arrived in many blocks.
    const QByteArray first = f.dir.read(QStringLiteral("data/session/1271.zro"));
    QVERIFY2(first.contains("url=" + start.toUtf8()), first.constData());
    QVERIFY(first.contains("title=Sandbox Garden Shop"));
    QVERIFY(first.contains("email=ann@shop.example"));
    QVERIFY(first.contains("city=Leeds"));
    QVERIFY(first.contains("key1=garden, tools, seeds, advice"));
    const int many =
        lists.indexOf(QStringLiteral("http://127.0.0.1:%1/spider/meta/many-keywords.html").arg(sandbox.port()));
    QVERIFY(many > 0);
    const QByteArray manyFile = f.dir.read(QStringLiteral("data/session/127%1.zro").arg(many + 1));
    QVERIFY(manyFile.contains("key1=keyword1, keyword2, keyword3,"));
    QVERIFY(manyFile.contains(", keyword1499, keyword1500\r\n"));
    QCOMPARE(manyFile.count("keyword750,"), 1);
}

// "Stop" ends the crawl; the page being fetched is still saved.
void TestImportWizard::stopSavesCurrentPage()
{
    Fixture f;
    ScriptedServer server;
    ScriptedServer::Script stall;
    stall.awaitRequest().send("HTTP/1.0 200 OK\r\n\r\n<title>Slow</title>").stall();
    server.play(QList<ScriptedServer::Script>{page("404 Not Found", ""), stall});
    f.fillContacts();
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.wizard->TitleImp->text() == QLatin1String("Slow"), 10000);
    f.spider->Button2Click();
    QVERIFY(!f.spider->Button1->isEnabled());
    QVERIFY(!f.spider->Button2->isEnabled());
    QCOMPARE(f.spider->status(), QStringLiteral("Idle"));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 10000);
    QCOMPARE(projectNames(f.window), QStringList{QStringLiteral("1271")});
    QVERIFY(f.dir.read(QStringLiteral("data/session/1271.zro")).contains("title=Slow"));
    QVERIFY(f.dialogs.messages().isEmpty());
    QCOMPARE(server.connectionCount(), 2);
}

namespace {

// Holds the "Delete all projects" confirmation open, events running, while the crawl goes on.
class SlowConfirm : public ScriptedDialogs
{
public:
    int message(QWidget* parent, const QString& caption, const QString& text, Dialogs::Icon icon, int buttons) override
    {
        if (caption == ProjectStore::deleteAllCaption()) {
            QTest::qWait(400);
            ScriptedDialogs::message(parent, caption, text, icon, Dialogs::Ok);
            return Dialogs::No;
        }
        return ScriptedDialogs::message(parent, caption, text, icon, buttons);
    }
};

} // namespace

// A page that ends while the Project store runs a command of the user's is
// saved only after it: the crawl never interleaves with it.
void TestImportWizard::waitsForBusyStore()
{
    Fixture f;
    SlowConfirm dialogs;
    ScriptedServer server;
    server.play(QList<ScriptedServer::Script>{page("404 Not Found", ""), page("200 OK", "<title>Busy</title>")});
    f.fillContacts();
    connect(f.spider, &TSpider::statusChanged, this, [&f](const QString& text) {
        if (text == QLatin1String("Reading robots.txt"))
            QTimer::singleShot(0, f.window.projectStore(), [&f] { f.window.projectStore()->deleteAll(); });
    });
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QCOMPARE(dialogs.messages().size(), 2); // the confirmation, then "Import Completed"
    QCOMPARE(dialogs.lastMessage().text, QStringLiteral("Import Completed"));
    QCOMPARE(projectNames(f.window), QStringList{QStringLiteral("1271")});
    const QByteArray saved = f.dir.read(QStringLiteral("data/session/1271.zro"));
    QVERIFY(saved.contains("url=" + server.url(QStringLiteral("/d/")).toUtf8()));
    QVERIFY(saved.contains("title=Busy"));
    QVERIFY(saved.contains("email=ann@shop.example"));
}

void TestImportWizard::robots_data()
{
    QTest::addColumn<QByteArray>("robots"); // the whole answer
    QTest::addColumn<int>("saved");
    QTest::addColumn<QString>("status"); // a status text seen during the crawl
    const QByteArray text = "User-agent: *\nDisallow: /d/private\n";
    QTest::newRow("allow and disallow") << answer("200 OK", text) << 2
                                        << "Refused by robots.txt (Disallow: /d/private): ";
    QTest::newRow("404 allows all") << answer("404 Not Found", "") << 3 << "Done. 3 Urls Found and saved";
    QTest::newRow("503 refuses all") << answer("503 Service Unavailable", "") << 0
                                     << "robots.txt answered 503, nothing may be fetched";
}

void TestImportWizard::robots()
{
    QFETCH(QByteArray, robots);
    QFETCH(int, saved);
    QFETCH(QString, status);
    Fixture f;
    ScriptedServer server;
    ScriptedServer::Script robotsScript;
    robotsScript.awaitRequest().send(robots).close();
    server.play(QList<ScriptedServer::Script>{
        robotsScript, page("200 OK", "<a href=\"a.html\">a</a> <a href=\"/d/private/x.html\">p</a>"),
        page("200 OK", "<title>A</title>")});
    QSignalSpy statuses(f.spider, &TSpider::statusChanged);
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QCOMPARE(projectNames(f.window).size(), saved);
    QVERIFY(server.received(0).startsWith("GET /robots.txt HTTP/1.0\r\n"));
    bool seen = false;
    for (const QList<QVariant>& s : statuses)
        seen = seen || s.first().toString().startsWith(status);
    QVERIFY2(seen, qPrintable(f.spider->status()));
}

void TestImportWizard::robotsUnreachable()
{
    Fixture f;
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    f.crawl(QStringLiteral("http://127.0.0.1:%1/d/").arg(port));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QCOMPARE(f.spider->status(), QStringLiteral("robots.txt unreachable, nothing may be fetched"));
    QVERIFY(projectNames(f.window).isEmpty());
    QVERIFY(!f.spider->Button2->isEnabled());
}

// More than five redirects: robots.txt counts as missing, so everything may be fetched.
void TestImportWizard::robotsRedirectsEndAfterFive()
{
    Fixture f;
    ScriptedServer server;
    QList<ScriptedServer::Script> scripts;
    for (int i = 0; i < 6; ++i)
        scripts << page("301 Moved Permanently", "", "Location: /robots.txt\r\n");
    scripts << page("200 OK", "<a href=\"a.html\">a</a>") << page("200 OK", "a");
    server.play(scripts);
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QCOMPARE(projectNames(f.window).size(), 2);
    QCOMPARE(server.connectionCount(), 8);
    QVERIFY(server.received(6).startsWith("GET /d/ HTTP/1.0\r\n"));
}

void TestImportWizard::pageLimit()
{
    Fixture f;
    ScriptedServer server;
    server.play(QList<ScriptedServer::Script>{page("404 Not Found", ""),
                                              page("200 OK", "<a href=\"a.html\">a</a><a href=\"b.html\">b</a>"),
                                              page("200 OK", "a"), page("200 OK", "b")});
    f.spider->PageLimitEdit->setValue(2);
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QCOMPARE(projectNames(f.window).size(), 2);
    QCOMPARE(f.spider->status(), QStringLiteral("Done. Page limit of 2 reached, 2 of 3 Urls saved"));
    QCOMPARE(f.dialogs.lastMessage().text, QStringLiteral("Import Completed"));
    QCOMPARE(server.connectionCount(), 3);
}

void TestImportWizard::delayAndRetryAfter_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QByteArray>("first"); // the start page's status and extra header
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("minimumMs");
    QTest::addColumn<QString>("status");
    QTest::newRow("delay") << 400 << QByteArray("200 OK") << QByteArray() << 800 << "";
    QTest::newRow("retry-after") << 0 << QByteArray("503 Service Unavailable") << QByteArray("Retry-After: 1\r\n")
                                 << 1000 << "Waiting 1 s (Retry-After)";
}

// Three pages: the waits come between the requests.
void TestImportWizard::delayAndRetryAfter()
{
    QFETCH(int, delayMs);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, extra);
    QFETCH(int, minimumMs);
    QFETCH(QString, status);
    Fixture f;
    ScriptedServer server;
    // A 503 answer closes at once after its header, so its links come in the same write.
    server.play(QList<ScriptedServer::Script>{page("404 Not Found", ""),
                                              page(first, "<a href=\"a.html\">a</a><a href=\"b.html\">b</a>", extra),
                                              page("200 OK", "a"), page("200 OK", "b")});
    f.spider->DelayEdit->setValue(delayMs);
    QSignalSpy statuses(f.spider, &TSpider::statusChanged);
    QElapsedTimer clock;
    clock.start();
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(projectNames(f.window).size(), 3);
    if (!status.isEmpty()) {
        bool seen = false;
        for (const QList<QVariant>& s : statuses)
            seen = seen || s.first().toString() == status;
        QVERIFY(seen);
    }
}

// A link whose path holds the start address names another server: it is
// neither fetched nor saved, and that server hears nothing.
void TestImportWizard::offHostLinkIsNotFollowed()
{
    Fixture f;
    ScriptedServer internal;
    internal.play(page("200 OK", "<title>Internal</title>"));
    ScriptedServer server;
    // "http://127.0.0.1:<internal>/127.0.0.1:<site>/d/x.html" holds the scope text "127.0.0.1:<site>/d".
    const QByteArray escape = internal.url(QStringLiteral("/127.0.0.1:%1/d/x.html").arg(server.port())).toUtf8();
    server.play(QList<ScriptedServer::Script>{
        page("404 Not Found", ""), page("200 OK", "<a href=\"" + escape + "\">x</a> <a href=\"a.html\">a</a>"),
        page("200 OK", "a")});
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QCOMPARE(internal.connectionCount(), 0);
    QCOMPARE(server.connectionCount(), 3);
    QCOMPARE(projectNames(f.window).size(), 2);
    QCOMPARE(f.spider->status(), QStringLiteral("Done. 2 Urls Found and saved"));
}

// A Crawl-delay past what any int holds in milliseconds waits 60 s, and says so.
void TestImportWizard::crawlDelayIsCapped()
{
    Fixture f;
    ScriptedServer server;
    server.play(QList<ScriptedServer::Script>{page("200 OK", "User-agent: *\nCrawl-delay: 3000000\n"),
                                              page("200 OK", "<a href=\"a.html\">a</a>"), page("200 OK", "a")});
    QSignalSpy statuses(f.spider, &TSpider::statusChanged);
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_COMPARE_WITH_TIMEOUT(projectNames(f.window).size(), 1, 20000);
    // The next page waits; without the cap it would follow at once.
    QTest::qWait(1500);
    QCOMPARE(server.connectionCount(), 2);
    QCOMPARE(projectNames(f.window).size(), 1);
    QCOMPARE(f.spider->status(), QStringLiteral("Crawl-delay of 3000000 s counts as 60 s"));
    f.spider->Button2Click();
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 5000);
    QCOMPARE(server.connectionCount(), 2);
}

// robots.txt that drips until the page timer cuts it is unreachable: nothing is fetched.
void TestImportWizard::robotsCutByThePageTimerRefusesAll()
{
    Fixture f;
    f.wizard->setPageTimeoutMs(600);
    ScriptedServer server;
    ScriptedServer::Script drip;
    drip.awaitRequest().send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nUser-agent: *\n");
    for (int i = 0; i < 20; ++i)
        drip.wait(100).send("# ...\n");
    drip.stall();
    server.play(QList<ScriptedServer::Script>{drip, page("200 OK", "<a href=\"a.html\">a</a>"), page("200 OK", "a")});
    QElapsedTimer clock;
    clock.start();
    f.crawl(server.url(QStringLiteral("/d/")));
    QTRY_VERIFY_WITH_TIMEOUT(f.crawlEnded(), 20000);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.spider->status(), QStringLiteral("robots.txt could not be read, nothing may be fetched"));
    QCOMPARE(server.connectionCount(), 1);
    QVERIFY(projectNames(f.window).isEmpty());
}

QTEST_MAIN(TestImportWizard)
#include "tst_importwizard.moc"
