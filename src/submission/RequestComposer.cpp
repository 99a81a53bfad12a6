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

    // The query is gathered as pieces and joined once: thousands of requests are composed in a run.
    // At most 3 pieces for the title, 4 for each of the 16 other parameters, the category value and
    // the fixed parameters.
    constexpr int MaxPieces = 3 + 16 * 4 + 2;
    QStringView pieces[MaxPieces];
    int count = 0;
    qsizetype size = 0;
    auto add = [&pieces, &count, &size](QStringView piece) {
        Q_ASSERT(count < MaxPieces);
        pieces[count++] = piece;
        size += piece.size();
    };
    auto param = [&engine, &add](int field, const QString& value) {
        const QStringView name = engine.fieldView(field);
        if (!name.isEmpty()) {
            add(u"&");
            add(name);
            add(u"=");
            add(value);
        }
    };

    if (const QStringView name = engine.fieldView(EngineLine::TitleParam); !name.isEmpty()) {
        add(name);
        add(u"=");
        add(values.title);
    }
    param(EngineLine::UrlParam, values.url);
    param(EngineLine::EmailParam, values.email);
    param(EngineLine::DescriptionParam, values.description);
    param(EngineLine::EmptyParam, QString());
    QString category;
    if (const QStringView scheme = engine.fieldView(EngineLine::CategoryScheme); !scheme.isEmpty()) {
        category = categories.lookup(scheme.toString(), values.category);
        add(category);
    }
    param(EngineLine::NameParam, values.name);
    // The category value and the fixed parameters carry their own "&".
    add(engine.fieldView(EngineLine::FixedParams));
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

    request.query = QString(size, Qt::Uninitialized);
    QChar* next = request.query.data();
    for (int i = 0; i < count; ++i)
        next = std::copy(pieces[i].begin(), pieces[i].end(), next);
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
    // On plain code units, so the compiler can do many at a time.
    const auto* in = reinterpret_cast<const char16_t*>(query.constData());
    char16_t* to = reinterpret_cast<char16_t*>(next);
    for (qsizetype i = 0; i < query.size(); ++i)
        to[i] = in[i] == u' ' ? u'+' : in[i];
    return out;
}
