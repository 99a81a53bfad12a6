#include "EngineDatabaseLoader.h"

#include <algorithm>

namespace {

// Work per step; each is well under a millisecond at 100,000 lines in a
// release build, so a caller's unit can stop close to its time budget.
constexpr size_t KeysPerStep = 512;
constexpr size_t Run = 512; // one run sorted per step
constexpr size_t MovesPerStep = 4096;
constexpr size_t LinesPerStep = 4096;

} // namespace

EngineDatabaseLoader::EngineDatabaseLoader(const QString& path)
    : m_reader(std::make_unique<ListFileReader>(path)), m_collator(EngineDatabase::lineCollator())
{
}

EngineDatabaseLoader::EngineDatabaseLoader(QStringList lines)
    : m_lines(std::move(lines)), m_collator(EngineDatabase::lineCollator())
{
    startSort();
}

EngineDatabaseLoader::~EngineDatabaseLoader() = default;

bool EngineDatabaseLoader::step()
{
    switch (m_phase) {
    case Phase::Read:
        if (!m_reader->step()) {
            m_lines = m_reader->takeLines();
            m_reader.reset();
            startSort();
        }
        break;
    case Phase::Keys:
        makeKeys();
        break;
    case Phase::Runs:
        sortRuns();
        break;
    case Phase::Merge:
        merge();
        break;
    case Phase::Unique:
        keepUnique();
        break;
    case Phase::Index:
        index();
        break;
    case Phase::Done:
        break;
    }
    return m_phase != Phase::Done;
}

void EngineDatabaseLoader::finish()
{
    while (step()) {
    }
}

EngineDatabase EngineDatabaseLoader::takeDatabase()
{
    return std::move(m_result);
}

void EngineDatabaseLoader::startSort()
{
    m_folded = EngineDatabase::collatorIsC(m_collator);
    const size_t n = static_cast<size_t>(m_lines.size());
    if (m_folded)
        m_foldedKeys.reserve(n);
    else
        m_sortKeys.reserve(n);
    m_order.resize(n);
    for (size_t i = 0; i < n; ++i)
        m_order[i] = static_cast<int>(i);
    m_next = 0;
    m_phase = Phase::Keys;
}

int EngineDatabaseLoader::compare(int a, int b) const
{
    const auto i = static_cast<size_t>(a);
    const auto j = static_cast<size_t>(b);
    return m_folded ? m_foldedKeys[i].compare(m_foldedKeys[j]) : m_sortKeys[i].compare(m_sortKeys[j]);
}

void EngineDatabaseLoader::makeKeys()
{
    const size_t n = static_cast<size_t>(m_lines.size());
    const size_t end = std::min(n, m_next + KeysPerStep);
    for (; m_next < end; ++m_next) {
        const QString& line = m_lines.at(static_cast<qsizetype>(m_next));
        if (m_folded)
            m_foldedKeys.push_back(line.toCaseFolded());
        else
            m_sortKeys.push_back(m_collator.sortKey(line));
    }
    if (m_next == n) {
        m_next = 0;
        m_phase = Phase::Runs;
    }
}

void EngineDatabaseLoader::sortRuns()
{
    const size_t n = m_order.size();
    if (m_next < n) {
        const auto first = m_order.begin() + static_cast<std::ptrdiff_t>(m_next);
        const auto last = m_order.begin() + static_cast<std::ptrdiff_t>(std::min(n, m_next + Run));
        std::stable_sort(first, last, [this](int a, int b) { return less(a, b); });
        m_next += Run;
    }
    if (m_next >= n) {
        m_buffer.resize(n);
        m_width = Run;
        m_lo = 0;
        m_inPair = false;
        m_phase = m_width < n ? Phase::Merge : Phase::Unique;
        m_next = 0;
    }
}

void EngineDatabaseLoader::merge()
{
    const size_t n = m_order.size();
    size_t budget = MovesPerStep;
    while (budget > 0) {
        if (!m_inPair) {
            if (m_lo >= n) {
                // One pass over all pairs of runs is complete.
                m_order.swap(m_buffer);
                m_width *= 2;
                m_lo = 0;
                if (m_width >= n) {
                    m_buffer = std::vector<int>();
                    m_phase = Phase::Unique;
                    return;
                }
            }
            m_mid = std::min(n, m_lo + m_width);
            m_hi = std::min(n, m_lo + 2 * m_width);
            m_a = m_lo;
            m_b = m_mid;
            m_inPair = true;
        }
        size_t out = m_a + m_b - m_mid;
        while (m_a < m_mid && m_b < m_hi && budget > 0) {
            // Equal keys take the left run first: stable.
            m_buffer[out++] = less(m_order[m_b], m_order[m_a]) ? m_order[m_b++] : m_order[m_a++];
            --budget;
        }
        if (m_a < m_mid && m_b < m_hi)
            return;
        std::copy(m_order.begin() + static_cast<std::ptrdiff_t>(m_a),
                  m_order.begin() + static_cast<std::ptrdiff_t>(m_mid),
                  m_buffer.begin() + static_cast<std::ptrdiff_t>(out));
        out += m_mid - m_a;
        std::copy(m_order.begin() + static_cast<std::ptrdiff_t>(m_b),
                  m_order.begin() + static_cast<std::ptrdiff_t>(m_hi),
                  m_buffer.begin() + static_cast<std::ptrdiff_t>(out));
        m_inPair = false;
        m_lo += 2 * m_width;
    }
}

void EngineDatabaseLoader::keepUnique()
{
    // A line equal to the one kept before it is dropped: the first in file order stays.
    const size_t n = m_order.size();
    if (m_next == 0)
        m_result.m_lines.reserve(static_cast<qsizetype>(n));
    const size_t end = std::min(n, m_next + LinesPerStep);
    for (; m_next < end; ++m_next) {
        const int line = m_order[m_next];
        if (m_previous >= 0 && compare(m_previous, line) == 0)
            continue;
        m_result.m_lines.append(m_lines.at(line));
        m_previous = line;
    }
    if (m_next < n)
        return;
    m_lines = QStringList();
    m_foldedKeys = std::vector<QString>();
    m_sortKeys = std::vector<QCollatorSortKey>();
    m_order = std::vector<int>();
    m_result.m_firstByName.reserve(m_result.m_lines.size());
    m_next = 0;
    m_phase = Phase::Index;
}

void EngineDatabaseLoader::index()
{
    const size_t n = static_cast<size_t>(m_result.count());
    const size_t end = std::min(n, m_next + LinesPerStep);
    for (; m_next < end; ++m_next)
        m_result.indexLine(static_cast<int>(m_next));
    if (m_next >= n)
        m_phase = Phase::Done;
}
