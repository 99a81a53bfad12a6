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

FileStamp stampOf(const QString& path)
{
    FileStamp s;
#ifdef Q_OS_UNIX
    // Nanoseconds and the inode: two saves within one millisecond, or an atomic replacement
    // of the same size, still count as changes.
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.inode = st.st_ino;
#else
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

// A file modified this recently may be modified again without its stamp changing (timestamps are
// coarse, a whole second or two on some file systems): its bytes are compared until it is older.
constexpr qint64 StampGranularityNs = qint64(2) * 1000000000;

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

// One map file is in use at a time; a lookup of another path replaces it.
struct Cache
{
    QString path;
    FileStamp stamp;
    QByteArray bytes;
    Parsed map;
    bool valid = false;
    bool stampTrusted = false; // any later change would show in the stamp
};

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
    const qint64 checkedAt = nowNs();
    const FileStamp stamp = stampOf(m_path);
    if (!stamp.exists) {
        c.valid = false;
        return QString();
    }
    const bool same = c.valid && c.path == m_path && c.stamp == stamp;
    if (!same || !c.stampTrusted) {
        QFile file;
        if (!UserFile::open(file, m_path)) {
            c.valid = false;
            return QString();
        }
        const QByteArray bytes = file.readAll();
        if (!c.valid || c.path != m_path || bytes != c.bytes) {
            c.map = parse(decodeText(bytes));
            c.bytes = bytes;
            c.path = m_path;
            ++parses();
        }
        // The stamp taken before reading: a change made while reading is read again next time.
        c.stamp = stamp;
        c.stampTrusted = checkedAt - stamp.mtimeNs > StampGranularityNs;
        c.valid = true;
    }
    const QString key = category.trimmed().toCaseFolded();
    if (key.isEmpty())
        return QString();
    const auto section = c.map.constFind((QStringLiteral("Sub") + scheme).trimmed().toCaseFolded());
    return section == c.map.constEnd() ? QString() : section->value(key);
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
