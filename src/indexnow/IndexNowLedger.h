#pragma once

#include <QHash>
#include <functional>
#include <QList>
#include <QString>
#include <QStringList>

class HistoryStore;

// Every IndexNow POST and every address it carried, in the history store
// (feature "indexnow"); nothing is ever cut from it.
//
//   indexnow_posts(id, at, project, engine, endpoint, status, accepted,
//                  reason, detail)     one row per answer (a resend after 429
//                                      is a row of its own); status 0 and
//                                      reason "no answer" until it comes
//   indexnow_urls(post_id, url, content_sha256)
//
// The rows of a POST are committed before it goes out, so a job killed while
// it waits leaves them as sent without an answer, never accepted.
namespace IndexNowLedger {

constexpr int version = 1;
QString feature();
bool ensure(HistoryStore& store);

// The first characters of a refusal's body that are kept.
constexpr int KeptBodyChars = 200;

// Records a POST about to go out; its id, or -1 with the store's errorText().
qint64 begin(HistoryStore& store, qint64 at, const QString& project, const QString& engine,
             const QString& endpoint, const QStringList& urls, const QStringList& hashes);
bool answer(HistoryStore& store, qint64 postId, int status, bool accepted, const QString& reason,
            const QString& detail);

// The content hash of each address at its last accepted submission to
// `engine`, whichever Project sent it (addresses are absolute, so a renamed
// Project keeps its history).
QHash<QString, QString> acceptedHashes(HistoryStore& store, const QString& engine, bool* ok = nullptr);

struct Row
{
    qint64 at = 0;
    QString project;
    QString engine;
    QString url;
    QString hash;
    int status = 0;
    bool accepted = false;
    QString detail;
};

struct Filter
{
    QString project; // exact, empty: all
    QString engine;  // exact, empty: all
    QString address; // a part of the address, empty: all
    enum class Result { All, Accepted, NotAccepted } result = Result::All;
    int limit = -1; // the newest `limit` rows, still oldest first; -1: all
};

// Oldest first; `visit` returns false to stop. False on a read error.
bool read(HistoryStore& store, const Filter& filter, const std::function<bool(const Row&)>& visit);

QStringList csvHeader();
QStringList csvFields(const Row& row);

} // namespace IndexNowLedger
