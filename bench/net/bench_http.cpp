// 2,000 GETs of a small nginx page with our client, one at a time on one client
// and with 50 clients at once, against ApacheBench (an HTTP/1.0 client as well)
// doing the same on the same URL in the same run, best of three rounds each.
// Afterwards the open file descriptors and the resident memory must be back at
// their starting level. The last line, "RESULT bench_http ratio1=… ratio50=…",
// is for scripts.
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
const int Rounds = 3;
const double Target = 1.1;

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
    bool met = true;
    double ratios[2] = {-1, -1};
    for (int k = 0; k < 2; ++k) {
        const int clients = k == 0 ? 1 : 50;
        Bench::Best best;
        for (int round = 1; round <= Rounds; ++round) {
            const auto peer = apacheBench(ab, url, clients);
            const auto mine = ours(url, clients, page.size());
            std::printf("  %2d at once, round %d: THttpCli %.3f s (%d ok, %d failed), ab -n %d -c %d %.3f s (%d ok, %d "
                        "failed)\n",
                        clients, round, mine.seconds, mine.ok, mine.failed, Requests, clients, peer.seconds, peer.ok(),
                        peer.failed);
            good = good && mine.failed == 0 && mine.ok == Requests && mine.seconds > 0 && peer.ok() == Requests;
            best.add(mine.seconds, peer.seconds);
        }
        ratios[k] = best.ratio();
        met = met && ratios[k] > 0 && ratios[k] <= Target;
        std::printf("  %2d at once, best of %d: THttpCli %.3f s, ab %.3f s, ratio %.2f (target %.2f or less: %s)\n",
                    clients, Rounds, best.ours, best.peer, ratios[k], Target,
                    ratios[k] > 0 && ratios[k] <= Target ? "met" : "NOT met");
    }
    Bench::settle();
    const int fdsAfter = Bench::openFds();
    const long rssAfter = Bench::residentKb();
    const bool fdsBack = fdsAfter <= fdsBefore;
    const bool rssBack = rssAfter - rssBefore < 4096;
    std::printf("  file descriptors: %d before, %d after (%s)\n", fdsBefore, fdsAfter, fdsBack ? "back" : "LEAKED");
    std::printf("  resident memory: %ld kB before, %ld kB after (%s)\n", rssBefore, rssAfter,
                rssBack ? "back" : "GREW");
    std::printf("RESULT bench_http ratio1=%.2f ratio50=%.2f ok=%d load=%.2f\n", ratios[0], ratios[1],
                good && fdsBack && rssBack, Bench::loadAverage());
    return good && met && fdsBack && rssBack ? 0 : 1;
}
