#include "EngineDatabase.h"

#include "EngineLine.h"
#include "ListFile.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <vector>

namespace {

QCollator lineCollator()
{
    QCollator collator{QLocale::system()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// The C locale's collator compares without case but its sort keys keep case;
// there the folded text is the key.
bool collatorIsC(const QCollator& collator)
{
    return collator.locale().language() == QLocale::C;
}

// A stable bottom-up merge sort of positions that calls `tick` every few
// thousand steps, so sorting 100,000 lines never blocks the event loop long.
template <typename Less> void pacedStableSort(std::vector<int>& items, Less less, const EngineDatabase::Tick& tick)
{
    const size_t n = items.size();
    constexpr size_t Run = 512;
    size_t steps = 0;
    auto step = [&](size_t amount) {
        steps += amount;
        if (tick && steps >= 8192) {
            steps = 0;
            tick();
        }
    };
    for (size_t start = 0; start < n; start += Run) {
        const auto first = items.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = items.begin() + static_cast<std::ptrdiff_t>(std::min(n, start + Run));
        std::stable_sort(first, last, less);
        step(Run * 9);
    }
    std::vector<int> buffer(n);
    for (size_t width = Run; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(n, lo + width);
            const size_t hi = std::min(n, lo + 2 * width);
            size_t a = lo;
            size_t b = mid;
            size_t out = lo;
            while (a < mid && b < hi) {
                // Equal keys take the left run first: stable.
                buffer[out++] = less(items[b], items[a]) ? items[b++] : items[a++];
                if ((out & 0x3FF) == 0)
                    step(1024);
            }
            while (a < mid)
                buffer[out++] = items[a++];
            while (b < hi)
                buffer[out++] = items[b++];
        }
        items.swap(buffer);
    }
}

template <typename Key>
QStringList sortedUnique(const QStringList& lines, const std::vector<Key>& keys, const EngineDatabase::Tick& tick)
{
    std::vector<int> order(static_cast<size_t>(lines.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    pacedStableSort(
        order, [&keys](int a, int b) { return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]) < 0; },
        tick);
    QStringList result;
    result.reserve(lines.size());
    int previous = -1;
    for (int index : order) {
        if (previous >= 0 && keys[static_cast<size_t>(previous)].compare(keys[static_cast<size_t>(index)]) == 0)
            continue;
        result.append(lines.at(index));
        previous = index;
        if (tick && (result.size() & 0xFFF) == 0)
            tick();
    }
    return result;
}

} // namespace

int EngineDatabase::compareLines(const QString& a, const QString& b)
{
    const QCollator collator = lineCollator();
    if (collatorIsC(collator))
        return a.compare(b, Qt::CaseInsensitive);
    return collator.compare(a, b);
}

void EngineDatabase::setLines(const QStringList& lines, const Tick& tick)
{
    const QCollator collator = lineCollator();
    if (collatorIsC(collator)) {
        std::vector<QString> keys;
        keys.reserve(static_cast<size_t>(lines.size()));
        for (const QString& line : lines) {
            keys.push_back(line.toCaseFolded());
            if (tick && (keys.size() & 0x7FF) == 0)
                tick();
        }
        m_lines = sortedUnique(lines, keys, tick);
    } else {
        std::vector<QCollatorSortKey> keys;
        keys.reserve(static_cast<size_t>(lines.size()));
        for (const QString& line : lines) {
            keys.push_back(collator.sortKey(line));
            if (tick && (keys.size() & 0x7FF) == 0)
                tick();
        }
        m_lines = sortedUnique(lines, keys, tick);
    }
    rebuildIndex(tick);
}

void EngineDatabase::clear()
{
    m_lines.clear();
    m_firstByName.clear();
}

void EngineDatabase::load(const QString& path, const Tick& tick)
{
    QStringList lines;
    LoadListFromFile(path, lines, tick);
    setLines(lines, tick);
}

void EngineDatabase::save(const QString& path) const
{
    SaveListToFile(m_lines, path);
}

QString EngineDatabase::nameKey(const QString& name)
{
    // Names are nearly always ASCII, where folding is lowering A to Z; Qt's folding looks every
    // character up in the Unicode tables, which costs more than the rest of a lookup.
    QString key(name.size(), Qt::Uninitialized);
    QChar* out = key.data();
    const QChar* in = name.constData();
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = in[i].unicode();
        if (c >= 0x80)
            return name.toCaseFolded();
        out[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c);
    }
    return key;
}

void EngineDatabase::rebuildIndex(const Tick& tick)
{
    m_firstByName.clear();
    m_firstByName.reserve(m_lines.size());
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString key = nameKey(EngineLine::nameOf(m_lines.at(i)));
        if (!m_firstByName.contains(key))
            m_firstByName.insert(key, i);
        if (tick && (i & 0xFFF) == 0)
            tick();
    }
}

int EngineDatabase::indexOf(const QString& name) const
{
    return m_firstByName.value(nameKey(name), -1);
}

QString EngineDatabase::lookup(const QString& name) const
{
    const int index = indexOf(name);
    return index < 0 ? QString() : EngineLine::valueOf(m_lines.at(index)).toString();
}

void EngineDatabase::removeAt(int index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    m_lines.removeAt(index);
    rebuildIndex();
}
