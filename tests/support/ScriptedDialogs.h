#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QUrl>

// Replaces the real dialogs while it lives: records every call and answers
// from queues. A dialog nobody queued an answer for fails the running test
// (and answers "No"/"Cancel"/empty) instead of hanging it.
class ScriptedDialogs : public Dialogs::Handler
{
public:
    struct Call
    {
        enum Kind { Message, OpenFile, SaveFile, Folder, OpenUrl } kind = Message;
        QString caption;
        QString text;
        Dialogs::Icon icon = Dialogs::Icon::None;
        int buttons = 0;
        QUrl url;
        // File dialogs: the start directory (or proposed path) and the filter.
        QString directory;
        QString filter;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Queue the answer to the next message box (Dialogs::Ok, Yes, No ...).
    void answer(int button) { m_answers.enqueue(button); }
    // Queue the answer to the next file dialog; empty means cancelled.
    void answerFile(const QString& path) { m_files.enqueue(path); }
    // Message boxes with only "OK" are answered without being queued.
    void setAutoOk(bool on) { m_autoOk = on; }

    const QList<Call>& calls() const { return m_calls; }
    QList<Call> messages() const;
    Call lastMessage() const;
    int pendingAnswers() const { return m_answers.size() + m_files.size(); }
    void clear() { m_calls.clear(); }

    int message(QWidget* parent, const QString& caption, const QString& text, Dialogs::Icon icon,
                int buttons) override;
    QString fileName(QWidget* parent, Dialogs::FileKind kind, const QString& caption, const QString& directory,
                     const QString& filter) override;
    bool openUrl(const QUrl& url) override;

private:
    Dialogs::Handler* m_previous;
    QList<Call> m_calls;
    QQueue<int> m_answers;
    QQueue<QString> m_files;
    bool m_autoOk = true;
};
