#include "IndexNowBatch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUrl>

QString IndexNowBatch::hostOf(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QString();
    return url.host(QUrl::FullyEncoded).toLower();
}

QByteArray IndexNowBatch::body(const QString& host, const QString& key, const QString& keyLocation,
                               const QStringList& urls)
{
    QJsonObject object;
    object.insert(QStringLiteral("host"), host);
    object.insert(QStringLiteral("key"), key);
    if (!keyLocation.isEmpty())
        object.insert(QStringLiteral("keyLocation"), keyLocation);
    object.insert(QStringLiteral("urlList"), QJsonArray::fromStringList(urls));
    // QJsonObject keeps its keys sorted, which is the protocol's order too.
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

IndexNowBatch IndexNowBatch::build(const QString& projectUrl, const QString& key, const QString& keyLocation,
                                   const QStringList& urls, const QStringList& hashes, int maxUrls)
{
    IndexNowBatch batch;
    maxUrls = qBound(1, maxUrls, MaxUrls);
    const QString host = hostOf(projectUrl);
    QSet<QString> seen;
    IndexNowPost current;
    const auto close = [&] {
        if (current.urls.isEmpty())
            return;
        current.host = host;
        current.body = body(host, key, keyLocation, current.urls);
        batch.posts.append(current);
        current = IndexNowPost();
    };
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString address = urls[i].trimmed();
        if (address.isEmpty() || seen.contains(address))
            continue;
        seen.insert(address);
        const QString own = hostOf(address);
        if (own.isEmpty()) {
            batch.skipped.append({address, QStringLiteral("not an http or https address")});
            continue;
        }
        if (host.isEmpty() || own != host) {
            batch.skipped.append({address, QStringLiteral("not on the Project's host %1").arg(host)});
            continue;
        }
        current.urls.append(address);
        current.hashes.append(hashes.value(i));
        if (current.urls.size() >= maxUrls)
            close();
    }
    close();
    return batch;
}
