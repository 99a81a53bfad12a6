#include "Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace {

Dialogs::Handler* g_handler = nullptr;

QMessageBox::Icon toQtIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Error:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int showRealMessage(QWidget* parent, const QString& caption, const QString& text, Dialogs::Icon icon, int buttons)
{
    QMessageBox box(toQtIcon(icon), caption, Dialogs::displayText(text), QMessageBox::NoButton, parent);
    const std::pair<int, QMessageBox::StandardButton> map[] = {
        {Dialogs::Ok, QMessageBox::Ok},
        {Dialogs::Yes, QMessageBox::Yes},
        {Dialogs::No, QMessageBox::No},
        {Dialogs::Cancel, QMessageBox::Cancel},
    };
    for (const auto& [ours, qt] : map) {
        if (buttons & ours)
            box.addButton(qt);
    }
    const int clicked = box.exec();
    for (const auto& [ours, qt] : map) {
        if (clicked == qt)
            return ours;
    }
    // Closed by the window's close box: the safe answer.
    return (buttons & Dialogs::No) ? Dialogs::No : (buttons & Dialogs::Cancel) ? Dialogs::Cancel : Dialogs::Ok;
}

} // namespace

void Dialogs::setHandler(Handler* handler)
{
    g_handler = handler;
}

Dialogs::Handler* Dialogs::handler()
{
    return g_handler;
}

int Dialogs::message(QWidget* parent, const QString& caption, const QString& text, Icon icon, int buttons)
{
    if (g_handler)
        return g_handler->message(parent, caption, text, icon, buttons);
    return showRealMessage(parent, caption, text, icon, buttons);
}

void Dialogs::warning(QWidget* parent, const QString& caption, const QString& text)
{
    message(parent, caption, text, Icon::Warning, Ok);
}

bool Dialogs::confirm(QWidget* parent, const QString& caption, const QString& text)
{
    return message(parent, caption, text, Icon::Question, Yes | No) == Yes;
}

void Dialogs::notice(QWidget* parent, const QString& caption, const QString& text)
{
    message(parent, caption, text, Icon::None, Ok);
}

void Dialogs::error(QWidget* parent, const QString& text)
{
    message(parent, QGuiApplication::applicationDisplayName(), withFullStop(text), Icon::Error, Ok);
}

QString Dialogs::openFileName(QWidget* parent, const QString& caption, const QString& directory,
                              const QString& filter)
{
    if (g_handler)
        return g_handler->fileName(parent, FileKind::Open, caption, directory, filter);
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString Dialogs::saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                              const QString& filter)
{
    if (g_handler)
        return g_handler->fileName(parent, FileKind::Save, caption, directory, filter);
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

QString Dialogs::folderName(QWidget* parent, const QString& caption, const QString& directory)
{
    if (g_handler)
        return g_handler->fileName(parent, FileKind::Folder, caption, directory, QString());
    return QFileDialog::getExistingDirectory(parent, caption, directory);
}

bool Dialogs::openUrl(const QUrl& url)
{
    if (g_handler)
        return g_handler->openUrl(url);
    return QDesktopServices::openUrl(url);
}

QString Dialogs::withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

QString Dialogs::displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    // A few texts break with CR LF instead.
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}
