// A window on a thread of its own; see thread_window.h.
#include "harness/thread_window.h"

#include "harness/wait.h"

ThreadWindow::ThreadWindow(const char *className, WNDPROC proc, bool blocked)
    : className_(className), proc_(proc), blocked_(blocked)
{
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    if (thread_ != nullptr)
        WaitForSingleObject(ready_, kWaitTimeoutMs);
}

ThreadWindow::~ThreadWindow()
{
    Release();
    if (thread_ != nullptr) {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        // Never blocked for longer than its own safety bound.
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
    CloseHandle(release_);
}

DWORD WINAPI ThreadWindow::Run(void *parameter)
{
    auto *self = static_cast<ThreadWindow *>(parameter);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = self->proc_;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = self->className_;
    RegisterClassA(&windowClass);
    HWND hwnd = CreateWindowExA(0, self->className_, "", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    // The message queue exists from here on, so WM_QUIT posted by the destructor is not lost.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    self->hwnd = hwnd;
    SetEvent(self->ready_);
    if (self->blocked_)
        WaitForSingleObject(self->release_, kBlockedThreadSafetyMs);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    DestroyWindow(hwnd);
    return 0;
}
