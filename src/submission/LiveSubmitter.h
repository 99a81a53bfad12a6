#pragma once

#include "net/ProxyValues.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>

#include <functional>

class RunEngineRows;
class QTimer;
class THttpCli;

// How a finished request counts.
enum class ResultClass { Ok, Failed, TimedOut };

// The status a request ended with, set by its header end, a time-out, the
// stop or a start failure; the last one set counts.
struct RequestResult
{
    int code = 0;
    QString text;
    bool set = false;
};

// Sends the composed requests, many at once, one client each, and turns each
// outcome into its engine row's result, image, date and a count. The status
// line is the result: a request is abandoned as soon as its header is in.
class LiveSubmitter : public QObject
{
    Q_OBJECT

public:
    explicit LiveSubmitter(RunEngineRows* engines, QObject* parent = nullptr);
    ~LiveSubmitter() override;

    static ResultClass classify(int code);

    // The run's time-out in seconds, read afresh on every tick.
    void setTimeoutSource(std::function<int()> timeout) { m_timeout = std::move(timeout); }
    // From now on every request client gets these proxy values; before the
    // first call, requests go direct.
    void setProxy(const ProxyValues& proxy)
    {
        m_proxy = proxy;
        m_proxyEnabled = true;
    }
    // The clock and locale the "Date" cells are written with; without a
    // clock set, the system's.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void setLocale(const QLocale& locale);

    void StartEngineRequest(const QString& address, const QString& query, int row, bool post, const QString& referrer);
    // A row that is not sent (an IndexNow row of a Project without a key):
    // it shows `text`, counts as Failed and ends, like a request, from the
    // event loop with requestFinished.
    void SettleWithoutRequest(int row, const QString& text);
    void StopAllRequests();

    QTimer* timer5() const { return m_timer5; }
    int timeoutTick() const { return m_timeoutTick; }
    void setTimeoutTick(int tick) { m_timeoutTick = tick; }
    int inFlightTableSize() const { return static_cast<int>(m_inFlight.size()); }

    int okCount() const { return m_ok; }
    int failedCount() const { return m_failed; }
    int timedOutCount() const { return m_timedOut; }
    void resetCounters();

    QString dateText(const QDateTime& when) const;
    // The "Date" text of the system clock's present moment.
    QString nowText() const;
    // The "Date" a row gets when its request ends: of the clock set, else of the system's.
    QString outcomeDate() const;

signals:
    // A request has ended and its row, counter and date are written.
    void requestFinished();
    void countsChanged(int ok, int failed, int timedOut);
    // A row's request has ended with this status (code 0: the row was not
    // sent); emitted before requestFinished.
    void rowFinished(int row, int code, const QString& text, ResultClass resultClass);

public slots:
    void Timer5Timer();

private:
    struct InFlight
    {
        THttpCli* client = nullptr;
        int row = -1;
        int startTick = 0;
        RequestResult result;
    };

    void HttpCli1HeaderEnd(THttpCli* client);
    void FinishEngineRequest(THttpCli* client);
    InFlight* entryOf(THttpCli* client);
    void setResult(InFlight& entry, int code, const QString& text);

    RunEngineRows* m_engines;
    QTimer* m_timer5;
    QList<InFlight> m_inFlight;
    int m_timeoutTick = 0;
    std::function<int()> m_timeout;
    std::function<QDateTime()> m_clock;
    QLocale m_locale = QLocale::system();
    // The last "Date" text and the local second it was made for.
    struct DateCache
    {
        bool formatChecked = false;
        bool wholeSeconds = false;
        bool valid = false;
        QDate date;
        QTime second;
        bool daylight = false;
        QString text;
    };
    mutable DateCache m_dateCache;
    // The system clock's last second (seconds since the epoch) and its text.
    mutable qint64 m_nowSecond = -1;
    mutable QString m_nowText;
    ProxyValues m_proxy;
    bool m_proxyEnabled = false;
    int m_ok = 0;
    int m_failed = 0;
    int m_timedOut = 0;
};
