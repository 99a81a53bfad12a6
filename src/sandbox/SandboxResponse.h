#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// What the sandbox does with one request: answer it, hold the connection
// without a byte (a site that never answers), or close it at once.
struct SandboxResponse
{
    enum class Action { Answer, Stall, Close };

    Action action = Action::Answer;
    int status = 200;
    QByteArray reason; // empty: the status line carries no reason phrase
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int delayMs = 0; // an answer held back this long after the request arrived (a slow page)
    // What the log shows in place of a request body too long to be useful
    // there (a bulk submission, say); the body itself when unset.
    QByteArray logBody;
    bool replacesLogBody = false;

    // A small HTML page with that status; the page names the status.
    // An answer with that status, Content-Type and body.
    static SandboxResponse answer(int status, const QByteArray& reason, const QByteArray& contentType,
                                  const QByteArray& body);
    static SandboxResponse page(int status, const QByteArray& reason, const QByteArray& title, const QByteArray& text);
    static SandboxResponse stall();
    static SandboxResponse closeAtOnce();

    void addHeader(const QByteArray& name, const QByteArray& value) { headers.append(qMakePair(name, value)); }

    // The bytes sent: status line, headers (Content-Type, Content-Length and
    // "Connection: close" added when missing), blank line, body unless withBody is false.
    QByteArray toBytes(bool withBody = true) const;
    // The answer column of the log: the status code, "stall" or "close".
    QByteArray logAnswer() const;
};
