#include "IndexNowSources.h"

#include "audit/AuditSchema.h"
#include "audit/Sitemap.h"
#include "history/HistoryStore.h"
#include "settings/ProgramSettings.h"
#include "settings/ProgramPaths.h"
#include "settings/SettingsKeys.h"
#include "submission/EngineDatabase.h"
#include "submission/EngineLine.h"
#include "submission/EngineType.h"
#include "submission/ListFile.h"

#include <QFile>
#include <QHash>
#include <QSqlQuery>

namespace IndexNowSources {

bool engines(const QString& programDir, QList<IndexNowEngine>* out, QString* error)
{
    out->clear();
    EngineDatabase database;
    try {
        database.load(programPath(programDir, QStringLiteral("data/data.ist")));
    } catch (const ListFileError& e) {
        *error = QString::fromLocal8Bit(e.what());
        return false;
    }
    for (const QString& text : database.lines()) {
        const EngineLine line(text);
        if (engineKind(line.type()) == EngineKind::IndexNow && !line.field(EngineLine::SubmitUrl).isEmpty())
            out->append({line.name(), line.field(EngineLine::SubmitUrl)});
    }
    return true;
}

bool fromAudit(HistoryStore& store, const QString& projectUrl, QStringList* urls, QStringList* hashes,
               QString* error)
{
    urls->clear();
    hashes->clear();
    if (!AuditSchema::ensure(store)) {
        *error = store.errorText();
        return false;
    }
    const qint64 crawl = Sitemap::latestFinishedCrawl(store, projectUrl);
    if (crawl < 0) {
        *error = crawl == -1 ? QStringLiteral("There is no finished audit of %1.").arg(AuditSchema::normalizedStart(projectUrl))
                             : QStringLiteral("Unable to read the history store %1").arg(store.filePath());
        return false;
    }
    Sitemap::CrawlPages pages;
    if (!Sitemap::readCrawl(store, crawl, &pages, error))
        return false;
    for (const SitemapEntry& entry : pages.entries) {
        urls->append(entry.loc);
        hashes->append(entry.contentSha256);
    }
    return true;
}

QStringList auditHashes(HistoryStore& store, const QString& projectUrl, const QStringList& urls)
{
    QStringList hashes;
    hashes.reserve(urls.size());
    QHash<QString, QString> known;
    if (AuditSchema::ensure(store)) {
        const qint64 crawl = Sitemap::latestFinishedCrawl(store, projectUrl);
        QSqlQuery query(store.database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT url, content_sha256 FROM audit_pages WHERE crawl_id = ?"));
        query.addBindValue(crawl);
        if (crawl >= 0 && query.exec()) {
            while (query.next())
                known.insert(query.value(0).toString(), query.value(1).toString());
        }
    }
    for (const QString& url : urls)
        hashes.append(known.value(url.trimmed()));
    return hashes;
}

bool readList(const QString& path, QStringList* urls, QString* error)
{
    urls->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Unable to read %1: %2").arg(path, file.errorString());
        return false;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            urls->append(line);
    }
    return true;
}

Network network(const ProgramSettings& settings)
{
    using Key = ProgramSettings::Key;
    Network values;
    values.timeoutMs = qMax(1, settings.integer(Key::Timeout)) * 1000;
    values.proxyEnabled = settings.flag(Key::KeyProxy);
    values.proxy.host = settings.text(Key::ProxyHost);
    values.proxy.port = settings.text(Key::ProxyPort);
    values.proxy.user = settings.text(Key::ProxyUserName);
    values.proxy.password = settings.text(Key::ProxyPassword);
    return values;
}

Network network(const QString& programDir)
{
    return network(ProgramSettings(programDir));
}

} // namespace IndexNowSources
