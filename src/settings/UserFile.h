#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// The user's files are read only when they are regular files. A FIFO would
// block the reader until someone writes to it, a device such as /dev/zero
// never ends, a directory holds no text: each is treated as a missing file.
class UserFile
{
public:
    static constexpr qint64 NoLimit = -1;

    enum class Status { Ok, Missing, NotRegular, TooLarge };

    struct Content
    {
        Status status = Status::Missing;
        QByteArray bytes;
        QString reason; // why it was not read, for a message
    };

    // Opens `path` for reading when it is a regular file (links followed),
    // without ever waiting on it. Otherwise returns false and says why.
    static bool open(QFile& file, const QString& path, QString* reason = nullptr);
    // The whole file, unless it is not a regular file or holds more than
    // `maxBytes` (NoLimit: any size).
    static Content read(const QString& path, qint64 maxBytes = NoLimit);
};
