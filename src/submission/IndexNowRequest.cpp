#include "IndexNowRequest.h"

#include "EngineLine.h"
#include "RunProject.h"

namespace {

QString encoded(const QString& value)
{
    return QString::fromLatin1(value.toUtf8().toPercentEncoding());
}

} // namespace

QString indexNowKeyName()
{
    return QStringLiteral("indexnowkey");
}

ComposedRequest ComposeIndexNowRequest(const EngineLine& engine, const RunProject& project)
{
    ComposedRequest request;
    request.address = engine.field(EngineLine::SubmitUrl);
    request.referrer = engine.field(EngineLine::SiteUrl);
    request.post = false;
    request.query = QStringLiteral("url=") + encoded(project.value(QStringLiteral("url"))) + QStringLiteral("&key=") +
                    encoded(project.value(indexNowKeyName()));
    return request;
}

QString indexNowStatusText(int code)
{
    switch (code) {
    case 200:
        return QStringLiteral("OK");
    case 202:
        return QStringLiteral("Accepted");
    case 400:
        return QStringLiteral("Bad Request");
    case 403:
        return QStringLiteral("Forbidden");
    case 422:
        return QStringLiteral("Unprocessable Entity");
    case 429:
        return QStringLiteral("Too Many Requests");
    default:
        return QStringLiteral("HTTP %1").arg(code);
    }
}
