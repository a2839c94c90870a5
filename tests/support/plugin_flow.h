// Drives VORPAN.DLL as a user would, across stand-in host processes: the settings beside the plug-in,
// the command chosen in one instance, and the windows its run brings up.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

// The plug-in's command in a host whose plug-in folder holds only VORPAN.DLL.
constexpr UINT kVorpanCommand = 33100;
constexpr char kPluginCaption[] = "２画面ファイラー風ファイルコピー";
constexpr char kFilledTitle[] = "ファイルの操作の確認 - ２画面ファイラー風";
constexpr char kPathEventName[] = "RiloFilePluginGetPathEvent";

// The State flag word in VORPAN.INI beside the folder's DLL, as the settings dialog would leave it.
void WriteState(const PluginFolder &plugins, int state);
// The stored State as text ("" when there is no file or key), so that any value can be compared.
std::string ReadState(const PluginFolder &plugins);

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
// plug-in's procedure, and no process holds the plug-in's event.
::testing::AssertionResult RunEndedClean(const HostInstance &host);

// A message box of the plug-in (its caption) in host's process, and the text it shows.
HWND WaitForPluginMessage(const HostInstance &host, DWORD timeoutMs = kWaitTimeoutMs);
std::string MessageText(HWND box);
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
::testing::AssertionResult ShowsFolder(const ConfirmView &view, const std::string &folder);
// Types a destination into the confirmation dialog's combo box, as the user would.
bool TypeDestination(HWND dialog, const std::string &folder);

// Waits for the filled-in confirmation dialog of the run source started after callsBefore DoProcess
// calls, checks that it shows folder, confirms it with OK (Cancel when it shows another folder) and
// waits until the run has ended.
::testing::AssertionResult ConfirmFilledDialog(const HostInstance &source, const std::string &folder,
                                               LRESULT callsBefore);
// Chooses the command in source with target the previously active instance, checks that the filled-in
// dialog shows folder, and copies with OK; the run has ended when it returns.
::testing::AssertionResult CopyThroughFilledDialog(const HostInstance &source, HWND target,
                                                   const std::string &folder);

// Keys as the user types them: hardware input, which the foreground thread takes in order (in a chooser
// run, after the Down arrow the plug-in synthesizes just before its menu opens). Never posted to the
// menu window: Wine's menu loop peeks a message and then removes the first of its type, so a key posted
// while it handles the plug-in's own Down key is removed unseen.
void TypeKeys(const std::vector<BYTE> &keys);
// A popup menu of process pid, once it is on the screen.
HWND WaitForMenu(DWORD pid, DWORD timeoutMs = kWaitTimeoutMs);
// Chooses the command in the requester and, once its menu is open, types keys into it.
::testing::AssertionResult ChooseFromMenu(const HostInstance &requester, const std::vector<BYTE> &keys);

// Files (not folders) directly in folder, by name, sorted.
std::vector<std::string> FilesIn(const std::string &folder);

// True when no process holds the plug-in's named event any more.
bool PathEventClosed();

// One WM_COPYDATA message as a window received it: wParam, dwData, cbData and the cbData bytes.
struct ReceivedCopyData {
    HWND sender;
    ULONG_PTR kind;
    DWORD size;
    std::string bytes;
};

// A top-level window of the host's main-window class in the creating thread. Every host counts it among
// its instances; once activated it is the most recently active one, to which a responding plug-in
// sends its path reports. It records every WM_COPYDATA it receives, in order, and answers TRUE. When a
// plug-in asks it for its paths (the plug-in's command), it runs onRequest inside that plug-in's send,
// as the plug-in of a real instance would answer there. Destroyed with the object.
class PeerInstanceWindow {
public:
    explicit PeerInstanceWindow(const char *title = "peer instance");
    ~PeerInstanceWindow();
    PeerInstanceWindow(const PeerInstanceWindow &) = delete;
    PeerInstanceWindow &operator=(const PeerInstanceWindow &) = delete;

    bool ok() const { return hwnd != nullptr; }
    // Makes it the most recently active instance; needed again after a host has started.
    bool Activate() const { return ::Activate(hwnd); }

    HWND hwnd = nullptr;
    std::vector<ReceivedCopyData> received;
    // May destroy this window or end its thread: nothing of the window runs after it.
    std::function<void()> onRequest;
    int requests = 0;   // the plug-in's commands received
    std::string error;  // why it was not created
};

// Sends a path report as any process could forge it: size bytes of data (null data allowed).
bool SendReport(HWND to, HWND from, ULONG_PTR kind, const void *data, DWORD size);
// A well-formed report: the text and its NUL.
bool SendTextReport(HWND to, HWND from, ULONG_PTR kind, const std::string &text);
