// Waiting on what other processes do: this thread's messages pumped until a condition holds or a
// deadline passes, never a fixed sleep.
#pragma once

#include <windows.h>

#include <functional>

// Deadlines of the harness; generous, because a loaded machine runs Wine slowly.
enum : DWORD {
    kStartTimeoutMs = 10000,  // a host process until its main window is visible
    kWaitTimeoutMs = 5000,    // a window, a dialog or a state another process produces
    kCloseTimeoutMs = 3000,   // a host asked to close before it is terminated
    kSendTimeoutMs = 5000,    // one cross-process SendMessageTimeout
    kStepTimeoutMs = 10000,   // a step of a run: its window, also once the plug-in waited on a stalled instance
};

// Conditions in other processes do not wake this thread, so a wait looks again this often; a measure
// that times what it waits for looks every millisecond instead, so as not to blur the time.
constexpr DWORD kPollMs = 5;

// Runs this thread's messages until condition() holds or timeoutMs passed, looking every pollMs; false
// on the deadline.
bool PumpUntil(const std::function<bool()> &condition, DWORD timeoutMs = kWaitTimeoutMs, DWORD pollMs = kPollMs);
