#include "LiveSubmitter.h"

#include "RunEngineRows.h"
#include "IndexNowRequest.h"
#include "RequestComposer.h"
#include "net/THttpCli.h"

#include <QBuffer>
#include <QTimer>

#include <exception>

LiveSubmitter::LiveSubmitter(RunEngineRows* engines, QObject* parent)
    : QObject(parent), m_engines(engines), m_timer5(new QTimer(this))
{
    m_timer5->setObjectName(QStringLiteral("Timer5"));
    m_timer5->setInterval(1000);
    connect(m_timer5, &QTimer::timeout, this, &LiveSubmitter::Timer5Timer);
}

LiveSubmitter::~LiveSubmitter()
{
    // Clients still running when the window goes are dropped with it; their
    // posted notifications go with them.
    for (const InFlight& entry : m_inFlight)
        delete entry.client;
}

ResultClass LiveSubmitter::classify(int code)
{
    if (code <= 302)
        return ResultClass::Ok;
    if (code == 408)
        return ResultClass::TimedOut;
    return ResultClass::Failed;
}

void LiveSubmitter::resetCounters()
{
    m_ok = m_failed = m_timedOut = 0;
    emit countsChanged(m_ok, m_failed, m_timedOut);
}

void LiveSubmitter::setLocale(const QLocale& locale)
{
    m_locale = locale;
    m_dateCache = {};
    m_nowSecond = -1;
}

QString LiveSubmitter::outcomeDate() const
{
    return m_clock ? dateText(m_clock()) : nowText();
}

QString LiveSubmitter::nowText() const
{
    // Reading the clock is cheap, turning it into local time is not (the
    // time zone file is looked at each time): that is done once per second.
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
    if (second == m_nowSecond && m_nowSecond >= 0)
        return m_nowText;
    m_nowText = dateText(QDateTime::fromMSecsSinceEpoch(msecs));
    // Only while the text names whole seconds (checked by dateText above).
    m_nowSecond = m_dateCache.wholeSeconds ? second : -1;
    return m_nowText;
}

QString LiveSubmitter::dateText(const QDateTime& when) const
{
    // Dozens of requests end within one second and all show the same text:
    // format it once per second. Local time only, where the second, the date
    // and the daylight-saving state decide the text, and only while the
    // format shows no fractions of a second.
    const bool cacheable = when.timeSpec() == Qt::LocalTime && when.isValid();
    if (cacheable) {
        if (m_dateCache.formatChecked == false) {
            m_dateCache.formatChecked = true;
            m_dateCache.wholeSeconds = !m_locale.timeFormat(QLocale::LongFormat).contains(QLatin1Char('z'));
        }
        const QTime t = when.time();
        const QTime second(t.hour(), t.minute(), t.second());
        const bool summer = when.isDaylightTime();
        if (m_dateCache.wholeSeconds && m_dateCache.valid && m_dateCache.date == when.date() &&
            m_dateCache.second == second && m_dateCache.daylight == summer)
            return m_dateCache.text;
        m_dateCache.date = when.date();
        m_dateCache.second = second;
        m_dateCache.daylight = summer;
    }
    const QString text = m_locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                         m_locale.toString(when.time(), QLocale::LongFormat);
    if (cacheable) {
        m_dateCache.text = text;
        m_dateCache.valid = true;
    }
    return text;
}

LiveSubmitter::InFlight* LiveSubmitter::entryOf(THttpCli* client)
{
    // Requests end in any order, so the table is searched by client.
    for (InFlight& entry : m_inFlight) {
        if (entry.client == client)
            return &entry;
    }
    return nullptr;
}

void LiveSubmitter::setResult(InFlight& entry, int code, const QString& text)
{
    entry.result.code = code;
    entry.result.text = text;
    entry.result.set = true;
}

void LiveSubmitter::StartEngineRequest(const QString& address, const QString& query, int row, bool post,
                                       const QString& referrer)
{
    auto* client = new THttpCli(this);
    m_inFlight.append({client, row, m_timeoutTick, {}});
    connect(client, &THttpCli::OnHeaderEnd, this, &LiveSubmitter::HttpCli1HeaderEnd);
    connect(client, &THttpCli::OnRequestDone, this,
            [this](THttpCli* sender, int, int) { FinishEngineRequest(sender); });

    client->setTag(row);
    if (m_proxyEnabled)
        applyProxy(*client, m_proxy);
    try {
        if (m_engines->isValidRow(row))
            m_engines->setRowImage(row, RowImage::Running);
        client->setReference(referrer);
        if (post) {
            client->setURL(address);
            auto* body = new QBuffer(client);
            body->setData(transmissionForm(query).toUtf8());
            body->open(QIODevice::ReadOnly);
            client->setRequestBody(body);
            client->BeginPost();
        } else {
            client->setURL(getAddress(address, query));
            client->BeginGet();
        }
    } catch (const std::exception&) {
        if (InFlight* entry = entryOf(client))
            setResult(*entry, 500, QStringLiteral("Socket Error"));
        client->CancelRequest();
    }
}

void LiveSubmitter::HttpCli1HeaderEnd(THttpCli* client)
{
    InFlight* entry = entryOf(client);
    if (!entry)
        return;
    int code = client->ResponseCode();
    QString text = code == 302 ? QStringLiteral("OK") : client->ResponseText();
    if (text.isEmpty() && m_engines->isValidRow(entry->row) &&
        m_engines->row(entry->row).kind == EngineKind::IndexNow) {
        text = indexNowStatusText(code);
    } else if (text.isEmpty()) {
        text = QStringLiteral("OK");
        code = 200;
    }
    setResult(*entry, code, text);
    client->CancelRequest();
}

void LiveSubmitter::FinishEngineRequest(THttpCli* client)
{
    InFlight* entry = entryOf(client);
    if (!entry)
        return;
    // A request that ended on its own (name not found, connection refused)
    // names its cause with the client's own status.
    const RequestResult result =
        entry->result.set ? entry->result : RequestResult{client->ResponseCode(), client->ResponseText(), true};
    const int row = client->Tag();

    const ResultClass resultClass = classify(result.code);
    if (m_engines->isValidRow(row)) {
        // Result, image and date in one change of the row: the views hear of it once.
        m_engines->setOutcome(row, result.text,
                              resultClass == ResultClass::Ok         ? RowImage::Ok
                              : resultClass == ResultClass::TimedOut ? RowImage::TimedOut
                                                                     : RowImage::Failed,
                              outcomeDate());
        // A batch engine counts N; a count that is no whole number counts 1.
        const int amount = m_engines->submissionWeight(row);
        switch (resultClass) {
        case ResultClass::Ok:
            m_ok += amount;
            break;
        case ResultClass::TimedOut:
            m_timedOut += amount;
            break;
        case ResultClass::Failed:
            m_failed += amount;
            break;
        }
        emit countsChanged(m_ok, m_failed, m_timedOut);
        emit rowFinished(row, result.code, result.text, resultClass);
    }

    m_inFlight.removeIf([client](const InFlight& e) { return e.client == client; });
    // Released once its own notification has returned.
    client->deleteLater();
    emit requestFinished();
}

void LiveSubmitter::SettleWithoutRequest(int row, const QString& text)
{
    QMetaObject::invokeMethod(
        this,
        [this, row, text] {
            if (m_engines->isValidRow(row)) {
                m_engines->setOutcome(row, text, RowImage::Failed, outcomeDate());
                m_failed += m_engines->submissionWeight(row);
                emit countsChanged(m_ok, m_failed, m_timedOut);
                emit rowFinished(row, 0, text, ResultClass::Failed);
            }
            emit requestFinished();
        },
        Qt::QueuedConnection);
}

void LiveSubmitter::Timer5Timer()
{
    ++m_timeoutTick;
    if (m_inFlight.isEmpty())
        return;
    // Every request older than the time-out times out now, oldest first: one per tick would let
    // many stalled requests run far past it.
    const int timeout = m_timeout ? m_timeout() : 40;
    QList<THttpCli*> late;
    for (InFlight& entry : m_inFlight) {
        if (entry.startTick < m_timeoutTick - timeout) {
            setResult(entry, 408, QStringLiteral("Request Timeout"));
            late << entry.client;
        }
    }
    // Their ends come from the loop, so the table does not change under this one.
    for (THttpCli* client : qAsConst(late))
        client->CancelRequest();
}

void LiveSubmitter::StopAllRequests()
{
    // Cancelling may run no handler at once, but take a copy of the clients
    // so the loop never walks a table that changes under it.
    QList<THttpCli*> clients;
    for (InFlight& entry : m_inFlight) {
        setResult(entry, 404, QStringLiteral("Submission Stopped"));
        clients << entry.client;
    }
    for (THttpCli* client : clients)
        client->CancelRequest();
}
