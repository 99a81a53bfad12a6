#include "UpdateService.h"

#include "SandboxRouter.h"

#include <QFile>

namespace {

QString g_dataDir;

const QByteArray StarterAddress = "http://127.0.0.1:8088";
const QByteArray UpdatePrefix = "/update/";

SandboxResponse textAnswer(const QByteArray& body)
{
    return SandboxResponse::answer(200, "OK", "text/plain; charset=utf-8", body);
}

enum class Fault { None, Lower, NoMarks, NotFound, Slow, Unknown };

Fault faultOf(const QByteArray& name)
{
    if (name.isEmpty())
        return Fault::None;
    if (name == "lower")
        return Fault::Lower;
    if (name == "nomarks")
        return Fault::NoMarks;
    if (name == "404")
        return Fault::NotFound;
    if (name == "slow")
        return Fault::Slow;
    return Fault::Unknown;
}

SandboxResponse answerUpdate(const SandboxRequest& request, Fault fault)
{
    const QByteArray kind = request.queryValue("update");
    if (UpdateService::fileOf(kind).isEmpty())
        return SandboxResponse::page(400, "Bad Request", "Bad Request",
                                     "The update service knows the kinds categories, ranking, engines and mandata.");
    switch (fault) {
    case Fault::NotFound:
    case Fault::Unknown:
        return SandboxRouter::notFound();
    case Fault::Slow:
        return SandboxResponse::stall();
    case Fault::NoMarks:
        return SandboxResponse::page(200, "OK", "Update Service",
                                     "Your subscription could not be verified. Please log in again.");
    case Fault::Lower:
    case Fault::None:
        break;
    }
    QByteArray list = UpdateService::framedList(kind, request.localPort);
    if (list.isEmpty())
        return SandboxRouter::notFound();
    if (fault == Fault::Lower) {
        list.replace("//// START ////", "//// start ////");
        list.replace("//// END ////", "//// end ////");
    }
    return textAnswer(list);
}

} // namespace

namespace UpdateService {

void setDataDir(const QString& dir)
{
    g_dataDir = dir;
}

QString dataDir()
{
    return g_dataDir;
}

QString fileOf(const QByteArray& kind)
{
    if (kind == "categories")
        return QStringLiteral("catagory.ist");
    if (kind == "ranking")
        return QStringLiteral("ranking.ist");
    if (kind == "engines")
        return QStringLiteral("data.ist");
    if (kind == "mandata")
        return QStringLiteral("datam.ist");
    return {};
}

QByteArray framedList(const QByteArray& kind, quint16 port)
{
    const QString name = fileOf(kind);
    if (name.isEmpty())
        return {};
    QFile file(g_dataDir.isEmpty() ? QStringLiteral(":/starter-data/") + name : g_dataDir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray lines = file.readAll();
    if (port != 0)
        lines.replace(StarterAddress, "http://127.0.0.1:" + QByteArray::number(port));
    if (!lines.isEmpty() && !lines.endsWith('\n') && !lines.endsWith('\r'))
        lines += "\r\n";
    return "//// START ////\r\n" + lines + "//// END ////\r\n";
}

void addPaths(SandboxRouter& router)
{
    // The service's root is the sandbox's home page, told apart by the query.
    router.addQueryField("/", "action=dbupdate", [](const SandboxRequest& r) { return answerUpdate(r, Fault::None); });
    router.addPrefix(UpdatePrefix, [](const SandboxRequest& r) {
        if (!r.query.split('&').contains("action=dbupdate"))
            return SandboxRouter::notFound();
        QByteArray name = r.path.mid(UpdatePrefix.size());
        if (name.endsWith('/'))
            name.chop(1);
        const int dash = name.indexOf('-');
        if (dash >= 0) {
            // "<switch>-<kind>": only that kind is switched.
            const QByteArray onlyKind = name.mid(dash + 1);
            if (fileOf(onlyKind).isEmpty())
                return SandboxRouter::notFound();
            if (r.queryValue("update") != onlyKind)
                return answerUpdate(r, Fault::None);
            name.truncate(dash);
        }
        return answerUpdate(r, faultOf(name));
    });
}

} // namespace UpdateService
