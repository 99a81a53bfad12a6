#include "EngineType.h"

EngineKind engineKind(const QString& type)
{
    if (type.contains(QLatin1String("BATCH")))
        return EngineKind::Batch;
    if (type == QLatin1String("ENGINE"))
        return EngineKind::Engine;
    if (type == QLatin1String("CLASSIFIED"))
        return EngineKind::Classified;
    if (type == QLatin1String("FFA"))
        return EngineKind::Ffa;
    if (type == QLatin1String("Custom->Engine"))
        return EngineKind::CustomEngine;
    if (type == QLatin1String("Custom->Classified"))
        return EngineKind::CustomClassified;
    if (type == QLatin1String("Custom->FFA"))
        return EngineKind::CustomFfa;
    if (type == QLatin1String("IndexNow"))
        return EngineKind::IndexNow;
    return EngineKind::Other;
}

int batchCount(const QString& type)
{
    const qsizetype arrow = type.indexOf(QLatin1String("->"));
    if (arrow < 0)
        return 1;
    bool ok = false;
    const int n = QStringView(type).mid(arrow + 2).toInt(&ok);
    return ok ? n : 1;
}

int submissionWeight(const QString& type)
{
    return engineKind(type) == EngineKind::Batch ? batchCount(type) : 1;
}
