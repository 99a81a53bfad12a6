#pragma once

#include "projects/ProjectRecord.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <stdexcept>

// Project imports from other tools' files: ".sav" (sections of raw lines)
// and ".zro" (a Project file). Each gives the editor fields it sets; the
// fields it does not name stay as they are.
namespace ProjectImport {

using Fields = QMap<ProjectField, QString>;

// A file that cannot supply a Project; the text is shown to the user.
class ImportError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The whole file, or ImportError with the reading error's text.
QByteArray readFile(const QString& path);

// The ".sav" fields from the file's text. `currentFirst` and `currentLast`
// are kept when the "Submitter" section has no one, two or three pieces.
Fields fromSav(const QByteArray& bytes, const QString& currentFirst, const QString& currentLast);
// The ".zro" fields from the file's text; ImportError when it has no section.
Fields fromZro(const QByteArray& bytes, const QString& fileName);

// The Project name a ".sav" import gives: the host of the address without
// "www." and cut before its first ".", made unique against the project list.
QString savName(const QString& url, const QStringList& projectNames);
// The smallest n >= 1 for which base + n is not contained (case ignored) in
// the list's text (all names, one per line), starting the search at `from`.
int freeNumber(const QString& base, const QString& listTextUpper, int from = 1);

} // namespace ProjectImport
