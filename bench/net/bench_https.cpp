// The cost of TLS: 2,000 sequential GETs of a small page over HTTPS against the
// same over plain HTTP on the same nginx with one client, then HTTPS with one
// and with 50 clients at once against ApacheBench doing the same on the same URL
// (ab does not check the certificate; ours does, against a test authority),
// best of three rounds each. HTTP/1.0 keeps no connection open, so every
// request makes a TLS handshake; ours resume the session after the first. The
// last line, "RESULT bench_https ratio1=… ratio50=… vs_http=…", is for scripts.
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
const int Rounds = 3;
const double PeerTarget = 1.0; // one client against ab -c 1 over https
const double HttpTarget = 4.0; // HTTPS against plain HTTP, ours both

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
    const auto check = [&](const Bench::GetRun& run) {
        good = good && run.failed == 0 && run.ok == Requests && run.seconds > 0;
    };
    Bench::Best vsHttp; // "ours" HTTPS, "peer" plain HTTP
    Bench::Best one;
    Bench::Best fifty;
    for (int round = 1; round <= Rounds; ++round) {
        const auto plain = ours(plainUrl, 1, page.size());
        const auto tls = ours(tlsUrl, 1, page.size());
        const auto peer1 = apacheBench(ab, tlsUrl, 1);
        const auto tls50 = ours(tlsUrl, 50, page.size());
        const auto peer50 = apacheBench(ab, tlsUrl, 50);
        check(plain);
        check(tls);
        check(tls50);
        good = good && peer1.ok() == Requests && peer50.ok() == Requests;
        std::printf("  round %d: one client HTTPS %.3f s (%d ok), HTTP %.3f s (%d ok), ab -n %d -c 1 over https %.3f s "
                    "(%d ok); 50 clients HTTPS %.3f s (%d ok), ab -n %d -c 50 over https %.3f s (%d ok)\n",
                    round, tls.seconds, tls.ok, plain.seconds, plain.ok, Requests, peer1.seconds, peer1.ok(),
                    tls50.seconds, tls50.ok, Requests, peer50.seconds, peer50.ok());
        vsHttp.add(tls.seconds, plain.seconds);
        one.add(tls.seconds, peer1.seconds);
        fifty.add(tls50.seconds, peer50.seconds);
    }
    const auto verdict = [](double ratio, double target) { return ratio > 0 && ratio <= target ? "met" : "NOT met"; };
    std::printf("  best of %d, one client: HTTPS %.3f s, HTTP %.3f s, HTTPS/HTTP %.2f (target %.1f or less: %s)\n",
                Rounds, vsHttp.ours, vsHttp.peer, vsHttp.ratio(), HttpTarget, verdict(vsHttp.ratio(), HttpTarget));
    std::printf("  best of %d, one client over https: THttpCli %.3f s, ab -c 1 %.3f s, ratio %.2f (target %.1f or less: "
                "%s)\n",
                Rounds, one.ours, one.peer, one.ratio(), PeerTarget, verdict(one.ratio(), PeerTarget));
    std::printf("  best of %d, 50 clients over https: THttpCli %.3f s, ab -c 50 %.3f s, ratio %.2f\n", Rounds,
                fifty.ours, fifty.peer, fifty.ratio());
    std::printf("  TLS sessions kept for resumption: %d\n", THttpCli::tlsSessionCount());
    Bench::settle();
    const int fdsAfter = Bench::openFds();
    const long rssAfter = Bench::residentKb();
    const bool fdsBack = fdsAfter <= fdsBefore;
    const bool rssBack = rssAfter - rssBefore < 4096;
    std::printf("  file descriptors: %d before, %d after (%s)\n", fdsBefore, fdsAfter, fdsBack ? "back" : "LEAKED");
    std::printf("  resident memory: %ld kB before, %ld kB after (%s)\n", rssBefore, rssAfter,
                rssBack ? "back" : "GREW");
    std::printf("RESULT bench_https ratio1=%.2f ratio50=%.2f vs_http=%.2f ok=%d load=%.2f\n", one.ratio(),
                fifty.ratio(), vsHttp.ratio(), good && fdsBack && rssBack, Bench::loadAverage());
    const bool met = one.ratio() > 0 && one.ratio() <= PeerTarget && vsHttp.ratio() > 0 && vsHttp.ratio() <= HttpTarget;
    return good && met && fdsBack && rssBack ? 0 : 1;
}
