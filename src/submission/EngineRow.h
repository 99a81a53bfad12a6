#pragma once

#include "EngineType.h"
#include "RowImage.h"

#include <QString>

// One row of the engine view: the cells, its check mark and its state image.
struct EngineRow
{
    QString name;
    QString siteUrl;
    QString result;
    QString date;
    QString type;
    EngineKind kind = EngineKind::Other;
    int weight = 1; // submissions the row stands for: N of a batch type, else 1
    RowImage image = RowImage::None;
    bool checked = false;

    // A fresh, unchecked row with empty result cells and no image.
    static EngineRow fromLine(const QString& line);
};
