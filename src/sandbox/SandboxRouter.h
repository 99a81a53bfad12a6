#pragma once

#include "SandboxRequest.h"
#include "SandboxResponse.h"

#include <QByteArray>
#include <QList>
#include <QMap>

#include <functional>

// Path -> handler. Each site of the sandbox (target sites, manual, later the
// update service, a site to spider, result pages) registers its paths here.
// The query takes part in routing only for paths added with addQueryField.
class SandboxRouter
{
public:
    using Handler = std::function<SandboxResponse(const SandboxRequest&)>;

    // Exact path; a second registration of the same path replaces the first.
    void addPath(const QByteArray& path, Handler handler);
    // Every path that starts with prefix; the longest matching prefix wins, an exact path beats any prefix.
    void addPrefix(const QByteArray& prefix, Handler handler);

    // Requests for exactly this path whose query holds the field ("name=value",
    // between "&"s) go to this handler before any other of the path.
    void addQueryField(const QByteArray& path, const QByteArray& field, Handler handler);

    // The answer for the request: its handler's, else 404 "Not Found".
    SandboxResponse route(const SandboxRequest& request) const;

    QList<QByteArray> paths() const { return m_paths.keys(); }

    static SandboxResponse notFound();

private:
    QMap<QByteArray, Handler> m_paths;
    QMap<QByteArray, Handler> m_prefixes;
    struct QueryRoute
    {
        QByteArray path;
        QByteArray field;
        Handler handler;
    };
    QList<QueryRoute> m_queryRoutes;
};
