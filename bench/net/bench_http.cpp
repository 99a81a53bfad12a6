// 2,000 GETs of a small nginx page with our client, one at a time on one client
// and with 50 clients at once, against ApacheBench (an HTTP/1.0 client as well)
// doing the same on the same URL in the same run. Afterwards the open file
// descriptors and the resident memory must be back at their starting level.
#include "net/THttpCli.h"
#include "support/NginxPeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const int Requests = 2000;
const int TimeLimitMs = 120000;

int openFds()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

struct Run
{
    double seconds = -1;
    int ok = 0;
    int failed = 0;
};

// `clients` clients share `requests` GETs; each starts its next one from OnRequestDone.
Run ours(const QString& url, int clients, qint64 pageSize, int requests = Requests)
{
    Run run;
    int started = 0;
    int finished = 0;
    std::vector<std::unique_ptr<THttpCli>> pool;
    QEventLoop loop;
    const auto next = [&](THttpCli* c) {
        if (started >= requests)
            return;
        ++started;
        c->BeginGet();
    };
    for (int i = 0; i < clients; ++i) {
        auto c = std::make_unique<THttpCli>();
        c->setURL(url);
        auto received = std::make_shared<qint64>(0);
        QObject::connect(c.get(), &THttpCli::OnDocData, c.get(),
                         [received](THttpCli*, const char*, int len) { *received += len; });
        QObject::connect(c.get(), &THttpCli::OnRequestDone, c.get(), [&, received](THttpCli* sender, int, int error) {
            if (error == 0 && sender->ResponseCode() == 200 && *received == pageSize)
                ++run.ok;
            else
                ++run.failed;
            *received = 0;
            if (++finished == requests)
                loop.quit();
            else
                next(sender);
        });
        pool.push_back(std::move(c));
    }
    QElapsedTimer timer;
    timer.start();
    for (auto& c : pool)
        next(c.get());
    QTimer::singleShot(TimeLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    run.seconds = finished == requests ? double(timer.nsecsElapsed()) / 1e9 : -1;
    pool.clear();
    settle();
    return run;
}

Run apacheBench(const QString& ab, const QString& url, int concurrency)
{
    Run run;
    QProcess p;
    p.start(ab, {QStringLiteral("-q"), QStringLiteral("-n"), QString::number(Requests), QStringLiteral("-c"),
                 QString::number(concurrency), url});
    if (!p.waitForFinished(TimeLimitMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const auto time = QRegularExpression(QStringLiteral("Time taken for tests:\\s+([0-9.]+)")).match(out);
    const auto complete = QRegularExpression(QStringLiteral("Complete requests:\\s+(\\d+)")).match(out);
    const auto failed = QRegularExpression(QStringLiteral("Failed requests:\\s+(\\d+)")).match(out);
    if (time.hasMatch())
        run.seconds = time.captured(1).toDouble();
    run.failed = failed.hasMatch() ? failed.captured(1).toInt() : Requests;
    run.ok = complete.hasMatch() ? complete.captured(1).toInt() - run.failed : 0;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString ab = QStandardPaths::findExecutable(QStringLiteral("ab"));
    NginxPeer nginx;
    if (nginx.program().isEmpty() || ab.isEmpty()) {
        std::printf("bench_http: skipped, nginx or ab is not installed (scripts/setup installs both)\n");
        return 0;
    }
    QByteArray page = "<html><head><title>small</title></head><body>";
    while (page.size() < 1000)
        page += "small page ";
    page += "</body></html>\n";
    nginx.addFile(QStringLiteral("/small.html"), page);
    if (!nginx.start()) {
        std::printf("bench_http: nginx did not start: %s\n", qPrintable(nginx.errorString()));
        return 1;
    }
    const QString url = nginx.url(QStringLiteral("/small.html"));

    // Warm up both sides, then take the starting level.
    ours(url, 1, page.size(), 100);
    const int fdsBefore = openFds();
    const long rssBefore = residentKb();

    std::printf("bench_http: %d GETs of %s (%lld bytes)\n", Requests, qPrintable(url),
                static_cast<long long>(page.size()));
    bool good = true;
    for (int clients : {1, 50}) {
        const Run peer = apacheBench(ab, url, clients);
        const Run mine = ours(url, clients, page.size());
        const double ratio = peer.seconds > 0 && mine.seconds > 0 ? mine.seconds / peer.seconds : -1;
        std::printf("  %2d at once: THttpCli %.3f s (%d ok, %d failed), ab -n %d -c %d %.3f s (%d ok, %d failed), "
                    "ratio %.2f (target 1.50 or less: %s)\n",
                    clients, mine.seconds, mine.ok, mine.failed, Requests, clients, peer.seconds, peer.ok, peer.failed,
                    ratio, ratio > 0 && ratio <= 1.5 ? "met" : "NOT met");
        good = good && mine.failed == 0 && mine.ok == Requests && mine.seconds > 0;
    }
    settle();
    const int fdsAfter = openFds();
    const long rssAfter = residentKb();
    const bool fdsBack = fdsAfter <= fdsBefore;
    const bool rssBack = rssAfter - rssBefore < 4096;
    std::printf("  file descriptors: %d before, %d after (%s)\n", fdsBefore, fdsAfter, fdsBack ? "back" : "LEAKED");
    std::printf("  resident memory: %ld kB before, %ld kB after (%s)\n", rssBefore, rssAfter,
                rssBack ? "back" : "GREW");
    return good && fdsBack && rssBack ? 0 : 1;
}
