// Finding and reading the windows of other processes as a user sees them: top-level windows by process,
// title and class, a child by class, a window's text and a tree view's selected path.
#pragma once

#include <windows.h>

#include <string>

#include "harness/wait.h"

// A window's text through WM_GETTEXT, also across processes; empty when it does not answer.
std::string WindowText(HWND hwnd);
std::string ClassNameOf(HWND hwnd);

// The selected item of another process's tree view as a tree path: item texts from the root down,
// each followed by "\". Empty when nothing is selected or a read fails.
std::string RemoteTreeSelectionPath(HWND hwndTree);

// The first in Z order of the visible top-level windows of process pid (0: any) titled title (null: any)
// of class className (null: any), or null.
HWND FindVisibleWindowOfProcess(DWORD pid, const char *title, const char *className);
// Waits until there is one.
HWND WaitForWindowOfProcess(DWORD pid, const char *title, const char *className = nullptr,
                            DWORD timeoutMs = kWaitTimeoutMs);
// Waits until hwnd is gone.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kWaitTimeoutMs);

// First descendant of parent of class className in EnumChildWindows order, or null.
HWND FindChildByClassName(HWND parent, const char *className);
