#pragma once

#include "support/LocalPeer.h"

// nginx in one process in the foreground, serving files from www/ in its
// temporary directory. `/moved` answers with a real 301 to `/index.html`,
// `/echo` answers any method (a POST too) with a short text. With a certificate
// set it speaks HTTPS only, addressed as https://localhost:<port>.
class NginxPeer : public LocalPeer
{
public:
    QString program() const override;
    // Puts a file under the served root (before or after start).
    bool addFile(const QString& path, const QByteArray& bytes)
    {
        return writeFile(QStringLiteral("www") + path, bytes);
    }
    QString url(const QString& path) const;
    // Before start: serve HTTPS with this certificate and key (PEM files).
    void setTls(const QString& certificate, const QString& key)
    {
        m_certificate = certificate;
        m_key = key;
    }
    // Before start, with a certificate: the same server answers plain HTTP on a second port as well.
    void setAlsoPlain(bool on) { m_alsoPlain = on; }
    // The plain-HTTP address of that second port.
    QString plainUrl(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_plainPort).arg(path);
    }
    // Before start: log one line per request, "<SNI name or -> <r when the TLS session was resumed, else .>".
    void setSessionLog(bool on) { m_sessionLog = on; }
    QStringList sessionLog() const;
    // Before start: `path` answers with a 301 to `target`.
    void addRedirect(const QString& path, const QString& target)
    {
        m_extra += QStringLiteral("        location = %1 { return 301 %2; }\n").arg(path, target);
    }

    // Before start: more lines for the server block (locations, headers).
    void addServerLines(const QString& lines) { m_extra += lines; }

protected:
    QStringList arguments() const override;
    bool writeConfig() override;
    QString logFile() const override;

private:
    QString tlsLines() const;

    QString m_certificate;
    QString m_key;
    QString m_extra;
    bool m_alsoPlain = false;
    bool m_sessionLog = false;
    quint16 m_plainPort = 0;
};
