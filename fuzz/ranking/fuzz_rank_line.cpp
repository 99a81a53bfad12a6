// Feeds arbitrary bytes as a rank line, a keyword, a site address and the
// chunks of a result page (separated by "\n", the chunks by "\x01"). A parsed
// line must give back the fields it was cut from; the substitutions must agree
// with Qt's own case-insensitive replace; the page text must equal the one the
// rule builds by joining and splitting again after every chunk.
#include "ranking/RankLine.h"
#include "ranking/RankPageText.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray referenceText(const QList<QByteArray>& chunks)
{
    // The chunks go on where the last one stopped (each up to its first zero
    // byte); then every line end, CR LF, CR or LF, becomes one CR LF.
    QByteArray text;
    for (const QByteArray& chunk : chunks)
        text += chunk.left(chunk.indexOf('\0') < 0 ? chunk.size() : chunk.indexOf('\0'));
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines << text.mid(start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines.join("\r\n");
}

QString qtReplace(QString text, const QString& pattern, const QString& value)
{
    if (pattern.isEmpty())
        return text;
    return text.replace(pattern, value, Qt::CaseInsensitive);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = bytes.split('\n');
    const QString line = QString::fromUtf8(parts.value(0));
    const QString keyword = QString::fromUtf8(parts.value(1));
    const QString site = QString::fromUtf8(parts.value(2));

    const RankLineParse parsed = RankLines::parse(line);
    if (parsed.line.has_value() == !parsed.error.isEmpty())
        std::abort();
    if (RankLines::caption(line).contains(QLatin1Char('|')))
        std::abort();
    if (parsed.line) {
        const RankLine& e = *parsed.line;
        const QString rebuilt = e.name + QLatin1Char('|') + e.queryTemplate + QLatin1Char('|') + e.matchTemplate +
                                QLatin1Char('|') + e.addText + QLatin1Char('|') + e.stripText + QLatin1Char('|');
        if (!line.startsWith(rebuilt) || e.name != RankLines::caption(line))
            std::abort();
        if (line.indexOf(QLatin1Char('|'), rebuilt.size()) < 0)
            std::abort();

        const QString query = RankLines::query(e, keyword);
        if (query != qtReplace(e.queryTemplate, QStringLiteral("$query"), keyword))
            std::abort();
        const QString address = RankLines::pageAddress(query, qint64(e.firstOffset) + 190);
        if (address != qtReplace(query, QStringLiteral("$page"), QString::number(qint64(e.firstOffset) + 190)))
            std::abort();
        QString match = qtReplace(e.matchTemplate, QStringLiteral("$add"), e.addText);
        match = qtReplace(match, QStringLiteral("$url"), site);
        match = qtReplace(match, e.stripText, QString());
        if (RankLines::matchText(e, site) != match)
            std::abort();
    }
    (void)RankLines::pagesForTop(keyword);

    const QList<QByteArray> chunks = parts.value(3).split('\x01');
    RankPageText page;
    for (const QByteArray& c : chunks)
        page.appendChunk(c.constData(), static_cast<int>(c.size()));
    const QByteArray text = page.text();
    if (text != referenceText(chunks))
        std::abort();
    // Whatever the page holds verbatim is found, unless a line end stands in it.
    if (!site.isEmpty() && text.contains(site.toUtf8()) && !page.contains(site))
        std::abort();
    return 0;
}
