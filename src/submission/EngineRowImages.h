#pragma once

#include "RowImage.h"

#include <QIcon>

// The row-state images of the engine view (ImageList1), drawn here.

namespace EngineRowImages {

inline constexpr int Size = 16;

// The image at an index of the list, drawn afresh (callers keep it); a null
// icon for None.
QIcon icon(RowImage image);
// The same picture as an image, for code that has no GUI application.
QImage image(RowImage image);

} // namespace EngineRowImages
