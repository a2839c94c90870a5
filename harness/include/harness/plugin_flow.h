// Drives VORPAN.DLL as a user would, across stand-in host processes: the command chosen in one instance,
// the windows its run brings up, keys typed into its menu, and the whole two-pane copy, each step saying
// how it went.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "harness/host_instance.h"
#include "harness/outcome.h"
#include "harness/plugin_facts.h"
#include "harness/wait.h"

class BusyInstance;

// Makes host the active instance and chooses the command there. Posted, not sent: the run shows
// modal windows and ends only when they close. The run has ended once WaitForRunEnd says so.
bool ChooseCommand(const HostInstance &host, UINT command = kVorpanCommand);
// Sends a command and returns once host has handled it: a plug-in command has run to its end then.
bool SendCommand(HWND host, UINT command);
// Waits until every DoProcess call the host has made has returned.
bool WaitForRunEnd(const HostInstance &host, DWORD timeoutMs = kWaitTimeoutMs);
// Waits until the run started after callsBefore DoProcess calls, and everything it caused, has ended.
bool WaitForRunEndAfter(const HostInstance &host, LRESULT callsBefore, DWORD timeoutMs = kWaitTimeoutMs);
// What every run leaves behind, whatever it showed: the host still runs, each DoProcess call returned,
// the last with 1, the main window has the host's own procedure, no confirmation dialog closed with the
// plug-in's procedure, and no process holds the named event earlier versions of the plug-in used.
Outcome CheckRunEnded(const HostInstance &host);
// True when no process holds the named event earlier versions of the plug-in waited on; this one
// never makes it.
bool PathEventClosed();

// A message box of the plug-in (its caption) in host's process, and the text it shows.
HWND WaitForPluginMessage(const HostInstance &host, DWORD timeoutMs = kWaitTimeoutMs);
std::string MessageText(HWND box);
// The plug-in's notice before the host's normal copy, once it is shown: it says text and offers OK and
// Cancel; button answers it.
Outcome AnswerNotice(const HostInstance &host, const std::string &text, int button, DWORD timeoutMs = kWaitTimeoutMs);
// A dialog, message box or popup menu of process pid on the screen right now.
bool ShowsAnything(DWORD pid);
// Presses a button of a dialog or message box (IDOK, IDCANCEL, ...) as a click would.
void PressButton(HWND dialog, int id);

// What the user sees in the confirmation dialog.
struct ConfirmView {
    std::string title;
    std::string destination;  // the combo box's edit field
    std::string treePath;     // the dialog tree's selection, "root\...\item\"
};
// The confirmation dialog of host's copy, once it is shown (title as given, or any title for null).
HWND WaitForConfirmDialog(const HostInstance &host, const char *title = kFilledTitle,
                          DWORD timeoutMs = kWaitTimeoutMs);
ConfirmView ReadConfirmDialog(HWND dialog);
// The dialog shows folder as its destination and has it selected in its tree.
Outcome CheckShowsFolder(const ConfirmView &view, const std::string &folder);
// Types a destination into the confirmation dialog's combo box, as the user would.
bool TypeDestination(HWND dialog, const std::string &folder);

// Waits for the filled-in confirmation dialog of the run source started after callsBefore DoProcess
// calls, checks that it shows folder, confirms it with OK (Cancel when it shows another folder) and
// waits until the run has ended.
Outcome ConfirmFilled(const HostInstance &source, const std::string &folder, LRESULT callsBefore);
// Chooses the command in source with target the previously active instance, checks that the filled-in
// dialog shows folder, and copies with OK; the run has ended when it returns.
Outcome CopyThroughFilled(const HostInstance &source, HWND target, const std::string &folder);

// Keys as the user types them: hardware input, which the foreground thread takes in order (in a chooser
// run, after the Down arrow the plug-in synthesizes just before its menu opens). Never posted to the
// menu window: Wine's menu loop peeks a message and then removes the first of its type, so a key posted
// while it handles the plug-in's own Down key is removed unseen.
void TypeKeys(const std::vector<BYTE> &keys);
// Activates busy, and makes it, asked by requester, type keys as the user would while requester waits
// inside its request in the foreground, and hold until they are queued there (busy.keysLost counts it
// if never); then it answers with folder, or not at all for "". True once it is activated.
bool TypeWhenAsked(BusyInstance &busy, const HostInstance &requester, const std::vector<BYTE> &keys,
                   const std::string &folder);
// The same without the activation.
void TypeWhenAskedBy(BusyInstance &busy, const HostInstance &requester, const std::vector<BYTE> &keys,
                     const std::string &folder);
// A popup menu of process pid, once it is on the screen.
HWND WaitForMenu(DWORD pid, DWORD timeoutMs = kWaitTimeoutMs);
// Chooses the command in the requester and, once its menu is open, types keys into it.
Outcome TypeIntoChooser(const HostInstance &requester, const std::vector<BYTE> &keys);
