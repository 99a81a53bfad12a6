// Composes IndexNow requests from arbitrary page addresses and keys: the query
// is always exactly two parameters of unreserved characters and escapes, and
// decoding it gives back the page and the key.
#include "submission/EngineLine.h"
#include "submission/IndexNowRequest.h"
#include "submission/RunProject.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isQueryByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '%';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype cut = bytes.indexOf('\0');
    const QString url = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString key = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));

    RunProject project;
    project.setValue(QStringLiteral("url"), url);
    project.setValue(QStringLiteral("indexnowkey"), key);
    const EngineLine engine(QStringLiteral("E=IndexNow|http://site/|http://site/indexnow|t|u|e|||||||||||||||POST|"));
    const ComposedRequest request = ComposeIndexNowRequest(engine, project);

    check(!request.post);
    check(request.address == QLatin1String("http://site/indexnow"));
    check(transmissionForm(request.query) == request.query);
    const QByteArray query = request.query.toLatin1();
    check(query.startsWith("url="));
    const qsizetype amp = query.indexOf("&key=");
    check(amp >= 0);
    const QByteArray sentUrl = query.mid(4, amp - 4);
    const QByteArray sentKey = query.mid(amp + 5);
    for (const QByteArray& part : {sentUrl, sentKey}) {
        for (char c : part)
            check(isQueryByte(c));
    }
    check(QByteArray::fromPercentEncoding(sentUrl) == url.toUtf8());
    check(QByteArray::fromPercentEncoding(sentKey) == key.toUtf8());
    return 0;
}
