#include "SandboxLog.h"

#include <QFileDevice>
#include <QIODevice>

void SandboxLog::write(const SandboxRequest& request, const QByteArray& answer)
{
    if (!m_device)
        return;
    m_device->write(formatLine(QDateTime::currentDateTimeUtc(), request, answer));
    // Tests and users read the log while the sandbox runs.
    if (auto* file = qobject_cast<QFileDevice*>(m_device))
        file->flush();
}

QByteArray SandboxLog::formatLine(const QDateTime& time, const SandboxRequest& request, const QByteArray& answer)
{
    QByteArray line = time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")).toLatin1();
    for (const QByteArray& field : {request.method, request.target, answer, request.header("Referer"),
                                    request.header("Content-Type"), request.body}) {
        line += '\t';
        line += escape(field);
    }
    line += '\n';
    return line;
}

QByteArray SandboxLog::escape(const QByteArray& field)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(field.size());
    for (char c : field) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (u < 0x20 || u == 0x7f)
            out += QByteArray("\\x") + hex[u >> 4] + hex[u & 0xf];
        else
            out += c;
    }
    return out;
}

QByteArray SandboxLog::unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 >= field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[++i];
        if (next == 't')
            out += '\t';
        else if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else if (next == 'x' && i + 2 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 2).toInt(&ok, 16);
            out += ok ? static_cast<char>(value) : '?';
            i += 2;
        } else
            out += next;
    }
    return out;
}
