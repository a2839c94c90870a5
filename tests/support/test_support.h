// Helpers every cross-process test uses: message pumping with deadlines, stand-in host processes,
// scratch folders, plug-in folders and reads of other processes' windows.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// Deadlines shared by the tests; generous, because a loaded CI machine runs Wine slowly.
enum : DWORD {
    kStartTimeoutMs = 10000,  // a host process until its main window is visible
    kWaitTimeoutMs = 5000,    // a window, a dialog or a state another process produces
    kCloseTimeoutMs = 3000,   // a host asked to close before it is terminated
    kSendTimeoutMs = 5000,    // one cross-process SendMessageTimeout
};

// Runs this thread's messages until condition() holds or timeoutMs passed; false on the deadline.
bool PumpUntil(const std::function<bool()> &condition, DWORD timeoutMs = kWaitTimeoutMs);

// Runs this thread's messages until handle is signalled or timeoutMs passed.
bool PumpUntilSignaled(HANDLE handle, DWORD timeoutMs);

// Folder of the running test program, with a trailing backslash: VORPAN.DLL and rilohost.exe lie there.
std::string TestProgramFolder();

// A unique folder under the temporary folder, removed with everything in it at destruction.
// Entries ending in "\" are folders; others are files whose content is their own relative name,
// so a copied file shows where it came from. Parent folders are made as needed. Paths stay within
// MAX_PATH: the ANSI file functions refuse longer ones (Wine from 261 bytes, with error 206).
// Declare it before the hosts that show it, so that they end before it is removed.
class ScratchFolder {
public:
    explicit ScratchFolder(std::initializer_list<std::string> entries = {});
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool ok() const { return error.empty(); }
    std::string Path(const std::string &relative = "") const;  // full path; no trailing "\" for ""
    bool AddFolder(const std::string &relative);
    bool AddFile(const std::string &relative, const std::string &content);

    std::string path;   // the folder itself, without trailing backslash
    std::string error;  // what failed while building it; empty when all went well
};

// A fresh plug-in folder holding a copy of VORPAN.DLL (and of probe\PROBE.DLL when asked), so that a
// test decides which plug-ins a host loads (/plugins=) and where VORPAN.INI goes (beside the DLL).
class PluginFolder {
public:
    enum Contents { kVorpanOnly, kVorpanAndProbe, kProbeOnly };
    explicit PluginFolder(Contents contents = kVorpanOnly);

    bool ok() const { return error.empty(); }
    std::string IniPath() const { return folder.Path("VORPAN.INI"); }
    std::string HostOption() const { return "/plugins=" + path; }

    ScratchFolder folder;
    std::string path;
    std::string error;
};

// One stand-in host process (rilohost.exe beside the test program), ended at destruction whatever
// happened: WM_CLOSE, a short wait, then TerminateProcess. Hosts also die with the test program,
// through a job object, should it crash before destructors run.
class HostInstance {
public:
    // options: one command-line argument each, e.g. "/path=C:\\x", "/plugins=..."; code page 932.
    explicit HostInstance(const std::vector<std::string> &options, DWORD timeoutMs = kStartTimeoutMs);
    ~HostInstance();
    HostInstance(const HostInstance &) = delete;
    HostInstance &operator=(const HostInstance &) = delete;

    bool ok() const { return hwnd != nullptr && error.empty(); }
    bool Running() const;
    bool WaitForExit(DWORD timeoutMs = kCloseTimeoutMs);  // pumps while waiting
    LRESULT Query(WPARAM query) const;                     // WM_HOST_QUERY; kQueryFailed on time-out
    HWND Tree() const;      // the main window's folder tree, or null
    HWND FileList() const;  // the main window's file list, or null

    HWND hwnd = nullptr;
    DWORD pid = 0;
    HANDLE process = nullptr;
    std::string commandLine;
    std::string error;  // why it did not start
};

// Result of HostQuery when the host did not answer in time (no query answers with it).
constexpr LRESULT kQueryFailed = static_cast<LRESULT>(0x80000000u);

LRESULT HostQuery(HWND hwndHost, WPARAM query, DWORD timeoutMs = kSendTimeoutMs);

// Quotes one command-line argument when needed; a trail byte 0x5C of a double-byte character is not
// a backslash and is never doubled.
std::string QuoteArgument(const std::string &argument);

// Raises hwnd and makes it the foreground window, as a user's click would; true once it is.
// Both calls are needed under Wine's null driver for a right "most recently active" order.
bool Activate(HWND hwnd, DWORD timeoutMs = kWaitTimeoutMs);

// A window's text through WM_GETTEXT, also across processes; empty when it does not answer.
std::string WindowText(HWND hwnd);
std::string ClassNameOf(HWND hwnd);

// The selected item of another process's tree view as a tree path: item texts from the root down,
// each followed by "\". Empty when nothing is selected or a read fails.
std::string RemoteTreeSelectionPath(HWND hwndTree);

// Top-level windows of process pid (0: any process) titled title (null: any title) and of class
// className (null: any class); the first in Z order, or null.
HWND FindWindowOfProcess(DWORD pid, const char *title, const char *className = nullptr);
HWND FindWindowOfProcessByTitle(DWORD pid, const char *title);
// Waits until such a window exists and is visible.
HWND WaitForWindowOfProcess(DWORD pid, const char *title, const char *className = nullptr,
                            DWORD timeoutMs = kWaitTimeoutMs);
// Waits until hwnd is gone.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = kWaitTimeoutMs);

// First descendant of parent of class className in EnumChildWindows order, or null.
HWND FindChildByClassName(HWND parent, const char *className);

// Reads a whole file into a string; false when it cannot be opened.
bool ReadFileText(const std::string &path, std::string *content);
bool FileExists(const std::string &path);
bool FolderExists(const std::string &path);

// A window owned by a second thread of this process, so that a send to it crosses threads as a send to
// another instance does. A blocked one does not look at its messages until Release(), or for at most
// kBlockedThreadSafetyMs, so that a send without a bound of its own ends its test instead of hanging it.
class ThreadWindow {
public:
    static constexpr DWORD kBlockedThreadSafetyMs = 30000;

    ThreadWindow(const char *className, WNDPROC proc, bool blocked = false);
    ~ThreadWindow();
    ThreadWindow(const ThreadWindow &) = delete;
    ThreadWindow &operator=(const ThreadWindow &) = delete;

    void Release() { SetEvent(release_); }

    HWND hwnd = nullptr;

private:
    static DWORD WINAPI Run(void *parameter);

    const char *className_;
    WNDPROC proc_;
    bool blocked_;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};
