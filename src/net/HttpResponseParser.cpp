#include "net/HttpResponseParser.h"

#include "net/EHttpException.h"

#include <cstring>

namespace {

// A whole decimal number, optionally signed; anything else is refused the way
// the number conversion of the original client refused it.
qint64 decimalValue(const QString& text)
{
    bool ok = false;
    qint64 value = 0;
    int i = 0;
    if (!text.isEmpty() && (text.at(0) == QLatin1Char('+') || text.at(0) == QLatin1Char('-')))
        i = 1;
    ok = i < text.size();
    for (int k = i; ok && k < text.size(); ++k)
        ok = text.at(k) >= QLatin1Char('0') && text.at(k) <= QLatin1Char('9');
    if (ok)
        value = text.toLongLong(&ok);
    if (!ok)
        throw EHttpException(QStringLiteral("'%1' is not a valid integer value").arg(text), EHttpException::BadNumber);
    return value;
}

} // namespace

HttpResponseParser::HttpResponseParser(Handler& handler) : m_handler(handler)
{
    m_buffer[0] = 0;
}

void HttpResponseParser::resetCommon()
{
    ++m_generation;
    m_fill = 0;
    m_pos = 0;
    m_buffer[0] = 0;
    m_mode = Mode::Header;
    m_stopped = false;
    m_headerInProgress = false;
    m_headerLines = 0;
    m_headerBytes = 0;
    code = 0;
    length = -1;
    type.clear();
    m_header = QByteArray();
}

void HttpResponseParser::reset()
{
    resetCommon();
    text.clear();
}

void HttpResponseParser::resetForRedirect()
{
    resetCommon();
}

void HttpResponseParser::stop()
{
    // The buffer stays: a header end under way still hands on what came with the header.
    m_stopped = true;
}

void HttpResponseParser::flush()
{
    if (m_mode != Mode::Body || m_stopped || m_fill == 0)
        return;
    const int len = m_fill;
    m_fill = 0;
    m_handler.bodyChunk(m_buffer, len);
}

char* HttpResponseParser::receiveSpace(int& free)
{
    free = BufferSize - m_fill;
    if (free <= 0)
        throw EHttpException(QStringLiteral("HTTP line too long"), EHttpException::LineTooLong);
    return m_buffer + m_fill;
}

void HttpResponseParser::received(int count)
{
    if (count <= 0 || m_stopped)
        return;
    m_fill += count;
    m_buffer[m_fill] = 0;
    const quint64 generation = m_generation;

    if (m_mode == Mode::Body) {
        const int len = m_fill;
        m_fill = 0;
        m_handler.bodyChunk(m_buffer, len);
        return;
    }

    // Line by line; lines after an "<HTML>" line go to the body handler without their line ends.
    m_pos = 0;
    while (m_pos < m_fill && !m_stopped && generation == m_generation) {
        const char* start = m_buffer + m_pos;
        const void* lf = std::memchr(start, '\n', static_cast<size_t>(m_fill - m_pos));
        if (!lf)
            break;
        const int lineEnd = static_cast<int>(static_cast<const char*>(lf) - m_buffer);
        int len = lineEnd - m_pos;
        if (len > 0 && start[len - 1] == '\r')
            --len;
        m_pos = lineEnd + 1;
        if (m_mode == Mode::Header) {
            // Read in place: the line is used before the buffer changes.
            headerLine(QByteArray::fromRawData(start, len), generation);
        } else {
            // A copy: a chunk is followed by a zero byte.
            const QByteArray line(start, len);
            m_handler.bodyChunk(line.constData(), line.size());
        }
    }
    if (generation != m_generation || m_stopped)
        return;
    const int remaining = m_fill - m_pos;
    if (m_pos > 0 && remaining > 0)
        std::memmove(m_buffer, m_buffer + m_pos, static_cast<size_t>(remaining));
    m_fill = remaining;
    m_pos = 0;
    m_buffer[m_fill] = 0;
}

void HttpResponseParser::headerLine(const QByteArray& line, quint64 generation)
{
    if (m_headerLines == 0) {
        m_headerInProgress = true;
        m_handler.headerBegin();
        if (generation != m_generation || m_stopped)
            return;
    }
    ++m_headerLines;
    // The line feed counts too: it is what the line costs where it is kept.
    m_headerBytes += line.size() + 1;
    if (m_headerBytes > MaxHeaderBytes)
        throw EHttpException(QStringLiteral("HTTP header too long"), EHttpException::HeaderTooLong);

    if (line.size() >= 6 && qstrnicmp(line.constData(), "<HTML>", 6) == 0) {
        if (type.isEmpty())
            type = QStringLiteral("text/html");
        m_mode = Mode::Body;
        m_headerInProgress = false;
        const QByteArray chunk(line.constData(), line.size()); // followed by a zero byte
        m_handler.htmlWithoutHeader();
        if (generation != m_generation || m_stopped)
            return;
        m_handler.bodyChunk(chunk.constData(), chunk.size());
        return;
    }

    if (line.isEmpty()) {
        m_headerInProgress = false;
        const HeaderEndAction action = m_handler.headerEnd();
        if (generation != m_generation)
            return;
        if (action == HeaderEndAction::Stop) {
            stop();
            m_fill = 0;
            m_pos = 0;
            m_buffer[0] = 0;
            return;
        }
        m_mode = Mode::Body;
        // The bytes behind the header, still followed by the buffer's zero byte.
        const char* rest = m_buffer + m_pos;
        const int len = m_fill - m_pos;
        m_fill = 0;
        m_pos = 0;
        if (len > 0)
            m_handler.bodyChunk(rest, len);
        return;
    }

    // Grown in steps rather than doubled, so the buffer stays near the bytes it holds.
    if (m_header.size() + line.size() + 1 > m_header.capacity())
        m_header.reserve(m_header.size() + line.size() + 1 + HeaderGrowth);
    m_header += line;
    m_header += '\n';
    if (line.startsWith("HTTP/1.0") || line.startsWith("HTTP/1.1")) {
        const QString text1 = QString::fromLatin1(line);
        code = static_cast<int>(decimalValue(text1.mid(9, 3).trimmed()));
        text = text1.mid(13);
    } else {
        const int colon = static_cast<int>(line.indexOf(':'));
        if (colon >= 0) {
            // Names are matched in the bytes; only the values of the names used become text.
            const QLatin1String name(line.constData(), colon);
            const auto is = [&name](QLatin1String wanted) {
                return name.size() == wanted.size() && name.compare(wanted, Qt::CaseInsensitive) == 0;
            };
            const auto value = [&line, colon] {
                qsizetype start = colon + 1;
                while (start < line.size() - 1 && line.at(start) == ' ')
                    ++start;
                return QString::fromLatin1(line.constData() + start, line.size() - start);
            };
            if (is(QLatin1String("location"))) {
                m_handler.location(value());
            } else if (is(QLatin1String("content-length"))) {
                length = decimalValue(value().trimmed());
            } else if (is(QLatin1String("content-range"))) {
                const QString v = value();
                const int dash = v.indexOf(QLatin1Char('-'));
                const int slash = v.indexOf(QLatin1Char('/'), dash + 1);
                const QString begin = dash > 6 ? v.mid(6, dash - 6) : QString();
                const QString end = dash < 0 ? QString() : v.mid(dash + 1, slash < 0 ? -1 : slash - dash - 1);
                m_handler.contentRange(begin, end);
            } else if (is(QLatin1String("accept-ranges"))) {
                m_handler.acceptRanges(value());
            } else if (is(QLatin1String("content-type"))) {
                type = value().toLower();
            } else if (is(QLatin1String("set-cookie"))) {
                m_handler.cookie(value());
            }
            if (generation != m_generation || m_stopped)
                return;
        }
    }
    m_handler.headerData();
}

QStringList HttpResponseParser::header() const
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype end = m_header.indexOf('\n'); end >= 0; end = m_header.indexOf('\n', start)) {
        lines.append(QString::fromLatin1(m_header.constData() + start, end - start));
        start = end + 1;
    }
    return lines;
}
