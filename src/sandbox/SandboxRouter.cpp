#include "SandboxRouter.h"

void SandboxRouter::addPath(const QByteArray& path, Handler handler)
{
    m_paths.insert(path, std::move(handler));
}

void SandboxRouter::addPrefix(const QByteArray& prefix, Handler handler)
{
    m_prefixes.insert(prefix, std::move(handler));
}

void SandboxRouter::addQueryField(const QByteArray& path, const QByteArray& field, Handler handler)
{
    m_queryRoutes.append({path, field, std::move(handler)});
}

SandboxResponse SandboxRouter::route(const SandboxRequest& request) const
{
    for (const QueryRoute& r : m_queryRoutes) {
        if (r.path == request.path && request.query.split('&').contains(r.field))
            return r.handler(request);
    }
    const auto exact = m_paths.constFind(request.path);
    if (exact != m_paths.constEnd())
        return exact.value()(request);
    const Handler* best = nullptr;
    qsizetype bestLength = -1;
    for (auto it = m_prefixes.constBegin(); it != m_prefixes.constEnd(); ++it) {
        if (request.path.startsWith(it.key()) && it.key().size() > bestLength) {
            best = &it.value();
            bestLength = it.key().size();
        }
    }
    if (best)
        return (*best)(request);
    return notFound();
}

SandboxResponse SandboxRouter::notFound()
{
    return SandboxResponse::page(404, "Not Found", "Not Found", "There is no page at this address.");
}
