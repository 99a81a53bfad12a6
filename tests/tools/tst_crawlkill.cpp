// A crawl ended by kill -9 at several moments: every Project whose file was
// written is in the project list at the next start, and the index is whole
// again. The crawl runs in a child process (this program, started again).
#include "app/TSubmitMain.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectIndex.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "sandbox/SandboxServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "tools/ImportWizardPage.h"
#include "tools/TSpider.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <algorithm>

namespace {

const char* const kChildUrl = "VANTOR_CRAWL_CHILD_URL";
constexpr int kPages = 4000;

// The child: a window crawling the address until it is killed.
int runChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;
    TSubmitMain window;
    window.ProjectEditor->email->setText(QStringLiteral("ann@shop.example"));
    ImportWizardPage* wizard = window.ImportWizard;
    wizard->UrlImp->setText(qEnvironmentVariable(kChildUrl));
    wizard->SpiderCK->setChecked(true);
    wizard->Button3Click();
    window.Spider->Button1Click();
    return app.exec();
}

// Pages /site/p0 .. p(kPages-1), each linking to two children.
void addSite(SandboxServer& server)
{
    server.router().addPrefix("/site/", [](const SandboxRequest& request) {
        const int k = request.path.mid(7).chopped(5).toInt(); // "/site/p<k>.html"
        QByteArray links;
        for (int target : {2 * k + 1, 2 * k + 2}) {
            if (target < kPages)
                links += "<a href=\"p" + QByteArray::number(target) + ".html\">next</a>\n";
        }
        return SandboxResponse::answer(200, "OK", "text/html",
                                       "<html><head><title>Page " + QByteArray::number(k) +
                                           "</title></head><body>" + links + "</body></html>\n");
    });
}

QStringList projectFiles(const QString& programDir)
{
    QStringList names;
    const QStringList files = QDir(ProjectFile::sessionDir(programDir)).entryList({QStringLiteral("*.zro")}, QDir::Files);
    for (const QString& file : files) {
        if (file != QLatin1String("session.zro"))
            names << file.chopped(4);
    }
    return names;
}

} // namespace

class TestCrawlKill : public QObject
{
    Q_OBJECT

private slots:
    void killedCrawlLosesNoProject_data();
    void killedCrawlLosesNoProject();
    void cleanupTestCase();

private:
    int m_indexBehind = 0;
};

void TestCrawlKill::killedCrawlLosesNoProject_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("afterMs");
    QTest::newRow("first page") << 1 << 0;
    QTest::newRow("a few pages") << 7 << 0;
    QTest::newRow("a second in") << 1 << 1000;
    QTest::newRow("many pages") << 150 << 0;
    QTest::newRow("a while later") << 1 << 2600;
}

void TestCrawlKill::killedCrawlLosesNoProject()
{
    QFETCH(int, files);
    QFETCH(int, afterMs);
    SandboxServer server;
    addSite(server);
    QVERIFY(server.listen(0));
    TempProgramDir dir;

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildUrl), QStringLiteral("http://127.0.0.1:%1/site/p0.html").arg(server.port()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(dir.path());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted());

    // The moment: once the given number of Project files exist, and then
    // the given time more.
    QTRY_VERIFY_WITH_TIMEOUT(projectFiles(dir.path()).size() >= files, 60000);
    if (afterMs > 0)
        QTest::qWait(afterMs);
    child.kill(); // SIGKILL
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const QStringList written = projectFiles(dir.path());
    QVERIFY(written.size() >= files);
    const QStringList indexed = ProjectIndex::namesFrom(ProjectIndex::load(dir.path()));
    for (const QString& name : written) {
        if (!indexed.contains(name)) {
            ++m_indexBehind;
            break;
        }
    }

    // The next start.
    ScriptedDialogs dialogs;
    ProjectListModel model;
    ProjectEditorPage editor;
    ProjectStore store(&model, &editor);
    store.setProgramDir(dir.path());
    store.loadIndex();
    const QStringList listed = model.names();
    for (const QString& name : written)
        QVERIFY2(listed.contains(name), qPrintable(name + QStringLiteral(" is not listed")));
    QCOMPARE(listed.size(), written.size());
    QVERIFY(std::is_sorted(listed.cbegin(), listed.cend(), [](const QString& a, const QString& b) {
        return ProjectListModel::compareNames(a, b) < 0;
    }));
    QVERIFY(dialogs.messages().isEmpty());
    // The index holds them all again, in the list's order.
    QCOMPARE(ProjectIndex::namesFrom(ProjectIndex::load(dir.path())), listed);
}

void TestCrawlKill::cleanupTestCase()
{
    // The kills did land while an index rewrite was pending, so the
    // files, not the index, brought those Projects back.
    QVERIFY(m_indexBehind > 0);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kChildUrl))
        return runChild(argc, argv);
    QApplication app(argc, argv);
    TestCrawlKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crawlkill.moc"
