#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// How one engine's row of a rank check ended.
enum class RankKind { Found, NotFound, Error, Skipped };

// A row's result against the same engine's previous stored check for the
// same keyword and site address.
enum class RankChange {
    None,        // no previous check, or nothing to compare (this one failed)
    Up,          // a smaller page bound than before
    Down,        // a larger bound, or no longer found
    Same,        // the same bound, or not found again
    WasNotFound, // found now, not found before
    WasError,    // the previous check failed, so there is nothing to compare
};

// One finished row of a rank check, as the history store keeps it.
struct RankResult
{
    qint64 id = 0; // the store's row id; 0 until stored
    QDateTime time; // UTC, whole seconds
    QString keyword;
    QString url;
    QString engine;
    int top = 0;
    RankKind kind = RankKind::Skipped;
    int bound = 0; // 10 for the first result page, 20 for the second, ...; found only
    QString pageAddress; // the result page that held the mark, or the last one asked
    QString error;

    // "found 20", "not found in top 50", "error: Internal Server Error", "skipped".
    QString describe() const;
};

namespace RankResults {

// "found", "not-found", "error", "skipped": the names the store and the CSV use.
QString kindName(RankKind kind);
std::optional<RankKind> kindFromName(const QString& name);

// What `current` shows against `previous` (none when there is no previous).
RankChange change(const RankResult& current, const std::optional<RankResult>& previous);
// The command line's suffix naming the previous result: "20", "not-found" or "error".
QString previousText(const RankResult& previous);
// The tooltip of a row compared with its previous check.
QString changeTip(const RankResult& previous);

} // namespace RankResults
