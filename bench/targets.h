// The benchmark's targets: each a measured figure against its limit, and the verdicts, a missed target
// measured once more before it is called missed.
#pragma once

#include <iterator>

#include "measures.h"

// A target: what was measured against its limit, computed from the results.
struct Target {
    const char *name;
    int decimals;
    Measure measure;  // the measure run once more when the target misses
    double (*measured)(const Results &);
    double (*limit)(const Results &);
    const char *unit = " ms";  // of both
};

// The chooser's requests with N other instances at most this many times N bare round trips of the same
// round, at every N. Held against the bare round trip of the same count, not against the chooser at two:
// under Wine the bare round trip itself grows with the number of processes (× 1.43 from 3 to 17, measured).
constexpr double kRequestsToBareLimit = 1.25;

extern const Target kTargets[];
constexpr size_t kTargetCount = 12;

// How each target came out: first try, and the repeat when the first missed.
struct Verdict {
    double first, firstLimit;
    bool repeated;
    double again, againLimit;
    bool held;
};

// Judges every target on results; each measure that feeds a missed target runs once more (results then
// hold the repeat, marked in results->repeated), and every missed target is judged again. False when a
// repeated measure failed.
bool JudgeTargets(const PluginFolder &plugins, Results *results, Verdict (&verdicts)[kTargetCount]);
