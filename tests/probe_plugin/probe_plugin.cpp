// A plug-in that records every DoProcess call in PROBE.LOG beside itself, so tests can see the
// record and the instance order exactly as a plug-in receives them; with PROBE.MODE beside it saying
// "copy", it also starts the host's copy itself and logs what its hooks see of the dialog opening.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// What the host passes, as a plug-in sees it; kept apart from the host's own definition.
struct HostRecord {
    HWND hwndMain;
    DWORD reserved;
    HWND hwndFileList;
    HWND *instanceWindows;
    int instanceCount;
    const char *currentPath;
};

constexpr int kMaxLoggedWindows = 64, kLineSize = 1024, kTitleSize = 128;
constexpr UINT kHostCopyCommand = 32781;

int calls;

// Copy mode: the procedures the hooks replaced, and the dialog hooked so far (one per copy).
WNDPROC savedMainProc;
WNDPROC savedDialogProc;
HWND hookedDialog;

// Appends to text; a line that would not fit keeps what it had and reports false.
bool AppendV(char *line, const char *format, va_list args)
{
    size_t used = strlen(line);
    int written = vsnprintf(line + used, kLineSize - used, format, args);
    if (written < 0 || size_t(written) >= kLineSize - used) {
        line[used] = '\0';
        return false;
    }
    return true;
}

bool Append(char *line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    bool fitted = AppendV(line, format, args);
    va_end(args);
    return fitted;
}

// The full path of a file named name in the probe's own folder; false when it does not fit.
bool BesideProbe(const char *name, char *path)
{
    DWORD length = GetModuleFileNameA(GetModuleHandleA("PROBE.DLL"), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    char *fileName = path;
    for (char *p = path; *p; p = CharNextA(p))
        if (*p == '\\')
            fileName = p + 1;
    if (size_t(fileName - path) + strlen(name) + 1 > MAX_PATH)
        return false;
    strcpy(fileName, name);
    return true;
}

void AppendLogLine(const char *line)
{
    char path[MAX_PATH];
    if (!BesideProbe("PROBE.LOG", path))
        return;
    // Other instances append to the same file; sharing lets them and the tests read along.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line, DWORD(strlen(line)), &written, nullptr);
    CloseHandle(file);
}

// One "event=..." line, written at once: the order of the lines is the order the hooks saw.
void LogEvent(const char *format, ...)
{
    char line[kLineSize] = "event=";
    va_list args;
    va_start(args, format);
    AppendV(line, format, args);
    va_end(args);
    Append(line, "\n");
    AppendLogLine(line);
}

// PROBE.MODE is read on every call, so a test can switch modes between commands of one host.
bool CopyModeSelected()
{
    char path[MAX_PATH], mode[16] = "";
    FILE *file = BesideProbe("PROBE.MODE", path) ? fopen(path, "rb") : nullptr;
    if (file == nullptr)
        return false;
    fgets(mode, sizeof mode, file);
    fclose(file);
    return strncmp(mode, "copy", 4) == 0;
}

void UnhookDialog()
{
    if (hookedDialog && savedDialogProc)
        SetWindowLongPtrA(hookedDialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedDialogProc));
    savedDialogProc = nullptr;
}

LRESULT CALLBACK DialogHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC next = savedDialogProc;
    if (message == WM_SHOWWINDOW) {
        LogEvent("dialog-show show=%d", int(wParam));
        // Like a plug-in that has done its work once the dialog appears: the host checks, when the
        // dialog closes, that its own procedure is back.
        if (wParam)
            UnhookDialog();
    } else if (message == WM_NCDESTROY) {
        UnhookDialog();
    }
    return CallWindowProcA(next, hwnd, message, wParam, lParam);
}

// Hooks the first window of this thread that the main window is deactivated in favour of, without
// judging it by its title: the log shows what a plug-in would have to recognise it by.
LRESULT CALLBACK MainHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATE) {
        HWND other = reinterpret_cast<HWND>(lParam);
        char title[kTitleSize] = "";
        if (other) {
            GetWindowTextA(other, title, sizeof title);
            title[sizeof title - 1] = '\0';
        }
        LogEvent("main-activate state=%d other=%08lX title=%s", int(LOWORD(wParam)),
                 (unsigned long)(UINT_PTR)other, title);
        if (LOWORD(wParam) == WA_INACTIVE && other && !hookedDialog &&
            GetWindowThreadProcessId(other, nullptr) == GetCurrentThreadId()) {
            hookedDialog = other;
            savedDialogProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(other, GWLP_WNDPROC));
            SetWindowLongPtrA(other, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DialogHook));
        }
    }
    return CallWindowProcA(savedMainProc, hwnd, message, wParam, lParam);
}

// Sends the host's copy command from inside DoProcess, as the two-pane copy does, with the main
// window hooked for the time of the command.
void RunCopyWithHooks(HWND hwndMain)
{
    savedMainProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwndMain, GWLP_WNDPROC));
    SetWindowLongPtrA(hwndMain, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainHook));
    SendMessageA(hwndMain, WM_COMMAND, kHostCopyCommand, 0);
    SetWindowLongPtrA(hwndMain, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedMainProc));
    // A dialog that never showed is destroyed by now, and its procedure with it; the next copy starts afresh.
    savedDialogProc = nullptr;
    hookedDialog = nullptr;
    LogEvent("copy-returned");
}

}  // namespace

extern "C" int WINAPI GetFunctionInfo(char *description, char *copyright, WORD *version)
{
    strcpy(description, "テスト用の記録プラグイン\n記録プローブ(&R)");
    strcpy(copyright, "Copyright (C) 2026 VORPAN project test probe");
    *version = 100;
    return 3;
}

// One line per call: call=<n> main=<hex> list=<hex> count=<n> windows=<hex>,... path=<path> active=<0|1>
// In copy mode the call's own event lines follow it:
//   event=main-activate state=<WA_*> other=<hex> title=<title of the other window>
//   event=dialog-show show=<wParam>
//   event=copy-returned
extern "C" int WINAPI DoProcess(HostRecord *record)
{
    char line[kLineSize] = "";
    Append(line, "call=%d main=%08lX list=%08lX count=%d windows=", ++calls,
           (unsigned long)(UINT_PTR)record->hwndMain, (unsigned long)(UINT_PTR)record->hwndFileList,
           record->instanceCount);
    for (int i = 0; i < record->instanceCount && i < kMaxLoggedWindows; ++i)
        Append(line, i == 0 ? "%08lX" : ",%08lX", (unsigned long)(UINT_PTR)record->instanceWindows[i]);
    Append(line, " path=%s", record->currentPath);
    Append(line, " active=%d\n", GetActiveWindow() == record->hwndMain ? 1 : 0);
    AppendLogLine(line);
    if (CopyModeSelected())
        RunCopyWithHooks(record->hwndMain);
    return 1;
}
