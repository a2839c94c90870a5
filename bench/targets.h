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
};

extern const Target kTargets[];
constexpr size_t kTargetCount = 7;

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
