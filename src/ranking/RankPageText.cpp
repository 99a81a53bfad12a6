#include "RankPageText.h"

#include <cstring>

void RankPageText::appendChunk(const char* data, int len)
{
    if (!data || len <= 0)
        return;
    // The chunk is taken as zero-terminated text.
    const void* zero = std::memchr(data, 0, static_cast<size_t>(len));
    const qsizetype size = zero ? static_cast<const char*>(zero) - data : len;
    // The text so far ends with CR LF, so the chunk's lines simply follow it:
    // CR LF, LF or CR end a line; a last line without an ending still gets one.
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        m_text.append(data + start, i - start);
        m_text.append("\r\n", 2);
        if (c == '\r' && i + 1 < size && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size) {
        m_text.append(data + start, size - start);
        m_text.append("\r\n", 2);
    }
}

QByteArray RankPageText::text() const
{
    return m_text.isEmpty() ? QByteArray() : m_text.left(m_text.size() - 2);
}

bool RankPageText::contains(const QString& mark) const
{
    // An empty mark (an empty address, say) would be "found" on every page.
    if (m_text.isEmpty() || mark.isEmpty())
        return false;
    const QByteArrayView page(m_text.constData(), m_text.size() - 2);
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
