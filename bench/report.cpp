// The benchmark's report: one Markdown section per measure, the targets, and the chooser chart's data.
// How each figure is taken is told in METHOD.md, which the sections link to.
#include "report.h"


namespace {

const char kTableHead[] = "| Measure | Runs | Median ms | p90 ms | Range ms | Note |\n|---|---:|---:|---:|---:|---|\n";

std::string Heading(const Results &r, const char *title, Measure measure, const char *method)
{
    return std::string("## ") + title + "\n\nMethod: [METHOD.md#" + method + "](METHOD.md#" + method + ").\n\n" +
           (r.repeated[measure] ? "Measured twice, as a target it feeds missed at first; this is the repeat.\n\n"
                                : "");
}

std::string StatsRow(const std::string &what, const Stats &stats, const std::string &note, int decimals = 2)
{
    return "| " + what + " | " + std::to_string(stats.runs) + " | " + Format(stats.median, decimals) + " | " +
           Format(stats.p90, decimals) + " | " + Format(stats.min, decimals) + " to " + Format(stats.max, decimals) +
           " | " + note + " |\n";
}

std::string RatioRow(const std::string &what, const Stats &a, const Stats &b, const std::string &note)
{
    return "| " + what + " | | " + Ratio(a.median, b.median) + " | " + Ratio(a.p90, b.p90) + " | | " + note + " |\n";
}

std::string FloorReport(const Results &r)
{
    const Floor &f = r.floor;
    std::string md = Heading(r, "The floor: a bare round trip between two processes of our own", kFloorMeasure,
                             "the-floor") + kTableHead;
    md += StatsRow("Bare round trip: WM_COMMAND answered inside it by two WM_COPYDATA", f.bare,
                   "bench → an echo process of its own, the same path texts a host sends; no plug-in, no host; " +
                       std::to_string(kFloorBlocks) + " blocks, each with a host and an echo process started anew",
                   3);
    md += StatsRow("Path request round trip (RequestPaths: send, both reports in)", f.request,
                   "plug-in's own RequestPaths in the bench → a host with the plug-in; interleaved with the row above",
                   3);
    md += RatioRow("Request / bare", f.request, f.bare, "of the medians; of the p90s");
    md += StatsRow("One call to Wine's server (ResetEvent)", f.serverCall,
                   "interleaved with the rows above: what one platform call between processes costs at the least", 3);
    md += StatsRow("One thread started and its end seen (CreateThread, WaitForSingleObject)", f.thread,
                   "interleaved with the rows above: what the chooser pays per instance it asks at once, beside the "
                   "request", 3);
    return md + "\n";
}

std::string CopyReport(const Results &r)
{
    const CopySplit &c = r.copies;
    std::string md =
        Heading(r, "Two-pane copy against the host's own copy dialog", kCopyMeasure, "two-pane-copy") + kTableHead;
    md += StatsRow("Two-pane copy: command " + std::to_string(kVorpanCommand) + " → filled dialog shown", c.twoPane,
                   "from " + c.source + " to " + c.target +
                       "; interleaved with the host's own copies and a bare round trip; " +
                       std::to_string(kCopyBlocks) + " blocks, each with hosts started anew");
    md += StatsRow("Host's own copy: command 32781 → dialog shown", c.ownCopy, "same hosts, same selection");
    md += RatioRow("Two-pane / own copy (reported, not a target)", c.twoPane, c.ownCopy,
                   "of the medians; of the p90s; how light the stand-in's dialog is sets it");
    md += StatsRow("Two-pane minus own copy", c.difference, "round by round");
    md += StatsRow("**Added time**: two-pane minus own copy, each less its dialog's own set-up", c.added,
                   "round by round; each run's WM_INITDIALOG handling taken out: the same work in both, in which "
                   "the plug-in only passes messages on, and what varies most under load");
    md += StatsRow("　host: instance list for the plug-in call", c.instanceList,
                   "command in the main window → DoProcess called");
    md += StatsRow("　request: the plug-in's send until the answer is back", c.request,
                   "its SendMessageTimeoutA, timed in the source host around the call");
    md += StatsRow("　host: filling the tree levels the plug-in expands", c.treeFill,
                   "the dialog's TVN_ITEMEXPANDING handling after its own set-up");
    md += StatsRow("　plug-in: its own work up to the copy command", c.pluginBefore,
                   "DoProcess called → copy command, the request taken out");
    md += StatsRow("　plug-in: filling in the dialog", c.pluginDialog,
                   "dialog retitled → WM_SHOWWINDOW reaches the host, the host's tree filling taken out");
    md += StatsRow("　not in the parts", c.rest, "the added time less the five parts, run by run");
    md += StatsRow("Host's own dialog set-up, in the own copy runs", c.hostSetUp,
                   "copy command → its WM_INITDIALOG done: no plug-in involved; shows how fast the platform ran");
    md += StatsRow("Host filling in its own dialog alike: the title, the field, the folder selected in its tree",
                   c.selfFill,
                   "the host's own copy, its dialog filling itself in with the plug-in's title and the target's "
                   "folder as it is first shown, its tree filling taken out; interleaved with the rows above");
    md += StatsRow("　host: its tree filling in those runs", c.selfTreeFill,
                   "the levels it expands, as the plug-in's");
    md += StatsRow("One bare round trip", c.bare, "as the floor's, to an echo process of each block; interleaved");
    md += StatsRow("The same work done by the host", c.sameWork,
                   "request + host's tree filling + host filling in its own dialog + one bare round trip, round by "
                   "round");
    md += StatsRow("**Added time / the same work done by the host**, same round (a ratio, not ms)",
                   c.addedToSameWork, "round by round; the target's figure");
    return md + "\n";
}

// The runs of a measure that may wait out a time-out, and whether this is its repeat.
std::string TimeOutRuns(const Results &r, Measure measure)
{
    return std::to_string(kTimeOutRuns) + " runs after " + std::to_string(kTimeOutWarmUps) + " warm-up" +
           (r.repeated[measure] ? "; measured twice, as its target missed at first: this is the repeat" : "");
}

std::string ChooserReport(const Results &r)
{
    std::string md = Heading(r, "The chooser", kChooserMeasure, "the-chooser");
    md += "| Other instances | To the menu, median / p90 ms | Per instance ms | Per request ms (p90) | "
          "Bare in a row, per round trip ms (processes) | **Per request / bare**, same round | "
          "Instance list: source / a target ms | Requests in a row from the bench, per request ms |\n";
    md += "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (size_t i = 0; i < kSteps; ++i) {
        const ChooserStep &g = r.chooser[i];
        md += "| " + std::to_string(kChooserOthers[i]) + " | " + Format(g.toMenu.median) + " / " +
              Format(g.toMenu.p90) + " | " + Format(g.perInstance.median, 2) + " | " + Format(g.perRequest.median, 3) +
              " (" + Format(g.perRequest.p90, 3) + ") | " + Format(g.bareInARow.median, 3) + " (" +
              std::to_string(kChooserOthers[i] + 1) + ") | " + Format(g.perRequestToBare.median, 2) + " | " +
              Format(g.sourceList.median, 3) + " / " + Format(g.targetList.median, 3) + " | " +
              Format(g.requestsInARow.median, 3) + " |\n";
    }
    const ChooserStep &low = r.chooser[StepOf(2)], &high = r.chooser[StepOf(16)];
    md += "\nFrom 2 to 16 other instances: the chooser's cost per request × " +
          Format(high.perRequest.median / low.perRequest.median, 2) + ", the bare round trip per round trip × " +
          Format(high.bareInARow.median / low.bareInARow.median, 2) + " (3 and 17 processes), the chooser's cost "
          "per request over the bare round trip of the same round × " +
          Format(high.perRequestToBare.median / low.perRequestToBare.median, 2) + ", a target host's instance "
          "list × " + Format(high.targetList.median / low.targetList.median, 2) + ".\n\n";
    md += kTableHead;
    struct {
        const StalledChooser &s;
        Measure measure;
        const char *which;
    } const stalledRows[] = {
        {r.stalled, kStalledMeasure, "the 3rd and 6th asked"},
        {r.firstStalled, kFirstStalledMeasure, "the first asked"},
    };
    for (const auto &row : stalledRows) {
        md += StatsRow("Chooser with " + std::to_string(kStalledOthers) + " other instances, " + row.which +
                           " of which stopped answering just before the command: command → menu visible",
                       row.s.toMenu, "closed with Escape; " + TimeOutRuns(r, row.measure), 0);
        md += StatsRow("　its requests, first send to last answer (source host)", row.s.requests,
                       "same runs; the requests to stopped instances end together, by the plug-in's 3000 ms", 0);
    }
    return md + "\n";
}

std::string HungReport(const Results &r)
{
    const Hung &h = r.hung;
    std::string each;
    for (double t : h.times)
        each += (each.empty() ? "" : ", ") + Format(t, 0);
    std::string md = Heading(r, "Hung target", kHungMeasure, "hung-target") + kTableHead;
    md += StatsRow("Hung target: command → fallback notice shown", Summarize(h.times),
                   "target's thread suspended; runs in order: " + each + " ms; notice 「" + h.text +
                       "」; a SendMessageTimeout(SMTO_ABORTIFHUNG, 3000 ms) to it alone takes " + Format(h.send, 0) +
                       " ms");
    return md + "\n";
}

// The three measures share one table: in each, no tree path comes or no dialog is there to fill in.
std::string NoTreeOrDialogReport(const Results &r)
{
    std::string md = "## Runs with no tree path or no dialog to fill in\n\nMethod: "
                     "[METHOD.md#no-tree-path-or-no-dialog](METHOD.md#no-tree-path-or-no-dialog).\n\n";
    md += kTableHead;
    // Each measure of the table says in its first row's note whether this is its repeat.
    md += StatsRow("Two-pane copy to a target without a folder tree: command → filled dialog shown", r.noTree.noTree,
                   "source, a target with a tree and one without; " + TimeOutRuns(r, kNoTreeMeasure), 1);
    md += StatsRow("　the same to the target with a folder tree", r.noTree.withTree,
                   "interleaved with the row above, same hosts", 1);
    md += StatsRow("Copy whose host dialog has another title: DoProcess called → returned", r.noDialog.doProcess,
                   "the plug-in leaves the dialog alone, the bench cancels it once shown; " +
                       TimeOutRuns(r, kNoDialogMeasure),
                   1);
    md += StatsRow("　the host's copy command inside that call", r.noDialog.hostCopy,
                   "copy command → returned, its dialog closed; same runs", 1);
    md += StatsRow("Chooser with " + std::to_string(kTreelessOthers) + " other instances, " +
                       std::to_string(kTreeless) + " without a folder tree: command → menu visible",
                   r.treeless.toMenu, "closed with Escape; " + TimeOutRuns(r, kTreelessMeasure), 1);
    return md + "\n";
}

std::string TargetsReport(const Verdict (&verdicts)[kTargetCount])
{
    std::string md = "## Targets\n\nA missed target is measured once more before it is called missed: "
                     "[METHOD.md#targets](METHOD.md#targets).\n\n";
    md += "| Target | Measured | Limit | Held |\n|---|---:|---:|---|\n";
    for (size_t i = 0; i < kTargetCount; ++i) {
        const Target &t = kTargets[i];
        const Verdict &v = verdicts[i];
        double measured = v.repeated ? v.again : v.first, limit = v.repeated ? v.againLimit : v.firstLimit;
        std::string held = v.held ? "yes" : "**no**";
        if (v.repeated)
            held += std::string(v.held ? ", on the repeat" : ", missed twice") + " (first " +
                    Format(v.first, t.decimals) + t.unit + " against " + Format(v.firstLimit, t.decimals) + t.unit +
                    ")";
        md += std::string("| ") + t.name + " | " + Format(measured, t.decimals) + t.unit + " | " +
              Format(limit, t.decimals) + t.unit + " | " + held + " |\n";
    }
    return md;
}

}  // namespace

std::string MarkdownReport(const Results &results, const Verdict (&verdicts)[kTargetCount])
{
    return FloorReport(results) + CopyReport(results) + ChooserReport(results) + HungReport(results) +
           NoTreeOrDialogReport(results) + TargetsReport(verdicts);
}

std::string ChooserData(const Results &r)
{
    std::string data = "# other_instances per_request_to_bare_median per_request_to_bare_p90 limit\n";
    for (size_t i = 0; i < kSteps; ++i) {
        const ChooserStep &g = r.chooser[i];
        data += std::to_string(kChooserOthers[i]) + " " + Format(g.perRequestToBare.median, 4) + " " +
                Format(g.perRequestToBare.p90, 4) + " " + Format(kRequestsToBareLimit, 2) + "\n";
    }
    return data;
}
