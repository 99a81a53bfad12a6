#pragma once

#include <QString>

class THttpCli;

// The proxy a user entered: the four boxes of the proxy window, as they stand.
// A host written as "host:port" carries its own port, which wins over `port`.
struct ProxyValues
{
    QString host;
    QString port;
    QString user;
    QString password;

    bool operator==(const ProxyValues& other) const
    {
        return host == other.host && port == other.port && user == other.user && password == other.password;
    }
    bool operator!=(const ProxyValues& other) const { return !(*this == other); }
};

// Gives the client the four values for its next request. The client splits the
// host itself, so a port written in the host is the one it connects to.
void applyProxy(THttpCli& client, const ProxyValues& proxy);
