// The record the host passes to DoProcess and the module's one static state; every layer reads it.
#pragma once

#include <windows.h>

// Buffer sizes shared by the layers, in bytes with the terminating NUL.
enum : int {
    kPathSize = MAX_PATH,     // a folder path: 259 bytes and a NUL
    kTreePathSize = 520,      // a folder-tree path: 519 bytes and a NUL
    kTreeItemTextSize = 260,  // an item text read while building a tree path
    kMenuTextSize = 64,       // a menu item text
    kTitleSize = 128,         // a window title
    kClassNameSize = 32,      // a window class name
};

// The host's description of the calling instance, exactly as the host lays it out (32-bit fields).
struct HostRecord {
    HWND hwndMain;          // this instance's main window
    DWORD hostReserved;     // the host's own; never read
    HWND hwndFileList;      // the file list (list view)
    HWND *instanceWindows;  // main windows of all instances: most recently active other first, this one last
    int instanceCount;      // this instance included, at least 1
    const char *currentPath;  // current folder; empty for a virtual folder
};

// The module's state for one DoProcess call. Window procedures of the hooks run re-entrantly on the
// host's thread while the plug-in waits inside SendMessageA, and share this without locks.
struct LinkState {
    HINSTANCE moduleInstance;       // the library itself: resource module of the settings dialog
    HostRecord *record;             // the record of the current call
    HWND targetWindow;              // the instance being asked; reports from any other sender are ignored
    char otherPath[kPathSize];      // current path reported by the target
    char treePath[kTreePathSize];   // tree path reported by the target; in the responder, the one it sends
    HANDLE pathEvent;               // signalled when the tree-path report came or the dialog was filled in
    WNDPROC savedMainProc;          // hwndMain's procedure before any subclassing
    WNDPROC savedDialogProc;        // the confirmation dialog's procedure before subclassing
    char settingsPath[kPathSize];   // full path of VORPAN.INI; empty when it does not fit
    int settingsVersion;            // always 200
    int stateFlags;                 // the State flag word
};

extern LinkState linkState;

// Names the plug-in shares with the host and with its own copies in other instances.
#define VORPAN_TITLE "２画面ファイラー風ファイルコピー"
#define VORPAN_CONFIRM_TITLE "ファイルの操作の確認"

enum : UINT {
    kHostCopyCommand = 32781,   // the host's normal copy of the selection
    kPathReportCurrent = 0,     // dwData of a current-path report
    kPathReportTree = 1,        // dwData of a tree-path report
    kPathWaitMs = 3000,         // longest wait for a report or for the filled-in dialog
};
