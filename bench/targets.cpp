// The benchmark's targets and how they are judged; see targets.h.
#include "targets.h"

#include "drive.h"

const Target kTargets[] = {
    {"Request round trip at most 2 × the bare round trip", 3, kFloorMeasure,
     [](const Results &r) { return r.floor.request.median; }, [](const Results &r) { return 2 * r.floor.bare.median; }},
    {"Two-pane copy's added time at most one request + the host's tree filling + 1 ms", 2, kCopyMeasure,
     [](const Results &r) { return r.copies.added.median; },
     [](const Results &r) { return r.copies.request.median + r.copies.treeFill.median + 1; }},
    {"Chooser's cost per request at 16 other instances at most 1.5 × that at 2", 3, kGrowthMeasure,
     [](const Results &r) { return r.growth[StepOf(16)].perRequest.median; },
     [](const Results &r) { return 1.5 * r.growth[StepOf(2)].perRequest.median; }},
    {"Chooser with 8 other instances within 8 round trips + 50 ms", 1, kGrowthMeasure,
     [](const Results &r) { return r.growth[StepOf(8)].chooser.median; },
     [](const Results &r) { return 8 * r.floor.request.median + 50; }},
    {"Two-pane copy to a target without a folder tree at most the normal two-pane copy + 50 ms", 1, kNoTreeMeasure,
     [](const Results &r) { return r.noTree.noTree.median; },
     [](const Results &r) { return r.noTree.withTree.median + 50; }},
    {"Copy whose host shows no confirmation dialog: DoProcess back within the host's own copy + 50 ms", 1,
     kNoDialogMeasure, [](const Results &r) { return r.noDialog.doProcess.median; },
     [](const Results &r) { return r.noDialog.hostCopy.median + 50; }},
    {"Chooser with 8 other instances, 2 without a folder tree, within 8 round trips + 50 ms", 1, kTreelessMeasure,
     [](const Results &r) { return r.treeless.chooser.median; },
     [](const Results &r) { return kTreelessOthers * r.floor.request.median + 50; }},
};
static_assert(std::size(kTargets) == kTargetCount, "kTargetCount counts kTargets");

bool JudgeTargets(const PluginFolder &plugins, Results *results, Verdict (&verdicts)[kTargetCount])
{
    for (size_t i = 0; i < kTargetCount; ++i) {
        verdicts[i] = {};
        verdicts[i].first = kTargets[i].measured(*results);
        verdicts[i].firstLimit = kTargets[i].limit(*results);
        verdicts[i].held = verdicts[i].first <= verdicts[i].firstLimit;
        if (!verdicts[i].held)
            results->repeated[kTargets[i].measure] = true;
    }
    for (int measure = 0; measure < kMeasureCount; ++measure) {
        if (!results->repeated[measure])
            continue;
        Progress("a target missed: measuring once more");
        if (!RunMeasure(Measure(measure), plugins, results))
            return false;
    }
    for (size_t i = 0; i < kTargetCount; ++i) {
        Verdict &v = verdicts[i];
        if (v.held)
            continue;
        v.repeated = true;
        v.again = kTargets[i].measured(*results);
        v.againLimit = kTargets[i].limit(*results);
        v.held = v.again <= v.againLimit;
    }
    return true;
}
