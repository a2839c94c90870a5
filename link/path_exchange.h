// How one instance asks another for the folder it shows: the requester sends the target the plug-in's
// own menu command, and the target's plug-in answers with two WM_COPYDATA path reports.
#pragma once

#include <windows.h>
#include <commctrl.h>

struct HostRecord;

// Asks target for its paths; the answers land in linkState.otherPath and linkState.treePath (empty when
// none came). Needs linkState.pathEvent and PathReportHook installed on hwndMain.
void RequestPaths(HWND target, int commandId);

// Subclass procedure of hwndMain for the time of a request: takes the target's reports.
LRESULT CALLBACK PathReportHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The responder: reports record's current path and folder-tree path to instanceWindows[0], each send
// bounded in time; no tree-path report follows a current-path report the recipient did not take.
// treePath is a kTreePathSize-byte buffer for the tree path it builds.
void AnswerPathRequest(const HostRecord *record, char *treePath);

// The texts of the tree's selected item and its ancestors, from the root down, each followed by "\".
// Empty when nothing is selected, when a text cannot be read, or when the whole does not fit in out
// (kTreePathSize bytes).
void BuildTreePath(HWND tree, char *out);

// Reads item's text into text (size bytes, always NUL-terminated); false when the control refuses.
bool ReadTreeItemText(HWND tree, HTREEITEM item, char *text, int size);

// The first descendant of parent (in EnumChildWindows order) whose class name is className, or null.
HWND FindChildByClass(HWND parent, const char *className);

// Replaces hwnd's window procedure with proc.
void SubclassWindow(HWND hwnd, WNDPROC proc);
// The current window procedure of hwnd.
WNDPROC GetWindowProc(HWND hwnd);
