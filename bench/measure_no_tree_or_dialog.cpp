// Runs in which no tree-path report comes or the host's copy shows no dialog to fill in: a two-pane copy to
// a target without a folder tree, a copy whose dialog has another title, and the chooser with targets
// without a tree. The two copies are timed beside what they are held against; the chooser is held against
// the floor's round trips.
#include <memory>

#include "drive.h"
#include "measures.h"

// Two targets run, one with a folder tree and one without, and each run copies to the one activated last.
// A plug-in folder of its own, its chooser off: with three instances the copy then goes to that one.
bool MeasureNoTreeCopy(const PluginFolder &, NoTreeCopy *copy)
{
    PluginFolder plugins;
    ScratchFolder scratch({"作業\\報告書.txt", "ソフト\\表示\\", "資料\\保存\\"});
    const std::string withTree = scratch.Path("ソフト\\表示"), noTree = scratch.Path("資料\\保存");
    if (!plugins.ok() || !scratch.ok())
        return Fail("no folders for the copy without a tree: " + plugins.error + scratch.error);
    WriteState(plugins, 0);
    HostInstance treeTarget({"/path=" + withTree, plugins.HostOption()});
    HostInstance treelessTarget({"/path=" + noTree, "/notree", plugins.HostOption()});
    HostInstance source({"/path=" + scratch.Path("作業"), "/selectall", plugins.HostOption()});
    if (!treeTarget.ok() || !treelessTarget.ok() || !source.ok())
        return Fail("hosts did not start");
    std::vector<double> noTreeTimes, withTreeTimes;
    auto copyTo = [&](const HostInstance &target, const std::string &folder, std::vector<double> *times,
                      bool counted) {
        double elapsed = 0;
        HostTiming t = {};
        if (!Activate(target.hwnd))
            return Fail("the target instance could not be activated");
        if (!TimeDialog(source, {&treeTarget, &treelessTarget}, kVorpanCommand, kFilledTitle, folder, &elapsed, &t))
            return false;
        if (counted)
            times->push_back(elapsed);
        return true;
    };
    if (!Runs(kTimeOutWarmUps, kTimeOutRuns, [&](int i, bool counted) {
            return Interleaved(i, {[&] { return copyTo(treelessTarget, noTree, &noTreeTimes, counted); },
                                   [&] { return copyTo(treeTarget, withTree, &withTreeTimes, counted); }});
        }))
        return false;
    copy->noTree = Summarize(noTreeTimes);
    copy->withTree = Summarize(withTreeTimes);
    Progress("two-pane copy to a target without a tree: median " + Format(copy->noTree.median) +
             " ms, with a tree " + Format(copy->withTree.median) + " ms");
    return true;
}

// The host's copy shows its dialog under another title, which the plug-in leaves alone; the bench cancels
// it as soon as it is shown. The source host times both the plug-in's call and its own copy inside it.
bool MeasureNoDialogCopy(const PluginFolder &plugins, NoDialogCopy *copy)
{
    ScratchFolder scratch({"作業\\報告書.txt", "ソフト\\表示\\"});
    const std::string sourceFolder = scratch.Path("作業");
    const char otherTitle[] = HOST_RENAMED_TITLE;
    HostInstance target({"/path=" + scratch.Path("ソフト\\表示"), plugins.HostOption()});
    HostInstance source({"/path=" + sourceFolder, "/selectall", plugins.HostOption()});
    if (!scratch.ok() || !target.ok() || !source.ok() || !source.Stage(kStageDialogShape, kDialogRenamed))
        return Fail("hosts did not start");
    if (!Activate(target.hwnd))
        return Fail("the target instance could not be activated");
    std::vector<double> doProcess, hostCopy;
    if (!Runs(kTimeOutWarmUps, kTimeOutRuns, [&](int, bool counted) {
            double shown = 0;
            HostTiming t = {};
            // The dialog keeps what the host put in: the source's own folder.
            if (!TimeDialog(source, {&target}, kVorpanCommand, otherTitle, sourceFolder, &shown, &t))
                return false;
            if (!ReadTiming(source, &t))
                return Fail("the source host gave no timing after the run");
            if (t.pluginReturnedAt == 0 || t.copyCommandAt < t.pluginCalledAt || t.copyCommandEndAt < t.copyCommandAt)
                return Fail("the source host did not time the plug-in's call around its copy");
            if (counted) {
                doProcess.push_back(TicksMs(t.pluginReturnedAt - t.pluginCalledAt));
                hostCopy.push_back(TicksMs(t.copyCommandEndAt - t.copyCommandAt));
            }
            return true;
        }))
        return false;
    copy->doProcess = Summarize(doProcess);
    copy->hostCopy = Summarize(hostCopy);
    Progress("copy with no dialog to fill: DoProcess " + Format(copy->doProcess.median) + " ms, its host copy " +
             Format(copy->hostCopy.median) + " ms (medians)");
    return true;
}

bool MeasureTreelessChooser(const PluginFolder &plugins, TreelessChooser *chooser)
{
    ChooserHosts hosts(plugins, kTreelessOthers,
                       [](int i) { return std::vector<std::string>(i < kTreeless ? 1 : 0, "/notree"); });
    if (!hosts.ok())
        return Fail(hosts.error);
    std::vector<double> times;
    if (!Runs(kTimeOutWarmUps, kTimeOutRuns, [&](int, bool counted) {
            double elapsed = 0;
            HostTiming t = {};
            if (!TimeChooser(hosts.source, hosts.all, kTreelessOthers, &elapsed, &t))
                return false;
            if (counted)
                times.push_back(elapsed);
            return true;
        }))
        return false;
    chooser->toMenu = Summarize(times);
    Progress("chooser with " + std::to_string(kTreelessOthers) + " other instances, " + std::to_string(kTreeless) +
             " without a tree: median " + Format(chooser->toMenu.median) + " ms");
    return true;
}
