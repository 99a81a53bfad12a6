#include "RequestComposer.h"

#include "CategoryMap.h"
#include "EngineLine.h"
#include "RunProject.h"

namespace {

QString prepared(QString value)
{
    // Only "&" would end the value early; nothing else is encoded here.
    value.replace(QLatin1Char('&'), QLatin1String("%26"));
    return value;
}

} // namespace

ComposedRequest ComposeRequest(const EngineLine& engine, const RunProject& project, const CategoryMap& categories)
{
    ComposedRequest request;
    request.address = engine.field(EngineLine::SubmitUrl);
    request.referrer = engine.field(EngineLine::SiteUrl);
    request.post = engine.isPost();

    const QString title = prepared(project.value(QStringLiteral("title")));
    const QString description = prepared(project.value(QStringLiteral("description")));

    QString& query = request.query;
    auto param = [&engine, &query](int field, const QString& value) {
        const QString name = engine.field(field);
        if (!name.isEmpty())
            query += QLatin1Char('&') + name + QLatin1Char('=') + value;
    };

    if (const QString name = engine.field(EngineLine::TitleParam); !name.isEmpty())
        query = name + QLatin1Char('=') + title;
    param(EngineLine::UrlParam, project.value(QStringLiteral("url")));
    param(EngineLine::EmailParam, project.value(QStringLiteral("email")));
    param(EngineLine::DescriptionParam, description);
    param(EngineLine::EmptyParam, QString());
    if (const QString scheme = engine.field(EngineLine::CategoryScheme); !scheme.isEmpty())
        query += categories.lookup(scheme, project.value(QStringLiteral("catagory")));
    param(EngineLine::NameParam, project.value(QStringLiteral("name")));
    // The category value and the fixed parameters carry their own "&".
    query += engine.field(EngineLine::FixedParams);
    param(EngineLine::LastNameParam, project.value(QStringLiteral("last")));
    param(EngineLine::CompanyParam, project.value(QStringLiteral("company")));
    param(EngineLine::Address1Param, project.value(QStringLiteral("address1")));
    param(EngineLine::Address2Param, project.value(QStringLiteral("address2")));
    param(EngineLine::CityParam, project.value(QStringLiteral("city")));
    param(EngineLine::StateParam, project.value(QStringLiteral("state")));
    param(EngineLine::ZipParam, project.value(QStringLiteral("zip")));
    param(EngineLine::PhoneParam, project.value(QStringLiteral("phone")));
    param(EngineLine::FaxParam, project.value(QStringLiteral("fax")));
    param(EngineLine::KeywordsParam, project.value(QStringLiteral("key1")));
    param(EngineLine::CountryParam, project.value(QStringLiteral("country")));
    return request;
}

QString transmissionForm(const QString& query)
{
    QString sent = query;
    sent.replace(QLatin1Char(' '), QLatin1Char('+'));
    return sent;
}
