// The stand-in host's measuring for the benchmark, in one place: when its steps around a plug-in call
// happen and, with /timing, how long the plug-in's requests take. The host's behaviour never depends on it.
#pragma once

#include <windows.h>

#include "host_protocol.h"

// The moments the host stamps into its HostTiming as they happen. A plug-in call made while another one
// of this host waits (another instance asking) leaves the record as it is.
enum class Step {
    kPluginCommand,   // a plug-in command reached the main window, before its instance list is built
    kPluginCalled,    // DoProcess is about to be called
    kPluginReturned,  // DoProcess returned
    kCopyCommand,     // the copy command began
    kCopyCommandEnd,  // the copy command returned, its dialog closed
    kDialogInit,      // the confirmation dialog's own set-up begins
    kDialogReady,     // the confirmation dialog's own set-up ended
    kTreeFillStart,   // the host begins filling a level of the dialog's tree ...
    kTreeFillEnd,     // ... and has filled it
    kDialogRetitled,  // the dialog's title was set
    kDialogShown,     // the dialog procedure got WM_SHOWWINDOW
};

void Stamp(Step step);

// Sends the plug-in module's calls of SendMessageTimeoutA, with which it asks other instances for their
// paths, through a timed wrapper: its requests are then timed where they happen, inside its run.
void TimeRequests(HMODULE plugin);

// The record, whose address WM_HOST_QUERY hands out for ReadProcessMemory.
const HostTiming *TimingRecord();
