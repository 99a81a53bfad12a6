#pragma once

#include "EngineDatabase.h"
#include "ListFile.h"

#include <QCollatorSortKey>

#include <memory>
#include <vector>

// Builds an EngineDatabase in bounded steps, so a window can let events run
// between them: read the file a chunk at a time, make the sort keys, sort
// short runs, merge them in slices, drop the duplicates, index the names.
// The result is exactly what EngineDatabase::load and setLines give.
class EngineDatabaseLoader
{
public:
    // Reads `path`; throws ListFileError when it cannot be opened.
    explicit EngineDatabaseLoader(const QString& path);
    // Sorts lines already in memory.
    explicit EngineDatabaseLoader(QStringList lines);
    ~EngineDatabaseLoader();
    EngineDatabaseLoader(const EngineDatabaseLoader&) = delete;
    EngineDatabaseLoader& operator=(const EngineDatabaseLoader&) = delete;

    // Does one bounded piece of work; returns false once the database is
    // complete. Throws ListFileError when the file cannot be read.
    bool step();
    // Runs the remaining steps at once.
    void finish();
    // The complete database; only once done.
    EngineDatabase takeDatabase();

private:
    enum class Phase { Read, Keys, Runs, Merge, Unique, Index, Done };

    void startSort();
    void makeKeys();
    void sortRuns();
    void merge();
    void keepUnique();
    void index();
    int compare(int a, int b) const;
    bool less(int a, int b) const { return compare(a, b) < 0; }

    Phase m_phase = Phase::Read;
    std::unique_ptr<ListFileReader> m_reader;
    QStringList m_lines;
    QCollator m_collator;
    bool m_folded = false; // keys are case-folded text, not collator keys
    std::vector<QString> m_foldedKeys;
    std::vector<QCollatorSortKey> m_sortKeys;
    // The bottom-up merge sort of line positions, stable: equal keys keep file order.
    std::vector<int> m_order;
    std::vector<int> m_buffer;
    size_t m_next = 0; // the next line, run or output position of the phase
    size_t m_width = 0;
    size_t m_lo = 0, m_mid = 0, m_hi = 0, m_a = 0, m_b = 0;
    bool m_inPair = false;
    int m_previous = -1;
    EngineDatabase m_result;
};
