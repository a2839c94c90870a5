// A window run by a second thread of this process, so that a send to it crosses threads as a send to
// another instance does.
#pragma once

#include <windows.h>

// A blocked one does not look at its messages until Release(), or for at most kBlockedThreadSafetyMs, so
// that a send without a bound of its own ends its test instead of hanging it.
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
