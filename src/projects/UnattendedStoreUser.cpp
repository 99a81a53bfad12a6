#include "UnattendedStoreUser.h"

namespace {

// Stored texts break lines with LF then CR; one line per message here.
QString oneLine(const QString& caption, const QString& text)
{
    QString flat = text;
    flat.replace(QLatin1String("\n\r"), QLatin1String(" "));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return caption.isEmpty() ? flat : caption + QStringLiteral(": ") + flat;
}

} // namespace

void UnattendedStoreUser::warn(const QString& caption, const QString& text)
{
    m_errors << oneLine(caption, text);
}

bool UnattendedStoreUser::confirm(const QString& caption, const QString& text)
{
    m_questions << oneLine(caption, text);
    return m_confirmAnswer;
}

void UnattendedStoreUser::progressBegin(const QString&, int total)
{
    m_total = total;
    m_shown = true;
}

void UnattendedStoreUser::progressStep(const QString&, int done)
{
    m_steps << done;
}

void UnattendedStoreUser::progressEnd()
{
    m_shown = false;
}

void UnattendedStoreUser::reportError(const QString& text)
{
    m_errors << oneLine(QString(), text);
}
