// Drives VORPAN.DLL as a user would across stand-in host processes: a run written as the steps the user meets,
// each driven and checked in turn, then the run's end; and the single steps beneath.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness/host_instance.h"
#include "harness/outcome.h"
#include "harness/plugin_facts.h"
#include "harness/wait.h"

class BusyInstance;
class Desktop;

// One thing the user meets in a run, and what the user does with it.
struct Step {
    enum Kind { kMenu, kNotice, kErrorBox, kConfirm, kSettings };
    Kind kind;
    std::string text{};        // the notice's or error box's text, the dialog's title
    std::string folder{};      // kConfirm: its destination and tree selection, below the desktop's scratch folder
    std::vector<BYTE> keys{};  // kMenu: typed once it is open
    int button = 0;            // pressed last; 0: none, the action ends the step
    std::string typed{};       // kConfirm: typed as its destination before the button, below the scratch folder
    std::function<Outcome(HWND)> act{};  // done in the window once it is checked, before the button

    Step Then(const std::function<Outcome(HWND)> &action) const;
};
namespace step {
inline Step Menu(const std::vector<BYTE> &keys) { return {Step::kMenu, "", "", keys}; }
// The notice before a fallback, which offers OK and Cancel.
inline Step Notice(const std::string &text, int button) { return {Step::kNotice, text, "", {}, button}; }
// The error box, which offers OK alone.
inline Step ErrorBox(const std::string &text) { return {Step::kErrorBox, text, "", {}, IDOK}; }
inline Step Confirm(const std::string &title, const std::string &folder, int button)
{
    return {Step::kConfirm, title, folder, {}, button};
}
// The dialog the plug-in filled in with folder.
inline Step Filled(const std::string &folder, int button = IDOK) { return Confirm(kFilledTitle, folder, button); }
// The host's own dialog as the host made it, on its own folder; typed: a destination the user types.
Step HostDialog(const std::string &folder, int button, const std::string &typed = "");
inline Step Settings(int button) { return {Step::kSettings, kSettingsTitle, "", {}, button}; }
}  // namespace step

// A run of the plug-in from one instance of a desktop, as the user meets it.
struct ExpectedRun {
    enum Start { kChosen, kPosted, kSent };
    std::string from;
    std::vector<Step> steps{};
    // Activated in this order just before the command, as the user's clicks would; none: as it stands.
    std::vector<std::string> after{};
    // kChosen: from activated and the command chosen there; kPosted: posted to it, as another program may;
    // kSent: sent as another instance asks, the run over when the send returns.
    Start start = kChosen;
};

// What a run counted, for its row to check.
struct RunCounts {
    LRESULT copies = 0;  // copy commands the requester's host handled
    LRESULT copied = 0;  // files its copy copied; 0 when none ran or it was cancelled
    std::map<std::string, int> requests{};  // the plug-in's requests each other instance took
};

// Takes the steps in turn, then waits for the run's end and checks that it ended clean with nothing left
// open. A failure names its step and what is on the screen, and ends what the run left open.
Outcome RunExpected(Desktop &desktop, const ExpectedRun &run, RunCounts *counts = nullptr);
// Ends what a run left open in host (a menu, a dialog, a message box) until the run has ended.
bool EndRun(const HostInstance &host);

// Makes host the active instance and chooses the command there. Posted, not sent: the run shows
// modal windows and ends only when they close. The run has ended once WaitForRunEnd says so.
bool ChooseCommand(const HostInstance &host, UINT command = kVorpanCommand);
// Sends a command and returns once host has handled it: a plug-in command has run to its end then.
bool SendCommand(HWND host, UINT command);
// Waits until more than callsBefore DoProcess calls were made and every one has returned.
bool WaitForRunEnd(const HostInstance &host, DWORD timeoutMs = kWaitTimeoutMs, LRESULT callsBefore = 0);
// What every run leaves behind, whatever it showed: the host still runs, each DoProcess call returned, the
// last with 1, main window and dialog left with the host's own procedures, and PathEventClosed.
Outcome CheckRunEnded(const HostInstance &host);
// No process holds the event earlier versions of the plug-in waited on; this one never makes it.
bool PathEventClosed();

// The text a message box shows.
std::string MessageText(HWND box);
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

// Keys as the user types them: hardware input, which the foreground thread takes in order (after the Down
// arrow a chooser run synthesizes as its menu opens). Never posted to the menu: Wine's menu loop peeks a
// message and then removes the first of its type, so a key posted while it handles that Down is lost.
void TypeKeys(const std::vector<BYTE> &keys);
// Makes busy, asked by requester, type keys as the user would while requester waits inside its request in
// the foreground, and hold until they are queued there (busy.keysLost counts it if never); then it answers
// with folder, or not at all for "".
void TypeWhenAsked(BusyInstance &busy, const HostInstance &requester, const std::vector<BYTE> &keys,
                   const std::string &folder);
// A popup menu of process pid, once it is on the screen.
HWND WaitForMenu(DWORD pid, DWORD timeoutMs = kWaitTimeoutMs);
