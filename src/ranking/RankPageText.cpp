#include "RankPageText.h"

#include <cstring>

void RankPageText::appendChunk(const char* data, int len)
{
    if (!data || len <= 0)
        return;
    // The chunk is taken as zero-terminated text.
    const void* zero = std::memchr(data, 0, static_cast<size_t>(len));
    const qsizetype size = zero ? static_cast<const char*>(zero) - data : len;
    if (size == 0)
        return;
    // A chunk goes on where the last one stopped, whatever cut the page
    // there. CR LF, LF or CR end a line; a CR LF cut in two is one line end.
    qsizetype start = 0;
    if (m_pendingCr && data[0] == '\n')
        start = 1;
    m_pendingCr = false;
    for (qsizetype i = start; i < size; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        m_text.append(data + start, i - start);
        m_text.append("\r\n", 2);
        if (c == '\r' && i + 1 == size)
            m_pendingCr = true;
        else if (c == '\r' && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        m_text.append(data + start, size - start);
}

QByteArray RankPageText::text() const
{
    return m_text.endsWith("\r\n") ? m_text.left(m_text.size() - 2) : m_text;
}

bool RankPageText::contains(const QString& mark) const
{
    // An empty mark (an empty address, say) would be "found" on every page.
    if (m_text.isEmpty() || mark.isEmpty())
        return false;
    // A mark holds no line break, so the page's last line end does not matter.
    const QByteArrayView page(m_text);
    const QByteArray utf8 = mark.toUtf8();
    if (page.contains(QByteArrayView(utf8)))
        return true;
    // Only a mark beyond ASCII can differ in Latin-1, and only one Latin-1 can hold.
    bool latin1 = false;
    for (const QChar c : mark) {
        if (c.unicode() > 0xFF)
            return false;
        latin1 = latin1 || c.unicode() > 0x7F;
    }
    return latin1 && page.contains(QByteArrayView(mark.toLatin1()));
}
