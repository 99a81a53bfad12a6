// The spider against `wget -r -l inf --spider -nd` on the same nginx site
// (robots.txt allowing all, no delay): 500 pages, best of 3 each, measured in
// the same run because the machine is shared; then 5,000 pages, best of 3,
// whose time per page is compared with the 500-page figure; then one crawl
// of 50,000 pages, compared the same way, and the memory that crawl grew by.
#include "app/TSubmitMain.h"
#include "net/THttpCli.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "support/BenchSupport.h"
#include "support/NginxPeer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"
#include "tools/ImportWizardPage.h"
#include "tools/TSpider.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

namespace {

// Pages p0 .. p(n-1) under /s<n>/, each linking to two children, the next page and home.
void addSite(NginxPeer& nginx, int pages)
{
    const QString dir = QStringLiteral("/s%1/").arg(pages);
    const QByteArray filler = QByteArray("Garden tools, seeds and advice for small gardens. ").repeated(40);
    nginx.addFile(dir + QStringLiteral("index.html"),
                  "<html><head><title>Home</title></head><body><a href=\"p0.html\">start</a></body></html>\n");
    for (int k = 0; k < pages; ++k) {
        QByteArray links;
        for (int target : {2 * k + 1, 2 * k + 2, k + 1}) {
            if (target < pages)
                links += "<a href=\"p" + QByteArray::number(target) + ".html\">page " + QByteArray::number(target) +
                         "</a>\n";
        }
        const QByteArray n = QByteArray::number(k);
        nginx.addFile(dir + QStringLiteral("p%1.html").arg(k),
                      "<html><head><title>Page " + n + "</title>\n<meta name=\"description\" content=\"Page " + n +
                          " of the site\">\n<meta name=\"keywords\" content=\"garden, page" + n +
                          ", tools\">\n</head><body>\n<p>" + filler + "</p>\n" + links +
                          "<a href=\"index.html\">home</a>\n</body></html>\n");
    }
}

// User and system time this process has used, in seconds.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Crawl
{
    double seconds = -1;
    double cpu = -1; // this process's CPU time: on a busy machine it says what the wall time cannot
    int saved = 0;
    long grownKb = 0;
};

// One crawl by the program's own spider, in a fresh program directory.
Crawl spiderCrawl(const QString& url, int expected)
{
    Crawl result;
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    TSubmitMain window;
    window.ProjectEditor->email->setText(QStringLiteral("bench@example.com"));
    ImportWizardPage* wizard = window.ImportWizard;
    wizard->UrlImp->setText(url);
    wizard->SpiderCK->setChecked(true);
    wizard->Button3Click();
    Bench::settle();
    const long before = Bench::residentKb();
    QElapsedTimer timer;
    timer.start();
    const double cpuAtStart = cpuSeconds();
    window.Spider->Button1Click();
    while (wizard->crawling() || wizard->HttpMap->Phase() != THttpCli::Idle) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (timer.elapsed() > 3600000)
            return result;
    }
    result.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    result.cpu = cpuSeconds() - cpuAtStart;
    result.grownKb = Bench::residentKb() - before;
    result.saved = window.projectStore()->model()->count();
    if (result.saved != expected)
        std::printf("spider saved %d Projects, expected %d\n", result.saved, expected);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    // The program directories go to memory when it can: the crawl is measured, not the disk's
    // flushes (two synced replacements per saved Project), which wget does not make.
    Bench::preferMemoryTempDir();
    QApplication app(argc, argv);
    std::printf("program directories under %s, load average %.2f\n", qPrintable(QDir::tempPath()),
                Bench::loadAverage());
    const QString wget = QStandardPaths::findExecutable(QStringLiteral("wget"));
    if (wget.isEmpty()) {
        std::printf("bench_spider: wget is not installed (scripts/setup installs it)\n");
        return 1;
    }
    NginxPeer nginx;
    addSite(nginx, 500);
    addSite(nginx, 5000);
    addSite(nginx, 50000);
    nginx.addFile(QStringLiteral("/robots.txt"), "User-agent: *\nAllow: /\n");
    if (!nginx.start()) {
        std::printf("bench_spider: nginx did not start: %s\n", qPrintable(nginx.errorString()));
        return 1;
    }
    int status = 0;

    // 500 pages (and the index), alternating the two crawlers, best of 3 each.
    const QString url500 = nginx.url(QStringLiteral("/s500/"));
    double bestWget = 1e9, bestOurs = 1e9, bestCpu500 = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double w = Bench::wgetCrawl(wget, url500);
        const Crawl ours = spiderCrawl(url500, 502);
        if (w < 0 || ours.seconds < 0 || ours.saved != 502) {
            std::printf("bench_spider: a 500-page crawl failed (wget %.3f s, spider %.3f s)\n", w, ours.seconds);
            return 1;
        }
        std::printf("500 pages, round %d: wget %.3f s, spider %.3f s (CPU %.3f s), load average %.2f\n", round + 1, w,
                    ours.seconds, ours.cpu, Bench::loadAverage());
        bestCpu500 = std::min(bestCpu500, ours.cpu);
        bestWget = std::min(bestWget, w);
        bestOurs = std::min(bestOurs, ours.seconds);
    }
    const double ratio500 = bestOurs / bestWget;
    std::printf("500 pages, best of 3: wget %.3f s, spider %.3f s, ratio %.3f (target <= 1.5) %s\n", bestWget, bestOurs,
                ratio500, ratio500 <= 1.5 ? "ok" : "OVER");
    status |= ratio500 <= 1.5 ? 0 : 1;

    // 5,000 pages: time per page against the 500-page figure, and memory growth.
    // Best of 3 as well, so the two figures compare like with like; the memory is the largest growth.
    Crawl big;
    big.seconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        const Crawl one = spiderCrawl(nginx.url(QStringLiteral("/s5000/")), 5002);
        if (one.seconds < 0 || one.saved != 5002) {
            std::printf("bench_spider: the 5,000-page crawl failed\n");
            return 1;
        }
        std::printf("5,000 pages, round %d: spider %.3f s (CPU %.3f s), resident memory grew %ld kB, load average "
                    "%.2f\n",
                    round + 1, one.seconds, one.cpu, one.grownKb, Bench::loadAverage());
        big.seconds = std::min(big.seconds, one.seconds);
        big.grownKb = std::max(big.grownKb, one.grownKb);
    }
    // For context: wget's own time per page on the larger site, which shows what the machine adds.
    const double wget5000 = Bench::wgetCrawl(wget, nginx.url(QStringLiteral("/s5000/")));
    std::printf("wget on 5,000 pages: %.3f s, %.3f ms per page against %.3f ms at 500\n", wget5000,
                wget5000 * 1000 / 5002, bestWget * 1000 / 502);
    const double perPage500 = bestOurs / 502;
    const double perPage5000 = big.seconds / 5002;
    const double perPageRatio = perPage5000 / perPage500;
    std::printf("5,000 pages: %.3f s, %.3f ms per page against %.3f ms at 500, ratio %.3f (target <= 1.25) %s; "
                "resident memory grew %ld kB\n",
                big.seconds, perPage5000 * 1000, perPage500 * 1000, perPageRatio, perPageRatio <= 1.25 ? "ok" : "OVER",
                big.grownKb);
    status |= perPageRatio <= 1.25 ? 0 : 1;

    // 50,000 pages, once: the page cycle must cost what it costs at 500.
    const Crawl huge = spiderCrawl(nginx.url(QStringLiteral("/s50000/")), 50002);
    if (huge.seconds < 0 || huge.saved != 50002) {
        std::printf("bench_spider: the 50,000-page crawl failed\n");
        return 1;
    }
    const double perPage50000 = huge.seconds / 50002;
    const double hugeRatio = perPage50000 / perPage500;
    std::printf("50,000 pages: %.3f s, %.3f ms per page against %.3f ms at 500, ratio %.3f (target <= 1.25) %s; "
                "resident memory grew %ld kB; load average %.2f\n",
                huge.seconds, perPage50000 * 1000, perPage500 * 1000, hugeRatio, hugeRatio <= 1.25 ? "ok" : "OVER",
                huge.grownKb, Bench::loadAverage());
    status |= hugeRatio <= 1.25 ? 0 : 1;
    std::printf("CPU per page: %.3f ms at 500 (best of 3), %.3f ms at 50,000, ratio %.3f\n", bestCpu500 * 1000 / 502,
                huge.cpu * 1000 / 50002, (huge.cpu / 50002) / (bestCpu500 / 502));
    std::printf("RESULT bench_spider ratio500=%.3f perpage5000_vs_500=%.3f perpage50000_vs_500=%.3f mem50000_kb=%ld\n",
                ratio500, perPageRatio, hugeRatio, huge.grownKb);
    return status;
}
