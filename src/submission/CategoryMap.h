#pragma once

#include <QString>

// The category map catagory.ist: sections "Sub" + an engine's category
// scheme, keys the Project categories, values query text appended as it
// stands. The file is read afresh for every lookup and never written here.
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

private:
    QString m_path;
};
