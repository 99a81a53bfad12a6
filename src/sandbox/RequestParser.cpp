#include "RequestParser.h"

namespace {

bool isTokenChar(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArray("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

bool hasControlChar(const QByteArray& text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            return true;
    }
    return false;
}

bool isDigits(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// "HTTP/" digit "." digit
bool isVersion(const QByteArray& text)
{
    return text.size() == 8 && text.startsWith("HTTP/") && text[5] >= '0' && text[5] <= '9' && text[6] == '.' &&
           text[7] >= '0' && text[7] <= '9';
}

} // namespace

RequestParser::State RequestParser::feed(const QByteArray& bytes)
{
    if (m_state != State::Incomplete || bytes.isEmpty())
        return m_state;
    m_received = true;
    if (m_headerDone) {
        takeBody(bytes);
        return m_state;
    }
    m_header.append(bytes);
    parseLines();
    return m_state;
}

void RequestParser::parseLines()
{
    qsizetype start = 0;
    while (m_state == State::Incomplete && !m_headerDone) {
        // Bytes already searched without finding a line end are not searched again.
        const qsizetype lf = m_header.indexOf('\n', start == 0 ? m_searched : start);
        if (lf < 0)
            break;
        QByteArray line = m_header.mid(start, lf - start);
        if (line.endsWith('\r'))
            line.chop(1);
        m_headerBytes += lf + 1 - start;
        start = lf + 1;
        if (m_headerBytes > MaxHeaderBytes) {
            fail(400, "Bad Request");
            return;
        }
        if (!m_haveRequestLine) {
            // Blank lines before the request line are tolerated, as old clients send them.
            if (!line.isEmpty() && !parseRequestLine(line))
                return;
        } else if (line.isEmpty()) {
            endOfHeader(start);
            return;
        } else if (!parseHeaderLine(line)) {
            return;
        }
    }
    if (m_state != State::Incomplete)
        return;
    m_header.remove(0, start);
    m_searched = m_header.size();
    if (m_headerBytes + m_header.size() > MaxHeaderBytes)
        fail(400, "Bad Request");
}

bool RequestParser::parseRequestLine(const QByteArray& line)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || parts[1].isEmpty() || hasControlChar(parts[1]) ||
        !isVersion(parts[2])) {
        fail(400, "Bad Request");
        return false;
    }
    m_request.method = parts[0];
    m_request.target = parts[1];

    QByteArray path = parts[1];
    // The absolute form a client sends through a proxy routes like its path.
    if (path.size() >= 7 && path.left(7).compare("http://", Qt::CaseInsensitive) == 0) {
        const qsizetype slash = path.indexOf('/', 7);
        const qsizetype question = path.indexOf('?', 7);
        if (slash < 0 || (question >= 0 && question < slash))
            path = "/" + (question >= 0 ? path.mid(question) : QByteArray());
        else
            path = path.mid(slash);
    }
    if (!path.startsWith('/')) {
        fail(400, "Bad Request");
        return false;
    }
    const qsizetype question = path.indexOf('?');
    if (question >= 0) {
        m_request.query = path.mid(question + 1);
        path.truncate(question);
    }
    m_request.path = path;
    m_haveRequestLine = true;
    return true;
}

bool RequestParser::parseHeaderLine(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    // Folded continuation lines are obsolete and a known smuggling vector: refused.
    if (colon <= 0 || !isToken(line.left(colon))) {
        fail(400, "Bad Request");
        return false;
    }
    m_request.headers.append(qMakePair(line.left(colon), line.mid(colon + 1).trimmed()));
    return true;
}

void RequestParser::endOfHeader(qsizetype bodyStart)
{
    m_headerDone = true;
    const QByteArray rest = m_header.mid(bodyStart);
    m_header.clear();

    if (m_request.hasHeader("Transfer-Encoding")) {
        fail(501, "Not Implemented");
        return;
    }
    QByteArray length;
    bool haveLength = false;
    for (const auto& h : m_request.headers) {
        if (h.first.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        if (!isDigits(h.second) || (haveLength && h.second != length)) {
            fail(400, "Bad Request");
            return;
        }
        length = h.second;
        haveLength = true;
    }
    if (haveLength) {
        while (length.size() > 1 && length.startsWith('0'))
            length.remove(0, 1);
        if (length.size() > 9 || length.toLongLong() > MaxBodyBytes) {
            fail(413, "Payload Too Large");
            return;
        }
        m_bodyLength = static_cast<qsizetype>(length.toLongLong());
    }
    takeBody(rest);
}

void RequestParser::takeBody(const QByteArray& bytes)
{
    const qsizetype wanted = m_bodyLength - m_request.body.size();
    // Bytes after the body are not a second request: one request per connection.
    m_request.body.append(bytes.left(wanted));
    if (m_request.body.size() == m_bodyLength)
        m_state = State::Complete;
}

void RequestParser::fail(int status, const QByteArray& reason)
{
    m_state = State::Invalid;
    m_errorStatus = status;
    m_errorReason = reason;
    m_header.clear();
}
