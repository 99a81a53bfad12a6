#pragma once

#include <QPointer>
#include <QValidator>

class QLineEdit;

// Limits what the user types into a field to a number of characters, like
// a maximum length, without cutting a longer text that the program puts
// there (QLineEdit's own maximum length would cut a loaded value, and the
// next save would lose the rest).
class TypingLimitValidator : public QValidator
{
    Q_OBJECT

public:
    TypingLimitValidator(int limit, QLineEdit* edit);

    int limit() const { return m_limit; }
    State validate(QString& input, int& pos) const override;

private:
    int m_limit;
    int m_lastLength = 0;
    QPointer<QLineEdit> m_edit;
};
