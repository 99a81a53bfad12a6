#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

class QFile;

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
// ending counts, an ending at the very end adds no empty line.
QStringList splitListLines(const QString& text);

// Reads a list file a bounded piece at a time (one chunk read, or one chunk
// decoded and split), so a caller can let events run between pieces. The
// lines are those LoadListFromFile gives.
class ListFileReader
{
public:
    // Opens the file; throws ListFileError when it cannot be opened.
    explicit ListFileReader(const QString& path);
    ~ListFileReader();
    ListFileReader(const ListFileReader&) = delete;
    ListFileReader& operator=(const ListFileReader&) = delete;

    // Does one piece; returns false once every line is there. Throws
    // ListFileError when the file cannot be read.
    bool step();
    // Every line, once step() has returned false.
    QStringList takeLines() { return std::move(m_lines); }

private:
    enum class Phase { Read, Split, Done };
    void readChunk();
    void splitChunk();

    QString m_path;
    std::unique_ptr<QFile> m_file;
    Phase m_phase = Phase::Read;
    QByteArray m_bytes;
    qsizetype m_position = 0; // where the next chunk to split starts
    bool m_latin1 = false;
    QStringList m_lines;
};

// Replaces the list's contents with the file's lines (decoded as UTF-8 when
// valid, else Latin-1). Throws ListFileError when the file cannot be read.
void LoadListFromFile(const QString& path, QStringList& list);

// Writes every line followed by CR LF, replacing the file atomically.
// Throws ListFileError when the file cannot be written.
void SaveListToFile(const QStringList& list, const QString& path);
