#include "CategoryMap.h"

#include "ListFile.h"

#include "settings/TextCodec.h"
#include "settings/UserFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// What tells one state of the file from another without reading it.
struct FileStamp
{
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;

    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs &&
               inode == o.inode;
    }
};

FileStamp stampOf(const QString& path, const QByteArray& encodedPath)
{
    FileStamp s;
#ifdef Q_OS_UNIX
    Q_UNUSED(path)
    // Nanoseconds and the inode: two saves within one millisecond, or an atomic replacement
    // of the same size, still count as changes.
    struct stat st{};
    if (::stat(encodedPath.constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.inode = st.st_ino;
#else
    Q_UNUSED(encodedPath)
    const QFileInfo info(path);
    if (!info.exists())
        return s;
    s.exists = true;
    s.size = info.size();
    s.mtimeNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
    s.ctimeNs = info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch() * 1000000;
#endif
    return s;
}

// Section name → key → value, names case-folded; the first occurrence of a
// key wins, as a scan of the text from the top would find it.
using Parsed = QHash<QString, QHash<QString, QString>>;

Parsed parse(const QString& text)
{
    Parsed out;
    QHash<QString, QString>* section = nullptr;
    for (const QString& rawLine : splitListLines(text)) {
        const QStringView line = QStringView(rawLine).trimmed();
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            section = close > 0 ? &out[line.mid(1, close - 1).trimmed().toString().toCaseFolded()] : nullptr;
            continue;
        }
        if (!section)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed().toString().toCaseFolded();
        if (!key.isEmpty() && !section->contains(key))
            section->insert(key, line.mid(eq + 1).trimmed().toString());
    }
    return out;
}

// A file changed this recently may change again without its stamp moving: its bytes are compared
// until the last change is older. Stamps of whole seconds (FAT, some network file systems) move
// every second or two; stamps with sub-second digits come from the kernel's coarse clock, which
// moves every few milliseconds.
constexpr qint64 WholeSecondGranularityNs = qint64(2) * 1000000000;
constexpr qint64 FineGranularityNs = qint64(20) * 1000000;

qint64 granularityOf(const FileStamp& s)
{
    // A file system that keeps whole seconds cannot give either time a fraction.
    const bool fine = s.mtimeNs % 1000000000 != 0 || s.ctimeNs % 1000000000 != 0;
    return fine ? FineGranularityNs : WholeSecondGranularityNs;
}

// The time of the last change the stamp records: a modification time set back (cp -p, tar,
// touch -d) says nothing about when the bytes changed, the change time does.
qint64 lastChangeOf(const FileStamp& s)
{
    return qMax(s.mtimeNs, s.ctimeNs);
}

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

// One map file is in use at a time; a lookup of another path replaces it.
struct Cache
{
    QString path;
    QByteArray encodedPath;
    FileStamp stamp;
    QByteArray bytes;
    Parsed map;
    bool valid = false;
    bool stampTrusted = false; // any later change would show in the stamp
    // Answers already given from `map` for `category`, by scheme as asked: a run asks the
    // same few questions thousands of times.
    QString category;
    QHash<QString, QString> answers;
};

// Schemes come from data.ist; a file of endless distinct ones must not grow the memo without end.
constexpr qsizetype MaxAnswers = 256;

Cache& cache()
{
    static Cache c;
    return c;
}

int& parses()
{
    static int n = 0;
    return n;
}

} // namespace

QString CategoryMap::lookup(const QString& scheme, const QString& category) const
{
    Cache& c = cache();
    if (c.path != m_path) {
        c = Cache();
        c.path = m_path;
        c.encodedPath = QFile::encodeName(m_path);
    }
    // Taken before the stamp: a change made after this moment moves the stamp once trusted.
    const qint64 readAt = nowNs();
    const FileStamp stamp = stampOf(m_path, c.encodedPath);
    if (!stamp.exists) {
        c.valid = false;
        return QString();
    }
    if (!c.valid || !(c.stamp == stamp) || !c.stampTrusted) {
        QFile file;
        if (!UserFile::open(file, m_path)) {
            c.valid = false;
            return QString();
        }
        const QByteArray bytes = file.readAll();
        if (!c.valid || bytes != c.bytes) {
            c.map = parse(decodeText(bytes));
            c.bytes = bytes;
            c.answers.clear();
            ++parses();
        }
        // The stamp taken before reading: a change made while reading is read again next time.
        c.stamp = stamp;
        c.stampTrusted = stampSettled(readAt, stamp.mtimeNs, stamp.ctimeNs);
        c.valid = true;
    }
    if (c.category != category) {
        c.category = category;
        c.answers.clear();
    }
    if (const auto known = c.answers.constFind(scheme); known != c.answers.constEnd())
        return *known;
    QString value;
    const QString key = category.trimmed().toCaseFolded();
    if (!key.isEmpty()) {
        const auto section = c.map.constFind((QStringLiteral("Sub") + scheme).trimmed().toCaseFolded());
        if (section != c.map.constEnd())
            value = section->value(key);
    }
    if (c.answers.size() >= MaxAnswers)
        c.answers.clear();
    c.answers.insert(scheme, value);
    return value;
}

bool CategoryMap::stampSettled(qint64 readAtNs, qint64 mtimeNs, qint64 ctimeNs)
{
    FileStamp s;
    s.mtimeNs = mtimeNs;
    s.ctimeNs = ctimeNs;
    return readAtNs - lastChangeOf(s) > granularityOf(s);
}

int CategoryMap::parseCount()
{
    return parses();
}

QString CategoryMap::lookupInText(const QString& text, const QString& section, const QString& key)
{
    const QString wantedKey = key.trimmed().toCaseFolded();
    if (wantedKey.isEmpty())
        return QString();
    const Parsed map = parse(text);
    const auto found = map.constFind(section.trimmed().toCaseFolded());
    return found == map.constEnd() ? QString() : found->value(wantedKey);
}
