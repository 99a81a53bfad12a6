#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// Every message box, file dialog and "open with the desktop's handler" goes
// through here, so a test can replace them with a scripted handler that
// records each call and answers from a queue.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum Button { Ok = 0x1, Yes = 0x2, No = 0x4, Cancel = 0x8 };
    enum class FileKind { Open, Save, Folder };

    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual int message(QWidget* parent, const QString& caption, const QString& text, Icon icon, int buttons) = 0;
        virtual QString fileName(QWidget* parent, FileKind kind, const QString& caption, const QString& directory,
                                 const QString& filter) = 0;
        virtual bool openUrl(const QUrl& url) = 0;
    };

    // The handler in force; nullptr restores the real dialogs.
    static void setHandler(Handler* handler);
    static Handler* handler();

    static int message(QWidget* parent, const QString& caption, const QString& text, Icon icon, int buttons);

    // A refusal of user input: one "OK", warning icon.
    static void warning(QWidget* parent, const QString& caption, const QString& text);
    // A confirmation: "Yes"/"No", question icon; true for "Yes".
    static bool confirm(QWidget* parent, const QString& caption, const QString& text);
    // A notice: one "OK", no icon.
    static void notice(QWidget* parent, const QString& caption, const QString& text);
    // An error raised by a command: the application title as caption, the
    // error icon, one "OK"; a full stop is added as the error rule says.
    static void error(QWidget* parent, const QString& text);

    static QString openFileName(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter);
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter);
    // A folder to write into; empty when the user cancels.
    static QString folderName(QWidget* parent, const QString& caption, const QString& directory);
    static bool openUrl(const QUrl& url);

    // The error rule's full stop: added when the text ends with a character
    // that sorts after ".", such as a letter.
    static QString withFullStop(const QString& text);
    // Stored texts break lines with LF then CR (a few with CR LF); a message
    // box wants LF alone.
    static QString displayText(const QString& text);
};
