#include "RetryAfter.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTime>

namespace RetryAfter {

namespace {

int monthOf(const QByteArray& name)
{
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    const QByteArray lower = name.toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower == months[i])
            return i + 1;
    }
    return 0;
}

// A run of 1 to `maxDigits` digits, nothing else; -1 otherwise.
int number(const QByteArray& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

qint64 compose(int year, int month, int day, const QByteArray& clock)
{
    const QList<QByteArray> hms = clock.split(':');
    if (hms.size() != 3)
        return -1;
    const int h = number(hms[0], 2), m = number(hms[1], 2), s = number(hms[2], 2);
    const QDate date(year, month, day);
    // 60 is a leap second; taken as the next second.
    if (!date.isValid() || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 60)
        return -1;
    return QDateTime(date, QTime(h, m, 0), Qt::UTC).toSecsSinceEpoch() + s;
}

QList<QByteArray> words(const QByteArray& text)
{
    QList<QByteArray> out;
    for (const QByteArray& part : text.simplified().split(' ')) {
        if (!part.isEmpty())
            out.append(part);
    }
    return out;
}

} // namespace

qint64 parseHttpDate(const QByteArray& text)
{
    const QList<QByteArray> w = words(text);
    if (w.size() == 6 && w[0].endsWith(',') && w[5] == "GMT") {
        // IMF-fixdate: Sun, 06 Nov 1994 08:49:37 GMT
        const int day = number(w[1], 2), month = monthOf(w[2]), year = number(w[3], 4);
        if (day < 1 || month == 0 || year < 0 || w[3].size() != 4)
            return -1;
        return compose(year, month, day, w[4]);
    }
    if (w.size() == 4 && w[0].endsWith(',') && w[3] == "GMT") {
        // RFC 850: Sunday, 06-Nov-94 08:49:37 GMT; a two-digit year that
        // looks over 50 years ahead is taken as the past century.
        const QList<QByteArray> dmy = w[1].split('-');
        if (dmy.size() != 3 || dmy[2].size() != 2)
            return -1;
        const int day = number(dmy[0], 2), month = monthOf(dmy[1]), yy = number(dmy[2], 2);
        if (day < 1 || month == 0 || yy < 0)
            return -1;
        const int thisYear = QDate::currentDate().year();
        int year = thisYear / 100 * 100 + yy;
        if (year > thisYear + 50)
            year -= 100;
        return compose(year, month, day, w[2]);
    }
    if (w.size() == 5) {
        // asctime: Sun Nov  6 08:49:37 1994
        const int month = monthOf(w[1]), day = number(w[2], 2), year = number(w[4], 4);
        if (month == 0 || day < 1 || year < 0 || w[4].size() != 4)
            return -1;
        return compose(year, month, day, w[3]);
    }
    return -1;
}

int seconds(const QByteArray& value, qint64 nowSecondsUtc)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return DefaultSeconds;
    bool allDigits = true;
    for (const char c : text)
        allDigits = allDigits && c >= '0' && c <= '9';
    if (allDigits) {
        // Any number of digits: a huge one is still "wait the longest".
        if (text.size() > 9)
            return MaxSeconds;
        return qMin(MaxSeconds, text.toInt());
    }
    const qint64 at = parseHttpDate(text);
    if (at < 0)
        return DefaultSeconds;
    return static_cast<int>(qBound(qint64(0), at - nowSecondsUtc, qint64(MaxSeconds)));
}

} // namespace RetryAfter
