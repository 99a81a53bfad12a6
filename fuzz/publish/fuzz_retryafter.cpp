// Retry-After values from a hostile endpoint: the wait is always within
// 0..600 seconds, and a date that reads reads the same when written back.
#include "indexnow/RetryAfter.h"

#include <QDateTime>
#include <QLocale>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray value(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qint64 now = 1'800'000'000;
    const int wait = RetryAfter::seconds(value, now);
    if (wait < 0 || wait > RetryAfter::MaxSeconds)
        std::abort();
    const qint64 at = RetryAfter::parseHttpDate(value);
    if (at >= 0) {
        const QString again = QLocale::c().toString(QDateTime::fromSecsSinceEpoch(at, Qt::UTC),
                                                    QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
        if (RetryAfter::parseHttpDate(again.toLatin1()) != at)
            std::abort();
    }
    return 0;
}
