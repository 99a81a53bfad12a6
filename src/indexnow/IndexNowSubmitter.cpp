#include "IndexNowSubmitter.h"

#include "IndexNowLedger.h"
#include "history/HistoryStore.h"
#include "RetryAfter.h"
#include "net/THttpCli.h"
#include "submission/IndexNowRequest.h"

#include <QBuffer>
#include <QDateTime>
#include <QTimer>

#include <climits>

namespace {

// An answer body is read no further than this; only its start is kept.
constexpr int MaxAnswerBytes = 64 * 1024;

QString bodyText(const QByteArray& body)
{
    return QString::fromUtf8(body.left(4 * IndexNowLedger::KeptBodyChars)).simplified().left(IndexNowLedger::KeptBodyChars);
}

} // namespace

IndexNowSubmitter::IndexNowSubmitter(HistoryStore& store, QObject* parent)
    : QObject(parent), m_store(store), m_timer(new QTimer(this)), m_waitTimer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_waitTimer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (!m_client)
            return;
        m_timedOut = true;
        m_client->CancelRequest();
    });
    connect(m_waitTimer, &QTimer::timeout, this, &IndexNowSubmitter::send);
}

IndexNowSubmitter::~IndexNowSubmitter()
{
    delete m_client;
}

void IndexNowSubmitter::setProxy(bool enabled, const ProxyValues& proxy)
{
    m_proxyEnabled = enabled;
    m_proxy = proxy;
}

bool IndexNowSubmitter::start(const IndexNowJob& job)
{
    if (m_running) {
        m_error = QStringLiteral("A submission is running.");
        return false;
    }
    m_error.clear();
    m_queue.clear();
    m_skipped.clear();
    m_unchanged.clear();
    m_next = 0;
    m_allAccepted = true;
    m_project = job.project;
    if (job.key.trimmed().isEmpty()) {
        m_error = QStringLiteral("The Project \"%1\" has no IndexNow key; nothing was sent.").arg(job.project);
        return false;
    }
    if (IndexNowBatch::hostOf(job.projectUrl).isEmpty()) {
        m_error = QStringLiteral("The Project's URL \"%1\" is not an http or https address.").arg(job.projectUrl);
        return false;
    }
    if (!IndexNowLedger::ensure(m_store)) {
        m_error = m_store.errorText();
        return false;
    }
    // Host and form first, the same for every engine.
    const IndexNowBatch all = IndexNowBatch::build(job.projectUrl, job.key, job.keyLocation, job.urls, job.hashes,
                                                   INT_MAX);
    m_skipped = all.skipped;
    QStringList urls, hashes;
    for (const IndexNowPost& post : all.posts) {
        urls += post.urls;
        hashes += post.hashes;
    }
    for (const IndexNowEngine& engine : job.engines) {
        QStringList sendUrls = urls, sendHashes = hashes;
        if (job.changedOnly) {
            bool ok = false;
            const QHash<QString, QString> accepted = IndexNowLedger::acceptedHashes(m_store, engine.name, &ok);
            if (!ok) {
                m_error = QStringLiteral("Unable to read the IndexNow ledger");
                return false;
            }
            sendUrls.clear();
            sendHashes.clear();
            for (qsizetype i = 0; i < urls.size(); ++i) {
                const auto it = accepted.constFind(urls[i]);
                if (it != accepted.constEnd() && (hashes[i].isEmpty() || *it == hashes[i]))
                    continue;
                sendUrls.append(urls[i]);
                sendHashes.append(hashes[i]);
            }
            m_unchanged.append({engine.name, static_cast<int>(urls.size() - sendUrls.size())});
        }
        const IndexNowBatch batch =
            IndexNowBatch::build(job.projectUrl, job.key, job.keyLocation, sendUrls, sendHashes);
        for (const IndexNowPost& post : batch.posts)
            m_queue.append({engine, post, false});
    }
    m_running = true;
    emit progress(0, static_cast<int>(m_queue.size()));
    // The first POST goes out from the event loop, after the caller has
    // connected to what it wants to hear.
    QMetaObject::invokeMethod(this, &IndexNowSubmitter::sendNext, Qt::QueuedConnection);
    return true;
}

void IndexNowSubmitter::cancel()
{
    if (!m_running)
        return;
    m_waitTimer->stop();
    m_timer->stop();
    m_next = m_queue.size();
    m_allAccepted = false;
    if (m_client) {
        disconnect(m_client, nullptr, this, nullptr);
        m_client->CancelRequest();
        m_client->deleteLater();
        m_client = nullptr;
    }
    finish();
}

void IndexNowSubmitter::sendNext()
{
    if (!m_running)
        return;
    if (m_next >= m_queue.size()) {
        finish();
        return;
    }
    send();
}

void IndexNowSubmitter::send()
{
    const Pending& pending = m_queue[m_next];
    m_postId = IndexNowLedger::begin(m_store, QDateTime::currentSecsSinceEpoch(), m_project, pending.engine.name,
                                     pending.engine.endpoint, pending.post.urls, pending.post.hashes);
    if (m_postId < 0) {
        // Nothing goes out that the ledger cannot show.
        m_error = m_store.errorText();
        m_allAccepted = false;
        emit answered(pending.engine.name, static_cast<int>(pending.post.urls.size()), 0,
                      QStringLiteral("not sent: the ledger cannot be written (%1)").arg(m_error));
        ++m_next;
        emit progress(static_cast<int>(m_next), static_cast<int>(m_queue.size()));
        QMetaObject::invokeMethod(this, &IndexNowSubmitter::sendNext, Qt::QueuedConnection);
        return;
    }
    m_answerBody.clear();
    m_retryAfter.clear();
    m_headerSeen = m_timedOut = false;
    m_client = new THttpCli(this);
    if (m_proxyEnabled)
        applyProxy(*m_client, m_proxy);
    m_client->setURL(pending.engine.endpoint);
    m_client->setContentTypePost(QStringLiteral("application/json; charset=utf-8"));
    auto* body = new QBuffer(m_client);
    body->setData(pending.post.body);
    body->open(QIODevice::ReadOnly);
    m_client->setRequestBody(body);
    connect(m_client, &THttpCli::OnHeaderEnd, this, [this](THttpCli* client) {
        m_headerSeen = true;
        m_answerBody.clear();
        m_retryAfter.clear();
        for (const QString& line : client->ResponseHeader()) {
            if (line.startsWith(QLatin1String("retry-after:"), Qt::CaseInsensitive))
                m_retryAfter = line.mid(12).trimmed().toLatin1();
        }
    });
    connect(m_client, &THttpCli::OnDocData, this, [this](THttpCli*, const char* data, int len) {
        if (m_answerBody.size() < MaxAnswerBytes)
            m_answerBody.append(data, qMin<qsizetype>(len, MaxAnswerBytes - m_answerBody.size()));
    });
    connect(m_client, &THttpCli::OnRequestDone, this, [this](THttpCli*, int, int) { requestDone(); });
    m_timer->start(m_timeoutMs);
    try {
        m_client->BeginPost();
    } catch (const std::exception& e) {
        m_timer->stop();
        disconnect(m_client, nullptr, this, nullptr);
        m_client->deleteLater();
        m_client = nullptr;
        conclude(0, QString::fromLocal8Bit(e.what()), QString(), QByteArray());
    }
}

void IndexNowSubmitter::requestDone()
{
    m_timer->stop();
    const int code = m_client->ResponseCode();
    QString reason = m_client->ResponseText().trimmed();
    m_client->deleteLater();
    m_client = nullptr;
    if (m_timedOut) {
        conclude(0, QStringLiteral("no answer within %1 seconds").arg((m_timeoutMs + 999) / 1000), QString(), {});
    } else if (!m_headerSeen) {
        conclude(0, reason.isEmpty() ? QStringLiteral("no answer") : reason, QString(), {});
    } else {
        if (reason.isEmpty())
            reason = indexNowStatusText(code);
        conclude(code, reason, isAccepted(code) ? QString() : bodyText(m_answerBody), m_retryAfter);
    }
}

void IndexNowSubmitter::conclude(int status, const QString& reason, const QString& detail,
                                 const QByteArray& retryAfter)
{
    Pending& pending = m_queue[m_next];
    const bool accepted = isAccepted(status);
    if (!IndexNowLedger::answer(m_store, m_postId, status, accepted, reason, detail))
        m_error = QStringLiteral("Unable to write the IndexNow ledger");
    emit answered(pending.engine.name, static_cast<int>(pending.post.urls.size()), status, reason);
    if (status == 429 && !pending.resent) {
        pending.resent = true;
        const int wait = RetryAfter::seconds(retryAfter, QDateTime::currentSecsSinceEpoch());
        emit waiting(pending.engine.name, wait);
        m_waitTimer->start(wait * m_msPerSecond);
        return;
    }
    if (!accepted)
        m_allAccepted = false;
    ++m_next;
    emit progress(static_cast<int>(m_next), static_cast<int>(m_queue.size()));
    QMetaObject::invokeMethod(this, &IndexNowSubmitter::sendNext, Qt::QueuedConnection);
}

void IndexNowSubmitter::finish()
{
    if (!m_running)
        return;
    m_running = false;
    emit finished(m_allAccepted);
}
