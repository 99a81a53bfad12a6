#pragma once

#include "ProjectRecord.h"

#include <QString>

// Where the store reads and writes the Project being edited: the editor page
// in the program, any holder of texts in a test.
class ProjectFields
{
public:
    virtual ~ProjectFields() = default;
    virtual QString fieldText(ProjectField field) const = 0;
    // Setting a field runs its change rules.
    virtual void setFieldText(ProjectField field, const QString& text) = 0;
};
