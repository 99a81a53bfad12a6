#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// The spider's address rules: the site name and scope of a start address,
// and the resolution, normalisation and filters of the links found on a page.
// All are plain substring rules on the address text.
namespace SpiderRules {

// The parts of an address the rules use, split by SplitHttpUrl.
struct Address
{
    QString proto;
    QString host;
    QString port;
    QString path;
};
Address split(const QString& url);

// The host, with ":" and the port when the address gives one.
QString hostAndPort(const Address& address);
// The short name of the site: the host without a leading "www." label, cut before its first ".".
QString siteName(const QString& host);
// The text every accepted link must contain; `previous` when the path holds
// no "/" at all (the start address then names no directory of its own).
QString scope(const Address& start, const QString& previous = QString());

// A link as found on the page at `page`, made absolute. It keeps the page's
// scheme and, when the page's address gives one, its port.
QByteArray resolve(QByteArray link, const Address& page);
// One closing "/" dropped, cut before "/index." and "/default.".
QByteArray normalise(QByteArray link);
// The filters of a link that passed the duplicate test: in scope, none of
// the refused texts, shorter than 100 characters. Empty when accepted, else the reason.
QString refusal(const QByteArray& link, const QString& scope);

} // namespace SpiderRules

// The spider's queue (SiteToCr) and found list (SiteList), with the link
// scan that fills them. The duplicate test is a hash lookup, so the cost per
// link does not grow with the site.
class LinkCollector
{
public:
    // How much of an unfinished link at the end of the buffer is kept for the next block.
    static constexpr int MaxCarriedLink = 4096;

    void clear();
    void clearBuffer() { m_buffer.clear(); }
    // Adds an address to both lists (the start address).
    void addStart(const QString& url);
    // Adds an address to both lists unless it is there already; false for a duplicate.
    bool offer(const QString& url);

    // Appends a block of page text to the link buffer.
    void appendBlock(const QByteArray& block) { m_buffer += block; }
    // Scans the link buffer for links of the page at `pageUrl`. `status`
    // receives the duplicate texts, `allowed` (optional) refuses links by
    // another rule and says why. Returns the number of links accepted.
    int scan(const QString& pageUrl, const QString& scope, const std::function<void(const QString&)>& status,
             const std::function<QString(const QString&)>& allowed = {});

    bool hasQueued() const { return m_head < m_queue.size(); }
    int queuedCount() const { return static_cast<int>(m_queue.size() - m_head); }
    QString takeFirst();
    QString firstQueued() const { return hasQueued() ? m_queue.at(m_head) : QString(); }
    void dropQueue();
    int foundCount() const { return static_cast<int>(m_found.size()); }
    const QStringList& found() const { return m_found; }
    // The 0-based index of the first entry equal to url, -1 when none.
    int indexOf(const QString& url) const { return m_index.value(url, -1); }
    QByteArray buffer() const { return m_buffer; }

private:
    void accept(const QString& url);

    QByteArray m_buffer;
    QStringList m_queue;
    qsizetype m_head = 0;
    QStringList m_found;
    QHash<QString, int> m_index;
};
