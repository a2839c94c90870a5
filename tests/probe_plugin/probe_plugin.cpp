// A plug-in that records every DoProcess call in PROBE.LOG beside itself, so tests can see the
// record and the instance order exactly as a plug-in receives them.
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

enum : int {
    kMaxLoggedWindows = 64,
    kLineSize = 1024,
};

int calls;

// Appends to text; a line that would not fit keeps what it had and reports false.
bool Append(char *line, const char *format, ...)
{
    size_t used = strlen(line);
    va_list args;
    va_start(args, format);
    int written = vsnprintf(line + used, kLineSize - used, format, args);
    va_end(args);
    if (written < 0 || size_t(written) >= kLineSize - used) {
        line[used] = '\0';
        return false;
    }
    return true;
}

void AppendLogLine(const char *line)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(GetModuleHandleA("PROBE.DLL"), path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    char *name = path;
    for (char *p = path; *p; p = CharNextA(p)) {
        if (*p == '\\')
            name = p + 1;
    }
    if (size_t(name - path) + sizeof "PROBE.LOG" > sizeof path)
        return;
    strcpy(name, "PROBE.LOG");
    // Other instances append to the same file; sharing lets them and the tests read along.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line, DWORD(strlen(line)), &written, nullptr);
    CloseHandle(file);
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
    return 1;
}
