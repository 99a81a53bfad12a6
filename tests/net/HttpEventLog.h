#pragma once

#include "net/THttpCli.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

// Records every event of one client in order, with what the tests check.
class HttpEventLog : public QObject
{
    Q_OBJECT
public:
    explicit HttpEventLog(THttpCli* client);

    struct Done
    {
        int rqType;
        int error;
    };

    QStringList events;       // event names; OnStateChange as "State:<phase>"
    QList<QByteArray> chunks; // every OnDocData chunk
    QList<int> sent;          // every OnSendData length
    QStringList commands;     // every line passed through OnCommand
    QStringList cookies;
    QList<Done> done;
    bool zeroAfterEveryChunk = true;

    QByteArray body() const;
    int count(const QString& event) const { return static_cast<int>(events.count(event)); }
    // Waits (bounded) until OnRequestDone has come `n` times, then a little longer for strays.
    bool waitForDone(int n = 1, int timeoutMs = 10000);
};
