// How one instance asks another for the folder it shows: the requester sends the target the plug-in's
// own menu command, and the target's plug-in answers with two WM_COPYDATA path reports.
#pragma once

#include <windows.h>

#include "common/host_record.h"

// What a target reported.
struct PathAnswer {
    char currentPath[kPathSize];   // its current folder; empty when none came (or a virtual folder)
    char treePath[kTreePathSize];  // its folder tree's selection; empty when none came
    bool treeArrived;              // the tree-path report, which ends an answer, came
};

// One request while it lasts: hwndMain carries the report hook, which fills answer with the reports
// from target and signals event at the tree-path report.
struct PathRequest {
    HWND hwndMain;
    HWND target;
    WNDPROC savedMainProc;  // hwndMain's procedure, put back at the end
    HANDLE event;           // the named path event, reset at the start
    PathAnswer *answer;     // emptied at the start
};

// The named event that ends a wait for an answer or for the filled-in dialog, not signalled; null when
// it cannot be made (the waits on it then end at once).
HANDLE CreatePathEvent();

// Asks target for its paths through the window hwndMain and gives back what came: the reports are
// delivered into hwndMain while the send to target waits. A target that does not answer within
// kAnswerTimeoutMs gives an empty answer at once.
void RequestPaths(HWND hwndMain, HWND target, int commandId, PathAnswer *answer);

// The two halves of RequestPaths around its send, for a caller that delivers reports itself: the
// report hook sits on hwndMain from begin to end. Requests do not nest.
void BeginPathRequest(PathRequest *request, HWND hwndMain, HWND target, PathAnswer *answer);
void EndPathRequest(PathRequest *request);

// The responder: reports record's current path and folder-tree path to instanceWindows[0], each send
// bounded in time; no tree-path report follows a current-path report the recipient did not take.
void AnswerPathRequest(const HostRecord &record);
