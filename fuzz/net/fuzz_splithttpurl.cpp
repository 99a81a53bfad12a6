// Arbitrary text as an address: the first line is the base path, the rest the url.
#include "net/SplitHttpUrl.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const int nl = bytes.indexOf('\n');
    QString path = QString::fromLatin1(nl < 0 ? QByteArray() : bytes.left(nl));
    const QString url = QString::fromLatin1(nl < 0 ? bytes : bytes.mid(nl + 1));
    QString proto, user, password, host, port;
    SplitHttpUrl(url, proto, user, password, host, port, path);
    // The host comes from the text before the path, so it never holds a path or query character.
    if (host.contains(QLatin1Char('/')) || host.contains(QLatin1Char('?')))
        __builtin_trap();
    if (url.isEmpty() && !path.isEmpty())
        __builtin_trap();
    return 0;
}
