// How the measures drive the stand-in hosts: quiet hosts before a run, the windows a run brings up looked
// for without slowing the hosts down, the hosts' records of their steps, and the order of the runs.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host_protocol.h"
#include "stats.h"
#include "harness/harness.h"

// Longest wait for one measured window; a hung target costs the plug-in two 3000 ms time-outs.
constexpr DWORD kMeasureTimeoutMs = 15000;

void Progress(const std::string &text);
// Says what failed; false, for the measures to return.
bool Fail(const std::string &what);

// The waits for a measured window look every millisecond: PumpUntil's usual 5 ms would blur the times.
constexpr DWORD kMeasurePollMs = 1;

// The visible top-level window of pid with this class (and title, when given), or null; looks once.
HWND VisibleWindow(DWORD pid, const char *title, const char *className);

// warmUps runs and then `counted` ones, each made by run(i, counted); false as soon as one fails.
bool Runs(int warmUps, int counted, const std::function<bool(int, bool)> &run);

// Runs the steps of one round in turn, starting one further each round, so that a slow spell of the
// machine is shared among what is compared instead of falling on one of them.
bool Interleaved(int round, const std::vector<std::function<bool()>> &steps);

// Command chosen in source until the dialog with the title, showing destination, is shown (as the source
// host stamped it); the dialog is then cancelled and the run awaited, so no file is copied.
bool TimeDialog(const HostInstance &source, const std::vector<const HostInstance *> &others, UINT command,
                const char *title, const std::string &destination, double *elapsed, HostTiming *timing);

// The chooser's hosts: a source host on a folder with one file, selected, that times the plug-in's requests
// (/timing), and `count` other hosts, each on a folder of its own (保存1, 保存2, ...), the i-th with extra(i)
// added to its options. Started with the object; ok() once all are.
struct ChooserHosts {
    ChooserHosts(const PluginFolder &plugins, int count,
                 const std::function<std::vector<std::string>(int)> &extra = nullptr);
    bool ok() const { return error.empty(); }

    ScratchFolder scratch;
    HostInstance source;
    std::vector<std::unique_ptr<HostInstance>> others;
    std::vector<const HostInstance *> all;  // the source and the others
    std::string error;
};

// The plug-in's command chosen in source with `others` other instances running, until the chooser's menu
// is visible; the menu is then closed with Escape and the run awaited. timing: the source's record of it.
// justBefore, when given, runs once the hosts have settled, just before the command (false: no run).
bool TimeChooser(const HostInstance &source, const std::vector<const HostInstance *> &all, int others,
                 double *elapsed, HostTiming *timing, const std::function<bool()> &justBefore = nullptr);
