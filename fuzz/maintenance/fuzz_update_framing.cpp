// Feeds arbitrary bytes as a downloaded list through the framing rules, and
// the first line as a login value through the query rule: removing the marks
// keeps the number of lines, a list without the exact marks is never
// complete, a framed list never holds a mark line or more lines than the
// body, the line check never counts more bad lines than lines, and an encoded
// login cannot add a field or end the query.
#include "maintenance/UpdateFraming.h"

#include <cstdint>
#include <cstdlib>

namespace UF = UpdateFraming;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = UF::bodyLines(bytes);
    const bool complete = UF::isComplete(lines);
    const QString text = lines.join(QLatin1Char('\n'));
    if (complete != (text.contains(UF::StartMark) && text.contains(UF::EndMark)))
        std::abort();
    if (UF::removeMarks(lines).size() != lines.size())
        std::abort();

    if (const std::optional<QStringList> framed = UF::framedLines(bytes)) {
        if (framed->size() > lines.size())
            std::abort();
        for (const QString& line : *framed)
            if (line.startsWith(UF::EndMark))
                std::abort();
        for (const UF::LineRule rule : {UF::LineRule::Engine, UF::LineRule::Rank}) {
            const UF::LineCheck check = UF::checkLines(*framed, rule);
            if (check.bad > check.nonEmpty || (check.bad > 0) != (check.firstBad > 0))
                std::abort();
        }
    }

    const QString value = lines.value(0);
    const QString query = UF::query(QStringLiteral("engines"), value, value);
    if (query.count(QLatin1Char('&')) != 4 || query.contains(QLatin1Char('#')) || query.contains(QLatin1Char(' ')))
        std::abort();
    return 0;
}
