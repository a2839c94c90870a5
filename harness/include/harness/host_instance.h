// Stand-in host processes (rilohost.exe beside the running program): started on given options, asked
// about their bookkeeping, activated as a user's click would, and always ended.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/remote_windows.h"
#include "harness/wait.h"

// Result of HostQuery when the host did not answer in time (no query answers with it).
constexpr LRESULT kQueryFailed = static_cast<LRESULT>(0x80000000u);
LRESULT HostQuery(HWND hwndHost, WPARAM query, DWORD timeoutMs = kSendTimeoutMs);

// One stand-in host process, ended at destruction as every ChildProcess is, whatever happened.
class HostInstance : public ChildProcess {
public:
    // options: one command-line argument each, e.g. "/path=C:\\x", "/plugins=..."; code page 932.
    // Returns once the host's main window (hwnd) is visible and the host idle.
    explicit HostInstance(const std::vector<std::string> &options, DWORD timeoutMs = kStartTimeoutMs);

    bool ok() const { return hwnd != nullptr && error.empty(); }
    LRESULT Query(WPARAM query) const { return HostQuery(hwnd, query); }
    bool Stage(WPARAM stage, LPARAM value = 0) const;  // WM_HOST_STAGE; true once the host is so
    HWND Tree() const { return FindChildByClassName(hwnd, WC_TREEVIEWA); }  // the folder tree, or null
    HWND FileList() const { return FindChildByClassName(hwnd, WC_LISTVIEWA); }  // the file list, or null
};

// What the host recorded of its last plug-in call and its last confirmation dialog (HostTiming), read
// from its memory; false when it could not be read.
struct HostTiming;
bool ReadTiming(const HostInstance &host, HostTiming *timing);
// A span of HostTiming's QueryPerformanceCounter ticks, which every process of the machine shares, in ms.
double TicksMs(LONGLONG ticks);

// Every host has handled what was sent and posted to it so far: a message sent to each comes after
// them. What follows (a measure, a screenshot, a count) then starts from quiet hosts.
bool Settle(const std::vector<const HostInstance *> &hosts);

// Raises hwnd and makes it the foreground window, as a user's click would; true once it is.
// Both calls are needed under Wine's null driver for a right "most recently active" order.
bool Activate(HWND hwnd, DWORD timeoutMs = kWaitTimeoutMs);
