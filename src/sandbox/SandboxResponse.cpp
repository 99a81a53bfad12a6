#include "SandboxResponse.h"

namespace {

bool hasHeader(const QList<QPair<QByteArray, QByteArray>>& headers, const QByteArray& name)
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

SandboxResponse SandboxResponse::answer(int status, const QByteArray& reason, const QByteArray& contentType,
                                        const QByteArray& body)
{
    SandboxResponse r;
    r.status = status;
    r.reason = reason;
    r.addHeader("Content-Type", contentType);
    r.body = body;
    return r;
}

SandboxResponse SandboxResponse::page(int status, const QByteArray& reason, const QByteArray& title,
                                      const QByteArray& text)
{
    return answer(status, reason, "text/html",
                  "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD>\r\n<BODY>\r\n<H1>" + title + "</H1>\r\n<P>" +
                      text + "</P>\r\n</BODY></HTML>\r\n");
}

SandboxResponse SandboxResponse::stall()
{
    SandboxResponse r;
    r.action = Action::Stall;
    return r;
}

SandboxResponse SandboxResponse::closeAtOnce()
{
    SandboxResponse r;
    r.action = Action::Close;
    return r;
}

QByteArray SandboxResponse::toBytes(bool withBody) const
{
    QByteArray out = "HTTP/1.0 " + QByteArray::number(status);
    if (!reason.isEmpty())
        out += ' ' + reason;
    out += "\r\n";
    for (const auto& h : headers)
        out += h.first + ": " + h.second + "\r\n";
    if (!body.isEmpty() && !hasHeader(headers, "Content-Type"))
        out += "Content-Type: text/html\r\n";
    if (!hasHeader(headers, "Content-Length"))
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (!hasHeader(headers, "Connection"))
        out += "Connection: close\r\n";
    out += "\r\n";
    if (withBody)
        out += body;
    return out;
}

QByteArray SandboxResponse::logAnswer() const
{
    switch (action) {
    case Action::Stall:
        return "stall";
    case Action::Close:
        return "close";
    case Action::Answer:
        break;
    }
    return QByteArray::number(status);
}
