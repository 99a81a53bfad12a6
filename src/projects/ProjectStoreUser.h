#pragma once

#include <QString>

// What the project store asks of whoever uses it: the window answers with
// message boxes and a progress window, a command-line caller by itself.
class ProjectStoreUser
{
public:
    virtual ~ProjectStoreUser() = default;

    // A refusal: the operation has ended.
    virtual void warn(const QString& caption, const QString& text) = 0;
    // A yes/no question; false ends the operation.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
    // Long work: `total` items, reported between units of work.
    virtual void progressBegin(const QString& caption, int total) = 0;
    virtual void progressStep(const QString& item, int done) = 0;
    virtual void progressEnd() = 0;
    // An error of work that ran after the command that started it returned.
    virtual void reportError(const QString& text) = 0;
};
