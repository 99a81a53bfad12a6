#include "HttpEventLog.h"

#include <QMetaEnum>
#include <QtTest>

HttpEventLog::HttpEventLog(THttpCli* client) : QObject(client)
{
    const auto note = [this](const char* name) { return [this, name](THttpCli*) { events << QLatin1String(name); }; };
    connect(client, &THttpCli::OnStateChange, this, [this](THttpCli* c) {
        events << QStringLiteral("State:") +
                      QLatin1String(QMetaEnum::fromType<THttpCli::HttpPhase>().valueToKey(c->Phase()));
    });
    connect(client, &THttpCli::OnSessionConnected, this, note("SessionConnected"));
    connect(client, &THttpCli::OnRequestHeaderBegin, this, note("RequestHeaderBegin"));
    connect(client, &THttpCli::OnBeforeHeaderSend, this,
            [this](THttpCli*, QString&, QStringList&) { events << QStringLiteral("BeforeHeaderSend"); });
    connect(client, &THttpCli::OnCommand, this, [this](THttpCli*, QString& line) {
        events << QStringLiteral("Command");
        commands << line;
    });
    connect(client, &THttpCli::OnRequestHeaderEnd, this, note("RequestHeaderEnd"));
    connect(client, &THttpCli::OnSendBegin, this, note("SendBegin"));
    connect(client, &THttpCli::OnSendData, this, [this](THttpCli*, const char*, int len) {
        events << QStringLiteral("SendData");
        sent << len;
    });
    connect(client, &THttpCli::OnSendEnd, this, note("SendEnd"));
    connect(client, &THttpCli::OnHeaderBegin, this, note("HeaderBegin"));
    connect(client, &THttpCli::OnHeaderData, this, note("HeaderData"));
    connect(client, &THttpCli::OnCookie, this, [this](THttpCli*, const QString& data, bool&) { cookies << data; });
    connect(client, &THttpCli::OnHeaderEnd, this, note("HeaderEnd"));
    connect(client, &THttpCli::OnDocBegin, this, note("DocBegin"));
    connect(client, &THttpCli::OnDocData, this, [this](THttpCli*, const char* buffer, int len) {
        events << QStringLiteral("DocData");
        if (buffer[len] != 0)
            zeroAfterEveryChunk = false;
        chunks << QByteArray(buffer, len);
    });
    connect(client, &THttpCli::OnDocEnd, this, note("DocEnd"));
    connect(client, &THttpCli::OnLocationChange, this, note("LocationChange"));
    connect(client, &THttpCli::OnRequestDone, this, [this](THttpCli*, int rqType, int error) {
        events << QStringLiteral("RequestDone");
        done << Done{rqType, error};
    });
}

QByteArray HttpEventLog::body() const
{
    QByteArray all;
    for (const QByteArray& c : chunks)
        all += c;
    return all;
}

bool HttpEventLog::waitForDone(int n, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (done.size() < n && !deadline.hasExpired())
        QTest::qWait(5);
    if (done.size() < n)
        return false;
    QTest::qWait(50); // a second OnRequestDone would show up here
    return true;
}
