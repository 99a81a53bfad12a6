#include "TypingLimitValidator.h"

#include <QLineEdit>

TypingLimitValidator::TypingLimitValidator(int limit, QLineEdit* edit) : QValidator(edit), m_limit(limit), m_edit(edit)
{
    m_lastLength = static_cast<int>(edit->text().size());
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_lastLength = static_cast<int>(text.size()); });
    edit->setValidator(this);
}

QValidator::State TypingLimitValidator::validate(QString& input, int&) const
{
    // A text set by the program (setText leaves the field unmodified) is
    // taken whole; only the user's typing is limited.
    if (!m_edit || !m_edit->isModified())
        return Acceptable;
    // An edit that shortens a text already over the limit stays allowed.
    if (input.size() > m_limit && input.size() > m_lastLength)
        return Invalid;
    return Acceptable;
}
