#pragma once

#include <QList>
#include <QString>

#include <array>

// The fields of a Project as the editor holds them; the name is the key.
enum class ProjectField {
    SessionName,
    Url,
    Title,
    Email,
    Description,
    Category,
    FirstName,
    LastName,
    Company,
    Address1,
    Address2,
    Country,
    City,
    State,
    Phone,
    Fax,
    Zip,
    Keywords,
    // Beyond the original record: the site's IndexNow key, stored last,
    // and where its key file is published when not at the site's top.
    IndexNowKey,
    IndexNowKeyLocation,
};

// One Project: every field is text.
class ProjectRecord
{
public:
    static constexpr int FieldCount = static_cast<int>(ProjectField::IndexNowKeyLocation) + 1;

    QString value(ProjectField field) const { return m_values[static_cast<size_t>(field)]; }
    void setValue(ProjectField field, const QString& text) { m_values[static_cast<size_t>(field)] = text; }

    // The key a field is stored under in its Project file (empty for the name).
    static QString key(ProjectField field);
    // The keys a save writes, in the order it writes them.
    static const QList<ProjectField>& writeOrder();
    // The keys a load reads, in the order it reads them.
    static const QList<ProjectField>& loadOrder();

    bool operator==(const ProjectRecord& other) const { return m_values == other.m_values; }

private:
    std::array<QString, FieldCount> m_values;
};
