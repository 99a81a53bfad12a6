#pragma once

#include <QString>

// The category map catagory.ist: sections "Sub" + an engine's category
// scheme, keys the Project categories, values query text appended as it
// stands. Never written here. The file is parsed once and parsed again only
// when its size or modification time changes, so an edit made during a run
// is seen by the next lookup.
class CategoryMap
{
public:
    explicit CategoryMap(const QString& path) : m_path(path) {}

    QString path() const { return m_path; }

    // The value of key `category` in section "Sub" + `scheme`, names matched
    // without regard to case, blanks around the value removed. A missing
    // file, section or key gives the empty text.
    QString lookup(const QString& scheme, const QString& category) const;

    // The same rule on text already read.
    static QString lookupInText(const QString& text, const QString& section, const QString& key);

    // How many times a map file has been read and parsed in this process.
    static int parseCount();

    // Whether a stamp taken at `readAtNs` (file times and clock in nanoseconds since the epoch)
    // would show any change made after that moment: the last change lies more than one tick of
    // the file system's clock before it. Until then the bytes are read again on every lookup.
    static bool stampSettled(qint64 readAtNs, qint64 mtimeNs, qint64 ctimeNs);

private:
    QString m_path;
};
