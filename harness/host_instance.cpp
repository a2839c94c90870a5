// Starting, asking and ending stand-in host processes; see host_instance.h.
#include "harness/host_instance.h"

#include "harness/outcome.h"
#include "host_protocol.h"

HostInstance::HostInstance(const std::vector<std::string> &options, DWORD timeoutMs)
    : ChildProcess(HOST_EXE_NAME, options)
{
    if (!process)
        return;
    PumpUntil([&] {
        hwnd = FindVisibleWindowOfProcess(pid, nullptr, HOST_WINDOW_CLASS);
        return hwnd != nullptr || !Running();
    }, timeoutMs);
    // The window is visible before the host has finished showing it: it activates itself after that,
    // and would take the foreground from a window activated meanwhile. Pumping, as the host may send to
    // our windows while it starts.
    bool idle = hwnd && PumpUntil([&] { return WaitForInputIdle(process, 0) == 0 || !Running(); }, timeoutMs) &&
                Running();
    if (idle)
        return;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    const bool noWindow = !Running() && code >= HOST_EXIT_NO_WINDOW && code <= HOST_EXIT_NO_WINDOW + 0xFFFF;
    error = noWindow     ? "host could not make its main window, error " +
                               std::to_string(code - HOST_EXIT_NO_WINDOW) + ": " + commandLine
            : !Running() ? "host exited with code " + std::to_string(code) + ": " + commandLine
            : hwnd       ? "host not idle after " + std::to_string(timeoutMs) + " ms: " + commandLine
                         : "no visible main window after " + std::to_string(timeoutMs) + " ms: " + commandLine;
    ReportFailure(error);
}

bool HostInstance::Stage(WPARAM stage, LPARAM value) const
{
    DWORD_PTR done = 0;
    return SendMessageTimeoutA(hwnd, WM_HOST_STAGE, stage, value, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &done) &&
           done == 1;
}

bool ReadTiming(const HostInstance &host, HostTiming *timing)
{
    LRESULT address = host.Query(kQueryTiming);
    SIZE_T read = 0;
    return address != kQueryFailed && address != 0 &&
           ReadProcessMemory(host.process, reinterpret_cast<LPCVOID>(address), timing, sizeof *timing, &read) &&
           read == sizeof *timing;
}

double TicksMs(LONGLONG ticks)
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return 1000.0 * double(ticks) / double(frequency);
}

LRESULT HostQuery(HWND hwndHost, WPARAM query, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwndHost, WM_HOST_QUERY, query, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result))
        return kQueryFailed;
    return static_cast<LRESULT>(result);
}

bool Settle(const std::vector<const HostInstance *> &hosts)
{
    for (const HostInstance *host : hosts) {
        if (!SendMessageTimeoutA(host->hwnd, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr))
            return false;
    }
    return true;
}

bool Activate(HWND hwnd, DWORD timeoutMs)
{
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd);
    // The owner's thread must have taken the activation too: the plug-in decides its role by the
    // GetActiveWindow of that thread.
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    return PumpUntil([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == hwnd && GetGUIThreadInfo(thread, &info) && info.hwndActive == hwnd;
    }, timeoutMs);
}
