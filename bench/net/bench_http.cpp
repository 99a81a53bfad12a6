// 2,000 GETs of a small nginx page with our client, one at a time on one client
// and with 50 clients at once, against ApacheBench (an HTTP/1.0 client as well)
// doing the same on the same URL in the same run. Afterwards the open file
// descriptors and the resident memory must be back at their starting level.
#include "net/THttpCli.h"
#include "support/BenchSupport.h"
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

Bench::GetRun ours(const QString& url, int clients, qint64 pageSize, int requests = Requests)
{
    return Bench::runGets(url, clients, pageSize, requests, TimeLimitMs);
}

Bench::AbResult apacheBench(const QString& ab, const QString& url, int concurrency)
{
    return Bench::apacheBench(ab, url, Requests, concurrency, TimeLimitMs);
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
    const int fdsBefore = Bench::openFds();
    const long rssBefore = Bench::residentKb();

    std::printf("bench_http: %d GETs of %s (%lld bytes)\n", Requests, qPrintable(url),
                static_cast<long long>(page.size()));
    bool good = true;
    for (int clients : {1, 50}) {
        const auto peer = apacheBench(ab, url, clients);
        const auto mine = ours(url, clients, page.size());
        const double ratio = peer.seconds > 0 && mine.seconds > 0 ? mine.seconds / peer.seconds : -1;
        std::printf("  %2d at once: THttpCli %.3f s (%d ok, %d failed), ab -n %d -c %d %.3f s (%d ok, %d failed), "
                    "ratio %.2f (target 1.50 or less: %s)\n",
                    clients, mine.seconds, mine.ok, mine.failed, Requests, clients, peer.seconds, peer.ok(), peer.failed,
                    ratio, ratio > 0 && ratio <= 1.5 ? "met" : "NOT met");
        good = good && mine.failed == 0 && mine.ok == Requests && mine.seconds > 0;
    }
    Bench::settle();
    const int fdsAfter = Bench::openFds();
    const long rssAfter = Bench::residentKb();
    const bool fdsBack = fdsAfter <= fdsBefore;
    const bool rssBack = rssAfter - rssBefore < 4096;
    std::printf("  file descriptors: %d before, %d after (%s)\n", fdsBefore, fdsAfter, fdsBack ? "back" : "LEAKED");
    std::printf("  resident memory: %ld kB before, %ld kB after (%s)\n", rssBefore, rssAfter,
                rssBack ? "back" : "GREW");
    return good && fdsBack && rssBack ? 0 : 1;
}
