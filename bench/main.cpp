// The benchmark: runs every measure of VORPAN.DLL on stand-in hosts under Wine, judges the targets and
// writes the report (timings.md and the chooser chart's data) into the folder named by --out.
#include <string>

#include "harness/console_text.h"
#include "drive.h"
#include "measures.h"
#include "report.h"
#include "targets.h"

bool RunMeasure(Measure measure, const PluginFolder &plugins, Results *results)
{
    switch (measure) {
    case kFloorMeasure:
        return MeasureFloor(plugins, &results->floor);
    case kCopyMeasure:
        return MeasureCopies(plugins, &results->copies);
    case kChooserMeasure:
        return MeasureChooser(plugins, results->chooser);
    case kStalledMeasure:
        return MeasureStalledChooser(plugins, kStalledAt, &results->stalled);
    case kFirstStalledMeasure:
        return MeasureStalledChooser(plugins, kFirstStalledAt, &results->firstStalled);
    case kHungMeasure:
        return MeasureHungTarget(plugins, &results->hung);
    case kNoTreeMeasure:
        return MeasureNoTreeCopy(plugins, &results->noTree);
    case kNoDialogMeasure:
        return MeasureNoDialogCopy(plugins, &results->noDialog);
    case kTreelessMeasure:
        return MeasureTreelessChooser(plugins, &results->treeless);
    case kMeasureCount:
        break;
    }
    return false;
}

namespace {

int RunBenchmark(const std::string &out)
{
    PluginFolder plugins;
    if (!plugins.ok()) {
        Fail(plugins.error);
        return 1;
    }
    // NotifyFallback for the hung target's notice, ChooseTarget for the menu; two instances never see it.
    WriteState(plugins, state_flag::kNotifyFallback | state_flag::kChooseTarget);

    Results results{};
    for (int measure = 0; measure < kMeasureCount; ++measure) {
        if (!RunMeasure(Measure(measure), plugins, &results))
            return 1;
    }
    Verdict verdicts[kTargetCount];
    if (!JudgeTargets(plugins, &results, verdicts))
        return 1;

    std::string report = MarkdownReport(results, verdicts);
    if (!WriteTextFile(out + "\\timings.md", Utf8Text(report)) ||
        !WriteTextFile(out + "\\chooser.dat", ChooserData(results))) {
        Fail("cannot write into " + out);
        return 1;
    }
    PrintText(report);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--out=", 0) != 0) {
            Fail("unknown argument " + arg + "; usage: vorpan_bench --out=<folder>");
            return 2;
        }
        out = arg.substr(6);
    }
    if (out.empty() || !FolderExists(out)) {
        Fail("--out=<folder> must name an existing folder");
        return 2;
    }
    return RunBenchmark(out);
}
