#pragma once

#include <QByteArray>
#include <QString>

// What every benchmark measures its peer and itself with.
namespace Bench {

int openFds();
long residentKb();
// Lets released objects (deleteLater) go and pending events run.
void settle();

struct AbResult
{
    double seconds = -1;
    int complete = 0;
    int failed = -1; // -1: ab printed no count
    int ok() const { return failed < 0 ? 0 : complete - failed; }
};

// `ab -q -n requests -c concurrency url`, bounded by timeLimitMs.
AbResult apacheBench(const QString& ab, const QString& url, int requests, int concurrency, int timeLimitMs);

struct GetRun
{
    double seconds = -1; // -1: not all requests ended within the time limit
    int ok = 0;
    int failed = 0;
};

// `clients` THttpCli clients share `requests` GETs of a page of pageSize
// bytes; each starts its next one from OnRequestDone.
GetRun runGets(const QString& url, int clients, qint64 pageSize, int requests, int timeLimitMs);

// The best (shortest) time of each side over several rounds; the machine is shared.
struct Best
{
    double ours = -1;
    double peer = -1;
    void add(double mine, double theirs)
    {
        if (mine > 0 && (ours < 0 || mine < ours))
            ours = mine;
        if (theirs > 0 && (peer < 0 || theirs < peer))
            peer = theirs;
    }
    double ratio() const { return ours > 0 && peer > 0 ? ours / peer : -1; }
};

// The machine's load average over the last minute, as /proc/loadavg gives it.
double loadAverage();

// Temporary files (program directories among them) in memory when TMPDIR is
// not set and /dev/shm can be written: the program is measured, not the
// disk's flushes, which the peers do not make. Call it before anything asks
// for the temporary folder.
void preferMemoryTempDir();

// One `wget -r -l inf --spider -nd -q url` in a scratch folder; seconds, or -1 when wget failed.
double wgetCrawl(const QString& wget, const QString& url);

// `count` lines of data/data.ist: engines of type ENGINE, each submitting a
// few parameters by GET to `submitUrl`, with category scheme 1.
QByteArray engineLines(int count, const QString& submitUrl);

} // namespace Bench
