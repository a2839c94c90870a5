// The two-pane copy against the host's own copy dialog, with the time the plug-in adds split into its
// parts as the source host timed them inside the same runs.
#include "drive.h"
#include "measures.h"

namespace {

// The times of each counted run pair, in milliseconds, in the order of CopySplit's fields.
struct CopySamples {
    std::vector<double> twoPane, own, added, list, request, before, fill, dialog, rest, hostSetUp;
};

// One block of run pairs on these hosts, each pair in alternating order.
bool TimeCopyPairs(const HostInstance &source, const HostInstance &target, const CopySplit &copies,
                   CopySamples *samples)
{
    for (int i = 0; i < kWarmUps + kCopyRuns / kCopyBlocks; ++i) {
        double plugin = 0, host = 0;
        HostTiming t = {}, ownTiming = {};
        if (!Interleaved(i, {[&] {
                                 return TimeDialog(source, {&target}, kVorpanCommand, kFilledTitle, copies.target,
                                                   &plugin, &t);
                             },
                             [&] {
                                 return TimeDialog(source, {&target}, kHostCmdCopy, HOST_CONFIRM_TITLE,
                                                   copies.source, &host, &ownTiming);
                             }}))
            return false;
        if (t.requests != 1 || t.copyCommandAt == 0 || t.dialogRetitledAt == 0 || t.dialogShownAt == 0)
            return Fail("the source host did not time the two-pane run (" + std::to_string(t.requests) +
                        " requests)");
        if (i < kWarmUps)
            continue;
        samples->twoPane.push_back(plugin);
        samples->own.push_back(host);
        samples->added.push_back(plugin - host);
        samples->list.push_back(TicksMs(t.pluginCalledAt - t.commandAt));
        samples->request.push_back(TicksMs(t.requestTicks));
        samples->before.push_back(TicksMs(t.copyCommandAt - t.pluginCalledAt - t.requestTicks));
        samples->fill.push_back(TicksMs(t.treeFillTicks));
        samples->dialog.push_back(TicksMs(t.dialogShownAt - t.dialogRetitledAt - t.treeFillTicks));
        samples->hostSetUp.push_back(TicksMs(ownTiming.dialogReadyAt - ownTiming.copyCommandAt));
        samples->rest.push_back(samples->added.back() - samples->list.back() - samples->request.back() -
                                samples->before.back() - samples->fill.back() - samples->dialog.back());
    }
    return true;
}

}  // namespace

bool MeasureCopies(const PluginFolder &plugins, CopySplit *copies)
{
    ScratchFolder scratch({"作業\\報告書.txt", "作業\\予定表.txt", "作業\\memo.txt", "ソフト\\表示\\"});
    copies->source = scratch.Path("作業");
    copies->target = scratch.Path("ソフト\\表示");
    if (!scratch.ok())
        return Fail("no folders for the copy: " + scratch.error);
    CopySamples samples;
    for (int block = 0; block < kCopyBlocks; ++block) {
        HostInstance target({"/path=" + copies->target, plugins.HostOption()});
        HostInstance source({"/path=" + copies->source, "/selectall", "/timing", plugins.HostOption()});
        if (!target.ok() || !source.ok())
            return Fail("hosts did not start");
        if (!Activate(target.hwnd))
            return Fail("the target instance could not be activated");
        if (!TimeCopyPairs(source, target, *copies, &samples))
            return false;
    }
    copies->twoPane = Summarize(samples.twoPane);
    copies->ownCopy = Summarize(samples.own);
    copies->added = Summarize(samples.added);
    copies->instanceList = Summarize(samples.list);
    copies->request = Summarize(samples.request);
    copies->pluginBefore = Summarize(samples.before);
    copies->treeFill = Summarize(samples.fill);
    copies->pluginDialog = Summarize(samples.dialog);
    copies->rest = Summarize(samples.rest);
    copies->hostSetUp = Summarize(samples.hostSetUp);
    Progress("two-pane copy from " + copies->source + ": median " + Format(copies->twoPane.median) +
             " ms, own copy " + Format(copies->ownCopy.median) + " ms, added " + Format(copies->added.median, 2) +
             " ms");
    return true;
}
