#pragma once

#include <QByteArray>
#include <QString>

class SandboxRouter;

// The database update service. "GET /?action=dbupdate&update=<kind>&user=&pass="
// answers with the framed starter list of that kind ("//// START ////", the
// file's lines, "//// END ////"), so an offline update leaves a working set of
// lists; the login is not checked. The kinds and their files: categories
// (catagory.ist), ranking (ranking.ist), engines (data.ist), mandata
// (datam.ist); a kind without a file answers 404. Addresses of the form
// "http://127.0.0.1:8088" in a list are rewritten to the port the request came in on.
//
// The lists are the program directory's starter data built into the sandbox,
// or the files of the directory given by setDataDir (the --data option).
//
// Switches for trying the updater's failure paths, as the update server's
// base address "http://127.0.0.1:<port>/update/<switch>":
//   lower     the lists with their marks in lower case (a corrupt download)
//   nomarks   200 with an error page that has no marks
//   404       404 Not Found
//   slow      reads the request and never answers (for "Cancel")
// "<switch>-<kind>" (slow-ranking, say) switches only that kind; the other
// kinds get their lists. "/update/" alone serves the lists too.
namespace UpdateService {

void addPaths(SandboxRouter& router);

// Serve the lists from this directory from now on; empty: the built-in ones.
void setDataDir(const QString& dir);
QString dataDir();

// The file name of a kind's list; empty for an unknown kind.
QString fileOf(const QByteArray& kind);
// The list of a kind, framed, with its addresses pointing at `port`; empty
// when there is no such list.
QByteArray framedList(const QByteArray& kind, quint16 port);

} // namespace UpdateService
