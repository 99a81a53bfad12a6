#include "Sitemap.h"

#include "AuditSchema.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>

namespace Sitemap {

namespace {

const QByteArray urlsetHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
const QByteArray urlsetTail = "</urlset>\n";
const QByteArray indexHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
const QByteArray indexTail = "</sitemapindex>\n";

// A crawl's pages share a handful of change dates: each is formatted once.
class TimeTexts
{
public:
    const QByteArray& text(qint64 secondsUtc)
    {
        auto it = m_texts.constFind(secondsUtc);
        if (it == m_texts.constEnd())
            it = m_texts.insert(secondsUtc, w3cTime(secondsUtc).toLatin1());
        return *it;
    }

private:
    QHash<qint64, QByteArray> m_texts;
};

QByteArray urlElement(const QByteArray& loc, const QByteArray& lastmod)
{
    QByteArray element;
    element.reserve(loc.size() + 64);
    element += "<url><loc>";
    element += loc;
    element += "</loc><lastmod>";
    element += lastmod;
    element += "</lastmod></url>\n";
    return element;
}

QString numberedName(int n)
{
    return QStringLiteral("sitemap-%1.xml").arg(n);
}

bool saveFile(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("Unable to write to %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

QByteArray escapeLoc(const QString& address)
{
    QString out;
    out.reserve(address.size() + 16);
    const qsizetype n = address.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = address.at(i).unicode();
        if (QChar::isHighSurrogate(c)) {
            // Every pair is a character XML takes; a lone half is none.
            if (i + 1 >= n || !QChar::isLowSurrogate(address.at(i + 1).unicode()))
                return QByteArray();
            out += address.at(i);
            out += address.at(++i);
            continue;
        }
        if (QChar::isLowSurrogate(c) || (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) || c == 0xFFFE || c == 0xFFFF)
            return QByteArray();
        switch (c) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'\'': out += QLatin1String("&apos;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        default: out += QChar(c);
        }
    }
    return out.toUtf8();
}

QString w3cTime(qint64 secondsUtc)
{
    return QDateTime::fromSecsSinceEpoch(secondsUtc, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString refusal(const QString& address)
{
    if (address.size() >= MaxLocLength)
        return QStringLiteral("longer than %1 characters").arg(MaxLocLength - 1);
    for (const QChar c : address) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("holds a blank or a control character");
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return QStringLiteral("not an http or https address");
    if (escapeLoc(address).isEmpty())
        return QStringLiteral("holds a character XML cannot carry");
    return QString();
}

qint64 latestFinishedCrawl(HistoryStore& store, const QString& startAddress)
{
    QSqlQuery query(store.database());
    query.prepare(QStringLiteral(
        "SELECT id FROM audit_crawls WHERE start_url = ? AND finished = 1 ORDER BY id DESC LIMIT 1"));
    query.addBindValue(AuditSchema::normalizedStart(startAddress));
    if (!query.exec())
        return -2;
    return query.next() ? query.value(0).toLongLong() : -1;
}

bool readCrawl(HistoryStore& store, qint64 crawlId, CrawlPages* pages, QString* error)
{
    QSqlDatabase db = store.database();
    const auto failed = [error](const QSqlQuery& q) {
        *error = QStringLiteral("Unable to read the history store: %1").arg(q.lastError().text());
        return false;
    };
    *pages = CrawlPages();
    pages->crawlId = crawlId;

    // The finished crawls of the same start address up to this one, newest first.
    QSqlQuery crawls(db);
    crawls.setForwardOnly(true);
    crawls.prepare(QStringLiteral(
        "SELECT c.id, c.started_at, c.start_url FROM audit_crawls c, audit_crawls t"
        " WHERE t.id = ? AND c.start_url = t.start_url AND c.finished = 1 AND c.id <= t.id ORDER BY c.id DESC"));
    crawls.addBindValue(crawlId);
    if (!crawls.exec())
        return failed(crawls);
    QList<QPair<qint64, qint64>> history; // id, started_at
    while (crawls.next()) {
        history.append({crawls.value(0).toLongLong(), crawls.value(1).toLongLong()});
        pages->startUrl = crawls.value(2).toString();
    }
    if (history.isEmpty() || history.first().first != crawlId) {
        *error = QStringLiteral("The audit crawl %1 is not a finished crawl").arg(crawlId);
        return false;
    }

    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    rows.prepare(QStringLiteral(
        "SELECT url, content_sha256 FROM audit_pages WHERE crawl_id = ? AND indexable = 1 ORDER BY seq"));
    rows.addBindValue(crawlId);
    if (!rows.exec())
        return failed(rows);
    QHash<QString, qsizetype> byUrl;
    QList<QString> hashes;
    while (rows.next()) {
        const QString url = rows.value(0).toString();
        if (byUrl.contains(url))
            continue;
        const QString why = refusal(url);
        if (!why.isEmpty()) {
            pages->skipped.append({url, why});
            continue;
        }
        byUrl.insert(url, pages->entries.size());
        pages->entries.append({url, history.first().second, rows.value(1).toString()});
        hashes.append(pages->entries.constLast().contentSha256);
    }
    rows.finish();

    // Pages whose hash is unbroken so far; a page leaves as soon as an older
    // crawl lacks it or had other content.
    QList<bool> alive(pages->entries.size());
    qsizetype aliveCount = 0;
    for (qsizetype i = 0; i < hashes.size(); ++i) {
        alive[i] = !hashes[i].isEmpty();
        aliveCount += alive[i] ? 1 : 0;
    }
    QList<bool> seen(pages->entries.size());
    for (qsizetype h = 1; h < history.size() && aliveCount > 0; ++h) {
        std::fill(seen.begin(), seen.end(), false);
        QSqlQuery older(db);
        older.setForwardOnly(true);
        older.prepare(QStringLiteral("SELECT url, content_sha256 FROM audit_pages WHERE crawl_id = ?"));
        older.addBindValue(history[h].first);
        if (!older.exec())
            return failed(older);
        while (older.next()) {
            const auto it = byUrl.constFind(older.value(0).toString());
            if (it == byUrl.constEnd() || !alive[*it] || seen[*it])
                continue;
            if (older.value(1).toString() == hashes[*it])
                seen[*it] = true;
        }
        for (qsizetype i = 0; i < alive.size(); ++i) {
            if (!alive[i])
                continue;
            if (seen[i]) {
                pages->entries[i].lastmod = history[h].second;
            } else {
                alive[i] = false;
                --aliveCount;
            }
        }
    }
    return true;
}

QString publishBase(const QString& startAddress, const QString& base)
{
    QUrl url(base.isEmpty() ? startAddress : base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QString();
    if (base.isEmpty()) {
        url = QUrl(AuditSchema::normalizedStart(startAddress));
        url.setPath(QStringLiteral("/"));
        url.setQuery(QString());
        url.setUserInfo(QString());
        return url.toString(QUrl::FullyEncoded);
    }
    QString text = url.toString(QUrl::FullyEncoded | QUrl::RemoveFragment | QUrl::RemoveQuery);
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    return text;
}

WriteResult write(const QList<SitemapEntry>& entries, const QString& dir, const QString& base, int maxUrls,
                  qint64 maxBytes)
{
    WriteResult result;
    maxUrls = qBound(1, maxUrls, MaxUrls);
    maxBytes = qBound(qint64(1), maxBytes, MaxBytes);
    if (!QDir().mkpath(dir)) {
        result.error = QStringLiteral("Unable to create the folder %1").arg(dir);
        return result;
    }
    const QDir folder(dir);

    // Where each file starts, found from the entries' sizes alone, so no more
    // than one file's text is held at a time.
    TimeTexts times;
    const qint64 frame = urlsetHead.size() + urlsetTail.size();
    QList<qsizetype> starts{0};
    qint64 bytes = frame;
    int count = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const qint64 size = urlElement(escapeLoc(entries[i].loc), times.text(entries[i].lastmod)).size();
        if (count > 0 && (count >= maxUrls || bytes + size > maxBytes)) {
            starts.append(i);
            bytes = frame;
            count = 0;
        }
        bytes += size;
        ++count;
    }
    const int fileCount = static_cast<int>(starts.size());
    const bool split = fileCount > 1;

    QList<qint64> newest;
    for (int f = 0; f < fileCount; ++f) {
        const qsizetype end = f + 1 < fileCount ? starts[f + 1] : entries.size();
        QByteArray text = urlsetHead;
        qint64 latest = 0;
        for (qsizetype i = starts[f]; i < end; ++i) {
            text += urlElement(escapeLoc(entries[i].loc), times.text(entries[i].lastmod));
            latest = qMax(latest, entries[i].lastmod);
        }
        text += urlsetTail;
        newest.append(latest);
        const QString name = split ? numberedName(f + 1) : QStringLiteral("sitemap.xml");
        if (!saveFile(folder.filePath(name), text, &result.error))
            return result;
        result.written.append(name);
    }
    if (split) {
        QByteArray index = indexHead;
        for (int f = 0; f < fileCount; ++f) {
            index += "<sitemap><loc>" + escapeLoc(base + numberedName(f + 1)) + "</loc><lastmod>"
                     + w3cTime(newest[f]).toLatin1() + "</lastmod></sitemap>\n";
        }
        index += indexTail;
        if (!saveFile(folder.filePath(QStringLiteral("sitemap.xml")), index, &result.error))
            return result;
        result.written.append(QStringLiteral("sitemap.xml"));
    }
    // Numbered files of an earlier, longer sitemap would be published beside
    // the new ones; they are ours, so they go.
    for (int n = split ? fileCount + 1 : 1; QFile::exists(folder.filePath(numberedName(n))); ++n)
        QFile::remove(folder.filePath(numberedName(n)));

    result.ok = true;
    result.files = entries.isEmpty() ? 0 : fileCount;
    result.urls = static_cast<int>(entries.size());
    return result;
}

} // namespace Sitemap

namespace Sitemap {

QString robotsLine(const QString& base)
{
    return QStringLiteral("Sitemap: ") + base + QStringLiteral("sitemap.xml");
}

bool lacksRobotsLine(HistoryStore& store, qint64 crawlId)
{
    QSqlQuery query(store.database());
    query.prepare(QStringLiteral("SELECT 1 FROM audit_findings WHERE crawl_id = ? AND code = 'no-sitemap-line' LIMIT 1"));
    query.addBindValue(crawlId);
    return query.exec() && query.next();
}

} // namespace Sitemap

namespace Sitemap {

WriteResult writeFromLatestAudit(HistoryStore& store, const QString& startAddress, const QString& dir,
                                 const QString& base, int maxUrls)
{
    WriteResult result;
    const QString publishedAt = publishBase(startAddress, base);
    if (publishedAt.isEmpty()) {
        result.error = QStringLiteral("\"%1\" is not an http or https address.").arg(base.isEmpty() ? startAddress : base);
        return result;
    }
    if (!AuditSchema::ensure(store)) {
        result.error = store.errorText();
        return result;
    }
    const qint64 crawl = latestFinishedCrawl(store, startAddress);
    if (crawl < 0) {
        result.noAudit = crawl == -1;
        result.error = result.noAudit
                           ? QStringLiteral("There is no finished audit of %1.").arg(AuditSchema::normalizedStart(startAddress))
                           : QStringLiteral("Unable to read the history store %1").arg(store.filePath());
        return result;
    }
    CrawlPages pages;
    QString error;
    if (!readCrawl(store, crawl, &pages, &error)) {
        result.error = error;
        return result;
    }
    result = write(pages.entries, dir, publishedAt, maxUrls);
    result.skipped = pages.skipped;
    if (result.ok && lacksRobotsLine(store, crawl))
        result.missingRobotsLine = robotsLine(publishedAt);
    return result;
}

} // namespace Sitemap
