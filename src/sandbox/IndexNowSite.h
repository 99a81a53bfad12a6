#pragma once

#include <QByteArray>
#include <QHash>

#include <deque>
#include <functional>
#include <memory>

class SandboxRouter;

// The key files the sandbox serves, when each was added, and how often each
// key was submitted lately.
class IndexNowKeys
{
public:
    static constexpr int MaxKeys = 10000;
    // A key file younger than this answers 202: the endpoint has yet to fetch it.
    static constexpr qint64 FreshMs = 60 * 1000;
    // Submissions taken per key in any RateWindowMs; the ones beyond get 429.
    static constexpr int RateLimit = 10;
    static constexpr qint64 RateWindowMs = 60 * 1000;

    using Clock = std::function<qint64()>; // milliseconds since the epoch

    IndexNowKeys();
    void setClock(Clock clock) { m_clock = std::move(clock); }
    qint64 now() const { return m_clock(); }

    // 8 to 128 characters of a-z, A-Z, 0-9 and "-".
    static bool isWellFormed(const QByteArray& key);

    // False for a malformed key or when MaxKeys are known; adding a known key
    // again keeps its first time.
    bool add(const QByteArray& key);
    bool add(const QByteArray& key, qint64 addedAtMs);
    bool contains(const QByteArray& key) const { return m_added.contains(key); }
    bool isFresh(const QByteArray& key) const;
    // Counts one submission of a known key; false when it is over the rate.
    bool admit(const QByteArray& key);

private:
    Clock m_clock;
    QHash<QByteArray, qint64> m_added;
    QHash<QByteArray, std::deque<qint64>> m_recent;
};

// The IndexNow endpoint and the sites' key files, so a submission to IndexNow
// and "Check Key" work offline:
//   /indexnow?url=<page>&key=<key>   (any method)
//       400 without url or key; 422 for a malformed key or a url that is no
//       http or https address; 403 for a key with no key file here; 429 for
//       the 11th submission of one key within 60 seconds; 202 while the key
//       file is less than a minute old; 200 otherwise
//   /<key>.txt   GET: the key file of a known key (text/plain, the key)
//                PUT with the key as body: makes the key known (201)
//   POST /indexnow with a JSON body {"host", "key", "keyLocation"?, "urlList"}
//       (the bulk form; a POST with a url query is the single form above):
//       400 for a body that is not that object; 422 for a malformed key; 403
//       for an unknown key; 422 for more than MaxBulkUrls addresses or one not
//       on host; 429 with "Retry-After: 2" as above; 202 and 200 as above.
//       The log shows the host and the number of addresses, not the list.
// Every other path answers 404 as before.
namespace IndexNowSite {

constexpr int MaxBulkUrls = 10000;

// With the sandbox's own keys (defaultKeys()).
void addPaths(SandboxRouter& router);
void addPaths(SandboxRouter& router, std::shared_ptr<IndexNowKeys> keys);
// The keys of a sandbox that registered with addPaths(router); the program
// adds those given with --indexnow-key here.
std::shared_ptr<IndexNowKeys> defaultKeys();

} // namespace IndexNowSite
