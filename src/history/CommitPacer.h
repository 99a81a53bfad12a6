#pragma once

#include <QObject>
#include <QTimer>

class HistoryStore;

// Keeps a long job's writes in transactions that are committed at least once
// a second (also while the job waits for the network), so a crash loses at
// most the last second and the file is never left half-written. Call write()
// before each unit of work's statements and finish() at the end.
class CommitPacer : public QObject
{
    Q_OBJECT

public:
    explicit CommitPacer(HistoryStore& store, int intervalMs = 1000, QObject* parent = nullptr);
    ~CommitPacer() override;

    // Opens a transaction when none is open. False when the store refused.
    bool write();
    // Commits what is open now.
    bool flush();
    bool finish() { return flush(); }

signals:
    // A commit failed (a full disk, say); the store's errorText() says why.
    void failed();

private:
    HistoryStore& m_store;
    QTimer m_timer;
    bool m_open = false;
};
