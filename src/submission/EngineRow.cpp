#include "EngineRow.h"

#include "EngineLine.h"

EngineRow EngineRow::fromLine(const QString& line)
{
    EngineRow row;
    row.name = EngineLine::nameOf(line);
    const QStringView value = EngineLine::valueOf(line);
    row.type = EngineLine::fieldOf(value, EngineLine::Type).toString();
    row.siteUrl = EngineLine::fieldOf(value, EngineLine::SiteUrl).toString();
    row.kind = engineKind(row.type);
    row.weight = row.kind == EngineKind::Batch ? batchCount(row.type) : 1;
    return row;
}
