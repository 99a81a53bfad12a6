#include "ProjectIndexCache.h"

#include "settings/IniFile.h"

#include <QFileInfo>

ProjectIndexCache::ProjectIndexCache(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ProjectIndexCache::flushDue);
}

void ProjectIndexCache::setProgramDir(const QString& programDir)
{
    m_programDir = programDir;
    m_loaded = false;
    m_mirror = false;
    m_pending = false;
    m_timer.stop();
}

QPair<qint64, QDateTime> ProjectIndexCache::stamp() const
{
    const QFileInfo info(ProjectIndex::path(m_programDir));
    if (!info.exists())
        return {-1, QDateTime()};
    return {info.size(), info.lastModified()};
}

void ProjectIndexCache::take(const QByteArray& bytes)
{
    m_rest = IniDocument::fromBytes(bytes);
    m_hadList = m_rest.hasSection(QStringLiteral("List"));
    m_rest.eraseSection(QStringLiteral("List"));
    m_loaded = true;
}

void ProjectIndexCache::remember(const QStringList& names)
{
    m_first.clear();
    m_first.reserve(names.size());
    // From the end, so that a repeated name keeps its first position.
    for (int i = static_cast<int>(names.size()) - 1; i >= 0; --i)
        m_first.insert(names.at(i), i);
    m_size = static_cast<int>(names.size());
}

QList<QPair<QString, QString>> ProjectIndexCache::load()
{
    QByteArray bytes;
    try {
        bytes = ProjectIndex::readBytes(ProjectIndex::path(m_programDir));
    } catch (const std::exception&) {
        bytes.clear();
    }
    m_stamp = stamp();
    m_mirror = false;
    take(bytes);
    const QList<QPair<QString, QString>> pairs = ProjectIndex::readListSection(bytes);
    remember(ProjectIndex::namesFrom(pairs));
    return pairs;
}

void ProjectIndexCache::ensureLoaded()
{
    // While a rewrite is pending the file is behind on purpose.
    if (m_pending)
        return;
    if (!m_loaded || stamp() != m_stamp)
        load();
}

bool ProjectIndexCache::holds(const QString& name, int count)
{
    ensureLoaded();
    const auto it = m_first.constFind(name);
    return it != m_first.constEnd() && it.value() < count;
}

void ProjectIndexCache::rewrite(const QStringList& names, ProjectIndex::Flush flush)
{
    if (!m_pending)
        ensureLoaded();
    const QString file = ProjectIndex::path(m_programDir);
    if (!names.isEmpty() || m_hadList) {
        QList<QByteArray> encoded;
        encoded.reserve(names.size());
        for (const QString& name : names)
            encoded.append(ProjectIndex::encodedName(name));
        IniDocument rest = m_rest;
        const QByteArray bytes = names.isEmpty() ? rest.toBytes() : ProjectIndex::composedEncoded(rest, encoded);
        ProjectIndex::writeBytes(file, bytes, flush);
        m_rest = rest;
        m_hadList = !names.isEmpty();
        m_stamp = stamp();
        m_encoded = std::move(encoded);
        m_mirror = true;
    }
    remember(names);
    m_pending = false;
    m_timer.stop();
    m_sinceWrite.start();
}

void ProjectIndexCache::adopt(const QStringList& names)
{
    ensureLoaded();
    m_encoded.clear();
    m_encoded.reserve(names.size());
    for (const QString& name : names)
        m_encoded.append(ProjectIndex::encodedName(name));
    m_mirror = m_hadList || names.isEmpty();
}

void ProjectIndexCache::rewriteInserted(const QString& added, int row, int count,
                                        const std::function<QStringList()>& names, ProjectIndex::Flush flush)
{
    if (!m_pending)
        ensureLoaded();
    if (m_pending || !m_mirror || row < 0 || row > m_encoded.size() || count != m_encoded.size() + 1) {
        rewrite(names(), flush);
        return;
    }
    m_encoded.insert(row, ProjectIndex::encodedName(added));
    IniDocument rest = m_rest;
    try {
        ProjectIndex::writeBytes(ProjectIndex::path(m_programDir), ProjectIndex::composedEncoded(rest, m_encoded),
                                 flush);
    } catch (...) {
        m_encoded.removeAt(row);
        throw;
    }
    m_rest = rest;
    m_hadList = true;
    m_stamp = stamp();
    // Positions only matter below the list's count, which every entry stays below.
    if (!m_first.contains(added))
        m_first.insert(added, row);
    ++m_size;
    m_timer.stop();
    m_sinceWrite.start();
}

void ProjectIndexCache::rewriteSoon(const QString& added, std::function<QStringList()> names)
{
    ensureLoaded();
    // The index now stands for the whole list, so any name in it is at a
    // position below the list's count.
    if (!m_first.contains(added))
        m_first.insert(added, m_size);
    ++m_size;
    m_names = std::move(names);
    m_pending = true;
    if (!m_timer.isActive()) {
        const qint64 since = m_sinceWrite.isValid() ? m_sinceWrite.elapsed() : qint64(DeferMs);
        m_timer.start(static_cast<int>(qBound(qint64(0), qint64(DeferMs) - since, qint64(DeferMs))));
    }
}

void ProjectIndexCache::flush()
{
    if (!m_pending || !m_names)
        return;
    rewrite(m_names());
}
