#include "ListFile.h"

#include "settings/TextCodec.h"

#include <QFile>
#include <QSaveFile>

ListFileError::ListFileError(const QString& message, const QString& path)
    : std::runtime_error(message.toStdString()), m_path(path)
{
}

ListFileError ListFileError::readFailure(const QString& path, const QString& reason)
{
    return ListFileError(QStringLiteral("Unable to read %1: %2").arg(path, reason), path);
}

ListFileError ListFileError::writeFailure(const QString& path)
{
    return ListFileError(QStringLiteral("Unable to write to %1").arg(path), path);
}

QStringList splitListLines(const QString& text, const std::function<void()>& tick)
{
    QStringList lines;
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < size) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n') {
            ++i;
            continue;
        }
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < size && data[i + 1].unicode() == u'\n')
            ++i;
        start = ++i;
        if (tick && (lines.size() & 0xFFF) == 0)
            tick();
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

void LoadListFromFile(const QString& path, QStringList& list, const std::function<void()>& tick)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ListFileError::readFailure(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ListFileError::readFailure(path, file.errorString());
    file.close();
    if (tick)
        tick();
    const QString text = decodeText(bytes);
    if (tick)
        tick();
    list = splitListLines(text, tick);
}

void SaveListToFile(const QStringList& list, const QString& path)
{
    QByteArray bytes;
    qsizetype total = 0;
    for (const QString& line : list)
        total += line.size() + 2;
    bytes.reserve(total);
    for (const QString& line : list) {
        bytes.append(line.toUtf8());
        bytes.append("\r\n", 2);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ListFileError::writeFailure(path);
}
