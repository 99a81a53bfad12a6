#pragma once

#include <QCollator>
#include <QHash>
#include <QString>
#include <QStringList>

// The auto-submit engine lines in memory: kept sorted by case-insensitive,
// locale-aware comparison of the whole line, a line that compares equal to
// one already held dropped (the first in file order stays). Lookups by
// engine name ignore case and return the first line in sorted order.
class EngineDatabase
{
public:
    int count() const { return static_cast<int>(m_lines.size()); }
    const QStringList& lines() const { return m_lines; }
    QString line(int index) const { return m_lines.value(index); }

    // Replaces the lines with `lines`, sorted and without duplicates.
    void setLines(const QStringList& lines);
    void clear();

    // Loads data.ist (throws ListFileError when unreadable; the lines held
    // stay as they were) and writes it back. EngineDatabaseLoader does the
    // same load in bounded steps.
    void load(const QString& path);
    void save(const QString& path) const;

    // Position of the first line whose name matches without regard to case,
    // or -1.
    int indexOf(const QString& name) const;
    // The text after the "=" of the first line with that name; empty when
    // no line has it.
    QString lookup(const QString& name) const;
    bool contains(const QString& name) const { return indexOf(name) >= 0; }

    void removeAt(int index);

    // The order the database keeps: negative, zero or positive.
    static int compareLines(const QString& a, const QString& b);

private:
    friend class EngineDatabaseLoader;

    // The collator of the order; the C locale's compares folded text.
    static QCollator lineCollator();
    static bool collatorIsC(const QCollator& collator);
    void rebuildIndex();
    // Adds line `index` to the name index when its name is not there yet.
    void indexLine(int index);
    static QString nameKey(const QString& name);

    QStringList m_lines;
    QHash<QString, int> m_firstByName;
};
