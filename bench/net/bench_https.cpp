// The cost of TLS: 2,000 sequential GETs of a small page over HTTPS against the
// same over plain HTTP on the same nginx with one client, then HTTPS with one
// and with 50 clients at once against ApacheBench doing the same on the same URL
// (ab does not check the certificate; ours does, against a test authority).
// Every connection makes a full handshake: HTTP/1.0 keeps none open.
#include "net/THttpCli.h"
#include "support/BenchSupport.h"
#include "support/NginxPeer.h"
#include "support/TestCertificates.h"

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
    if (nginx.program().isEmpty() || ab.isEmpty() || TestCertificates::program().isEmpty()) {
        std::printf("bench_https: skipped, nginx, ab or openssl is not installed (scripts/setup installs them)\n");
        return 0;
    }
    TestCertificates certs;
    TestCertificates::Pair pair;
    if (!certs.createAuthority() || !certs.issue(QStringLiteral("localhost"), pair)) {
        std::printf("bench_https: no certificates: %s\n", qPrintable(certs.errorString()));
        return 1;
    }
    THttpCli::setExtraCaCertificates(certs.authority());
    QByteArray page = "<html><head><title>small</title></head><body>";
    while (page.size() < 1000)
        page += "small page ";
    page += "</body></html>\n";
    nginx.addFile(QStringLiteral("/small.html"), page);
    nginx.setTls(pair.certificate, pair.key);
    nginx.setAlsoPlain(true);
    if (!nginx.start()) {
        std::printf("bench_https: nginx did not start: %s\n", qPrintable(nginx.errorString()));
        return 1;
    }
    const QString tlsUrl = nginx.url(QStringLiteral("/small.html"));
    const QString plainUrl = nginx.plainUrl(QStringLiteral("/small.html"));

    // Warm up both sides, 50 TLS connections at once among them (each holds its own TLS context with the
    // authorities, which sets the allocator's high-water mark), then take the starting level.
    ours(tlsUrl, 1, page.size(), 100);
    ours(plainUrl, 1, page.size(), 100);
    ours(tlsUrl, 50, page.size(), 200);
    const int fdsBefore = Bench::openFds();
    const long rssBefore = Bench::residentKb();

    std::printf("bench_https: %d GETs of %s and %s (%lld bytes)\n", Requests, qPrintable(tlsUrl), qPrintable(plainUrl),
                static_cast<long long>(page.size()));
    bool good = true;
    const auto plain = ours(plainUrl, 1, page.size());
    const auto tls = ours(tlsUrl, 1, page.size());
    std::printf("  one client: HTTPS %.3f s (%d ok, %d failed), HTTP %.3f s (%d ok, %d failed), HTTPS/HTTP %.2f, "
                "handshake cost %.3f ms per request\n",
                tls.seconds, tls.ok, tls.failed, plain.seconds, plain.ok, plain.failed,
                plain.seconds > 0 && tls.seconds > 0 ? tls.seconds / plain.seconds : -1,
                (tls.seconds - plain.seconds) * 1000.0 / Requests);
    good = good && tls.failed == 0 && tls.ok == Requests && plain.failed == 0 && plain.ok == Requests;
    for (int clients : {1, 50}) {
        const auto peer = apacheBench(ab, tlsUrl, clients);
        const auto mine = clients == 1 ? tls : ours(tlsUrl, clients, page.size());
        const double ratio = peer.seconds > 0 && mine.seconds > 0 ? mine.seconds / peer.seconds : -1;
        std::printf("  %2d at once over https: THttpCli %.3f s (%d ok, %d failed), ab -n %d -c %d %.3f s (%d ok, %d "
                    "failed), ratio %.2f\n",
                    clients, mine.seconds, mine.ok, mine.failed, Requests, clients, peer.seconds, peer.ok(), peer.failed,
                    ratio);
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
