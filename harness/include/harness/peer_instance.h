// Windows of this process that count as instances to every stand-in host and to the plug-in, windows of other
// programs beside them, and path reports sent as any process could forge them.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "harness/host_instance.h"
#include "harness/plugin_facts.h"
#include "harness/thread_window.h"

// A top-level window of this thread of class className with procedure proc (put on once the window exists)
// and a host's menu bar: "ファイル(&F)", then pluginMenu listing plugins numbered from 33100 as a host numbers
// them, "" a separator; no menu bar for a null pluginMenu.
constexpr char kPluginMenuText[] = "プラグイン(&P)";
HWND MakeMenuWindow(const char *className, WNDPROC proc, const char *title, const std::vector<std::string> &plugins,
                    const char *pluginMenu = kPluginMenuText, DWORD style = WS_OVERLAPPEDWINDOW,
                    RECT frame = {0, 0, 300, 200});
// What an instance's main window has, which the plug-in asks and reports to and every host counts: the host's
// main-window class and a menu bar listing our plug-in.
HWND MakeInstanceWindow(WNDPROC proc, const char *title = "instance", DWORD style = WS_OVERLAPPEDWINDOW,
                        RECT frame = {0, 0, 300, 200});

// One WM_COPYDATA message as a window received it: wParam, dwData, cbData and the cbData bytes.
struct ReceivedCopyData {
    HWND sender;
    ULONG_PTR kind;
    DWORD size;
    std::string bytes;
};

// An instance's main window (MakeInstanceWindow) in the creating thread, destroyed with the object. It
// records every WM_COPYDATA it receives, in order, and answers TRUE. Asked for its paths (the plug-in's
// command), it runs onRequest inside the asker's send, where a real instance's plug-in would answer.
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
// The whole answer of an instance showing folder: its current path, then its tree path.
bool SendAnswer(HWND to, HWND from, const std::string &folder);

// A PeerInstanceWindow on a thread of its own, as another instance's is: onRequest runs on that thread inside
// the request, where it may hold the thread as a busy instance's is held (Hold), answer (SendAnswer), or both.
class BusyInstance {
public:
    explicit BusyInstance(const char *title = "busy instance");
    bool ok() const { return window != nullptr && window->ok(); }
    HWND hwnd() const { return thread.hwnd; }

    // For onRequest: holds the instance's thread in a wait that takes no messages until until() holds
    // (looked at every kPollMs), Release was called, or ThreadWindow::kHoldSafetyMs passed.
    void Hold(const std::function<bool()> &until = nullptr);
    // Ends every Hold, those to come too.
    void Release() { thread.Release(); }
    // For a Hold's until, on the instance's thread: a message sent to it waits, such as the request of an
    // asker that gave up on the one being held and asks again.
    static bool AskedAgain();
    // The requests it took so far, the one being handled included; for any thread.
    int Requests() const { return requests_; }

    std::function<void()> onRequest;
    // Times keys typed when asked (TypeWhenAsked) never reached the asker's queue, for the run's driver to tell.
    std::atomic<int> keysLost{0};
    // Made on its thread; it outlives the thread, so that what it received can be read afterwards.
    std::unique_ptr<PeerInstanceWindow> window;
    ThreadWindow thread;

private:
    std::atomic<int> requests_{0};
};
