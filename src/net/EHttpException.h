#pragma once

#include <QString>

#include <stdexcept>

// The HTTP client's exception: a message and a numeric code.
class EHttpException : public std::runtime_error
{
public:
    enum : int {
        ComponentBusy = 1,
        NothingToPost = 2,
        LineTooLong = 4,
        BadNumber = 5,
        HeaderTooLong = 6,
    };

    EHttpException(const QString& message, int code)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code)
    {
    }

    QString message() const { return m_message; }
    int Code() const { return m_code; }

private:
    QString m_message;
    int m_code;
};
