// The benchmark's targets and how they are judged; see targets.h.
#include "targets.h"

#include "drive.h"

namespace {

// The plug-in's bound on one request, and on the chooser's whole round: from the first instance that
// does not answer promptly the rest are asked at once, and instances that stopped answering cost one such
// time-out together, not one each.
constexpr double kRequestBoundMs = 3000;

template <int others>
double RequestsToBare(const Results &r)
{
    return r.chooser[StepOf(others)].perRequestToBare.median;
}

double RequestsToBareLimit(const Results &)
{
    return kRequestsToBareLimit;
}

}  // namespace

const Target kTargets[] = {
    {"Request round trip at most 2 × the bare round trip", 3, kFloorMeasure,
     [](const Results &r) { return r.floor.request.median; }, [](const Results &r) { return 2 * r.floor.bare.median; }},
    {"Two-pane copy's added time at most what the same work costs the host, same round: the request + the "
     "host's tree filling + the host filling in its own dialog alike + one bare round trip", 2, kCopyMeasure,
     [](const Results &r) { return r.copies.addedToSameWork.median; }, [](const Results &) { return 1.0; }, " ×"},
    {"Chooser's requests with 2 other instances at most 1.25 × 2 bare round trips of the same round", 2,
     kChooserMeasure, RequestsToBare<2>, RequestsToBareLimit, " ×"},
    {"Chooser's requests with 4 other instances at most 1.25 × 4 bare round trips of the same round", 2,
     kChooserMeasure, RequestsToBare<4>, RequestsToBareLimit, " ×"},
    {"Chooser's requests with 8 other instances at most 1.25 × 8 bare round trips of the same round", 2,
     kChooserMeasure, RequestsToBare<8>, RequestsToBareLimit, " ×"},
    {"Chooser's requests with 16 other instances at most 1.25 × 16 bare round trips of the same round", 2,
     kChooserMeasure, RequestsToBare<16>, RequestsToBareLimit, " ×"},
    {"Chooser with 8 other instances within 8 round trips + 50 ms", 1, kChooserMeasure,
     [](const Results &r) { return r.chooser[StepOf(8)].toMenu.median; },
     [](const Results &r) { return 8 * r.floor.request.median + 50; }},
    {"Chooser with 8 other instances, the 3rd and 6th asked of which stopped answering just before the "
     "command, within one request's bound (3000 ms) + 100 ms", 0, kStalledMeasure,
     [](const Results &r) { return r.stalled.toMenu.median; },
     [](const Results &) { return kRequestBoundMs + 100; }},
    {"Chooser with 8 other instances, the first asked of which stopped answering just before the command, "
     "within one request's bound (3000 ms) + 100 ms", 0, kFirstStalledMeasure,
     [](const Results &r) { return r.firstStalled.toMenu.median; },
     [](const Results &) { return kRequestBoundMs + 100; }},
    {"Two-pane copy to a target without a folder tree at most the normal two-pane copy + 50 ms", 1, kNoTreeMeasure,
     [](const Results &r) { return r.noTree.noTree.median; },
     [](const Results &r) { return r.noTree.withTree.median + 50; }},
    {"Copy whose host shows no confirmation dialog: DoProcess back within the host's own copy + 50 ms", 1,
     kNoDialogMeasure, [](const Results &r) { return r.noDialog.doProcess.median; },
     [](const Results &r) { return r.noDialog.hostCopy.median + 50; }},
    {"Chooser with 8 other instances, 2 without a folder tree, within 8 round trips + 50 ms", 1, kTreelessMeasure,
     [](const Results &r) { return r.treeless.toMenu.median; },
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
