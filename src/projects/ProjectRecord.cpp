#include "ProjectRecord.h"

QString ProjectRecord::key(ProjectField field)
{
    switch (field) {
    case ProjectField::SessionName:
        return QString();
    case ProjectField::Url:
        return QStringLiteral("url");
    case ProjectField::Title:
        return QStringLiteral("title");
    case ProjectField::Email:
        return QStringLiteral("email");
    case ProjectField::Description:
        return QStringLiteral("description");
    case ProjectField::Category:
        return QStringLiteral("catagory");
    case ProjectField::FirstName:
        return QStringLiteral("name");
    case ProjectField::LastName:
        return QStringLiteral("last");
    case ProjectField::Company:
        return QStringLiteral("company");
    case ProjectField::Address1:
        return QStringLiteral("address1");
    case ProjectField::Address2:
        return QStringLiteral("address2");
    case ProjectField::Country:
        return QStringLiteral("country");
    case ProjectField::City:
        return QStringLiteral("city");
    case ProjectField::State:
        return QStringLiteral("state");
    case ProjectField::Phone:
        return QStringLiteral("phone");
    case ProjectField::Fax:
        return QStringLiteral("fax");
    case ProjectField::Zip:
        return QStringLiteral("zip");
    case ProjectField::Keywords:
        return QStringLiteral("key1");
    case ProjectField::IndexNowKey:
        return QStringLiteral("indexnowkey");
    case ProjectField::IndexNowKeyLocation:
        return QStringLiteral("indexnowkeylocation");
    }
    return QString();
}

const QList<ProjectField>& ProjectRecord::writeOrder()
{
    // The zip code is written too (between fax and the keywords): the editor
    // holds it and the submission run sends it, so leaving it out lost it.
    static const QList<ProjectField> order = {
        ProjectField::Url,      ProjectField::Title,     ProjectField::Email,    ProjectField::Description,
        ProjectField::Category, ProjectField::FirstName, ProjectField::LastName, ProjectField::Company,
        ProjectField::Address1, ProjectField::Address2,  ProjectField::Country,  ProjectField::City,
        ProjectField::State,    ProjectField::Phone,     ProjectField::Fax,      ProjectField::Zip,
        ProjectField::Keywords, ProjectField::IndexNowKey, ProjectField::IndexNowKeyLocation,
    };
    return order;
}

const QList<ProjectField>& ProjectRecord::loadOrder()
{
    static const QList<ProjectField> order = {
        ProjectField::Url,      ProjectField::Category,  ProjectField::Title,    ProjectField::Description,
        ProjectField::Email,    ProjectField::FirstName, ProjectField::LastName, ProjectField::Company,
        ProjectField::Address1, ProjectField::Address2,  ProjectField::Country,  ProjectField::City,
        ProjectField::State,    ProjectField::Phone,     ProjectField::Fax,      ProjectField::Zip,
        ProjectField::Keywords, ProjectField::IndexNowKey, ProjectField::IndexNowKeyLocation,
    };
    return order;
}
