// Feeds arbitrary bytes as a datam.ist file through the reading rules, then
// checks that the writing rule reads back: fields without line breaks are
// kept whole wherever they contain the delimiter or quotes, as long as the
// last field neither starts nor ends with a quote.
#include "submission/ListFile.h"
#include "submission/ManualList.h"

#include "settings/TextCodec.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool roundTrips(const QStringList& fields)
{
    if (fields.isEmpty())
        return false;
    const QString& last = fields.last();
    if (last.isEmpty() || last.startsWith(u'"') || last.endsWith(u'"'))
        return false;
    for (const QString& field : fields) {
        if (field.contains(u'\r') || field.contains(u'\n'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = splitListLines(decodeText(bytes));
    QChar delimiter;
    const QVector<QStringList> rows = ManualList::parseLines(lines, delimiter);
    if (rows.size() != lines.size() || delimiter.isNull())
        std::abort();
    bool candidate = false;
    for (char16_t c : ManualList::Candidates)
        candidate = candidate || delimiter == QChar(c);
    if (!candidate)
        std::abort();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QStringList& fields = rows.at(i);
        if (fields.size() > lines.at(i).size() + 1)
            std::abort();
        if (!roundTrips(fields))
            continue;
        const QString line = ManualList::joinLine(fields, delimiter);
        if (ManualList::splitLine(line, delimiter) != fields)
            std::abort();
    }
    return 0;
}
