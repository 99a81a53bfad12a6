#include "net/SplitHttpUrl.h"

namespace {

// The base path up to and including its last "/", or "/" when it has none.
QString baseDirectory(const QString& base)
{
    const int slash = base.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("/") : base.left(slash + 1);
}

// One level up: drop the text after the next-to-last "/". The root stays the root.
QString parentDirectory(const QString& dir)
{
    const int last = dir.lastIndexOf(QLatin1Char('/'));
    if (last <= 0)
        return dir;
    const int previous = dir.lastIndexOf(QLatin1Char('/'), last - 1);
    return previous < 0 ? dir : dir.left(previous + 1);
}

bool isProtoText(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' || u == '-' || u == '.';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

void SplitHttpUrl(const QString& url, QString& proto, QString& user, QString& password, QString& host, QString& port,
                  QString& path)
{
    proto.clear();
    user.clear();
    password.clear();
    host.clear();
    port.clear();

    if (url.isEmpty()) {
        path.clear();
        return;
    }

    if (url.startsWith(QLatin1String("./"))) {
        path = baseDirectory(path) + url.mid(2);
        return;
    }

    if (url.startsWith(QLatin1String("../"))) {
        QString dir = baseDirectory(path);
        QString rest = url;
        while (rest.startsWith(QLatin1String("../"))) {
            dir = parentDirectory(dir);
            rest.remove(0, 3);
        }
        path = dir + rest;
        return;
    }

    QString rest;
    bool haveProto = false;
    const int sep = url.indexOf(QLatin1String("://"));
    if (sep >= 0) {
        const QString before = url.left(sep);
        if (isProtoText(before)) {
            proto = before;
            rest = url.mid(sep + 3);
            haveProto = true;
        } else {
            proto = QStringLiteral("http");
        }
    }

    if (!haveProto) {
        if (url.startsWith(QLatin1Char('/'))) {
            proto = QStringLiteral("http");
            if (url.size() < 2 || url.at(1) != QLatin1Char('/')) {
                path = url;
                return;
            }
            // "//" is no host prefix: what follows the first "/" is the path.
            rest = url.mid(1);
        } else if (url.left(5).toLower() == QLatin1String("http:")) {
            proto = QStringLiteral("http");
            if (url.size() > 6 && url.at(6) != QLatin1Char('/')) {
                path = url.mid(5);
                return;
            }
            rest = url.mid(6);
        } else if (url.left(7).toLower() == QLatin1String("mailto:")) {
            proto = QStringLiteral("mailto");
            rest = url.mid(url.indexOf(QLatin1Char(':')) + 1);
        } else {
            rest = url;
        }
    }

    int pathStart = rest.indexOf(QLatin1Char('/'));
    const int query = rest.indexOf(QLatin1Char('?'));
    if (query >= 0 && (pathStart < 0 || query < pathStart))
        pathStart = query;
    if (pathStart < 0)
        pathStart = rest.size();
    path = rest.mid(pathStart);
    const QString authority = rest.left(pathStart);

    const int d = authority.lastIndexOf(QLatin1Char(':'));
    const int a = authority.lastIndexOf(QLatin1Char('@'));
    if (a < d) {
        port = authority.mid(d + 1);
        host = authority.mid(a + 1, d - a - 1);
    } else {
        host = authority.mid(a + 1);
    }
    if (a >= 0) {
        const QString login = authority.left(a);
        const int colon = login.indexOf(QLatin1Char(':'));
        if (colon < 0) {
            user = login;
        } else {
            user = login.left(colon);
            password = login.mid(colon + 1);
        }
    }
}
