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
    // Longest wait for each instance the chooser asks in turn before it asks the rest at once. A healthy
    // instance answers in well under a millisecond, and a user notices a wait of a tenth of a second:
    // an instance that takes longer is busy, and waiting for the rest in turn would add their bounds up.
    kPromptBoundMs = 100,
};

// What a target reported.
struct PathAnswer {
    char currentPath[kPathSize];   // its current folder; empty when none came (or a virtual folder)
    char treePath[kTreePathSize];  // its folder tree's selection; empty when none came
    bool treeArrived;              // the tree-path report, which ends an answer, came
};

// The report hook's bookkeeping, which a request's caller only holds.
// One target while it is asked: where its reports go. Its reports are taken while it is open and, when
// a thread of its own asks it, until that thread has ended: a report that comes after its ask gave up
// changes nothing.
struct AskedTarget {
    HWND target;
    HANDLE thread;      // the thread asking it; null when the host's thread asks it
    bool open;
    char *currentPath;  // kPathSize bytes
    char *treePath;     // kTreePathSize bytes; null when its tree path is not wanted
    bool *treeArrived;  // null when its tree path is not wanted
};

// The targets asked at one time, for the report hook on hwndMain.
struct PathRound {
    HWND hwndMain;
    AskedTarget *asked;
    int count;
};

// One request while it lasts: hwndMain carries the report hook, which fills answer with the reports
// from target.
struct PathRequest {
    PathRound round;
    AskedTarget asked;
};

// Asks target for its paths through the window hwndMain and gives back what came. The reports can only
// arrive while the send to target waits, delivered into hwndMain: the request ends when the send
// returns, with whatever arrived. A target that does not answer within kAnswerTimeoutMs, or a hung one,
// gives an empty answer. commandId is our command in this instance; the target is sent the one its own
// menu gives our plug-in (TargetCommandId), and nothing when it is no instance of our host or its menu
// has no such item.
void RequestPaths(HWND hwndMain, HWND target, int commandId, PathAnswer *answer);

// The two halves of RequestPaths around its send, for a caller that delivers reports itself: the
// report hook takes target's reports from begin to end. Requests do not nest. Begin is false when the
// hook could not be put on hwndMain; no report is taken then.
bool BeginPathRequest(PathRequest *request, HWND hwndMain, HWND target, PathAnswer *answer);
void EndPathRequest(PathRequest *request);

// The most targets asked in one round: at once, the calling thread waits on one thread each, and on its
// own queue.
enum : int { kMaxAskedAtOnce = MAXIMUM_WAIT_OBJECTS - 1 };

// Asks count targets for their current folders through the window hwndMain, each with its own command
// identifier (0: not asked), and gives back currentPaths[i] for targets[i], empty when none came. They
// are asked in turn, in order, for as long as each answers within kPromptBoundMs: as cheap as one request
// each. From the first that does not, it and every one after it are asked at once, each send ending by
// kAnswerTimeoutMs after the round's first: stalled targets cost one time-out in all. A target's reports
// count only while it is asked. Meanwhile the calling thread takes only sent messages, the reports among
// them. count is at most kMaxAskedAtOnce.
void RequestFolders(HWND hwndMain, const HWND *targets, const int *commandIds, int count,
                    char (*currentPaths)[kPathSize]);

// The responder: reports record's current path and folder-tree path to instanceWindows[0], each send
// bounded in time, and nothing when that window is no instance of our host; no tree-path report follows
// a current-path report the recipient did not take.
void AnswerPathRequest(const HostRecord &record);
