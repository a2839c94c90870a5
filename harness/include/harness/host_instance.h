// Stand-in host processes (rilohost.exe beside the running program): started on given options, asked
// about their bookkeeping, activated as a user's click would, and always ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/wait.h"

// One stand-in host process, ended at destruction whatever happened: WM_CLOSE, a short wait, then
// TerminateProcess. Hosts also die with the program that started them, through a job object, should it
// crash before destructors run.
class HostInstance {
public:
    // options: one command-line argument each, e.g. "/path=C:\\x", "/plugins=..."; code page 932.
    explicit HostInstance(const std::vector<std::string> &options, DWORD timeoutMs = kStartTimeoutMs);
    ~HostInstance();
    HostInstance(const HostInstance &) = delete;
    HostInstance &operator=(const HostInstance &) = delete;

    bool ok() const { return hwnd != nullptr && error.empty(); }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs = kCloseTimeoutMs);  // pumps while waiting
    LRESULT Query(WPARAM query) const;                     // WM_HOST_QUERY; kQueryFailed on time-out
    HWND Tree() const;      // the main window's folder tree, or null
    HWND FileList() const;  // the main window's file list, or null

    HWND hwnd = nullptr;
    DWORD pid = 0;
    HANDLE process = nullptr;
    std::string commandLine;
    std::string error;  // why it did not start
};

// Result of HostQuery when the host did not answer in time (no query answers with it).
constexpr LRESULT kQueryFailed = static_cast<LRESULT>(0x80000000u);

LRESULT HostQuery(HWND hwndHost, WPARAM query, DWORD timeoutMs = kSendTimeoutMs);

// Quotes one command-line argument when needed; a trail byte 0x5C of a double-byte character is not
// a backslash and is never doubled.
std::string QuoteArgument(const std::string &argument);

// Raises hwnd and makes it the foreground window, as a user's click would; true once it is.
// Both calls are needed under Wine's null driver for a right "most recently active" order.
bool Activate(HWND hwnd, DWORD timeoutMs = kWaitTimeoutMs);
