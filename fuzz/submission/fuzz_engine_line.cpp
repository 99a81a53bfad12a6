// Feeds arbitrary bytes as a data.ist file: every line is read by both field
// readers, which must agree, and the database built from the lines must be
// sorted, free of duplicates and find every name it holds.
#include "submission/EngineDatabase.h"
#include "submission/EngineLine.h"
#include "submission/EngineType.h"
#include "submission/ListFile.h"

#include "settings/TextCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = splitListLines(decodeText(bytes));
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
        const EngineLine engine(line);
        const bool hasValue = line.contains(QLatin1Char('='));
        if (hasValue && engine.name().contains(QLatin1Char('=')))
            std::abort();
        if (engine.name() != EngineLine::nameOf(line))
            std::abort();
        const QStringView value = EngineLine::valueOf(line);
        for (int pos = 0; pos <= EngineLine::FieldCount + 1; ++pos) {
            const QString field = engine.field(pos);
            if (field.contains(QLatin1Char('|')) || engine.fieldView(pos) != field)
                std::abort();
            if (hasValue && EngineLine::fieldOf(value, pos).toString() != field)
                std::abort();
        }
        const QString type = engine.type();
        const EngineKind kind = engineKind(type);
        if (kind != EngineKind::Batch && submissionWeight(type) != 1)
            std::abort();
        (void)batchCount(type);
    }

    EngineDatabase db;
    db.setLines(lines);
    if (db.count() > lines.size())
        std::abort();
    for (int i = 1; i < db.count(); ++i) {
        if (EngineDatabase::compareLines(db.line(i - 1), db.line(i)) >= 0)
            std::abort();
    }
    for (int i = 0; i < db.count(); ++i) {
        const int found = db.indexOf(EngineLine::nameOf(db.line(i)));
        if (found < 0 || found > i)
            std::abort();
    }
    return 0;
}
