#include "ListFile.h"

#include "settings/UserFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

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

namespace {

constexpr qsizetype ChunkBytes = 1 << 20;

// Where the next chunk ends: just after a line ending at or past `from`, so a
// chunk never splits a character or a CR LF pair; the rest when none.
qsizetype chunkEnd(QByteArrayView bytes, qsizetype from)
{
    if (from >= bytes.size())
        return bytes.size();
    for (qsizetype i = from; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n' || (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            return i + 1;
    }
    return bytes.size();
}

} // namespace

void LoadListFromFile(const QString& path, QStringList& list, const std::function<void()>& tick)
{
    QFile file;
    QString reason;
    if (!UserFile::open(file, path, &reason))
        throw ListFileError::readFailure(path, reason);
    // Read, decode and split a chunk at a time so a long file lets events run
    // in between. The text is UTF-8 when the whole file is valid UTF-8, else
    // Latin-1, as decodeText decides for a whole file.
    QByteArray bytes;
    bytes.reserve(qMax<qint64>(0, file.size()));
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ChunkBytes);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            break;
        bytes.append(chunk);
        if (tick)
            tick();
    }
    if (file.error() != QFileDevice::NoError)
        throw ListFileError::readFailure(path, file.errorString());
    file.close();

    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QList<qsizetype> cuts{0};
    while (cuts.last() < view.size())
        cuts.append(chunkEnd(view, cuts.last() + ChunkBytes));

    QStringList texts;
    bool utf8 = true;
    for (qsizetype i = 1; i < cuts.size() && utf8; ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        texts.append(decoder.decode(view.sliced(cuts[i - 1], cuts[i] - cuts[i - 1])));
        utf8 = !decoder.hasError();
        if (tick)
            tick();
    }
    if (!utf8) {
        texts.clear();
        for (qsizetype i = 1; i < cuts.size(); ++i)
            texts.append(QString::fromLatin1(view.sliced(cuts[i - 1], cuts[i] - cuts[i - 1])));
    }
    QStringList lines;
    for (const QString& text : texts)
        lines.append(splitListLines(text, tick));
    list = lines;
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
