#pragma once

#include "SandboxRequest.h"

#include <QByteArray>

// Reads one HTTP/1.0-style request from bytes that arrive in pieces: the
// request line, header lines up to the blank line, then Content-Length bytes
// of body. Lines end with LF, a CR before it is dropped. Sizes are capped so
// a peer cannot make the sandbox hold more than about a megabyte per request.
class RequestParser
{
public:
    static constexpr qsizetype MaxHeaderBytes = 64 * 1024;
    static constexpr qsizetype MaxBodyBytes = 1024 * 1024;

    enum class State { Incomplete, Complete, Invalid };

    // Takes the next bytes; after Complete or Invalid further bytes are ignored.
    State feed(const QByteArray& bytes);

    State state() const { return m_state; }
    bool hasReceived() const { return m_received; }
    // The request so far; whole once state() is Complete.
    const SandboxRequest& request() const { return m_request; }
    // For Invalid: the status to answer with (400, 413 or 501) and its reason phrase.
    int errorStatus() const { return m_errorStatus; }
    QByteArray errorReason() const { return m_errorReason; }

private:
    void parseLines();
    bool parseRequestLine(const QByteArray& line);
    bool parseHeaderLine(const QByteArray& line);
    void endOfHeader(qsizetype bodyStart);
    void takeBody(const QByteArray& bytes);
    void fail(int status, const QByteArray& reason);

    State m_state = State::Incomplete;
    SandboxRequest m_request;
    QByteArray m_header;         // bytes not yet taken as lines
    qsizetype m_searched = 0;    // leading bytes of m_header known to hold no line end
    qsizetype m_headerBytes = 0; // header bytes taken as lines so far
    bool m_haveRequestLine = false;
    bool m_headerDone = false;
    bool m_received = false;
    qsizetype m_bodyLength = 0;
    int m_errorStatus = 0;
    QByteArray m_errorReason;
};
