// A run that mixes IndexNow rows with ordinary ones against the sandbox: each
// Project's key (fresh, known, unknown, malformed, missing, over the rate)
// gives its own answers, rows and counters, and the reports list them.
#include "projects/ProjectListModel.h"
#include "sandbox/IndexNowSite.h"
#include "sandbox/SandboxServer.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "submission/LiveSubmitter.h"
#include "submission/SubmissionRun.h"
#include "submission/TReportsPage.h"
#include "support/EngineLoad.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"
#include "support/TempProgramDir.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

namespace {

// The "Result" and "Date" cells of an engine's row in a report page.
QPair<QString, QString> reportCells(const QByteArray& report, const QString& engine)
{
    const QList<QByteArray> lines = report.split('\n');
    for (int i = 0; i + 3 < lines.size(); ++i) {
        if (lines.at(i).trimmed() == "<tr><td>" + engine.toUtf8() + "&nbsp;</td>") {
            auto cell = [&](int k) {
                QByteArray text = lines.at(i + k).trimmed();
                text.chop(QByteArray("&nbsp;</td>").size());
                return QString::fromUtf8(text.mid(4));
            };
            return {cell(2), cell(3)};
        }
    }
    return {QStringLiteral("<no row>"), QString()};
}

const QByteArray KeyFresh = "aaaaaaaa-fresh-key";
const QByteArray KeyKnown = "bbbbbbbb-known-key";
const QByteArray KeyUnknown = "cccccccc-unknown-key";
const QByteArray KeyBusy = "ffffffff-busy-key";

} // namespace

class TestIndexNowRun : public QObject
{
    Q_OBJECT

private slots:
    void mixedRun();
};

void TestIndexNowRun::mixedRun()
{
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    QBuffer log;
    log.open(QIODevice::ReadWrite);
    SandboxServer sandbox;
    sandbox.setLogDevice(&log);
    sandbox.addStandardSites();
    auto keys = std::make_shared<IndexNowKeys>();
    IndexNowSite::addPaths(sandbox.router(), keys);
    QVERIFY(sandbox.listen(0));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(keys->add(KeyFresh, now));
    QVERIFY(keys->add(KeyKnown, now - 2 * IndexNowKeys::FreshMs));
    QVERIFY(keys->add(KeyBusy, now - 2 * IndexNowKeys::FreshMs));
    for (int i = 0; i < IndexNowKeys::RateLimit; ++i)
        QVERIFY(keys->admit(KeyBusy));

    // Two endpoints of our own: one records the bytes, one answers a bare status line.
    ScriptedServer wire;
    wire.play(ScriptedServer::Script().awaitRequest().send("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n").close());
    ScriptedServer bare;
    bare.play(ScriptedServer::Script().awaitRequest().send("HTTP/1.0 403\r\n\r\n").close());
    QVERIFY(wire.isListening() && bare.isListening());

    const QString sandboxUrl = QStringLiteral("http://127.0.0.1:%1").arg(sandbox.port());
    const QList<QPair<QString, QString>> engines = {
        {QStringLiteral("IN-A=IndexNow"), sandboxUrl + QStringLiteral("/indexnow")},
        {QStringLiteral("IN-B=IndexNow"), sandboxUrl + QStringLiteral("/indexnow")},
        {QStringLiteral("IN-Wire=IndexNow"), wire.url(QStringLiteral("/indexnow"))},
        {QStringLiteral("IN-Bare=IndexNow"), bare.url(QStringLiteral("/indexnow"))},
        {QStringLiteral("Ok=ENGINE"), sandboxUrl + QStringLiteral("/ok")},
        {QStringLiteral("Missing=ENGINE"), sandboxUrl + QStringLiteral("/missing")},
    };
    QByteArray lines;
    for (const auto& [head, submit] : engines) {
        const QString name = head.section(QLatin1Char('='), 0, 0);
        lines += (head + QStringLiteral("|http://site.example/") + name + QLatin1Char('|') + submit +
                  QString(36, QLatin1Char('|')) + QStringLiteral("\r\n"))
                     .toUtf8();
    }
    dir.write(QStringLiteral("data/data.ist"), lines);

    const QList<QPair<QString, QByteArray>> projects = {
        {QStringLiteral("a-fresh"), KeyFresh},     {QStringLiteral("b-known"), KeyKnown},
        {QStringLiteral("c-unknown"), KeyUnknown}, {QStringLiteral("d-badkey"), "short!"},
        {QStringLiteral("e-nokey"), QByteArray()}, {QStringLiteral("f-busy"), KeyBusy},
    };
    QStringList names;
    for (const auto& [name, key] : projects) {
        names << name;
        QByteArray file =
            "[" + name.toUtf8() + "]\r\nurl=http://" + name.toUtf8() + ".example/page?x=1&y=#z \xC3\xA9\r\ntitle=T\r\n";
        if (!key.isEmpty())
            file += "indexnowkey=" + key + "\r\n";
        dir.write(QStringLiteral("data/session/") + name + QStringLiteral(".zro"), file);
    }

    AutoSubmitEnginesPage page;
    page.setProgramDir(dir.path());
    QVERIFY(loadEngines(page));
    for (int row = 0; row < page.model()->count(); ++row)
        page.model()->setChecked(row, true);
    ProjectListModel projectList;
    projectList.setNames(names);
    for (int row = 0; row < projectList.count(); ++row)
        projectList.setChecked(row, true);
    TReportsPage reports;
    reports.setProgramDir(dir.path(), QStringLiteral("http://home.example"));
    reports.HeaderCk->setChecked(false);
    reports.FooterCk->setChecked(false);
    reports.GenReportCk->setChecked(true);
    LiveSubmitter live(page.model());
    SubmissionRun run(&page, &projectList, &live, &reports);
    run.setProgramDir(dir.path());
    run.setRunSettings([] { return 20; }, [] { return 40; });
    QSignalSpy counts(&live, &LiveSubmitter::countsChanged);

    run.Button6Click();
    QTRY_VERIFY_WITH_TIMEOUT(!dialogs.messages().isEmpty(), 30000);
    QCOMPARE(dialogs.lastMessage().text, QStringLiteral("Your Submission is Complete"));

    // The counters each Project ended with (ok, failed, time out): the last change before the next reset.
    QList<QList<int>> finals;
    for (const QList<QVariant>& c : counts) {
        const QList<int> value{c.at(0).toInt(), c.at(1).toInt(), c.at(2).toInt()};
        if (value == QList<int>{0, 0, 0})
            finals.append(value);
        else
            finals.last() = value;
    }
    // IN-A and IN-B show the sandbox's answer; IN-Wire always 200, IN-Bare a bare 403; Ok and Missing as ever.
    const QList<QPair<QString, QList<int>>> expected = {
        {QStringLiteral("Accepted"), {4, 2, 0}},        {QStringLiteral("OK"), {4, 2, 0}},
        {QStringLiteral("Forbidden"), {2, 4, 0}},       {QStringLiteral("Unprocessable Entity"), {2, 4, 0}},
        {QStringLiteral("No IndexNow key"), {1, 5, 0}}, {QStringLiteral("Too Many Requests"), {2, 4, 0}},
    };
    QCOMPARE(finals.size(), projects.size());
    QCOMPARE(reports.FileListBox1->count(), projects.size());
    for (int p = 0; p < projects.size(); ++p) {
        const QString name = projects.at(p).first;
        QCOMPARE(finals.at(p), expected.at(p).second);
        const QString file = reports.FileListBox1->item(p)->text();
        QVERIFY2(file.startsWith(name), qPrintable(file));
        const QByteArray report = dir.read(QStringLiteral("reports/") + file);
        const QString answer = expected.at(p).first;
        const bool noKey = name == QLatin1String("e-nokey");
        const QList<QPair<QString, QString>> rows = {
            {QStringLiteral("IN-A"), answer},
            {QStringLiteral("IN-B"), answer},
            {QStringLiteral("IN-Wire"), noKey ? answer : QStringLiteral("OK")},
            {QStringLiteral("IN-Bare"), noKey ? answer : QStringLiteral("Forbidden")},
            {QStringLiteral("Ok"), QStringLiteral("OK")},
            {QStringLiteral("Missing"), QStringLiteral("Not Found")},
        };
        for (const auto& [engine, result] : rows) {
            const auto cells = reportCells(report, engine);
            QCOMPARE(cells.first, result);
            QVERIFY2(!cells.second.isEmpty(), qPrintable(name + QLatin1Char(' ') + engine));
        }
    }
    // The rows as the last Project left them.
    const EngineModel& model = *page.model();
    for (int row = 0; row < model.count(); ++row) {
        const bool ok =
            model.engineName(row) == QLatin1String("IN-Wire") || model.engineName(row) == QLatin1String("Ok");
        QCOMPARE(model.row(row).image, ok ? RowImage::Ok : RowImage::Failed);
    }

    // Nothing went out for the Project without a key: five Projects reached each endpoint.
    QCOMPARE(wire.connectionCount(), 5);
    QCOMPARE(bare.connectionCount(), 5);
    QCOMPARE(log.data().count("\t/indexnow?"), 10);
    QVERIFY(!log.data().contains("e-nokey.example"));
    const QByteArray expectedWire =
        "GET /indexnow?url=http%3A%2F%2Fa-fresh.example%2Fpage%3Fx%3D1%26y%3D%23z%20%C3%A9&key=" + KeyFresh +
        " HTTP/1.0\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
        "Referer: http://site.example/IN-Wire\r\nUser-Agent: Mozilla/3.0 (compatible)\r\n"
        "Host: 127.0.0.1\r\n\r\n"; // the client names no port in Host
    // The bytes of one IndexNow request, for whoever reads the test's output.
    qInfo().noquote() << "IndexNow request on the wire:" << QByteArray(wire.received(0)).replace("\r\n", "\\r\\n");
    QCOMPARE(wire.received(0), expectedWire);
}

QTEST_MAIN(TestIndexNowRun)
#include "tst_indexnowrun.moc"
