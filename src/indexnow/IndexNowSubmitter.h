#pragma once

#include "IndexNowBatch.h"
#include "net/ProxyValues.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class HistoryStore;
class QTimer;
class THttpCli;

// An IndexNow endpoint of the engine database.
struct IndexNowEngine
{
    QString name;
    QString endpoint;
};

// What to send: the Project's addresses (with their content hashes, empty
// when unknown) to each engine.
struct IndexNowJob
{
    QString project;
    QString projectUrl;
    QString key;
    QString keyLocation;
    QStringList urls;
    QStringList hashes;
    // Only the addresses whose hash differs from their last accepted
    // submission to the engine, or that it never accepted. An address without
    // a known hash that was accepted before counts as unchanged.
    bool changedOnly = true;
    QList<IndexNowEngine> engines;
};

// Sends a job as bulk POSTs, one at a time, and keeps every answer in the
// ledger. 200 and 202 are accepted; 400, 403 and 422 refused (the first 200
// characters of the body kept); 429 waits for Retry-After and sends that POST
// once more, judged by the resend; anything else, or no answer, is a failure.
class IndexNowSubmitter : public QObject
{
    Q_OBJECT

public:
    explicit IndexNowSubmitter(HistoryStore& store, QObject* parent = nullptr);
    ~IndexNowSubmitter() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setProxy(bool enabled, const ProxyValues& proxy);
    // Tests shorten the waits; 1000 is real seconds.
    void setMsPerRetrySecond(int ms) { m_msPerSecond = ms; }

    // False with errorText() when the job cannot start (no key, a store error).
    bool start(const IndexNowJob& job);
    // Aborts the POST in flight; its ledger rows stay "no answer".
    void cancel();
    bool isRunning() const { return m_running; }
    QString errorText() const { return m_error; }

    // Every address of the job not sent to any engine, and how many were
    // left out per engine as unchanged; known once start() returned.
    const QList<IndexNowSkip>& skipped() const { return m_skipped; }
    QList<QPair<QString, int>> unchanged() const { return m_unchanged; }
    int postCount() const { return static_cast<int>(m_queue.size()); }

    static bool isAccepted(int status) { return status == 200 || status == 202; }
    static bool isRefused(int status) { return status == 400 || status == 403 || status == 422; }

signals:
    // One per answer; status 0 when none came (reason: the failure).
    void answered(const QString& engine, int count, int status, const QString& reason);
    void waiting(const QString& engine, int seconds);
    void progress(int postsDone, int postsTotal);
    void finished(bool allAccepted);

private:
    struct Pending
    {
        IndexNowEngine engine;
        IndexNowPost post;
        bool resent = false;
    };

    void sendNext();
    void send();
    void requestDone();
    void conclude(int status, const QString& reason, const QString& detail, const QByteArray& retryAfter);
    void finish();

    HistoryStore& m_store;
    int m_timeoutMs = 40000;
    int m_msPerSecond = 1000;
    bool m_proxyEnabled = false;
    ProxyValues m_proxy;

    QString m_project;
    QList<Pending> m_queue;
    qsizetype m_next = 0;
    QList<IndexNowSkip> m_skipped;
    QList<QPair<QString, int>> m_unchanged;
    bool m_running = false;
    bool m_allAccepted = true;
    QString m_error;

    QPointer<THttpCli> m_client;
    QTimer* m_timer = nullptr;     // the answer's deadline
    QTimer* m_waitTimer = nullptr; // Retry-After
    qint64 m_postId = -1;
    QByteArray m_body;
    QByteArray m_answerBody;
    QByteArray m_retryAfter;
    bool m_headerSeen = false;
    bool m_timedOut = false;
};
