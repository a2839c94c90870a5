// Message pumping with deadlines; see wait.h.
#include "harness/wait.h"

namespace {

void PumpPending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

DWORD Remaining(DWORD start, DWORD timeoutMs)
{
    DWORD elapsed = GetTickCount() - start;
    return elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
}

}  // namespace

bool PumpUntil(const std::function<bool()> &condition, DWORD timeoutMs, DWORD pollMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (condition())
            return true;
        DWORD left = Remaining(start, timeoutMs);
        if (left == 0)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, left < pollMs ? left : pollMs, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

bool PumpUntilSignaled(HANDLE handle, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD result = MsgWaitForMultipleObjectsEx(1, &handle, Remaining(start, timeoutMs), QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        PumpPending();
    }
}
