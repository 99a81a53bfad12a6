#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// One request as the sandbox received it. Everything stays in bytes: the
// sandbox shows peers exactly what they sent.
struct SandboxRequest
{
    QByteArray method;
    QByteArray target; // as sent, query included
    QByteArray path;   // the target without query; an absolute "http://host/x" target gives "/x"
    QByteArray query;  // the text after the first "?", without it
    QList<QPair<QByteArray, QByteArray>> headers; // names as sent, values trimmed
    QByteArray body;
    quint16 localPort = 0; // the port the request came in on, for addresses in answers

    // The value of the first header of that name (any letter case); empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
    // The first value of a query field, percent-decoded ("+" is a blank); empty when absent.
    QByteArray queryValue(const QByteArray& name) const;
};
