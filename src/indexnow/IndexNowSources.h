#pragma once

#include "IndexNowSubmitter.h"

#include <QList>
#include <QString>
#include <QStringList>

class HistoryStore;

// Where a job's engines, addresses and network settings come from; shared by
// the window and vantor-cli.
class ProgramSettings;

namespace IndexNowSources {

// The IndexNow rows of data/data.ist, in the database's order. False with
// `error` when the file cannot be read.
bool engines(const QString& programDir, QList<IndexNowEngine>* out, QString* error);

// The indexable pages of the latest finished audit of `projectUrl` and their
// content hashes. False when there is no finished audit (or it cannot be read;
// then `error` says why).
bool fromAudit(HistoryStore& store, const QString& projectUrl, QStringList* urls, QStringList* hashes,
               QString* error);

// The content hash each address had in the latest finished audit of
// `projectUrl`, empty where it is not known.
QStringList auditHashes(HistoryStore& store, const QString& projectUrl, const QStringList& urls);

// One address per line; blank lines and lines starting with "#" skipped.
bool readList(const QString& path, QStringList* urls, QString* error);

// dfd.ini's time-out (seconds) and proxy, as the window applies them.
struct Network
{
    int timeoutMs = 40000;
    bool proxyEnabled = false;
    ProxyValues proxy;
};
Network network(const ProgramSettings& settings);
Network network(const QString& programDir);

} // namespace IndexNowSources
