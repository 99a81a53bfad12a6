#pragma once

#include "SandboxRequest.h"

#include <QByteArray>
#include <QDateTime>

class QIODevice;

// One line per request received, flushed at once, tab-separated:
//   time  method  target  answer  referer  content-type  body
// time is UTC "yyyy-MM-ddThh:mm:ss.zzzZ"; answer is the status code sent,
// "stall" or "close"; a missing header gives an empty field. Backslash, tab,
// CR, LF and other control bytes in a field are written as \\, \t, \r, \n
// and \xHH, so a line is always one line with exactly seven fields.
class SandboxLog
{
public:
    // The device is not owned; nullptr logs nothing.
    explicit SandboxLog(QIODevice* device = nullptr) : m_device(device) {}

    void setDevice(QIODevice* device) { m_device = device; }
    void write(const SandboxRequest& request, const QByteArray& answer);

    static QByteArray formatLine(const QDateTime& time, const SandboxRequest& request, const QByteArray& answer);
    static QByteArray escape(const QByteArray& field);
    static QByteArray unescape(const QByteArray& field);

private:
    QIODevice* m_device;
};
