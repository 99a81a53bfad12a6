#pragma once

#include "Dialogs.h"

#include <exception>
#include <utility>

class QWidget;

// Runs one command; an error it raises ends the command and is shown by the
// error rule (Dialogs::error), and the program goes on. Returns false when the
// command raised an error.
template <typename Command>
bool runCommand(QWidget* parent, Command&& command)
{
    try {
        std::forward<Command>(command)();
        return true;
    } catch (const std::exception& e) {
        Dialogs::error(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        Dialogs::error(parent, QStringLiteral("Unknown error"));
    }
    return false;
}
