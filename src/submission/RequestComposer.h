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

// Builds an engine's request from its line and the Project: every non-empty
// parameter field names the parameter that carries one Project value.
ComposedRequest ComposeRequest(const EngineLine& engine, const RunProject& project, const CategoryMap& categories);

// The query as it goes on the wire: every space becomes "+".
QString transmissionForm(const QString& query);
