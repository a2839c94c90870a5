// A window run by a second thread of this process, so that a send to it crosses threads as a send to
// another instance does, and whose thread can be held as a busy or hung instance's would be.
#pragma once

#include <windows.h>

#include <functional>

// Whatever happened, the destructor releases the thread, ends its message loop and waits for its end.
class ThreadWindow {
public:
    // Longest the thread is ever held, so that a send without a bound of its own ends its test or run
    // instead of hanging it.
    static constexpr DWORD kHoldSafetyMs = 30000;

    // make runs on the new thread and returns the window it made there (null when it could not); the
    // thread then runs that window's messages. Anything else make creates must outlive this object.
    explicit ThreadWindow(const std::function<HWND()> &make);
    // An instance's main window (MakeInstanceWindow) with procedure proc, hidden.
    explicit ThreadWindow(WNDPROC proc);
    ~ThreadWindow();
    ThreadWindow(const ThreadWindow &) = delete;
    ThreadWindow &operator=(const ThreadWindow &) = delete;

    // Holds the thread in a wait that takes no messages, as a host busy elsewhere, for forMs or until Release;
    // true once it waits. A send to the window meanwhile arrives afterwards if its sender still waits.
    bool Hang(DWORD forMs = kHoldSafetyMs);
    bool Hanging() const { return WaitForSingleObject(hanging_, 0) == WAIT_OBJECT_0; }
    // Ends a Hang and every WaitForRelease.
    void Release() { SetEvent(release_); }
    // For the window's own procedure, on its thread: holds it there until Release, at most timeoutMs;
    // true once released.
    bool WaitForRelease(DWORD timeoutMs = kHoldSafetyMs) const;

    HWND hwnd = nullptr;

private:
    static DWORD WINAPI Run(void *parameter);

    std::function<HWND()> make_;
    DWORD hangMs_ = 0;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    HANDLE hanging_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};
