#pragma once

#include <functional>

class RunEngineRows;

// The type filter boxes of the "Auto Submit Engines" panel, and the passes
// that set the engine check marks from them and count the "Total".
namespace EngineFilter {

// Which box a pass was started for. `Other` matches no type box: only the
// batch and custom rules apply.
enum class Scope { SearchEngines, Classifieds, FfaClassifieds, BatchSites, CustomEngines, All, Other };

struct Boxes
{
    bool searchEngines = false; // "Search Engines", unchecked at start
    bool classifieds = true;    // "Classifieds", hidden, always checked
    bool ffaClassifieds = true; // "FFA/Classifieds"
    bool batchSites = true;     // "Batch Sites"
    bool customEngines = true;  // "Custom Engines", hidden, always checked
};

using Tick = std::function<void()>;

// The eight rules over every row in order; returns the new "Total". Marks are
// set quietly: `tick` runs after each row and, before it lets events run,
// calls model.flushChecks() so the views see them.
// Rows added or removed by events during the pass are taken as they stand.
long long apply(RunEngineRows& model, Scope scope, const Boxes& boxes, const Tick& tick = {});

// "Total" from the checked rows: N for a batch row, 1 for any other.
long long recount(RunEngineRows& model, const Tick& tick = {});

} // namespace EngineFilter
