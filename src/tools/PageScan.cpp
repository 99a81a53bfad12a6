#include "PageScan.h"

#include "settings/TextCodec.h"

#include <cstring>

namespace {

const QByteArray KeywordsTag = QByteArrayLiteral("<META NAME=\"KEYWORDS\"");
const QByteArray ContentAttr = QByteArrayLiteral("CONTENT=");

bool holdsLinkOrBody(const QByteArray& upper)
{
    return upper.contains("<A") || upper.contains("<F") || upper.contains("<B");
}

} // namespace

namespace PageScan {

QByteArray asciiUpper(const QByteArray& text)
{
    QByteArray out(text);
    char* p = out.data();
    for (qsizetype i = 0, n = out.size(); i < n; ++i) {
        if (p[i] >= 'a' && p[i] <= 'z')
            p[i] = static_cast<char>(p[i] - 'a' + 'A');
    }
    return out;
}

QString decodeValue(const QByteArray& value)
{
    return decodeText(value);
}

QByteArray blockText(const char* buffer, int len)
{
    if (!buffer || len <= 0)
        return QByteArray();
    const void* nul = std::memchr(buffer, 0, static_cast<size_t>(len));
    const int size = nul ? static_cast<int>(static_cast<const char*>(nul) - buffer) : len;
    QByteArray text(buffer, size);
    text.replace('\n', QByteArray());
    text.replace('\r', QByteArray());
    return text;
}

QList<QByteArray> splitLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c != '\n' && c != '\r')
            continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(bytes.mid(start));
    return lines;
}

Cut valueCut(const QByteArray& text)
{
    Cut cut;
    QByteArray t = text;
    if (t.startsWith('"'))
        t.remove(0, 1);
    if (t.isEmpty())
        return cut;
    // The last character is never examined as a terminator.
    for (qsizetype i = 0; i + 1 < t.size(); ++i) {
        const char c = t.at(i);
        if (c == '"' || c == '>') {
            cut.value = t.left(i);
            cut.terminated = true;
            return cut;
        }
    }
    cut.value = t.left(t.size() - 1);
    // The dropped last character may itself be the end of the value.
    cut.terminated = t.endsWith('"') || t.endsWith('>');
    return cut;
}

} // namespace PageScan

void KeywordList::clear()
{
    m_items.clear();
    m_last.clear();
}

QByteArray KeywordList::split(QByteArray value)
{
    qsizetype comma;
    while ((comma = value.indexOf(',')) >= 0) {
        const QByteArray item = value.left(comma);
        if (m_items.isEmpty())
            m_items = item;
        else
            m_items += ", " + item;
        value.remove(0, comma + 1);
        if (value.size() > 2 && value.startsWith(' '))
            value.remove(0, 1);
    }
    // The last item joins the others with ", " like them, so one blank after its comma goes.
    m_last = value.startsWith(' ') ? value.mid(1) : value;
    return value;
}

QByteArray KeywordList::text() const
{
    if (m_last.isEmpty())
        return m_items;
    if (m_items.isEmpty())
        return m_last;
    return m_items + ", " + m_last;
}

void PageScanner::reset()
{
    m_head.clear();
    m_title.clear();
    m_description.clear();
    m_keywords.clear();
    m_pending = false;
}

void PageScanner::clearHead()
{
    m_head.clear();
    m_pending = false;
}

void PageScanner::scanTitle(const QByteArray& upper)
{
    if (!m_options.title)
        return;
    const qsizetype p = upper.indexOf("<TITLE>");
    if (p < 0)
        return;
    const qsizetype q = upper.indexOf("</TITLE>");
    const qsizetype count = q - p - 7;
    m_title = count > 0 ? m_head.mid(p + 7, count) : QByteArray();
}

void PageScanner::takeKeywords(int tagStart, int valueStart, bool contentFound)
{
    const PageScan::Cut cut = PageScan::valueCut(m_head.mid(valueStart));
    // A value cut off by the end of what has arrived waits for the rest, so
    // no item is lost or split at a block boundary.
    if ((!cut.terminated || !contentFound) && m_head.size() - tagStart <= MaxPendingValue) {
        m_pending = true;
        return;
    }
    m_pending = false;
    const QByteArray rest = m_keywords.split(cut.value);
    m_head = "<META NAME=\"KEYWORDS\" CONTENT=\"" + rest + '"';
}

void PageScanner::emptyHeadAtLinks()
{
    const QByteArray upper = PageScan::asciiUpper(m_head);
    if (!holdsLinkOrBody(upper))
        return;
    if (m_pending) {
        // Keep the keyword tag whose value is still arriving.
        const qsizetype tag = upper.indexOf(KeywordsTag);
        m_head = tag >= 0 ? m_head.mid(tag) : QByteArray();
        m_pending = tag >= 0;
        return;
    }
    m_head.clear();
}

void PageScanner::streamBlock(const QByteArray& block)
{
    m_head += block;
    const QByteArray upper = PageScan::asciiUpper(m_head);
    scanTitle(upper);
    if (m_options.description && upper.contains("<META NAME=\"DESCRIPTION\"")) {
        const qsizetype d = upper.indexOf("\"DESCRIPTION\"") + 13;
        qsizetype c = upper.indexOf(ContentAttr, d);
        c = c < 0 ? 0 : c - d;
        m_description = PageScan::valueCut(m_head.mid(d + c + 8)).value;
    }
    m_pending = false;
    if (m_options.keywords && upper.contains(KeywordsTag)) {
        const qsizetype k = upper.indexOf("\"KEYWORDS\"") + 10;
        const qsizetype c = upper.indexOf(ContentAttr, k);
        const qsizetype tag = upper.indexOf(KeywordsTag);
        takeKeywords(static_cast<int>(tag), static_cast<int>(c < 0 ? k + 8 : c + 8), c >= 0);
    }
    emptyHeadAtLinks();
}

void PageScanner::fileLine(const QByteArray& line, const std::function<void()>& between)
{
    m_head += line;
    m_head.replace('\n', QByteArray());
    m_head.replace('\r', QByteArray());
    const QByteArray upper = PageScan::asciiUpper(m_head);
    scanTitle(upper);
    if (m_options.description && upper.contains("<META NAME=\"DESCRIPTION\" CONTENT=")) {
        const qsizetype d = upper.indexOf("ESCRIPTION\" CONTENT=");
        m_description = PageScan::valueCut(m_head.mid(d + 20)).value;
    }
    if (!m_options.keywords || !upper.contains(KeywordsTag))
        return;
    m_pending = false;
    const qsizetype k = upper.indexOf("EYWORDS\" CONTENT=");
    if (k >= 0)
        takeKeywords(static_cast<int>(upper.indexOf(KeywordsTag)), static_cast<int>(k + 17), true);
    if (between)
        between();
    emptyHeadAtLinks();
}

void PageScanner::finish()
{
    if (m_pending) {
        const QByteArray upper = PageScan::asciiUpper(m_head);
        qsizetype start = upper.indexOf("\"KEYWORDS\"");
        if (start >= 0) {
            start += 10;
            const qsizetype c = upper.indexOf(ContentAttr, start);
            m_keywords.split(PageScan::valueCut(m_head.mid(c < 0 ? start + 8 : c + 8)).value);
        }
    }
    m_pending = false;
    m_head.clear();
}
