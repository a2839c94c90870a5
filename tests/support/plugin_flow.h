// Drives VORPAN.DLL as a user would, across stand-in host processes: the settings beside the plug-in,
// the command chosen in one instance, and the windows its run brings up.
#pragma once

#include <windows.h>

#include <string>

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
// Waits until every DoProcess call the host has made has returned.
bool WaitForRunEnd(const HostInstance &host, DWORD timeoutMs = kWaitTimeoutMs);

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

// True when no process holds the plug-in's named event any more.
bool PathEventClosed();

// One WM_COPYDATA message as a window received it: wParam, dwData, cbData and the cbData bytes.
struct ReceivedCopyData {
    HWND sender;
    ULONG_PTR kind;
    DWORD size;
    std::string bytes;
};

// A top-level window of the host's main-window class in the test process. Every host counts it among
// its instances; once activated it is the most recently active one, to which a responding plug-in
// sends its path reports. It records every WM_COPYDATA it receives, in order, and answers TRUE.
// Destroyed with the object.
class PeerInstanceWindow {
public:
    PeerInstanceWindow();
    ~PeerInstanceWindow();
    PeerInstanceWindow(const PeerInstanceWindow &) = delete;
    PeerInstanceWindow &operator=(const PeerInstanceWindow &) = delete;

    bool ok() const { return hwnd != nullptr; }
    // Makes it the most recently active instance; needed again after a host has started.
    bool Activate() const { return ::Activate(hwnd); }

    HWND hwnd = nullptr;
    std::vector<ReceivedCopyData> received;
    std::string error;  // why it was not created
};
