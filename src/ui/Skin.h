#pragma once

#include <QString>

class QWidget;

// The skin is a Qt style sheet in ProgramDir/skin.skn; a missing or
// unreadable file leaves the default look. Only a regular file is read, and
// none above SkinMaxBytes: a huge sheet would take minutes to apply.
enum class SkinResult { Applied, Missing, TooLarge };

inline constexpr long long SkinMaxBytes = 1024 * 1024;

SkinResult applySkin(QWidget* window, const QString& programDir);
