#pragma once

#include <QHash>
#include <QString>

// The values of the Project being submitted, read once from its file when
// its submission starts, so a save during the run does not change them.
class RunProject
{
public:
    RunProject() = default;

    // Reads section `name` of the Project file; a missing file or key gives
    // empty values.
    static RunProject read(const QString& projectFile, const QString& name);

    QString name() const { return m_name; }
    // A value by its key in the Project file (url, title, key1 ...).
    QString value(const QString& key) const { return m_values.value(key); }
    void setValue(const QString& key, const QString& value) { m_values.insert(key, value); }
    void setName(const QString& name) { m_name = name; }

private:
    QString m_name;
    QHash<QString, QString> m_values;
};
