// The cost of TLS: 2,000 sequential GETs of a small page over HTTPS against the
// same over plain HTTP on the same nginx with one client, then HTTPS with one
// and with 50 clients at once against ApacheBench doing the same on the same URL
// (ab does not check the certificate; ours does, against a test authority).
// Every connection makes a full handshake: HTTP/1.0 keeps none open.
#include "net/THttpCli.h"
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
    const int fdsBefore = openFds();
    const long rssBefore = residentKb();

    std::printf("bench_https: %d GETs of %s and %s (%lld bytes)\n", Requests, qPrintable(tlsUrl), qPrintable(plainUrl),
                static_cast<long long>(page.size()));
    bool good = true;
    const Run plain = ours(plainUrl, 1, page.size());
    const Run tls = ours(tlsUrl, 1, page.size());
    std::printf("  one client: HTTPS %.3f s (%d ok, %d failed), HTTP %.3f s (%d ok, %d failed), HTTPS/HTTP %.2f, "
                "handshake cost %.3f ms per request\n",
                tls.seconds, tls.ok, tls.failed, plain.seconds, plain.ok, plain.failed,
                plain.seconds > 0 && tls.seconds > 0 ? tls.seconds / plain.seconds : -1,
                (tls.seconds - plain.seconds) * 1000.0 / Requests);
    good = good && tls.failed == 0 && tls.ok == Requests && plain.failed == 0 && plain.ok == Requests;
    for (int clients : {1, 50}) {
        const Run peer = apacheBench(ab, tlsUrl, clients);
        const Run mine = clients == 1 ? tls : ours(tlsUrl, clients, page.size());
        const double ratio = peer.seconds > 0 && mine.seconds > 0 ? mine.seconds / peer.seconds : -1;
        std::printf("  %2d at once over https: THttpCli %.3f s (%d ok, %d failed), ab -n %d -c %d %.3f s (%d ok, %d "
                    "failed), ratio %.2f\n",
                    clients, mine.seconds, mine.ok, mine.failed, Requests, clients, peer.seconds, peer.ok, peer.failed,
                    ratio);
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
