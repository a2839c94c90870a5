// How one instance asks another for the folder it shows: the requester sends the target the plug-in's
// own menu command, and the target's plug-in answers with two WM_COPYDATA path reports.
#pragma once

#include <windows.h>

#include "common/host_record.h"

enum : UINT {
    kPathReportCurrent = 0,  // dwData of a current-path report
    kPathReportTree = 1,     // dwData of a tree-path report
    // Longest wait for another instance to take one message we send it, a request or a report: a hung,
    // busy-forever or vanished instance must not freeze the one waiting.
    kAnswerTimeoutMs = 3000,
};

// What a target reported.
struct PathAnswer {
    char currentPath[kPathSize];   // its current folder; empty when none came (or a virtual folder)
    char treePath[kTreePathSize];  // its folder tree's selection; empty when none came
    bool treeArrived;              // the tree-path report, which ends an answer, came
};

// One request while it lasts: hwndMain carries the report hook, which fills answer with the reports
// from target.
struct PathRequest {
    HWND hwndMain;
    HWND target;
    PathAnswer *answer;  // emptied at the start
};

// Asks target for its paths through the window hwndMain and gives back what came. The reports can only
// arrive while the send to target waits, delivered into hwndMain: the request ends when the send
// returns, with whatever arrived. A target that does not answer within kAnswerTimeoutMs, or a hung one,
// gives an empty answer.
void RequestPaths(HWND hwndMain, HWND target, int commandId, PathAnswer *answer);

// The two halves of RequestPaths around its send, for a caller that delivers reports itself: the
// report hook takes target's reports from begin to end. Requests do not nest. Begin is false when the
// hook could not be put on hwndMain; no report is taken then.
bool BeginPathRequest(PathRequest *request, HWND hwndMain, HWND target, PathAnswer *answer);
void EndPathRequest(PathRequest *request);

// The responder: reports record's current path and folder-tree path to instanceWindows[0], each send
// bounded in time; no tree-path report follows a current-path report the recipient did not take.
void AnswerPathRequest(const HostRecord &record);
