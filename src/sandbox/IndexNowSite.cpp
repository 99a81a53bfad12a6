#include "IndexNowSite.h"

#include "SandboxRouter.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

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

// The bulk form: a JSON object {"host", "key", "keyLocation"?, "urlList"}.
SandboxResponse submitMany(IndexNowKeys& keys, const SandboxRequest& request)
{
    const QJsonDocument document = QJsonDocument::fromJson(request.body);
    const QJsonObject object = document.object();
    const QJsonValue host = object.value(QLatin1String("host"));
    const QJsonValue keyValue = object.value(QLatin1String("key"));
    const QJsonValue list = object.value(QLatin1String("urlList"));
    const QJsonValue location = object.value(QLatin1String("keyLocation"));
    bool wellFormed = document.isObject() && host.isString() && !host.toString().isEmpty() && keyValue.isString()
                      && list.isArray() && !list.toArray().isEmpty()
                      && (location.isUndefined() || location.isString());
    const QJsonArray urls = list.toArray();
    for (const QJsonValue& url : urls)
        wellFormed = wellFormed && url.isString();
    if (!wellFormed) {
        return textAnswer(400, "Bad Request",
                          "The body must be a JSON object with host, key, urlList (addresses) and an optional "
                          "keyLocation.\n");
    }
    const QByteArray key = keyValue.toString().toUtf8();
    if (!IndexNowKeys::isWellFormed(key))
        return textAnswer(422, "Unprocessable Entity", "The key must be 8 to 128 characters of a-z, A-Z, 0-9, -.\n");
    if (!keys.contains(key))
        return textAnswer(403, "Forbidden", "No key file /" + key + ".txt is known.\n");
    if (urls.size() > IndexNowSite::MaxBulkUrls)
        return textAnswer(422, "Unprocessable Entity", "At most 10000 addresses per submission.\n");
    const QString wanted = host.toString().toLower();
    for (const QJsonValue& value : urls) {
        const QUrl url(value.toString(), QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            || url.host().toLower() != wanted) {
            return textAnswer(422, "Unprocessable Entity",
                              "The address " + value.toString().toUtf8().left(300) + " is not on host "
                                  + wanted.toUtf8() + ".\n");
        }
    }
    if (!keys.admit(key)) {
        SandboxResponse busy = textAnswer(429, "Too Many Requests", "Too many submissions of this key.\n");
        busy.addHeader("Retry-After", "2");
        return busy;
    }
    if (keys.isFresh(key))
        return textAnswer(202, "Accepted", "Received; the key file is still being verified.\n");
    return textAnswer(200, "OK", "Received.\n");
}

SandboxResponse submitAny(IndexNowKeys& keys, const SandboxRequest& request)
{
    if (request.method != "POST" || !request.queryValue("url").isEmpty())
        return submit(keys, request);
    SandboxResponse response = submitMany(keys, request);
    // The log shows how many addresses came, not the whole list.
    const QJsonObject object = QJsonDocument::fromJson(request.body).object();
    response.replacesLogBody = true;
    response.logBody = object.value(QLatin1String("urlList")).isArray()
                           ? "host=" + object.value(QLatin1String("host")).toString().toUtf8() + " urlList="
                                 + QByteArray::number(object.value(QLatin1String("urlList")).toArray().size())
                                 + " addresses"
                           : request.body.left(200);
    return response;
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
    router.addPath("/indexnow", [keys](const SandboxRequest& request) { return submitAny(*keys, request); });
    // Key files live at the top of the site, beside every other path.
    router.addPrefix("/", [keys](const SandboxRequest& request) { return keyFile(*keys, request); });
}

} // namespace IndexNowSite
