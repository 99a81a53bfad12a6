// The submission run against answers that take as long as a real server's:
// a server of the benchmark's own (in a thread of its own) answers every
// request after a fixed delay. 5,000 engines with Ports 100 against 100 ms,
// then 20,000 engines with Ports 500 against 200 ms. Each run's wall time
// (click on "Submit" to "Your Submission is Complete") against the ideal,
// engines / Ports x delay, and against `ab -n <engines> -c <Ports>` of the
// same server in the same run.
#include "app/TSubmitMain.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "support/BenchSupport.h"
#include "support/TimedDialogs.h"
#include "support/TempProgramDir.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

constexpr qint64 TimeLimitMs = 300000;
const QString ProjectName = QStringLiteral("benchsite");

// Answers each request (one per connection) after the delay, then closes.
class DelayServer : public QObject
{
public:
    explicit DelayServer(int delayMs) : m_delayMs(delayMs)
    {
        QByteArray page = "<html><head><title>Thank you</title></head><body>";
        while (page.size() < 1000)
            page += "submission received ";
        page += "</body></html>\n";
        m_answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(page.size()) +
                   "\r\nConnection: close\r\n\r\n" + page;
    }
    // Runs in the server's thread.
    quint16 listen()
    {
        m_server = new QTcpServer(this);
        m_server->setListenBacklogSize(4096);
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection())
                serve(socket);
        });
        return m_server->serverPort();
    }

private:
    void serve(QTcpSocket* socket)
    {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray head = socket->property("head").toByteArray() + socket->readAll();
            socket->setProperty("head", head);
            if (socket->property("due").toBool() || !head.contains("\r\n\r\n"))
                return;
            socket->setProperty("due", true);
            QPointer<QTcpSocket> alive(socket);
            QTimer::singleShot(m_delayMs, Qt::PreciseTimer, socket, [this, alive] {
                if (!alive)
                    return;
                alive->write(m_answer);
                alive->disconnectFromHost();
            });
        });
    }

    int m_delayMs;
    QByteArray m_answer;
    QTcpServer* m_server = nullptr;
};

class DelayPeer
{
public:
    explicit DelayPeer(int delayMs) : m_server(new DelayServer(delayMs))
    {
        m_server->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_server, [this] { return m_server->listen(); }, Qt::BlockingQueuedConnection, &m_port);
    }
    ~DelayPeer()
    {
        QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/submit.html").arg(m_port); }
    bool ok() const { return m_port != 0; }

private:
    QThread m_thread;
    DelayServer* m_server;
    quint16 m_port = 0;
};

struct Run
{
    double seconds = -1;
    int okRows = 0;
};

Run ourRun(int engines, int ports, const QString& url)
{
    Run run;
    TempProgramDir dir;
    QElapsedTimer clock;
    TimedDialogs dialogs(clock);
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\nhome=http://home.example\r\n"
                                         "[Reports]\r\nGenReport=0\r\n[SubOptions]\r\nPorts=" +
                                             QByteArray::number(ports) + "\r\nTimeout=40\r\n");
    dir.write(QStringLiteral("data/data.ist"), Bench::engineLines(engines, url));
    dir.write(QStringLiteral("data/catagory.ist"), "[Sub1]\r\nBusiness=&category=Business\r\n");
    dir.write(QStringLiteral("data/session/session.zro"),
              "[Session]\r\nCount=0\r\n[List]\r\n0=" + ProjectName.toUtf8() + "\r\n");
    dir.write(QStringLiteral("data/session/") + ProjectName + QStringLiteral(".zro"),
              "[" + ProjectName.toUtf8() +
                  "]\r\nurl=http://www.bench.example/\r\ntitle=Widgets\r\nemail=owner@bench.example\r\n"
                  "description=Widgets\r\ncatagory=Business\r\nname=Pat\r\nkey1=widgets\r\n");
    TSubmitMain window;
    window.resize(1000, 700);
    window.show();
    window.showPage(TSubmitMain::Page::Submit, TSubmitMain::InnerPage::AutoSubmitEngines);
    Bench::settle();
    EngineModel* model = window.EnginesPage->model();
    for (int row = 0; row < model->count(); ++row)
        model->setCheckedQuietly(row, true);
    model->flushChecks();
    ProjectListModel* projects = window.projectStore()->model();
    projects->setChecked(projects->indexOfName(ProjectName), true);
    Bench::settle();
    dialogs.clear();
    clock.start();
    QTest::mouseClick(window.EnginesPage->Button6, Qt::LeftButton);
    QTimer heartbeat;
    heartbeat.start(50);
    while (dialogs.messages().isEmpty() && clock.elapsed() < TimeLimitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const QList<ScriptedDialogs::Call> messages = dialogs.messages();
    for (int i = 0; i < messages.size(); ++i) {
        if (messages.at(i).text == QLatin1String("Your Submission is Complete") && run.seconds < 0)
            run.seconds = dialogs.atNs(i) / 1e9;
        else
            std::printf("    unexpected message: %s: %s\n", qPrintable(messages.at(i).caption),
                        qPrintable(messages.at(i).text));
    }
    for (int row = 0; row < model->count(); ++row)
        run.okRows += model->row(row).result == QLatin1String("OK") ? 1 : 0;
    return run;
}

struct Ratios
{
    double ideal = -1;
    double ab = -1;
};

Ratios measure(const QString& ab, int engines, int ports, int delayMs)
{
    Ratios ratios;
    DelayPeer peer(delayMs);
    if (!peer.ok()) {
        std::printf("  the delaying server did not start\n");
        return ratios;
    }
    const double ideal = static_cast<double>(engines) / ports * delayMs / 1000.0;
    const Bench::AbResult theirs = Bench::apacheBench(ab, peer.url(), engines, ports, TimeLimitMs);
    const Run ours = ourRun(engines, ports, peer.url());
    Bench::settle();
    ratios.ideal = ours.seconds > 0 ? ours.seconds / ideal : -1;
    ratios.ab = ours.seconds > 0 && theirs.seconds > 0 ? ours.seconds / theirs.seconds : -1;
    std::printf("  %d engines, Ports %d, answers after %d ms: run %.3f s (%d rows OK), ideal %.3f s, "
                "ab -n %d -c %d %.3f s (%d complete, %d failed); ours/ideal %.3f (target 1.05 or less), "
                "ours/ab %.3f (target 1.00 or less); load average %.2f\n",
                engines, ports, delayMs, ours.seconds, ours.okRows, ideal, engines, ports, theirs.seconds,
                theirs.complete, theirs.failed, ratios.ideal, ratios.ab, Bench::loadAverage());
    if (ours.okRows != engines)
        ratios = Ratios();
    return ratios;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString ab = QStandardPaths::findExecutable(QStringLiteral("ab"));
    if (ab.isEmpty()) {
        std::printf("bench_latency: skipped, ab is not installed (scripts/setup installs it)\n");
        return 0;
    }
    // Warm up: libraries, fonts, the first window.
    {
        DelayPeer peer(1);
        ourRun(200, 50, peer.url());
    }
    const Ratios small = measure(ab, 5000, 100, 100);
    const Ratios large = measure(ab, 20000, 500, 200);
    std::printf("RESULT bench_latency ideal5000=%.3f vs_ab5000=%.3f ideal20000=%.3f vs_ab20000=%.3f load=%.2f\n",
                small.ideal, small.ab, large.ideal, large.ab, Bench::loadAverage());
    const bool met = small.ideal > 0 && small.ideal <= 1.05 && small.ab <= 1.0 && large.ideal > 0 &&
                     large.ideal <= 1.05 && large.ab <= 1.0;
    return met ? 0 : 1;
}
