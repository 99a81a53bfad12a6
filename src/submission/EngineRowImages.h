#pragma once

#include <QIcon>

// The row-state images of the engine view (ImageList1), drawn here:
// 0 failed, 1 running, 2 finished OK, 3 timed out.
enum class RowImage { None = -1, Failed = 0, Running = 1, Ok = 2, TimedOut = 3 };

namespace EngineRowImages {

inline constexpr int Size = 16;

// The image at an index of the list, drawn afresh (callers keep it); a null
// icon for None.
QIcon icon(RowImage image);
// The same picture as an image, for code that has no GUI application.
QImage image(RowImage image);

} // namespace EngineRowImages
