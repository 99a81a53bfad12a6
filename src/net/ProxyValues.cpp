#include "ProxyValues.h"

#include "THttpCli.h"

void applyProxy(THttpCli& client, const ProxyValues& proxy)
{
    client.setProxy(proxy.host);
    client.setProxyPort(proxy.port);
    client.setProxyUsername(proxy.user);
    client.setProxyPassword(proxy.password);
}
