// Starting, asking and ending stand-in host processes; see host_instance.h.
#include "harness/host_instance.h"

#include <commctrl.h>

#include "harness/folders.h"
#include "harness/outcome.h"
#include "harness/remote_windows.h"
#include "text_walk.h"
#include "host_protocol.h"

namespace {

// Hosts join this job, which kills them when the program ends without ending them itself (a crash
// skips destructors); a leaked host would disturb every later instance order.
HANDLE HostJob()
{
    static HANDLE job = [] {
        HANDLE created = CreateJobObjectA(nullptr, nullptr);
        if (created) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        return created;
    }();
    return job;
}

}  // namespace

std::string QuoteArgument(const std::string &argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    // Backslashes are literal except in front of a quote, where each must be doubled.
    std::string quoted = "\"";
    size_t backslashes = 0;
    ForEachCharacter(argument, [&](size_t i, bool isDouble) {
        if (isDouble) {
            quoted += argument.substr(i, 2);
            backslashes = 0;
        } else if (argument[i] == '\\') {
            quoted += '\\';
            ++backslashes;
        } else {
            if (argument[i] == '"')
                quoted.append(backslashes + 1, '\\');
            quoted += argument[i];
            backslashes = 0;
        }
    });
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

HostInstance::HostInstance(const std::vector<std::string> &options, DWORD timeoutMs)
{
    const std::string program = ProgramFolder() + HOST_EXE_NAME;
    commandLine = QuoteArgument(program);
    for (const std::string &option : options)
        commandLine += " " + QuoteArgument(option);

    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created = {};
    if (!CreateProcessA(program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &created)) {
        error = LastErrorText("CreateProcessA", commandLine);
        ReportFailure(error);
        return;
    }
    process = created.hProcess;
    pid = created.dwProcessId;
    if (HostJob())
        AssignProcessToJobObject(HostJob(), process);
    ResumeThread(created.hThread);
    CloseHandle(created.hThread);

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
    error = !Running() ? "host exited with code " + std::to_string(code) + ": " + commandLine
            : hwnd     ? "host not idle after " + std::to_string(timeoutMs) + " ms: " + commandLine
                       : "no visible main window after " + std::to_string(timeoutMs) + " ms: " + commandLine;
    ReportFailure(error);
}

HostInstance::~HostInstance()
{
    if (!process)
        return;
    if (Running()) {
        if (hwnd)
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        if (!PumpUntilSignaled(process, kCloseTimeoutMs)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, kCloseTimeoutMs);
        }
    }
    CloseHandle(process);
}

bool HostInstance::Running() const
{
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

bool HostInstance::WaitForExit(DWORD timeoutMs)
{
    return process && PumpUntilSignaled(process, timeoutMs);
}

LRESULT HostInstance::Query(WPARAM query) const
{
    return HostQuery(hwnd, query);
}

HWND HostInstance::Tree() const
{
    return FindChildByClassName(hwnd, WC_TREEVIEWA);
}

HWND HostInstance::FileList() const
{
    return FindChildByClassName(hwnd, WC_LISTVIEWA);
}

LRESULT HostQuery(HWND hwndHost, WPARAM query, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwndHost, WM_HOST_QUERY, query, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &result))
        return kQueryFailed;
    return static_cast<LRESULT>(result);
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
