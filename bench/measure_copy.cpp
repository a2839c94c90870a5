// The two-pane copy against the host's own copy dialog, with the time the plug-in adds split into its
// parts as the source host timed them inside the same runs, and held against what the same work costs the
// host itself, in the same rounds.
#include "drive.h"
#include "measures.h"
#include "round_trip.h"

namespace {

// The times of each counted round, in milliseconds, in the order of CopySplit's fields.
struct CopySamples {
    std::vector<double> twoPane, own, difference, added, list, request, before, fill, dialog, rest, hostSetUp, selfFill,
        selfTreeFill, bare, sameWork, addedToSameWork;
};

// What the same work costs the host itself: its own copy command, its dialog filling itself in as the
// plug-in fills it in (the source host's /filldialog, switched on for this copy only).
bool TimeSelfFilled(const HostInstance &source, const HostInstance &target, const CopySplit &copies,
                    HostTiming *timing)
{
    double shown = 0;
    if (!source.Stage(kStageFillDialog, 1))
        return Fail("the source host would not fill in its own dialog");
    bool timed = TimeDialog(source, {&target}, kHostCmdCopy, kFilledTitle, copies.target, &shown, timing);
    if (!source.Stage(kStageFillDialog, 0))
        return Fail("the source host would not stop filling in its own dialog");
    if (timed && timing->dialogRetitledAt == 0)
        return Fail("the source host did not time its own filling");
    return timed;
}

// One block of rounds on these hosts, each round's steps in turn, starting one further each round.
bool TimeCopyRounds(const HostInstance &source, const HostInstance &target, const EchoProcess &echo,
                    const CopySplit &copies, CopySamples *samples)
{
    BareAsker asker;
    if (!asker.hwnd)
        return Fail("no window for the bare round trip");
    for (int i = 0; i < kWarmUps + kCopyRuns / kCopyBlocks; ++i) {
        double plugin = 0, host = 0, bare = 0;
        HostTiming t = {}, ownTiming = {}, self = {};
        if (!Interleaved(i, {[&] {
                                 return TimeDialog(source, {&target}, kVorpanCommand, kFilledTitle, copies.target,
                                                   &plugin, &t);
                             },
                             [&] {
                                 return TimeDialog(source, {&target}, kHostCmdCopy, HOST_CONFIRM_TITLE,
                                                   copies.source, &host, &ownTiming);
                             },
                             [&] { return TimeSelfFilled(source, target, copies, &self); },
                             [&] { return asker.Ask(echo.hwnd, copies.target, &bare); }}))
            return false;
        if (t.requests != 1 || t.copyCommandAt == 0 || t.dialogInitAt == 0 || t.dialogRetitledAt == 0 ||
            t.dialogShownAt == 0 || ownTiming.dialogInitAt == 0)
            return Fail("the source host did not time the two-pane run (" + std::to_string(t.requests) +
                        " requests)");
        if (i < kWarmUps)
            continue;
        samples->twoPane.push_back(plugin);
        samples->own.push_back(host);
        samples->difference.push_back(plugin - host);
        // The host's own set-up of its dialog is the same work in both runs, and the plug-in takes no part
        // in it; under load it is what varies most from run to run.
        samples->added.push_back(plugin - host - TicksMs(t.dialogReadyAt - t.dialogInitAt) +
                                 TicksMs(ownTiming.dialogReadyAt - ownTiming.dialogInitAt));
        samples->list.push_back(TicksMs(t.pluginCalledAt - t.commandAt));
        samples->request.push_back(TicksMs(t.requestTicks));
        samples->before.push_back(TicksMs(t.copyCommandAt - t.pluginCalledAt - t.requestTicks));
        samples->fill.push_back(TicksMs(t.treeFillTicks));
        samples->dialog.push_back(TicksMs(t.dialogShownAt - t.dialogRetitledAt - t.treeFillTicks));
        samples->hostSetUp.push_back(TicksMs(ownTiming.dialogReadyAt - ownTiming.copyCommandAt));
        samples->rest.push_back(samples->added.back() - samples->list.back() - samples->request.back() -
                                samples->before.back() - samples->fill.back() - samples->dialog.back());
        samples->selfFill.push_back(TicksMs(self.dialogShownAt - self.dialogRetitledAt - self.treeFillTicks));
        samples->selfTreeFill.push_back(TicksMs(self.treeFillTicks));
        samples->bare.push_back(bare);
        samples->sameWork.push_back(samples->request.back() + samples->fill.back() + samples->selfFill.back() + bare);
        samples->addedToSameWork.push_back(samples->added.back() / samples->sameWork.back());
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
        HostInstance source({"/path=" + copies->source, "/selectall", "/timing",
                             "/filldialog=" + std::string(kFilledTitle) + "|" + copies->target, plugins.HostOption()});
        EchoProcess echo(copies->target);
        if (!target.ok() || !source.ok() || !echo.ok())
            return Fail("hosts or the echo process did not start");
        if (!Activate(target.hwnd))
            return Fail("the target instance could not be activated");
        if (!TimeCopyRounds(source, target, echo, *copies, &samples))
            return false;
    }
    copies->twoPane = Summarize(samples.twoPane);
    copies->ownCopy = Summarize(samples.own);
    copies->difference = Summarize(samples.difference);
    copies->added = Summarize(samples.added);
    copies->instanceList = Summarize(samples.list);
    copies->request = Summarize(samples.request);
    copies->pluginBefore = Summarize(samples.before);
    copies->treeFill = Summarize(samples.fill);
    copies->pluginDialog = Summarize(samples.dialog);
    copies->rest = Summarize(samples.rest);
    copies->hostSetUp = Summarize(samples.hostSetUp);
    copies->selfFill = Summarize(samples.selfFill);
    copies->selfTreeFill = Summarize(samples.selfTreeFill);
    copies->bare = Summarize(samples.bare);
    copies->sameWork = Summarize(samples.sameWork);
    copies->addedToSameWork = Summarize(samples.addedToSameWork);
    Progress("two-pane copy from " + copies->source + ": median " + Format(copies->twoPane.median) +
             " ms, own copy " + Format(copies->ownCopy.median) + " ms, added " + Format(copies->added.median, 2) +
             " ms, the same work done by the host " + Format(copies->sameWork.median, 2) + " ms");
    return true;
}
