// The benchmark's measures, each a function that starts its own hosts and fills in its own figures, and
// the results they make together, from which the report and the targets are computed.
#pragma once

#include <iterator>
#include <string>
#include <vector>

#include "stats.h"
#include "harness/harness.h"

// Runs of each measure; warm-up runs come on top and are not counted.
constexpr int kRoundTrips = 100;
constexpr int kFloorBlocks = 5;  // each with processes of its own: see MeasureFloor
// The two-pane copy's added time, about 2 ms, is judged against a limit of the same size, and under load
// a copy's own time varies by several: its median wants many runs.
constexpr int kCopyRuns = 160;
constexpr int kCopyBlocks = 4;   // each with hosts of their own, as for the floor
constexpr int kChooserRuns = 15;
constexpr int kHungRuns = 3;
constexpr int kWarmUps = 3;
// The runs that may wait out the plug-in's 3000 ms on a request (no tree-path report comes, an instance
// does not answer): few of them.
constexpr int kTimeOutRuns = 5;
constexpr int kTimeOutWarmUps = 1;

// The floor: a bare round trip between two processes of our own, beside the plug-in's request.
struct Floor {
    Stats bare;        // bench → echo process and back, both reports in
    Stats request;     // the plug-in's RequestPaths from the bench to a host
    Stats serverCall;  // one call to the platform's server
    Stats thread;      // one thread started and its end seen
};
bool MeasureFloor(const PluginFolder &plugins, Floor *floor);

// The two-pane copy against the host's own, and the two-pane copy's added time split into its parts, each
// timed inside the same runs by the source host (HostTiming); beside them, in the same rounds, what the
// same work costs the host itself: its own copy with its dialog filling itself in alike, and one bare
// round trip.
struct CopySplit {
    Stats twoPane;
    Stats ownCopy;
    Stats difference;    // two-pane minus own copy, round by round
    Stats added;         // the same, the host's own dialog set-up (its WM_INITDIALOG) of each run taken out
    Stats instanceList;  // host: the instance list for the plug-in call
    Stats request;       // the plug-in's send to the target until it returns with the answer
    Stats pluginBefore;  // plug-in: from its call to the copy command, the request taken out
    Stats treeFill;      // host: filling the tree levels the plug-in expands
    Stats pluginDialog;  // plug-in: filling in the dialog, the host's tree filling taken out
    Stats rest;          // the added time less all the parts, run by run
    Stats hostSetUp;     // host: its own dialog's set-up in the own copy runs, which no plug-in touches
    Stats selfFill;      // host: filling in its own dialog alike (title, field, tree selection), its tree
                         // filling taken out, in copies of its own
    Stats selfTreeFill;  // host: the tree filling in those
    Stats bare;          // one bare round trip, as the floor's
    Stats sameWork;      // request + tree filling + the host filling in its own dialog + one bare round trip
    Stats addedToSameWork;  // the added time over the same work, round by round
    std::string source, target;  // the folders, as the dialogs show them
};
bool MeasureCopies(const PluginFolder &plugins, CopySplit *copies);

// The chooser against the number of other instances, and beside it, in the same rounds, the same requests
// made from the bench and as many bare round trips to as many echo processes.
const int kChooserOthers[] = {2, 4, 8, 16};
constexpr size_t kSteps = std::size(kChooserOthers);
size_t StepOf(int others);  // the index of an instance count in kChooserOthers

struct ChooserStep {
    Stats toMenu;            // command → menu visible
    Stats perInstance;       // to the menu per other instance, fixed costs included
    Stats perRequest;        // the chooser's requests, first send to last answer (source host), per request
    Stats sourceList;        // host: the source's instance list for the command
    Stats targetList;        // host: a target's instance list for a request, mean of the targets of a run
    Stats requestsInARow;    // the plug-in's RequestPaths from the bench to each other host, per request
    Stats bareInARow;        // a bare round trip to each of as many echo processes, per round trip
    Stats perRequestToBare;  // per request over the bare round trip in a row of the same round
};
bool MeasureChooser(const PluginFolder &plugins, ChooserStep (&steps)[kSteps]);

// The chooser with instances that stopped answering just before the command: their threads held in a wait
// that takes no messages, too briefly for the platform to count them as hung, so that a request to one
// runs to its bound. The chooser asks in turn while each answers promptly: where the stalled instances lie
// in the list decides when it goes over to asking at once.
constexpr int kStalledOthers = 8;        // the chooser's other instances, of which ...
const int kStalledAt[] = {2, 5};         // ... the third and the sixth asked stopped answering
const int kFirstStalledAt[] = {0};       // ... or the first asked alone
struct StalledChooser {
    Stats toMenu;    // command → menu visible
    Stats requests;  // its requests, first send to last answer (source host)
};
bool MeasureStalledChooser(const PluginFolder &plugins, const int *stalledAt, int stalled, StalledChooser *chooser);
template <size_t N>
bool MeasureStalledChooser(const PluginFolder &plugins, const int (&stalledAt)[N], StalledChooser *chooser)
{
    return MeasureStalledChooser(plugins, stalledAt, int(N), chooser);
}

// A target whose thread does not run: the requester must fall back to the normal copy, with its notice.
struct Hung {
    std::vector<double> times;  // in run order
    std::string text;           // the notice's text
    double send;  // one SendMessageTimeout(SMTO_ABORTIFHUNG, 3000 ms) to the stopped target
};
bool MeasureHungTarget(const PluginFolder &plugins, Hung *hung);

// Runs in which no tree-path report comes or no dialog is to be filled, each beside the run it is held
// against, in the same rounds.
struct NoTreeCopy {
    Stats noTree;   // two-pane copy to a target without a folder tree: command → filled dialog shown
    Stats withTree; // the same to a target with one
};
bool MeasureNoTreeCopy(const PluginFolder &plugins, NoTreeCopy *copy);

struct NoDialogCopy {
    Stats doProcess;  // the plug-in's call, from DoProcess called to its return (source host)
    Stats hostCopy;   // the host's copy command inside it, its dialog under another title
};
bool MeasureNoDialogCopy(const PluginFolder &plugins, NoDialogCopy *copy);

constexpr int kTreelessOthers = 8;  // the chooser's other instances, of which ...
constexpr int kTreeless = 2;        // ... these have no folder tree
struct TreelessChooser {
    Stats toMenu;  // command → menu visible
};
bool MeasureTreelessChooser(const PluginFolder &plugins, TreelessChooser *chooser);

// The measures a target can be computed from; a missed target's measure runs once more.
enum Measure {
    kFloorMeasure,
    kCopyMeasure,
    kChooserMeasure,
    kStalledMeasure,
    kFirstStalledMeasure,
    kHungMeasure,
    kNoTreeMeasure,
    kNoDialogMeasure,
    kTreelessMeasure,
    kMeasureCount
};

struct Results {
    Floor floor;
    CopySplit copies;
    ChooserStep chooser[kSteps];
    StalledChooser stalled;       // kStalledAt
    StalledChooser firstStalled;  // kFirstStalledAt
    Hung hung;
    NoTreeCopy noTree;
    NoDialogCopy noDialog;
    TreelessChooser treeless;
    bool repeated[kMeasureCount];  // measured once more because a target missed: the tables show the repeat
};

// Runs one measure into results, anew.
bool RunMeasure(Measure measure, const PluginFolder &plugins, Results *results);
