#pragma once

#include <QString>

class CategoryMap;
class EngineLine;
class RunProject;

// Where one engine's request goes and what it carries.
struct ComposedRequest
{
    QString address;   // the engine's submit address, unchanged
    QString query;     // the parameters, before spaces become "+"
    QString referrer;  // the engine's site address
    bool post = false; // "POST" exactly in the method field
};

// The Project values a request carries, each as it goes into the query.
// Taken once per Project: a run composes thousands of requests from them.
struct RequestValues
{
    RequestValues() = default;
    explicit RequestValues(const RunProject& project);

    QString title;       // "&" already encoded
    QString description; // "&" already encoded
    QString url, email, category, name, last, company, address1, address2, city, state, zip, phone, fax,
        keywords, country;
};

// Builds an engine's request from its line and the Project: every non-empty
// parameter field names the parameter that carries one Project value.
ComposedRequest ComposeRequest(const EngineLine& engine, const RunProject& project, const CategoryMap& categories);
ComposedRequest ComposeRequest(const EngineLine& engine, const RequestValues& values, const CategoryMap& categories);

// The query as it goes on the wire: every space becomes "+".
QString transmissionForm(const QString& query);

// The address of a GET request: `address`, "?", then the query in its
// transmission form (the address keeps its own spaces).
QString getAddress(const QString& address, const QString& query);
