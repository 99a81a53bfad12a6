#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The rules of one database update, apart from any window: the request
// address, the framing of a downloaded list and the four steps with their
// texts, target files and reloads.
namespace UpdateFraming {

inline constexpr QLatin1String StartMark("//// START ////");
inline constexpr QLatin1String EndMark("//// END ////");

// The largest list a download may bring; a larger one is cancelled as it arrives.
inline constexpr qint64 MaxListBytes = 64 * 1024 * 1024;

// The lines of a download that is complete: a line begins with the start
// mark, a later line begins with the end mark, and the bytes between those two
// lines hold no NUL byte. Only the lines between the two mark lines are kept
// (UTF-8 when valid, else Latin-1); nullopt when the download is not complete.
std::optional<QStringList> framedLines(QByteArrayView body);

// How the lines of a list are checked before it is installed.
enum class LineRule { None, Engine, Rank };

// Whether one non-empty line parses under the rule.
bool lineParses(const QString& line, LineRule rule);

struct LineCheck
{
    int firstBad = 0; // 1-based line number of the first line that does not parse, 0 when none
    int bad = 0;
    int nonEmpty = 0;
    // More than 1 % of the non-empty lines do not parse.
    bool refused() const { return qint64(bad) * 100 > qint64(nonEmpty); }
};
LineCheck checkLines(const QStringList& lines, LineRule rule);

// A list is complete when both marks occur in it exactly as written; their
// order and whatever surrounds them are not looked at.
bool isComplete(const QStringList& lines);

// Every occurrence of both marks taken out, in any letter case; everything
// else stays, the empty lines the marks leave behind included.
QStringList removeMarks(const QStringList& lines);

// The received body as lines: UTF-8 when valid, else Latin-1; CR LF, CR or
// LF end a line.
QStringList bodyLines(const QByteArray& body);

// A login value as it goes into the query: as stored, unless it holds a
// character that would change the query's meaning ("&", "#", "%", "+", a
// blank or a control character); then the whole value is percent-encoded.
QString loginValue(const QString& value);

// "/?action=dbupdate&version=pro&update=<kind>&user=<user>&pass=<password>".
QString query(const QString& kind, const QString& user, const QString& password);

// The service's base address (a trailing "/" dropped) followed by the query.
QString address(const QString& server, const QString& kind, const QString& user, const QString& password);

// What the main window reloads after a step has stored its file.
enum class Reload { None, RankList, EngineDatabase, ManualEngines };

struct Step
{
    QString kind;
    QString name; // as the failure lines name the list
    QString startLabel;
    QString startLog;
    QString storedLabel;
    QString storedLog;
    QString corrupt; // status and log line when the list lacks a mark
    QString target;  // under the program directory
    Reload reload;
    bool filterAfter; // the engine filter runs after this step, whatever its outcome
    LineRule rule;
};

// The four steps, in order: categories, ranking, engines, manual engines.
const QList<Step>& steps();

// "Status: Failed : <code> <text>".
QString failedLine(int code, const QString& text);
// "Status: Failed : <reason>", for a failure that has no status code.
QString failedLine(const QString& reason);
// The status and log line of a list refused by its line check.
QString refusedLine(const Step& step, const LineCheck& check);

// Writes the lines, each followed by CR LF, replacing the file atomically: a
// crash or a full disk leaves the old file whole. Throws ListFileError
// ("Unable to write to <path>") when it cannot.
void store(const QStringList& lines, const QString& path);

} // namespace UpdateFraming
