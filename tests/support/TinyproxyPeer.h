#pragma once

#include "support/LocalPeer.h"

#include <QList>

// tinyproxy in the foreground; with a login set it asks for Proxy-Authorization.
class TinyproxyPeer : public LocalPeer
{
public:
    QString program() const override;
    void setLogin(const QString& user, const QString& password)
    {
        m_user = user;
        m_password = password;
    }
    // Before start: the ports CONNECT may reach (each a ConnectPort line; none allows every port).
    void allowConnectPort(quint16 port) { m_connectPorts << port; }

protected:
    QStringList arguments() const override;
    bool writeConfig() override;
    QString logFile() const override;

private:
    QString m_user;
    QString m_password;
    QList<quint16> m_connectPorts;
};
