// The whole submission run, end to end, in the main window (offscreen): a
// data.ist of 5,000 engines (then 20,000) all pointing at one small nginx
// page, one checked Project, Ports 50, GenReport off. Timed from the click on
// "Submit" to the "Your Submission is Complete" message, against
// `ab -n <engines> -c 50` on the same URL in the same run. Every row must end
// "OK"; resident memory and open file descriptors are taken before the click
// and after the run, once the released clients are gone.
#include "app/TSubmitMain.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "submission/AutoSubmitEnginesPage.h"
#include "submission/EngineModel.h"
#include "submission/SubmissionRun.h"
#include "support/BenchSupport.h"
#include "support/NginxPeer.h"
#include "support/TimedDialogs.h"
#include "support/TempProgramDir.h"
#include "support/TestCertificates.h"
#include "net/THttpCli.h"
#include "ui/TCLEDLabel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

namespace {

constexpr int Ports = 50;
constexpr int SmallRun = 5000;
constexpr int LargeRun = 20000;
constexpr int Rounds = 3;
constexpr qint64 TimeLimitMs = 300000;
constexpr double TimeTarget = 1.5;      // our run against ab
constexpr double HttpsTimeTarget = 1.0; // our run over https against ab over https
constexpr long MemoryTargetKb = 5 * 1024;
constexpr double LinearTarget = 1.1; // per-engine time, 20,000 against 5,000
const QString ProjectName = QStringLiteral("benchsite");



// User and system time this process has used, in seconds.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}


QByteArray categoryMap()
{
    QByteArray out = "[Sub1]\r\n";
    for (const char* category : {"Miscellaneous", "Automotive", "Business", "Computers", "Education", "Finance",
                                 "Health", "Internet", "News", "Shopping", "Sports", "Travel"})
        out += QByteArray(category) + "=&category=" + category + "\r\n";
    return out;
}

struct Figures
{
    double seconds = -1;
    double clickSeconds = -1; // until the click handler returned
    double cpu = -1;          // this process's CPU time from the click to the message
    int rows = 0;
    int okRows = 0;
    long long okCounter = -1;
    long long failedCounter = -1;
    long long timeoutCounter = -1;
    QString firstOther; // the first row that did not end "OK"
    QStringList unexpected;
    long rssBeforeKb = 0;
    long rssAfterKb = 0;
    int fdsBefore = 0;
    int fdsAfter = 0;
    long rssBeforeWindowKb = 0;
    long rssAfterWindowKb = 0;
    int fdsBeforeWindow = 0;
    int fdsAfterWindow = 0;
};

// A program directory of `engines` engines and one Project.
void prepare(TempProgramDir& dir, int engines, const QString& url)
{
    dir.write(QStringLiteral("dfd.ini"), "[tss]\r\napp=Vantor Pro\r\nversion=4.0\r\nhome=http://home.example\r\n"
                                         "[Reports]\r\nGenReport=0\r\n"
                                         "[SubOptions]\r\nPorts=" +
                                             QByteArray::number(Ports) + "\r\nTimeout=40\r\n");
    dir.write(QStringLiteral("data/data.ist"), Bench::engineLines(engines, url));
    dir.write(QStringLiteral("data/catagory.ist"), categoryMap());
    dir.write(QStringLiteral("data/session/session.zro"),
              "[Session]\r\nCount=0\r\n[List]\r\n0=" + ProjectName.toUtf8() + "\r\n");
    dir.write(QStringLiteral("data/session/") + ProjectName + QStringLiteral(".zro"),
              "[" + ProjectName.toUtf8() +
                  "]\r\nurl=http://www.bench.example/\r\ntitle=Fast & Cheap Widgets\r\n"
                  "email=owner@bench.example\r\ndescription=Widgets of every size & colour\r\n"
                  "catagory=Business\r\nname=Pat\r\nkey1=widgets,gadgets\r\n");
}

// Shows the window on the engines page with every engine and the Project
// checked; returns the number of engine rows.
int ready(TSubmitMain& window)
{
    window.resize(1000, 700);
    window.show();
    window.showPage(TSubmitMain::Page::Submit, TSubmitMain::InnerPage::AutoSubmitEngines);
    Bench::settle();
    EngineModel* model = window.EnginesPage->model();
    for (int row = 0; row < model->count(); ++row)
        model->setCheckedQuietly(row, true);
    model->flushChecks();
    ProjectListModel* projects = window.projectStore()->model();
    const int project = projects->indexOfName(ProjectName);
    if (project >= 0)
        projects->setChecked(project, true);
    Bench::settle();
    return model->count();
}

// Six runs of `engines` in one window, one after the other: the resident
// memory after each, once the run's released objects are gone. Returns the
// largest growth after the first run, or -1 when a run did not end.
long roundsInOneWindow(int engines, const QString& url)
{
    constexpr int RoundsInWindow = 6;
    TempProgramDir dir;
    QElapsedTimer clock;
    TimedDialogs dialogs(clock);
    prepare(dir, engines, url);
    TSubmitMain window;
    ready(window);
    long first = -1;
    long worst = 0;
    ProjectListModel* projects = window.projectStore()->model();
    for (int round = 1; round <= RoundsInWindow; ++round) {
        // A finished run unchecks its Project.
        projects->setChecked(projects->indexOfName(ProjectName), true);
        dialogs.clear();
        clock.start();
        QTest::mouseClick(window.EnginesPage->Button6, Qt::LeftButton);
        QTimer heartbeat;
        heartbeat.start(50);
        while (dialogs.messages().isEmpty() && clock.elapsed() < TimeLimitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        heartbeat.stop();
        if (dialogs.messages().isEmpty())
            return -1;
        Bench::settle();
        const long rss = Bench::residentKb();
        if (first < 0)
            first = rss;
        worst = std::max(worst, rss - first);
        std::printf("  one window, run %d of %d (%d engines): %.3f s, resident memory %ld kB (%+ld kB against "
                    "the first run)\n",
                    round, RoundsInWindow, engines, clock.nsecsElapsed() / 1e9, rss, rss - first);
    }
    return worst;
}

Figures ourRun(int engines, const QString& url)
{
    Figures f;
    Bench::settle();
    f.rssBeforeWindowKb = Bench::residentKb();
    f.fdsBeforeWindow = Bench::openFds();
    {
        TempProgramDir dir;
        QElapsedTimer clock;
        TimedDialogs dialogs(clock);
        prepare(dir, engines, url);

        {
            TSubmitMain window;
            f.rows = ready(window);
            EngineModel* model = window.EnginesPage->model();
            dialogs.clear();

            f.rssBeforeKb = Bench::residentKb();
            f.fdsBefore = Bench::openFds();
            const double cpuAtClick = cpuSeconds();
            clock.start();
            QTest::mouseClick(window.EnginesPage->Button6, Qt::LeftButton);
            f.clickSeconds = clock.nsecsElapsed() / 1e9;
            // The heartbeat bounds each wait, so the time limit holds even when nothing happens.
            QTimer heartbeat;
            heartbeat.start(50);
            while (dialogs.messages().isEmpty() && clock.elapsed() < TimeLimitMs)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            heartbeat.stop();
            f.cpu = cpuSeconds() - cpuAtClick;
            const QList<ScriptedDialogs::Call> messages = dialogs.messages();
            for (int i = 0; i < messages.size(); ++i) {
                if (messages.at(i).caption == QLatin1String("Submission Complete") &&
                    messages.at(i).text == QLatin1String("Your Submission is Complete") && f.seconds < 0)
                    f.seconds = dialogs.atNs(i) / 1e9;
                else
                    f.unexpected << messages.at(i).caption + QStringLiteral(": ") + messages.at(i).text;
            }

            for (int row = 0; row < model->count(); ++row) {
                const EngineRow& r = model->row(row);
                if (r.result == QLatin1String("OK") && r.image == RowImage::Ok && !r.date.isEmpty())
                    ++f.okRows;
                else if (f.firstOther.isEmpty())
                    f.firstOther = r.name + QStringLiteral(": \"") + r.result + QLatin1Char('"');
            }
            f.okCounter = window.EnginesPage->CLEDLabel2->value();
            f.failedCounter = window.EnginesPage->CLEDLabel3->value();
            f.timeoutCounter = window.EnginesPage->CLEDLabel4->value();

            Bench::settle();
            f.rssAfterKb = Bench::residentKb();
            f.fdsAfter = Bench::openFds();
        }
        Bench::settle();
    }
    Bench::settle();
    f.rssAfterWindowKb = Bench::residentKb();
    f.fdsAfterWindow = Bench::openFds();
    return f;
}

Bench::AbResult apacheBench(const QString& ab, const QString& url, int requests)
{
    return Bench::apacheBench(ab, url, requests, Ports, static_cast<int>(TimeLimitMs));
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// Prints one size's figures; true when every row ended "OK" and the counters agree.
bool report(int engines, const Figures& f, const Bench::AbResult& peer, double target = TimeTarget)
{
    const double ratio = f.seconds > 0 && peer.seconds > 0 ? f.seconds / peer.seconds : -1;
    std::printf(
        "  %d engines: run %.3f s (CPU %.3f s, click handler %.3f s), ab -n %d -c %d %.3f s (%d complete, %d failed), "
        "ratio %.2f (target %.1f or less: %s)\n",
        engines, f.seconds, f.cpu, f.clickSeconds, engines, Ports, peer.seconds, peer.complete, peer.failed, ratio,
        target, verdict(ratio > 0 && ratio <= target));
    std::printf("    rows %d, \"OK\" rows %d; counters OK %lld, Failed %lld, Time out %lld\n", f.rows, f.okRows,
                f.okCounter, f.failedCounter, f.timeoutCounter);
    if (!f.firstOther.isEmpty())
        std::printf("    first row not OK: %s\n", qPrintable(f.firstOther));
    for (const QString& text : f.unexpected)
        std::printf("    unexpected message: %s\n", qPrintable(text));
    const long grewKb = f.rssAfterKb - f.rssBeforeKb;
    std::printf("    resident memory around the run: %ld kB before the click, %ld kB after, %+ld kB "
                "(target within %ld kB: %s)\n",
                f.rssBeforeKb, f.rssAfterKb, grewKb, MemoryTargetKb, verdict(grewKb <= MemoryTargetKb));
    std::printf("    open file descriptors around the run: %d before, %d after (%s)\n", f.fdsBefore, f.fdsAfter,
                f.fdsAfter <= f.fdsBefore ? "back" : "LEAKED");
    std::printf("    around the window's whole life: %ld kB before, %ld kB after (%+ld kB); fds %d before, %d after\n",
                f.rssBeforeWindowKb, f.rssAfterWindowKb, f.rssAfterWindowKb - f.rssBeforeWindowKb, f.fdsBeforeWindow,
                f.fdsAfterWindow);
    return f.seconds > 0 && f.rows == engines && f.okRows == engines && f.okCounter == engines &&
           f.failedCounter == 0 && f.timeoutCounter == 0 && f.unexpected.isEmpty() && peer.seconds > 0 &&
           peer.failed == 0 && peer.complete == engines;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString ab = QStandardPaths::findExecutable(QStringLiteral("ab"));
    NginxPeer nginx;
    if (nginx.program().isEmpty() || ab.isEmpty()) {
        std::printf("bench_run: skipped, nginx or ab is not installed (scripts/setup installs both)\n");
        return 0;
    }
    QByteArray page = "<html><head><title>Thank you</title></head><body>";
    while (page.size() < 1000)
        page += "submission received ";
    page += "</body></html>\n";
    nginx.addFile(QStringLiteral("/submit.html"), page);
    if (!nginx.start()) {
        std::printf("bench_run: nginx did not start: %s\n", qPrintable(nginx.errorString()));
        return 1;
    }
    const QString url = nginx.url(QStringLiteral("/submit.html"));

    // The same page over HTTPS, with a certificate of the benchmark's own authority.
    TestCertificates certs;
    TestCertificates::Pair pair;
    NginxPeer tlsNginx;
    QString tlsUrl;
    if (!TestCertificates::program().isEmpty() && certs.createAuthority() &&
        certs.issue(QStringLiteral("localhost"), pair)) {
        THttpCli::setExtraCaCertificates(certs.authority());
        tlsNginx.addFile(QStringLiteral("/submit.html"), page);
        tlsNginx.setTls(pair.certificate, pair.key);
        if (tlsNginx.start())
            tlsUrl = tlsNginx.url(QStringLiteral("/submit.html"));
    }
    if (tlsUrl.isEmpty())
        std::printf("bench_run: no HTTPS peer (%s); the HTTPS run is left out\n", qPrintable(certs.errorString()));
    std::printf("bench_run: engines of type ENGINE, GET %s (%lld bytes), Ports %d, Timeout 40, GenReport off\n",
                qPrintable(url), static_cast<long long>(page.size()), Ports);

    // `bench_run N [https]`: one run of N engines and nothing else, for a profiler.
    // `bench_run rounds`: only the six runs in one window.
    if (argc > 1 && QByteArray(argv[1]) == "rounds") {
        const long rounds = roundsInOneWindow(LargeRun, url);
        std::printf("RESULT bench_run rss_rounds_kb=%ld load=%.2f\n", rounds, Bench::loadAverage());
        return rounds >= 0 ? 0 : 1;
    }
    if (argc > 1) {
        const int engines = qBound(1, QString::fromLocal8Bit(argv[1]).toInt(), LargeRun);
        const bool secure = argc > 2 && QByteArray(argv[2]) == "https" && !tlsUrl.isEmpty();
        const Figures only = ourRun(engines, secure ? tlsUrl : url);
        report(engines, only, Bench::AbResult{});
        return only.seconds > 0 && only.okRows == engines ? 0 : 1;
    }

    // Warm up both sides (libraries, fonts, nginx) before the figures.
    apacheBench(ab, url, 500);
    ourRun(500, url);

    // The machine is shared: each size is run Rounds times, ab and ours in
    // turn, and the best time of each side is compared. Every round must
    // end with every row "OK" and its memory and descriptors back.
    bool good = true;
    bool resources = true;
    long worstGrowthKb[2] = {0, 0}; // per size: the most the resident memory grew around a run
    const auto measure = [&](int engines, const QString& target, double timeTarget) {
        Bench::Best best;
        long& worst = worstGrowthKb[engines == LargeRun ? 1 : 0];
        for (int round = 1; round <= Rounds; ++round) {
            const Bench::AbResult peer = apacheBench(ab, target, engines);
            const Figures mine = ourRun(engines, target);
            std::printf("  round %d of %d, %s\n", round, Rounds, qPrintable(target));
            good = report(engines, mine, peer, timeTarget) && good;
            worst = std::max(worst, mine.rssAfterKb - mine.rssBeforeKb);
            resources = resources && mine.fdsAfter <= mine.fdsBefore;
            best.add(mine.seconds, peer.seconds);
        }
        const double ratio = best.ratio();
        std::printf("  %d engines, best of %d: run %.3f s, ab -n %d -c %d %.3f s, ratio %.2f (target %.1f or less: "
                    "%s)\n",
                    engines, Rounds, best.ours, engines, Ports, best.peer, ratio, timeTarget,
                    verdict(ratio > 0 && ratio <= timeTarget));
        return best;
    };
    const Bench::Best small = measure(SmallRun, url, TimeTarget);
    const Bench::Best large = measure(LargeRun, url, TimeTarget);
    const long mem20000 = worstGrowthKb[1];
    std::printf("  memory around a %d-engine run, worst of %d: %+ld kB (target within %ld kB: %s)\n", LargeRun, Rounds,
                mem20000, MemoryTargetKb, verdict(mem20000 <= MemoryTargetKb));
    resources = resources && mem20000 <= MemoryTargetKb;
    Bench::Best secure;
    if (!tlsUrl.isEmpty()) {
        ourRun(500, tlsUrl); // the first TLS connection loads the authorities
        secure = measure(SmallRun, tlsUrl, HttpsTimeTarget);
    }

    const long rssRounds = roundsInOneWindow(LargeRun, url);
    constexpr long RoundsTargetKb = 10 * 1024;
    std::printf("  memory over six %d-engine runs in one window: at most %+ld kB after the first (target within "
                "%ld kB: %s)\n",
                LargeRun, rssRounds, RoundsTargetKb, verdict(rssRounds >= 0 && rssRounds <= RoundsTargetKb));

    const bool timed = small.ours > 0 && large.ours > 0;
    const double perSmall = timed ? small.ours / SmallRun : -1;
    const double perLarge = timed ? large.ours / LargeRun : -1;
    const double growth = timed ? perLarge / perSmall : -1;
    std::printf("  per engine: %.1f us at %d, %.1f us at %d, ratio %.2f (linear, target %.2f or less: %s); "
                "ab per request %.1f us and %.1f us\n",
                perSmall * 1e6, SmallRun, perLarge * 1e6, LargeRun, growth, LinearTarget,
                verdict(growth > 0 && growth <= LinearTarget), small.peer / SmallRun * 1e6,
                large.peer / LargeRun * 1e6);

    const bool targets = timed && small.ours <= TimeTarget * small.peer && large.ours <= TimeTarget * large.peer &&
                         growth <= LinearTarget && resources && rssRounds >= 0 && rssRounds <= RoundsTargetKb &&
                         secure.ratio() > 0 &&
                         secure.ratio() <= HttpsTimeTarget;
    std::printf("RESULT bench_run ratio5000=%.2f ratio20000=%.2f linear=%.2f mem20000_kb=%ld rss_rounds_kb=%ld "
                "https5000=%.2f ok=%d load=%.2f\n",
                small.ratio(), large.ratio(), growth, mem20000, rssRounds, secure.ratio(), good,
                Bench::loadAverage());
    return good && targets ? 0 : 1;
}
