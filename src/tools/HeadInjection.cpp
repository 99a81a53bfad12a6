#include "HeadInjection.h"

#include "MetaTagBlock.h"

#include <QStringDecoder>

#include <cstring>

namespace {

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// `needle` is upper case; letters of `text` are compared upper-cased, ASCII only.
qsizetype indexOfUpper(const QByteArray& text, const char* needle, qsizetype from)
{
    const qsizetype length = static_cast<qsizetype>(std::strlen(needle));
    const char* data = text.constData();
    const qsizetype last = text.size() - length;
    for (qsizetype i = from; i <= last; ++i) {
        qsizetype k = 0;
        while (k < length && upperAscii(data[i + k]) == needle[k])
            ++k;
        if (k == length)
            return i;
    }
    return -1;
}

bool continuesTagName(const QByteArray& text, qsizetype at)
{
    if (at >= text.size())
        return false;
    const char c = text.at(at);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

bool isAscii(const QByteArray& bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

HeadRegion findHeadRegion(const QByteArray& text)
{
    HeadRegion region;
    qsizetype start = -1;
    for (qsizetype from = 0;;) {
        start = indexOfUpper(text, "<HEAD", from);
        if (start < 0 || !continuesTagName(text, start + 5))
            break;
        from = start + 1;
    }
    if (start < 0)
        return region;
    const qsizetype afterStart = start + 5;
    const qsizetype headEnd = indexOfUpper(text, "</HEAD>", afterStart);
    const qsizetype script = indexOfUpper(text, "<SCRIPT", afterStart);
    if (script >= 0 && headEnd >= 0 && script < headEnd) {
        region.end = script;
        region.beforeScript = true;
    } else if (headEnd >= 0) {
        region.end = headEnd + 7;
    } else {
        return region;
    }
    region.start = start;
    return region;
}

QByteArray withCrLfLineEnds(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16);
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r') {
            out.append("\r\n", 2);
            if (i + 1 < size && data[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n", 2);
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray encodeForFile(const QString& text, const QByteArray& fileBytes)
{
    const bool ascii = isAscii(fileBytes);
    if (!ascii && isValidUtf8(fileBytes))
        return text.toUtf8();
    const char32_t widest = ascii ? 0x7F : 0xFF;
    QByteArray out;
    out.reserve(text.size());
    for (char32_t c : text.toUcs4()) {
        if (c <= widest)
            out.append(static_cast<char>(c));
        else
            out.append("&#" + QByteArray::number(static_cast<uint>(c)) + ';');
    }
    return out;
}

HeadInjection injectHeadBlock(const QByteArray& fileBytes, const QStringList& block)
{
    HeadInjection result;
    result.text = withCrLfLineEnds(fileBytes);
    const HeadRegion region = findHeadRegion(result.text);
    if (!region.isValid())
        return result;

    result.insertedLines = block;
    // Before a script the old "</HEAD>" stays, so the block brings none.
    if (region.beforeScript && !result.insertedLines.isEmpty() && result.insertedLines.last() == metaTagBlockEnd())
        result.insertedLines.removeLast();
    QString inserted;
    for (const QString& line : result.insertedLines)
        inserted += line + QStringLiteral("\r\n");

    result.text.replace(region.start, region.end - region.start, encodeForFile(inserted, fileBytes));
    result.injected = true;
    return result;
}
