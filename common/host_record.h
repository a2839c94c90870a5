// What every layer shares: the record the host passes, the sizes of the paths it carries, and the
// plug-in's title. A name only one layer uses lives in that layer.
#pragma once

#include <windows.h>

#include <stddef.h>

// Buffer sizes shared by the layers, in bytes with the terminating NUL.
enum : int {
    kPathSize = MAX_PATH,  // a folder path: 259 bytes and a NUL
    kTreePathSize = 520,   // a folder-tree path: 519 bytes and a NUL
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
// The documented offsets 0, 4, 8, 12, 16 and 20 on 32-bit: one pointer-size slot per field.
static_assert(offsetof(HostRecord, hwndMain) == 0 * sizeof(void *) &&
                  offsetof(HostRecord, hostReserved) == 1 * sizeof(void *) &&
                  offsetof(HostRecord, hwndFileList) == 2 * sizeof(void *) &&
                  offsetof(HostRecord, instanceWindows) == 3 * sizeof(void *) &&
                  offsetof(HostRecord, instanceCount) == 4 * sizeof(void *) &&
                  offsetof(HostRecord, currentPath) == 5 * sizeof(void *),
              "the host's record layout");

// The instances a call keeps of the host's list: far more than a desktop runs. With more, the first
// ones and this instance, the list's last.
enum : int { kMaxInstances = 64 };

// What a call needs of the host's record, copied once when the call begins: other instances' messages
// are processed during a call, and the host may refresh its record meanwhile. record points into the
// buffers beside it, so a run reads only the copy.
struct RecordCopy {
    HostRecord record;
    HWND instanceWindows[kMaxInstances];
    char currentPath[kPathSize];  // empty for a virtual folder, and for a path that does not fit
    bool currentPathTooLong;      // the host's path did not fit: a real folder that cannot be named
};
void CopyHostRecord(const HostRecord &from, RecordCopy *copy);

// The plug-in's title. Its menu label is the title and an accelerator; the command lookup finds the
// label by the title, whichever accelerator the label carries, so both derive from here.
#define VORPAN_TITLE "２画面ファイラー風ファイルコピー"
#define VORPAN_ACCELERATOR "(&C)"
#define VORPAN_MENU_LABEL VORPAN_TITLE VORPAN_ACCELERATOR
