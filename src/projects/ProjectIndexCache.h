#pragma once

#include "ProjectIndex.h"
#include "settings/IniDocument.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

// The project index as the store last read or wrote it, so that a save
// neither reads nor parses the whole file again: the file without "List"
// and where each name stands. Rewrites can be deferred: a run of saves (a
// crawl) then rewrites the file at most once a second instead of once per
// Project. A file changed by someone else is read again.
class ProjectIndexCache : public QObject
{
    Q_OBJECT

public:
    static constexpr int DeferMs = 1000;

    explicit ProjectIndexCache(QObject* parent = nullptr);

    // Forgets what was read; nothing pending is written.
    void setProgramDir(const QString& programDir);

    // Reads the file (a missing or unreadable one reads as empty) and keeps it.
    QList<QPair<QString, QString>> load();
    // Whether key i of "List" holds `name` for some i below `count`, exactly.
    bool holds(const QString& name, int count);

    // Rewrites the file now from the names (ProjectIndex::rewrite); raises
    // IniWriteError when it cannot.
    void rewrite(const QStringList& names, ProjectIndex::Flush flush = ProjectIndex::Flush::Synced);
    // The list gained `added` at `row`; the file is rewritten now. Only the
    // new entry is encoded when the file holds what the last rewrite (or
    // adopt()) left, so a save into a long list costs little.
    void rewriteInserted(const QString& added, int row, int count, const std::function<QStringList()>& names,
                         ProjectIndex::Flush flush = ProjectIndex::Flush::Synced);
    // The file just read lists exactly `names`, in this order.
    void adopt(const QStringList& names);
    // The list gained `added`: the file is rewritten from `names()` when
    // flushDue() is answered with flush(), at most once a second.
    void rewriteSoon(const QString& added, std::function<QStringList()> names);
    bool hasPending() const { return m_pending; }
    // Writes what is pending now; raises IniWriteError when it cannot (it
    // stays pending then).
    void flush();
    // The file was written by other means: read it again before the next use.
    void forget()
    {
        m_loaded = false;
        m_mirror = false;
    }

signals:
    // A deferred rewrite is due: call flush().
    void flushDue();

private:
    void ensureLoaded();
    void take(const QByteArray& bytes);
    void remember(const QStringList& names);
    QPair<qint64, QDateTime> stamp() const;

    QString m_programDir;
    bool m_loaded = false;
    IniDocument m_rest; // the file without "List"
    bool m_hadList = false;
    QHash<QString, int> m_first; // each name's first position in "List"
    int m_size = 0;
    QPair<qint64, QDateTime> m_stamp;
    // Each entry's stored bytes, valid (m_mirror) while the file holds what
    // this cache last wrote or adopted.
    QList<QByteArray> m_encoded;
    bool m_mirror = false;

    bool m_pending = false;
    std::function<QStringList()> m_names;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite;
};
