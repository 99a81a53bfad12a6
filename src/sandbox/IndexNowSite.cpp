#include "IndexNowSite.h"

#include "SandboxRouter.h"

#include <QDateTime>

IndexNowKeys::IndexNowKeys() : m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }) {}

bool IndexNowKeys::isWellFormed(const QByteArray& key)
{
    if (key.size() < 8 || key.size() > 128)
        return false;
    for (const char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

bool IndexNowKeys::add(const QByteArray& key)
{
    return add(key, now());
}

bool IndexNowKeys::add(const QByteArray& key, qint64 addedAtMs)
{
    if (!isWellFormed(key))
        return false;
    if (m_added.contains(key))
        return true;
    if (m_added.size() >= MaxKeys)
        return false;
    m_added.insert(key, addedAtMs);
    return true;
}

bool IndexNowKeys::isFresh(const QByteArray& key) const
{
    const auto it = m_added.constFind(key);
    return it != m_added.constEnd() && now() - it.value() < FreshMs;
}

bool IndexNowKeys::admit(const QByteArray& key)
{
    std::deque<qint64>& recent = m_recent[key];
    const qint64 t = now();
    while (!recent.empty() && t - recent.front() >= RateWindowMs)
        recent.pop_front();
    if (static_cast<int>(recent.size()) >= RateLimit)
        return false;
    recent.push_back(t);
    return true;
}

namespace {

SandboxResponse textAnswer(int status, const QByteArray& reason, const QByteArray& text)
{
    return SandboxResponse::answer(status, reason, "text/plain", text);
}

bool isWebAddress(const QByteArray& url)
{
    const QByteArray lower = url.toLower();
    const qsizetype start = lower.startsWith("http://") ? 7 : lower.startsWith("https://") ? 8 : -1;
    return start > 0 && url.size() > start && url.at(start) != '/';
}

SandboxResponse submit(IndexNowKeys& keys, const SandboxRequest& request)
{
    const QByteArray url = request.queryValue("url");
    const QByteArray key = request.queryValue("key");
    if (url.isEmpty() || key.isEmpty())
        return textAnswer(400, "Bad Request", "Both url and key are required.\n");
    if (!IndexNowKeys::isWellFormed(key))
        return textAnswer(422, "Unprocessable Entity", "The key must be 8 to 128 characters of a-z, A-Z, 0-9, -.\n");
    if (!isWebAddress(url))
        return textAnswer(422, "Unprocessable Entity", "The url is not an http or https address.\n");
    if (!keys.contains(key))
        return textAnswer(403, "Forbidden", "No key file /" + key + ".txt is known.\n");
    if (!keys.admit(key))
        return textAnswer(429, "Too Many Requests", "Too many submissions of this key; try again in a minute.\n");
    if (keys.isFresh(key))
        return textAnswer(202, "Accepted", "Received; the key file is still being verified.\n");
    return textAnswer(200, "OK", "Received.\n");
}

SandboxResponse keyFile(IndexNowKeys& keys, const SandboxRequest& request)
{
    const QByteArray& path = request.path;
    if (!path.endsWith(".txt") || path.indexOf('/', 1) >= 0)
        return SandboxRouter::notFound();
    const QByteArray key = path.mid(1, path.size() - 5);
    if (!IndexNowKeys::isWellFormed(key))
        return SandboxRouter::notFound();
    if (request.method == "PUT") {
        if (request.body.trimmed() != key)
            return textAnswer(400, "Bad Request", "A key file holds its key and nothing else.\n");
        if (!keys.add(key))
            return textAnswer(507, "Insufficient Storage", "Too many keys.\n");
        return textAnswer(201, "Created", "Key file " + path + " added.\n");
    }
    if (!keys.contains(key))
        return SandboxRouter::notFound();
    return textAnswer(200, "OK", key);
}

} // namespace

namespace IndexNowSite {

std::shared_ptr<IndexNowKeys> defaultKeys()
{
    static const std::shared_ptr<IndexNowKeys> keys = std::make_shared<IndexNowKeys>();
    return keys;
}

void addPaths(SandboxRouter& router)
{
    addPaths(router, defaultKeys());
}

void addPaths(SandboxRouter& router, std::shared_ptr<IndexNowKeys> keys)
{
    router.addPath("/indexnow", [keys](const SandboxRequest& request) { return submit(*keys, request); });
    // Key files live at the top of the site, beside every other path.
    router.addPrefix("/", [keys](const SandboxRequest& request) { return keyFile(*keys, request); });
}

} // namespace IndexNowSite
