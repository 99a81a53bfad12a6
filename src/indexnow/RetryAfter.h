#pragma once

#include <QByteArray>

// The wait a 429 answer asks for: Retry-After as delay-seconds or as an HTTP
// date (IMF-fixdate, RFC 850 or asctime form), bounded to MaxSeconds. A
// missing or unreadable value means DefaultSeconds; a date in the past, 0.
namespace RetryAfter {

constexpr int MaxSeconds = 600;
constexpr int DefaultSeconds = 60;

int seconds(const QByteArray& value, qint64 nowSecondsUtc);

// The HTTP date as seconds since the epoch, or -1 when it is none.
qint64 parseHttpDate(const QByteArray& text);

} // namespace RetryAfter
