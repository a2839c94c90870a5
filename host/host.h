// The stand-in host's one state structure and the functions its parts offer each other.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "host_protocol.h"

enum : int {
    kPathSize = MAX_PATH,  // a folder or file path with its NUL, as the plug-in receives it
    kTitleSize = 128,      // a title given on the command line
    kMaxPlugins = 16,
    kMaxInstances = 64,    // entries of instanceWindows, this instance included
};

// Parsed command line; every text in code page 932.
struct HostOptions {
    char path[kPathSize];          // folder to open, absolute
    bool virtualFolder;            // open the virtual folder instead
    std::vector<std::string> select;  // file names to select
    bool selectAll;
    char pluginFolder[kPathSize];
    bool noTree;                   // a host without a folder tree
    char pluginMenuText[kTitleSize]; // empty: the plug-in menu keeps its own text
    bool hasPos;
    int x, y, width, height;
    bool timing;                   // time the plug-in's requests for the benchmark
    bool longPath;                 // the record's path passes 259 bytes (see /longpath)
    char fillTitle[kTitleSize];    // /filldialog: the title and folder the dialog fills itself in with
    char fillFolder[kPathSize];
};

struct HostState {
    HINSTANCE instance;
    HWND hwndMain;
    HWND hwndTree;                 // null with /notree
    HWND hwndList;
    char currentPath[kPathSize];   // empty on the virtual folder
    HostOptions options;

    // Bookkeeping answered by WM_HOST_QUERY.
    LRESULT lastPluginResult;      // -1 before the first DoProcess call
    LRESULT pluginCalls;
    LRESULT pluginReturns;         // calls that have returned: a run has ended when it equals pluginCalls
    LRESULT dialogProcRestored;    // -1 until a confirmation dialog has closed
    LRESULT copiedFiles;           // -1 when the last dialog was cancelled or none ran
    LRESULT copyCommands;
    HWND dialogOpen;               // the confirmation dialog while it runs
    LRESULT roleAtLastCall;        // kSeenActive | kSeenForeground at the last DoProcess call

    // Set up by WM_HOST_STAGE.
    bool foregroundWhenAsked;      // a plug-in command sent by another thread takes the foreground first
    HWND listAlso;                 // listed among the other instances at every plug-in call; or null
    int listAlsoAt;                // its position there
    DWORD busyWhenAskedMs;         // a plug-in command another thread sends waits this long first
    bool fillDialog;               // the confirmation dialog fills itself in (/filldialog)
    LPARAM dialogShape;            // kDialog* flags: what the confirmation dialog does in its set-up
};

extern HostState host;

// Paths and texts (folder_tree.cpp). Code page 932 puts '\\' and '|' in trail bytes, so these walk
// characters, not bytes.
bool CopyText(char *dst, int dstSize, const char *src);
bool EndsWithBackslash(const char *path);
bool JoinPath(char *out, int outSize, const char *folder, const char *name);
std::vector<std::string> SplitText(const char *text, char separator);
// Names of the files (or the folders, without "." and "..") in folder matching pattern, sorted
// ignoring case; empty for an empty folder path.
std::vector<std::string> ListFolder(const char *folder, const char *pattern, bool folders);

// The names of the files selected in the file list (main.cpp).
std::vector<std::string> SelectedNames();

// Folder trees of the main window and the confirmation dialog (folder_tree.cpp).
void FillTreeRoots(HWND tree);
void FillTreeChildren(HWND tree, HTREEITEM item);
bool TreeItemPath(HWND tree, HTREEITEM item, char *out, int outSize);
HTREEITEM SelectTreePath(HWND tree, const char *path);
HTREEITEM FindVirtualRoot(HWND tree);
bool IsTreeExpanding(UINT code);
bool IsTreeSelChanged(UINT code);
// NM_CUSTOMDRAW of a folder tree: its selection stays plainly visible without the focus.
LRESULT PaintSelectionAlways(NMHDR *header);

// Plug-ins (plugins.cpp).
void LoadPlugins(const char *folder);
void AppendPluginMenuItems(HMENU pluginMenu);
bool IsPluginCommand(UINT id);
void CallPlugin(UINT id);
void ShowAboutPlugins(HWND owner);
void FreePlugins();

// The host's own copy (copy_dialog.cpp).
void RunCopyCommand();
