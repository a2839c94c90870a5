// A window on a thread of its own that can be held; see thread_window.h.
#include "harness/thread_window.h"

#include "harness/peer_instance.h"
#include "harness/wait.h"

namespace {

// Posted to the thread itself, not to a window: the loop holds the thread when it takes it.
constexpr UINT kHangMessage = WM_APP + 7;

}  // namespace

ThreadWindow::ThreadWindow(const std::function<HWND()> &make) : make_(make)
{
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    release_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hanging_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    if (thread_ != nullptr)
        WaitForSingleObject(ready_, kWaitTimeoutMs);
}

ThreadWindow::ThreadWindow(WNDPROC proc)
    : ThreadWindow([proc] { return MakeInstanceWindow(proc, "", WS_OVERLAPPED); })
{
}

ThreadWindow::~ThreadWindow()
{
    Release();
    if (thread_ != nullptr) {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        // Never held for longer than its own safety bound.
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
    CloseHandle(release_);
    CloseHandle(hanging_);
}

bool ThreadWindow::Hang(DWORD forMs)
{
    hangMs_ = forMs < kHoldSafetyMs ? forMs : kHoldSafetyMs;
    ResetEvent(release_);
    return PostThreadMessageA(threadId_, kHangMessage, 0, 0) &&
           WaitForSingleObject(hanging_, kWaitTimeoutMs) == WAIT_OBJECT_0;
}

bool ThreadWindow::WaitForRelease(DWORD timeoutMs) const
{
    return WaitForSingleObject(release_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD WINAPI ThreadWindow::Run(void *parameter)
{
    auto *self = static_cast<ThreadWindow *>(parameter);
    HWND hwnd = self->make_();
    // The message queue exists from here on, so WM_QUIT posted by the destructor is not lost.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    self->hwnd = hwnd;
    SetEvent(self->ready_);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kHangMessage) {
            SetEvent(self->hanging_);
            WaitForSingleObject(self->release_, self->hangMs_);
            ResetEvent(self->hanging_);
            continue;
        }
        DispatchMessageA(&msg);
    }
    // The window may have gone already, destroyed by its own procedure.
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    return 0;
}
