#pragma once

#include "ProjectStoreUser.h"

#include <QStringList>

// The store's user when nobody sits at the screen: questions take the answer
// the caller chose beforehand, refusals and errors are kept as text.
class UnattendedStoreUser : public ProjectStoreUser
{
public:
    explicit UnattendedStoreUser(bool confirmAnswer) : m_confirmAnswer(confirmAnswer) {}

    void warn(const QString& caption, const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    void progressBegin(const QString& caption, int total) override;
    void progressStep(const QString& item, int done) override;
    void progressEnd() override;
    void reportError(const QString& text) override;

    // "caption: text" of every refusal and error, in order, one per line.
    QString errorText() const { return m_errors.join(QLatin1Char('\n')); }
    QStringList errors() const { return m_errors; }
    // The questions that were answered, "caption: text".
    QStringList questions() const { return m_questions; }
    // The progress reports: total items, and the count done at each step.
    int progressTotal() const { return m_total; }
    QList<int> progressSteps() const { return m_steps; }
    bool progressShown() const { return m_shown; }

private:
    bool m_confirmAnswer;
    QStringList m_errors;
    QStringList m_questions;
    int m_total = -1;
    QList<int> m_steps;
    bool m_shown = false;
};
