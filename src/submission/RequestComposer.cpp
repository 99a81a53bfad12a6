#include "RequestComposer.h"

#include "CategoryMap.h"
#include "EngineLine.h"
#include "RunProject.h"

#include <algorithm>

namespace {

QString prepared(QString value)
{
    // Only "&" would end the value early; nothing else is encoded here.
    value.replace(QLatin1Char('&'), QLatin1String("%26"));
    return value;
}

} // namespace

RequestValues::RequestValues(const RunProject& project)
    : title(prepared(project.value(QStringLiteral("title")))),
      description(prepared(project.value(QStringLiteral("description")))),
      url(project.value(QStringLiteral("url"))), email(project.value(QStringLiteral("email"))),
      category(project.value(QStringLiteral("catagory"))), name(project.value(QStringLiteral("name"))),
      last(project.value(QStringLiteral("last"))), company(project.value(QStringLiteral("company"))),
      address1(project.value(QStringLiteral("address1"))), address2(project.value(QStringLiteral("address2"))),
      city(project.value(QStringLiteral("city"))), state(project.value(QStringLiteral("state"))),
      zip(project.value(QStringLiteral("zip"))), phone(project.value(QStringLiteral("phone"))),
      fax(project.value(QStringLiteral("fax"))), keywords(project.value(QStringLiteral("key1"))),
      country(project.value(QStringLiteral("country")))
{
    for (const QString* value : {&title, &description, &url, &email, &name, &last, &company, &address1, &address2,
                                 &city, &state, &zip, &phone, &fax, &keywords, &country})
        totalSize += value->size();
}

ComposedRequest ComposeRequest(const EngineLine& engine, const RunProject& project, const CategoryMap& categories)
{
    return ComposeRequest(engine, RequestValues(project), categories);
}

ComposedRequest ComposeRequest(const EngineLine& engine, const RequestValues& values, const CategoryMap& categories)
{
    ComposedRequest request;
    request.address = engine.field(EngineLine::SubmitUrl);
    request.referrer = engine.field(EngineLine::SiteUrl);
    request.post = engine.isPost();

    QString& query = request.query;
    // Every name and value fits, with room for a category value: one allocation.
    query.reserve(engine.value().size() + values.totalSize + 64);
    auto param = [&engine, &query](int field, const QString& value) {
        const QStringView name = engine.fieldView(field);
        if (!name.isEmpty())
            query.append(QLatin1Char('&')).append(name).append(QLatin1Char('=')).append(value);
    };

    if (const QStringView name = engine.fieldView(EngineLine::TitleParam); !name.isEmpty())
        query.append(name).append(QLatin1Char('=')).append(values.title);
    param(EngineLine::UrlParam, values.url);
    param(EngineLine::EmailParam, values.email);
    param(EngineLine::DescriptionParam, values.description);
    param(EngineLine::EmptyParam, QString());
    if (const QStringView scheme = engine.fieldView(EngineLine::CategoryScheme); !scheme.isEmpty())
        query.append(categories.lookup(scheme.toString(), values.category));
    param(EngineLine::NameParam, values.name);
    // The category value and the fixed parameters carry their own "&".
    query.append(engine.fieldView(EngineLine::FixedParams));
    param(EngineLine::LastNameParam, values.last);
    param(EngineLine::CompanyParam, values.company);
    param(EngineLine::Address1Param, values.address1);
    param(EngineLine::Address2Param, values.address2);
    param(EngineLine::CityParam, values.city);
    param(EngineLine::StateParam, values.state);
    param(EngineLine::ZipParam, values.zip);
    param(EngineLine::PhoneParam, values.phone);
    param(EngineLine::FaxParam, values.fax);
    param(EngineLine::KeywordsParam, values.keywords);
    param(EngineLine::CountryParam, values.country);
    return request;
}

QString transmissionForm(const QString& query)
{
    QString sent = query;
    sent.replace(QLatin1Char(' '), QLatin1Char('+'));
    return sent;
}

QString getAddress(const QString& address, const QString& query)
{
    QString out(address.size() + 1 + query.size(), Qt::Uninitialized);
    QChar* next = std::copy(address.cbegin(), address.cend(), out.data());
    *next++ = QLatin1Char('?');
    std::replace_copy(query.cbegin(), query.cend(), next, QChar(u' '), QChar(u'+'));
    return out;
}
