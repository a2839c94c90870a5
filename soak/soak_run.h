// Many plug-in runs in a row on four stand-in hosts, and what each host process holds before and after
// them: the measure behind scripts/soak and the short soak of the test suite.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SoakPlan {
    int copies;             // two-pane copies between two instances, in turn in both directions
    int chooserRuns;        // chooser runs with four instances, every second one dismissed
    int responderRequests;  // requests answered as responder, in turn by each instance
};

// What one host process holds at one moment.
struct HostHoldings {
    DWORD handles = 0;      // kernel handles
    int windows = 0;        // windows of the process, top-level and child, hidden ones included
    DWORD userObjects = 0;  // GetGuiResources; both 0 when the platform does not count them
    DWORD gdiObjects = 0;
    LRESULT mainProcOwn = 0;  // 1 when the main window has the host's own procedure
};

struct SoakHostRow {
    std::string name;  // which instance and what it did
    HostHoldings before, after;
};

struct SoakResult {
    SoakPlan plan = {};
    int runs = 0;    // warm-up runs included
    int warmUps = 0;
    int failed = 0;
    std::vector<std::string> failures;  // what went wrong, the first few runs
    std::vector<SoakHostRow> hosts;
    bool eventClosed = false;        // no process holds the plug-in's named event after the last run
    std::vector<std::string> leaks;  // what grew beyond its allowance or stayed behind

    bool Held() const { return failed == 0 && leaks.empty(); }
    std::string Table() const;    // Markdown: the hosts before and after, the allowances, the failures
    std::string Summary() const;  // "soak: N runs, M failed, leaked: none"
};

// Runs the plan after one warm-up run of each kind per instance, between which and the end it compares
// what the hosts hold. progress, when given, hears of every hundredth run and of each failure.
SoakResult RunSoak(const SoakPlan &plan, const std::function<void(const std::string &)> &progress = nullptr);
