// Feeds arbitrary bytes to the sandbox's request reader, whole and cut into
// pieces, and checks that the cut changes nothing and the caps hold.
#include "sandbox/RequestParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype piece = 1 + data[0] % 16;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));

    RequestParser whole;
    whole.feed(bytes);
    RequestParser cut;
    for (qsizetype i = 0; i < bytes.size(); i += piece)
        cut.feed(bytes.mid(i, piece));

    check(whole.state() == cut.state());
    check(whole.errorStatus() == cut.errorStatus());
    if (whole.state() == RequestParser::State::Invalid) {
        check(whole.errorStatus() == 400 || whole.errorStatus() == 413 || whole.errorStatus() == 501);
        return 0;
    }
    const SandboxRequest& a = whole.request();
    const SandboxRequest& b = cut.request();
    check(a.method == b.method && a.target == b.target && a.path == b.path && a.query == b.query &&
          a.headers == b.headers && a.body == b.body);
    check(a.body.size() <= RequestParser::MaxBodyBytes);
    check(a.headers.size() <= RequestParser::MaxHeaderBytes / 2);
    if (whole.state() == RequestParser::State::Complete) {
        check(a.path.startsWith('/'));
        check(!a.path.contains('?'));
        check(!a.method.isEmpty());
    }
    return 0;
}
