#include "EngineFilter.h"

#include "RunEngineRows.h"

namespace EngineFilter {

long long apply(RunEngineRows& model, Scope scope, const Boxes& boxes)
{
    const bool all = scope == Scope::All;
    long long total = 0;
    for (int i = 0; i < model.count(); ++i) {
        const EngineRow& row = model.row(i);
        bool mark = row.checked;
        switch (row.kind) {
        case EngineKind::Engine: // rule 1
        case EngineKind::IndexNow:
            if (all || scope == Scope::SearchEngines)
                mark = boxes.searchEngines;
            break;
        case EngineKind::Classified: // rule 2
            if (all || scope == Scope::Classifieds)
                mark = boxes.classifieds;
            break;
        case EngineKind::Ffa: // rule 3
            if (all || scope == Scope::FfaClassifieds)
                mark = boxes.ffaClassifieds;
            break;
        case EngineKind::Batch: // rule 4, whatever the scope
            mark = boxes.batchSites;
            if (mark)
                total += row.weight - 1;
            break;
        case EngineKind::CustomEngine: // rules 5 to 7, whatever the scope
            mark = boxes.customEngines && boxes.searchEngines;
            break;
        case EngineKind::CustomClassified:
            mark = boxes.customEngines && boxes.classifieds;
            break;
        case EngineKind::CustomFfa:
            mark = boxes.customEngines && boxes.ffaClassifieds;
            break;
        case EngineKind::Other:
            break;
        }
        // Rule 8.
        if (mark)
            ++total;
        model.setCheckedQuietly(i, mark);
    }
    model.flushChecks();
    return total;
}

long long recount(RunEngineRows& model)
{
    long long total = 0;
    for (int i = 0; i < model.count(); ++i) {
        if (model.isChecked(i))
            total += model.submissionWeight(i);
    }
    return total;
}

} // namespace EngineFilter
