#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class HistoryStore;

// One address of a sitemap and the time its content last changed (seconds
// since the epoch, UTC).
struct SitemapEntry
{
    QString loc;
    qint64 lastmod = 0;
    QString contentSha256;
};

// An address left out of a sitemap and why.
struct SitemapSkip
{
    QString address;
    QString reason;
};

// The sitemaps.org protocol: a `urlset` file of at most MaxUrls addresses and
// MaxBytes bytes; beyond either, numbered files and a `sitemapindex`.
namespace Sitemap {

constexpr int MaxUrls = 50000;
constexpr qint64 MaxBytes = 52428800;
// An address must be shorter than this.
constexpr int MaxLocLength = 2048;

// The address as the text of a <loc> element, UTF-8 with &, <, >, ' and "
// escaped. Empty when the address holds a character XML 1.0 cannot carry.
QByteArray escapeLoc(const QString& address);
// "YYYY-MM-DDThh:mm:ssZ".
QString w3cTime(qint64 secondsUtc);
// Why `address` cannot be a <loc>, or empty when it can.
QString refusal(const QString& address);

// The indexable pages of a crawl with the time each page's content last
// changed: the start of the earliest finished crawl of the same start address
// from which the page's content hash stayed the same, without a gap, up to
// this crawl. A page missing from a crawl in between, or without a hash,
// counts as changed.
struct CrawlPages
{
    qint64 crawlId = -1;
    QString startUrl;
    QList<SitemapEntry> entries;
    QList<SitemapSkip> skipped;
};

// The latest finished crawl of `startAddress` (normalised as the audit stores
// it); -1 when there is none, -2 with the store's errorText() on a read error.
qint64 latestFinishedCrawl(HistoryStore& store, const QString& startAddress);
// The pages of that crawl in the crawl's order; false with `error` set on a
// read error.
bool readCrawl(HistoryStore& store, qint64 crawlId, CrawlPages* pages, QString* error);

// The base address the files are published at: the start address's origin
// and "/", or `base` with a "/" added when it lacks one. Empty when neither
// is an http or https address.
QString publishBase(const QString& startAddress, const QString& base);

struct WriteResult
{
    bool ok = false;
    QString error;
    int files = 0; // the files holding addresses; the index is not counted
    int urls = 0;
    QStringList written; // file names, the index last
    // Filled by writeFromLatestAudit():
    bool noAudit = false;          // there is no finished audit of the address
    QList<SitemapSkip> skipped;    // addresses left out, and why
    QString missingRobotsLine;     // the line robots.txt should get, when it names no sitemap
};

// Writes DIR/sitemap.xml, or DIR/sitemap-1.xml ... and DIR/sitemap.xml as
// their index when the entries need more than one file. Each file is replaced
// atomically; numbered files left from an earlier, longer sitemap are removed.
WriteResult write(const QList<SitemapEntry>& entries, const QString& dir, const QString& base,
                  int maxUrls = MaxUrls, qint64 maxBytes = MaxBytes);

} // namespace Sitemap

namespace Sitemap {
// The whole job of "Write Sitemap…" and `vantor-cli sitemap`: the latest
// finished audit of `startAddress` written to `dir`, published at `base`
// (empty: the start address's origin).
WriteResult writeFromLatestAudit(HistoryStore& store, const QString& startAddress, const QString& dir,
                                 const QString& base = QString(), int maxUrls = MaxUrls);

// The robots.txt line that names the sitemap published at `base`.
QString robotsLine(const QString& base);
// True when the crawl's robots.txt named no sitemap (the audit's
// `no-sitemap-line` finding).
bool lacksRobotsLine(HistoryStore& store, qint64 crawlId);
} // namespace Sitemap
