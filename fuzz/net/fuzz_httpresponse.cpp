// Arbitrary bytes as a server's answer, delivered in pieces of varying size.
#include "net/EHttpException.h"
#include "net/HttpResponseParser.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class Checker : public HttpResponseParser::Handler
{
public:
    bool stopAtHeaderEnd = false;
    size_t bodyBytes = 0;

    void headerBegin() override {}
    void headerData() override {}
    void location(const QString&) override {}
    void contentRange(const QString&, const QString&) override {}
    void acceptRanges(const QString&) override {}
    void cookie(const QString&) override {}
    void htmlWithoutHeader() override {}
    HttpResponseParser::HeaderEndAction headerEnd() override
    {
        return stopAtHeaderEnd ? HttpResponseParser::HeaderEndAction::Stop : HttpResponseParser::HeaderEndAction::Body;
    }
    void bodyChunk(const char* data, int len) override
    {
        // Chunks fit the receive buffer and are followed by a zero byte.
        if (len < 0 || len > HttpResponseParser::BufferSize || data[len] != 0)
            __builtin_trap();
        bodyBytes += static_cast<size_t>(len);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    Checker checker;
    checker.stopAtHeaderEnd = (data[0] & 1) != 0;
    const int piece = 1 + data[1] * 37;
    data += 2;
    size -= 2;
    HttpResponseParser parser(checker);
    parser.reset();
    size_t at = 0;
    try {
        while (at < size && !parser.stopped()) {
            int free = 0;
            char* space = parser.receiveSpace(free);
            const int n =
                static_cast<int>(std::min<size_t>({static_cast<size_t>(free), static_cast<size_t>(piece), size - at}));
            std::memcpy(space, data + at, static_cast<size_t>(n));
            at += static_cast<size_t>(n);
            parser.received(n);
        }
        parser.flush();
    } catch (const EHttpException&) {
        // A broken answer; the client ends the request with the message.
    }
    if (checker.bodyBytes > size)
        __builtin_trap();
    // The stored header gives back one entry per non-empty line taken, no line feed inside.
    const QStringList header = parser.header();
    if (header.size() > parser.headerLineCount())
        __builtin_trap();
    for (const QString& line : header) {
        if (line.isEmpty() || line.contains(QLatin1Char('\n')))
            __builtin_trap();
    }
    return 0;
}
