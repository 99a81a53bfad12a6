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

QStringList splitListLines(const QString& text)
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
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

namespace {

// A piece small enough to read, or to decode and split, in a few milliseconds.
constexpr qsizetype ChunkBytes = 128 * 1024;

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

ListFileReader::ListFileReader(const QString& path) : m_path(path), m_file(std::make_unique<QFile>())
{
    QString reason;
    if (!UserFile::open(*m_file, path, &reason))
        throw ListFileError::readFailure(path, reason);
    m_bytes.reserve(qMax<qint64>(0, m_file->size()));
}

ListFileReader::~ListFileReader() = default;

bool ListFileReader::step()
{
    switch (m_phase) {
    case Phase::Read:
        readChunk();
        break;
    case Phase::Split:
        splitChunk();
        break;
    case Phase::Done:
        break;
    }
    return m_phase != Phase::Done;
}

void ListFileReader::readChunk()
{
    if (!m_file->atEnd()) {
        const QByteArray chunk = m_file->read(ChunkBytes);
        if (chunk.isEmpty() && m_file->error() != QFileDevice::NoError)
            throw ListFileError::readFailure(m_path, m_file->errorString());
        m_bytes.append(chunk);
        return;
    }
    if (m_file->error() != QFileDevice::NoError)
        throw ListFileError::readFailure(m_path, m_file->errorString());
    m_file.reset();
    if (QByteArrayView(m_bytes).startsWith("\xEF\xBB\xBF"))
        m_position = 3;
    m_phase = m_position < m_bytes.size() ? Phase::Split : Phase::Done;
}

void ListFileReader::splitChunk()
{
    // The text is UTF-8 when the whole file is valid UTF-8, else Latin-1, as
    // decodeText decides for a whole file: a chunk that is not UTF-8 starts
    // the split over in Latin-1.
    const QByteArrayView view(m_bytes);
    const qsizetype end = chunkEnd(view, m_position + ChunkBytes);
    const QByteArrayView chunk = view.sliced(m_position, end - m_position);
    QString text;
    if (m_latin1) {
        text = QString::fromLatin1(chunk);
    } else {
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        text = decoder.decode(chunk);
        if (decoder.hasError()) {
            m_latin1 = true;
            m_lines.clear();
            m_position = view.startsWith("\xEF\xBB\xBF") ? 3 : 0;
            return;
        }
    }
    m_lines.append(splitListLines(text));
    m_position = end;
    if (m_position >= m_bytes.size()) {
        m_bytes = QByteArray();
        m_phase = Phase::Done;
    }
}

void LoadListFromFile(const QString& path, QStringList& list)
{
    ListFileReader reader(path);
    while (reader.step()) {
    }
    list = reader.takeLines();
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
