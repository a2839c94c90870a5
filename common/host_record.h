// What every layer shares: the record the host passes, the buffer sizes and the names the plug-in
// shares with the host and with its own copies in other instances.
#pragma once

#include <windows.h>

// Buffer sizes shared by the layers, in bytes with the terminating NUL.
enum : int {
    kPathSize = MAX_PATH,     // a folder path: 259 bytes and a NUL
    kTreePathSize = 520,      // a folder-tree path: 519 bytes and a NUL
    kTreeItemTextSize = 260,  // a folder-tree item text: 259 bytes and a NUL
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

// The plug-in's title. Its menu label is the title and an accelerator; the command lookup finds the
// label by the title, whichever accelerator the label carries, so both derive from here.
#define VORPAN_TITLE "２画面ファイラー風ファイルコピー"
#define VORPAN_ACCELERATOR "(&C)"
#define VORPAN_MENU_LABEL VORPAN_TITLE VORPAN_ACCELERATOR
#define VORPAN_CONFIRM_TITLE "ファイルの操作の確認"

enum : UINT {
    kHostCopyCommand = 32781,   // the host's normal copy of the selection
    kPathReportCurrent = 0,     // dwData of a current-path report
    kPathReportTree = 1,        // dwData of a tree-path report
    // Longest wait for another instance to take one message we send it, a request or a report: a hung,
    // busy-forever or vanished instance must not freeze the one waiting.
    kAnswerTimeoutMs = 3000,
};
