#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class IniDocument;

// The project index data/session/session.zro: section "List" holds one key
// per Project ("0", "1" ...) in the list's order, section "Session" the
// number of the last entry as "Count".
//
// The index is read and rewritten here in one pass over its lines; the
// result is the same as the profile-file reads and key-by-key writes of
// IniDocument, which cost a scan of the file per key and made a rewrite of a
// long list quadratic.
class ProjectIndex
{
public:
    static QString path(const QString& programDir);

    // The key and value pairs of section "List" in file order, as
    // IniDocument::readSection gives them.
    static QList<QPair<QString, QString>> readListSection(const QByteArray& bytes);
    // The names at positions 0 .. n-1, n the number of pairs in "List": each
    // position takes the value of the key of its number, empty if missing.
    static QStringList namesFrom(const QList<QPair<QString, QString>>& pairs);
    // The value of each key of "List" by its number (first occurrence wins);
    // positions without a key are empty.
    static QStringList valuesByNumber(const QList<QPair<QString, QString>>& pairs, int count);

    // The file after "List" is removed whole and written again entry by
    // entry, "Count" written before each entry. Sets *changed to false when
    // the text stays as it was (an empty list and no "List" section).
    static QByteArray rewritten(const QByteArray& current, const QStringList& names, bool* changed = nullptr);
    // The file's text from `rest` (the file without "List") and a non-empty
    // list of names; writes the new "Count" into `rest` as well.
    static QByteArray composed(IniDocument& rest, const QStringList& names);
    // The same from each name's stored bytes (encodedName()).
    static QByteArray composedEncoded(IniDocument& rest, const QList<QByteArray>& encoded);
    // A name as an entry of "List" stores it.
    static QByteArray encodedName(const QString& name);

    // The Projects whose files are in the session folder but whose names
    // are not in `listed` (a save whose index rewrite had not happened yet
    // when the program ended), sorted; only names a save accepts, in files
    // that hold their own section.
    static QStringList unlistedFiles(const QString& programDir, const QStringList& listed);

    // Reads the file's List section; a missing file reads as empty.
    static QList<QPair<QString, QString>> load(const QString& programDir);
    // How a replacement reaches the disk. Every replacement is atomic (a
    // new file renamed over the old); a synced one is also flushed to the
    // disk first; an unsynced one is left to the system to flush.
    enum class Flush { Synced, Unsynced };

    // Rewrites the index file from the names as one atomic replacement;
    // raises IniWriteError when it cannot.
    static void rewrite(const QString& programDir, const QStringList& names, Flush flush = Flush::Synced);
    // Raises IniWriteError now if a rewrite could not replace the file.
    static void ensureWritable(const QString& programDir);

    static QByteArray readBytes(const QString& file);
    static void writeBytes(const QString& file, const QByteArray& bytes, Flush flush = Flush::Synced);
};
