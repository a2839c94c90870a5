// A desktop of instances and a run of the plug-in from one of them, each written as data: the instances
// in the order the user activated them, with their folders, selections, stand-in host stages and the
// settings, started and activated by one call; and the steps the user meets in a run, in order, each
// driven and checked, then the run's end. A table of runs then reads like the runs it checks.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "harness/folders.h"
#include "harness/host_instance.h"
#include "harness/outcome.h"
#include "harness/peer_instance.h"

// One instance of a desktop, named for the runs and their failures.
struct Instance {
    enum Kind { kHost, kPeer, kBusy, kWindow };
    Kind kind = kHost;
    std::string name;
    std::string folder;                             // a host's, below the scratch folder; "": the virtual folder
    std::vector<std::string> options;               // a host's further options, e.g. "/selectall", "/notree"
    std::vector<std::pair<WPARAM, LPARAM>> stages;  // a host's stages, set each time it is activated
    HWND window = nullptr;                          // kWindow: the caller's, counted as an instance
    std::vector<BYTE> keys;  // kBusy: typed when asked, while its asker waits in the foreground
    std::string answer;      // kBusy with keys: the folder it then answers, below the scratch folder; "": none

    Instance With(const std::string &option) const;
    Instance Staged(WPARAM stage, LPARAM value = 1) const;
    Instance TypingWhenAsked(const std::vector<BYTE> &typed, const std::string &answered) const;
};
// A stand-in host on a folder below the scratch folder ("": the virtual folder), and one with every file
// of its folder selected.
Instance On(const std::string &name, const std::string &folder, const std::vector<std::string> &options = {});
Instance Selecting(const std::string &name, const std::string &folder, const std::vector<std::string> &options = {});
Instance PeerWindow(const std::string &name);  // a PeerInstanceWindow of this thread
Instance BusyWindow(const std::string &name);  // a BusyInstance, on a thread of its own
Instance OwnWindow(const std::string &name, HWND window);

constexpr int kNoSettings = -1;

class Desktop {
public:
    // The scratch folder with entries (as ScratchFolder makes them) and a plug-in folder with its State
    // word (no settings file for kNoSettings); then the instances, started and activated in their order:
    // the last is the active one, the one before it the previously active.
    Desktop(const std::vector<std::string> &entries, const std::vector<Instance> &instances,
            int state = kNoSettings);
    ~Desktop();
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Everything made, started and activated; else what was not.
    Outcome Ready() const;
    // The instances named activated again in this order, each host's stages set again; all for none.
    Outcome Activate(const std::vector<std::string> &names = {});
    void SetState(int state);

    const HostInstance &Host(const std::string &name) const;
    PeerInstanceWindow &Peer(const std::string &name);
    BusyInstance &Busy(const std::string &name);
    HWND Window(const std::string &name) const;
    // The plug-in's requests the instance took so far: a host's plug-in calls, a window's requests.
    int Requests(const std::string &name) const;
    std::string Path(const std::string &relative = "") const { return scratch.Path(relative); }
    std::vector<std::string> Names() const;
    std::vector<const HostInstance *> Hosts() const;

    // Each instance of kind kBusy with keys is made to type them when asked by requester.
    void ArmTyping(const HostInstance &requester);
    // The times such an instance's keys never reached its asker's queue, all instances together.
    int KeysLost() const;

    ScratchFolder scratch;
    PluginFolder plugins;

private:
    struct Member;
    Member &Find(const std::string &name) const;

    std::vector<std::unique_ptr<Member>> members_;
    std::string error_;
};

// One thing the user meets in a run, and what the user does with it.
struct Step {
    enum Kind { kMenu, kNotice, kErrorBox, kConfirm, kSettings };
    Kind kind;
    std::string text;        // a notice's or error box's text; the confirmation dialog's title
    std::string folder;      // kConfirm: its destination and its tree's selection, below the scratch folder
    std::vector<BYTE> keys;  // kMenu: typed once it is open
    std::string typed;       // kConfirm: typed as its destination before the button, below the scratch folder
    int button = 0;          // pressed last; 0: none
    std::function<Outcome(HWND)> act;  // done in the window after the checks, before the button

    Step Then(const std::function<Outcome(HWND)> &action) const;
};
namespace step {
Step Menu(const std::vector<BYTE> &keys);          // the chooser's menu, keys typed into it
Step Notice(const std::string &text, int button);  // the notice before a fallback, OK and Cancel
Step ErrorBox(const std::string &text);            // the error box, only OK, pressed
Step Filled(const std::string &folder, int button = IDOK);  // the dialog the plug-in filled in
// The host's own dialog as the host made it, showing its own folder; typed: the destination the user types.
Step HostDialog(const std::string &folder, int button, const std::string &typed = "");
Step Confirm(const std::string &title, const std::string &folder, int button);
Step Settings(int button);  // the settings dialog
}  // namespace step

// A run of the plug-in from one instance, as the user meets it.
struct ExpectedRun {
    enum Start { kChosen, kPosted, kSent };
    std::string from;
    std::vector<Step> steps;
    // Activated in this order just before the command, as the user's clicks would; none: the desktop as is.
    std::vector<std::string> after;
    // kChosen: from is activated and its command chosen; kPosted: the command posted to it as another
    // program may; kSent: sent as another instance asks, the run over when the send returns.
    Start start = kChosen;
};

// What a run counted, for the row to check.
struct RunCounts {
    LRESULT copies = 0;  // copy commands the requester's host handled in the run
    LRESULT copied = 0;  // files the run's copy copied; 0 when none ran or it was cancelled
    std::map<std::string, int> requests;  // the plug-in's requests each other instance took in the run
};

// Runs the steps in order, then waits for the run's end and checks it ended clean with nothing left
// open. A failure names the step and ends what the run left open.
Outcome RunExpected(Desktop &desktop, const ExpectedRun &run, RunCounts *counts = nullptr);

// Ends what a run left open in host (a menu, a dialog, a message box) until the run has ended.
bool EndRun(const HostInstance &host);
