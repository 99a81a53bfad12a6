#pragma once

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

// The eight rules over every row in order; returns the new "Total". Marks are
// set quietly, and the views are told once at the end.
long long apply(RunEngineRows& model, Scope scope, const Boxes& boxes);

// "Total" from the checked rows: N for a batch row, 1 for any other.
long long recount(RunEngineRows& model);

} // namespace EngineFilter
