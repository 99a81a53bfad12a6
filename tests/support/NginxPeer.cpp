#include "support/NginxPeer.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

QString NginxPeer::program() const
{
    return QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
}

QString NginxPeer::url(const QString& path) const
{
    if (!m_certificate.isEmpty())
        return QStringLiteral("https://localhost:%1%2").arg(port()).arg(path);
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

QStringList NginxPeer::arguments() const
{
    return {QStringLiteral("-p"), dir() + QLatin1Char('/'),
            QStringLiteral("-c"), dir() + QStringLiteral("/nginx.conf"),
            QStringLiteral("-e"), logFile()};
}

QString NginxPeer::logFile() const
{
    return dir() + QStringLiteral("/error.log");
}

QString NginxPeer::tlsLines() const
{
    if (m_certificate.isEmpty())
        return {};
    QString lines =
        QStringLiteral("        ssl_certificate %1;\n        ssl_certificate_key %2;\n").arg(m_certificate, m_key);
    if (m_alsoPlain)
        lines += QStringLiteral("        listen 127.0.0.1:%1;\n").arg(m_plainPort);
    return lines;
}

QStringList NginxPeer::sessionLog() const
{
    QFile f(dir() + QStringLiteral("/sessions.log"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool NginxPeer::writeConfig()
{
    if (m_alsoPlain) {
        m_plainPort = freePort();
        if (m_plainPort == 0 || m_plainPort == port())
            return false;
    }
    const QString d = dir();
    QDir().mkpath(d + QStringLiteral("/tmp"));
    QDir().mkpath(d + QStringLiteral("/www"));
    const QString conf = QStringLiteral(R"(daemon off;
master_process off;
worker_processes 1;
pid %1/nginx.pid;
error_log %1/error.log warn;
events { worker_connections 1024; }
http {
    %5
    client_body_temp_path %1/tmp/body;
    proxy_temp_path %1/tmp/proxy;
    fastcgi_temp_path %1/tmp/fastcgi;
    uwsgi_temp_path %1/tmp/uwsgi;
    scgi_temp_path %1/tmp/scgi;
    default_type application/octet-stream;
    types { text/html html htm; }
    server {
        listen 127.0.0.1:%2%3;
        root %1/www;
        location = /moved { return 301 /index.html; }
        location = /echo { return 200 "echo\n"; }
%4    }
}
)")
                             .arg(d)
                             .arg(port())
                             .arg(m_certificate.isEmpty() ? QString() : QStringLiteral(" ssl"))
                             .arg(tlsLines() + m_extra)
                             .arg(m_sessionLog ? QStringLiteral("log_format sessions '$ssl_server_name $ssl_session_reused';\n"
                                                                "    access_log %1/sessions.log sessions;")
                                                     .arg(d)
                                               : QStringLiteral("access_log off;"));
    return writeFile(QStringLiteral("nginx.conf"), conf.toUtf8());
}
