// What the tests and the demo may rely on in a running stand-in host: its window class, command
// identifiers, command-line options and the query message. The plug-in never includes this.
#pragma once

#include <windows.h>

#define HOST_WINDOW_CLASS "RiloFile2StandIn"      // class of every instance's main window
#define HOST_EXE_NAME "rilohost.exe"
#define HOST_CONFIRM_TITLE "ファイルの操作の確認"   // the copy confirmation dialog's own title
#define HOST_RENAMED_TITLE HOST_CONFIRM_TITLE " (2)"  // its title in its set-up under kDialogRenamed
#define HOST_VIRTUAL_ROOT "ごみ箱"                 // the virtual folder: a root of the folder tree without a path
#define HOST_MESSAGE_CAPTION "RiloFile2"         // caption of the copy's message boxes (not a folder, files skipped)

// Command identifiers (WM_COMMAND, lParam 0).
enum : UINT {
    kHostCmdCopy = 32781,          // normal copy of the selection, with the confirmation dialog
    kHostCmdFirstPlugin = 33100,   // plug-in items: 33100, 33101, ... in menu order
    kHostCmdRefresh = 40001,       // re-read the current folder into the file list (F5)
    kHostCmdExit = 40002,          // close this instance
    kHostCmdAbout = 40003,         // a host item in the plug-in submenu, above the separator
};

// Control ids of the confirmation dialog.
enum : int {
    kHostDlgSource = 1100,      // static: what is copied
    kHostDlgDestination = 1101, // ComboBox (drop-down: its first child is the edit field)
    kHostDlgTree = 1102,        // SysTreeView32 with the main tree's roots
};

// SendMessage(hwndMain, WM_HOST_QUERY, query, 0) answers from the host's own bookkeeping.
#define WM_HOST_QUERY (WM_APP + 1)
enum : WPARAM {
    kQueryLastPluginResult = 1,    // result of the last DoProcess call; -1 before the first
    kQueryPluginCalls = 2,         // number of DoProcess calls made so far
    kQueryMainProcIsOwn = 3,       // 1 when the main window's GWL_WNDPROC is the host's own procedure
    kQueryDialogProcRestored = 4,  // for the last confirmation dialog: 1 when its GWL_WNDPROC was its own
                                   // (its class's) again when it closed, 0 when not, -1 when none has closed yet
    kQueryCopiedFiles = 5,         // files copied by the last confirmation dialog; -1 when cancelled or none
    kQueryCopyCommands = 6,        // number of copy commands (32781) handled
    kQueryDialogOpen = 7,          // the confirmation dialog's window handle while it is open, else 0
    kQueryPluginReturns = 8,       // DoProcess calls that have returned (a run ended when it reaches calls)
    kQueryTiming = 9,              // address of the host's HostTiming, to be read with ReadProcessMemory
    kQueryRoleAtLastCall = 10,     // at the last DoProcess call: kSeenActive | kSeenForeground, which the
                                   // main window was then; 0 before the first
    kQueryInputQueued = 11,        // 1 while keyboard or mouse input waits in the host thread's queue: once
                                   // 0, every key and click that reached the host has been handled
};
enum : LRESULT {
    kSeenActive = 1,      // the main window was its thread's active window
    kSeenForeground = 2,  // the main window was the foreground window
};

// What a user's desktop does to an instance that this host does not do by itself.
// SendMessage(hwndMain, WM_HOST_STAGE, stage, lParam) answers 1 once it is so.
#define WM_HOST_STAGE (WM_APP + 2)
enum : WPARAM {
    kStageActiveBehind = 1,         // the main window becomes its thread's active window (SetActiveWindow)
                                    // without the foreground, as an instance started in the background
    kStageForegroundWhenAsked = 2,  // lParam 1: a plug-in command another thread sends first makes the main
                                    // window the foreground window, as the user's click just then would;
                                    // lParam 0 ends it
    kStageListAlso = 3,             // lParam: a window listed among the other instances at every plug-in
                                    // call from now on, as a list not yet refreshed may (lParam 0 ends it),
                                    // at the position given by kStageListAt
    kStageListAt = 4,               // lParam: that position among the other instances, 0 first
    kStageBusyWhenAsked = 5,        // lParam: a plug-in command another thread sends is handled only after
                                    // the host has been busy for lParam ms, reading nothing of its queue, as
                                    // one reading a network folder; 0 ends it
    kStageFillDialog = 6,           // lParam 1: the confirmation dialog of each copy command fills itself in
                                    // as /filldialog says when it is first shown; 0 ends it
    kStageDialogShape = 7,          // lParam: kDialog* flags, what the confirmation dialog of each copy
                                    // command does as other programs' dialogs do; 0 ends it
};
// What the confirmation dialog does in its set-up (WM_INITDIALOG), in this order: its own title given under
// kDialogTitledInSetUp, then the first two flags before it writes its destination and builds its tree,
// the third at its end.
enum : LPARAM {
    kDialogCommandFirst = 1,  // it sends itself a button's command (BN_CLICKED), as a dialog bringing an
                              // option's dependent controls in line does
    kDialogRenamed = 2,       // it gives itself the title HOST_RENAMED_TITLE, as another version may
    kDialogShowsItself = 4,   // it shows itself with SetWindowPos(SWP_SHOWWINDOW): no WM_SHOWWINDOW comes
    kDialogVisibleAtOnce = 8, // its template is WS_VISIBLE: shown as its set-up ends, not once its queue
                              // first runs empty
    kDialogDecoyFirst = 16,   // before the dialog, the copy makes a window of the dialog's title owned by
                              // another window of its thread, as a tool's window may be
    kDialogTitledInSetUp = 32, // it is made under another title and given its own first in its set-up,
                               // as one titled from the host's texts: not known by its creation
};

// When the host's steps around a plug-in call happened, for the benchmark: QueryPerformanceCounter
// values, which every process of the machine shares; 0 for what has not happened. A plug-in call made
// while another one of this host waits (another instance asking) changes nothing here.
struct HostTiming {
    LONGLONG commandAt;        // a plug-in command reached the main window
    LONGLONG pluginCalledAt;   // DoProcess called: the instance list for it is built in between
    LONGLONG pluginReturnedAt; // DoProcess returned
    LONGLONG copyCommandAt;    // the copy command began, sent by the plug-in or by the user
    LONGLONG copyCommandEndAt; // the copy command returned, its dialog closed
    LONGLONG requestTicks;     // the plug-in's SendMessageTimeoutA calls in this call, summed (/timing)
    LONGLONG firstRequestAt;   // the first of them began (/timing)
    LONGLONG lastRequestEnd;   // the last of them returned (/timing)
    int requests;              // how many (/timing)
    LONGLONG dialogReadyAt;    // the confirmation dialog's own set-up ended
    LONGLONG treeFillTicks;    // the host filling tree levels expanded in the dialog after its set-up
    LONGLONG dialogRetitledAt; // the dialog's title was first set after its set-up (by whoever fills it in)
    LONGLONG dialogShownAt;    // the dialog procedure got WM_SHOWWINDOW: whatever ran before it has ended
    LONGLONG dialogInitAt;     // the confirmation dialog's own set-up (WM_INITDIALOG) began: its window and
                               // controls are made
};

// Command line (each option one argument, quoted when it holds spaces; texts in code page 932):
//   /path=<folder>       open this folder (default: the current directory)
//   /virtual             open the virtual folder instead (empty current path)
//   /select=<a>|<b>|...  select these files of the folder, by name
//   /selectall           select every file of the folder
//   /plugins=<folder>    load the plug-in DLLs of this folder (default: the folder of the program)
//   /notree              no folder tree (a host a plug-in cannot read a tree path from)
//   /pluginmenu=<text>   give the plug-in menu this text instead of "プラグイン(&P)" (a host whose
//                        plug-in menu a plug-in cannot find)
//   /pos=<x>,<y>,<w>,<h> place the main window
//   /timing              time the plug-in's requests (HostTiming); the rest of HostTiming is always kept
//   /longpath            give the plug-in the current folder as a path of more than 259 bytes, "\."
//                        repeated after it, as a host past its contract would (the same folder)
//   /filldialog=<title>|<folder>  what the confirmation dialog fills itself in with under kStageFillDialog:
//                        its title, the destination field and the folder selected in its tree, as a
//                        plug-in fills it in (for the benchmark: what that work costs the host itself)
// An unknown option, or a value that does not fit, ends the program with exit code 2 before any window
// opens.
// A main window the platform cannot make (its class, its menu or the window itself) ends the program
// with exit code HOST_EXIT_NO_WINDOW plus the error the platform gave, so that a start Wine fumbled can
// be told from a fault of ours.
#define HOST_EXIT_NO_WINDOW 0x10000
