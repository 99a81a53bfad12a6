#include "CommitPacer.h"

#include "HistoryStore.h"

CommitPacer::CommitPacer(HistoryStore& store, int intervalMs, QObject* parent) : QObject(parent), m_store(store)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!flush())
            emit failed();
    });
}

CommitPacer::~CommitPacer()
{
    flush();
}

bool CommitPacer::write()
{
    if (m_open)
        return true;
    if (!m_store.beginTransaction())
        return false;
    m_open = true;
    m_timer.start();
    return true;
}

bool CommitPacer::flush()
{
    m_timer.stop();
    if (!m_open)
        return true;
    m_open = false;
    return m_store.commit();
}
