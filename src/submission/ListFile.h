#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

// A list file that cannot be read or written. The text names the file and,
// for a read, the reason ("Unable to read <path>: <reason>"); a write says
// "Unable to write to <path>".
class ListFileError : public std::runtime_error
{
public:
    ListFileError(const QString& message, const QString& path);
    QString path() const { return m_path; }

    static ListFileError readFailure(const QString& path, const QString& reason);
    static ListFileError writeFailure(const QString& path);

private:
    QString m_path;
};

// The lines of a text: CR LF, LF or CR end a line; a final line without an
// ending counts, an ending at the very end adds no empty line. `tick` is
// called now and then so a long split can let pending events run.
QStringList splitListLines(const QString& text, const std::function<void()>& tick = {});

// Replaces the list's contents with the file's lines (decoded as UTF-8 when
// valid, else Latin-1). Throws ListFileError when the file cannot be read.
void LoadListFromFile(const QString& path, QStringList& list, const std::function<void()>& tick = {});

// Writes every line followed by CR LF, replacing the file atomically.
// Throws ListFileError when the file cannot be written.
void SaveListToFile(const QStringList& list, const QString& path);
