#include "ScriptedDialogs.h"

#include <QTest>

ScriptedDialogs::ScriptedDialogs() : m_previous(Dialogs::handler())
{
    Dialogs::setHandler(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    Dialogs::setHandler(m_previous);
}

QList<ScriptedDialogs::Call> ScriptedDialogs::messages() const
{
    QList<Call> out;
    for (const Call& call : m_calls) {
        if (call.kind == Call::Message)
            out.append(call);
    }
    return out;
}

ScriptedDialogs::Call ScriptedDialogs::lastMessage() const
{
    const QList<Call> all = messages();
    return all.isEmpty() ? Call{} : all.last();
}

int ScriptedDialogs::message(QWidget*, const QString& caption, const QString& text, Dialogs::Icon icon, int buttons)
{
    m_calls.append({Call::Message, caption, text, icon, buttons, {}, {}, {}});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    if (m_autoOk && buttons == Dialogs::Ok)
        return Dialogs::Ok;
    QTest::qFail(qPrintable(QStringLiteral("unexpected dialog \"%1\": %2").arg(caption, text)), __FILE__, __LINE__);
    return (buttons & Dialogs::No) ? Dialogs::No : Dialogs::Cancel;
}

QString ScriptedDialogs::fileName(QWidget*, Dialogs::FileKind kind, const QString& caption, const QString& directory,
                                  const QString& filter)
{
    const Call::Kind callKind = kind == Dialogs::FileKind::Open   ? Call::OpenFile
                                : kind == Dialogs::FileKind::Save ? Call::SaveFile
                                                                  : Call::Folder;
    m_calls.append({callKind, caption, {}, {}, 0, {}, directory, filter});
    if (!m_files.isEmpty())
        return m_files.dequeue();
    QTest::qFail(qPrintable(QStringLiteral("unexpected file dialog \"%1\"").arg(caption)), __FILE__, __LINE__);
    return QString();
}

bool ScriptedDialogs::openUrl(const QUrl& url)
{
    m_calls.append({Call::OpenUrl, {}, {}, {}, 0, url, {}, {}});
    return true;
}
