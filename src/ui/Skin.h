#pragma once

#include <QString>

class QWidget;

// The skin is a Qt style sheet in ProgramDir/skin.skn; a missing or
// unreadable file leaves the default look.
void applySkin(QWidget* window, const QString& programDir);
