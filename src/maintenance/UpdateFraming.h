#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QList>
#include <QString>
#include <QStringList>

// The rules of one database update, apart from any window: the request
// address, the framing of a downloaded list and the four steps with their
// texts, target files and reloads.
namespace UpdateFraming {

inline constexpr QLatin1String StartMark("//// START ////");
inline constexpr QLatin1String EndMark("//// END ////");

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
    QString startLabel;
    QString startLog;
    QString storedLabel;
    QString storedLog;
    QString corrupt; // status and log line when the list lacks a mark
    QString target;  // under the program directory
    Reload reload;
    bool filterAfter; // the engine filter runs after this step, whatever its outcome
};

// The four steps, in order: categories, ranking, engines, manual engines.
const QList<Step>& steps();

// "Status: Failed : <code> <text>".
QString failedLine(int code, const QString& text);

// Writes the lines, each followed by CR LF, replacing the file atomically: a
// crash or a full disk leaves the old file whole. Throws ListFileError
// ("Unable to write to <path>") when it cannot.
void store(const QStringList& lines, const QString& path);

} // namespace UpdateFraming
