#include "support/TinyproxyPeer.h"

#include <QStandardPaths>

QString TinyproxyPeer::program() const
{
    return QStandardPaths::findExecutable(QStringLiteral("tinyproxy"),
                                          {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin")});
}

QStringList TinyproxyPeer::arguments() const
{
    return {QStringLiteral("-d"), QStringLiteral("-c"), dir() + QStringLiteral("/tinyproxy.conf")};
}

QString TinyproxyPeer::logFile() const
{
    return dir() + QStringLiteral("/tinyproxy.log");
}

bool TinyproxyPeer::writeConfig()
{
    QString conf = QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nMaxClients 50\nAllow 127.0.0.1\n"
                                  "LogFile \"%2\"\nLogLevel Info\nPidFile \"%3/tinyproxy.pid\"\n")
                       .arg(port())
                       .arg(logFile(), dir());
    if (!m_user.isEmpty())
        conf += QStringLiteral("BasicAuth %1 %2\n").arg(m_user, m_password);
    for (const quint16 port : m_connectPorts)
        conf += QStringLiteral("ConnectPort %1\n").arg(port);
    return writeFile(QStringLiteral("tinyproxy.conf"), conf.toUtf8());
}
