// Finding and reading other processes' windows; see remote_windows.h.
#include "harness/remote_windows.h"

#include <commctrl.h>

#include <vector>

namespace {

constexpr int kTreeTextSize = 260;  // the size the plug-in itself reads tree item texts with
constexpr UINT kSendFlags = SMTO_NORMAL | SMTO_ABORTIFHUNG;

struct WindowSearch {
    DWORD pid;
    const char *title;
    const char *className;
    bool visibleOnly;
    HWND found;
};

// For top-level windows and children alike.
BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param)
{
    WindowSearch *search = reinterpret_cast<WindowSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (search->pid != 0 && owner != search->pid)
        return TRUE;
    if (search->visibleOnly && !IsWindowVisible(hwnd))
        return TRUE;
    if (search->className && lstrcmpiA(ClassNameOf(hwnd).c_str(), search->className) != 0)
        return TRUE;
    if (search->title) {
        char title[512] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        title[sizeof title - 1] = '\0';
        if (lstrcmpA(title, search->title) != 0)
            return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

// Memory inside another process, for messages whose pointers the receiving process dereferences.
class RemoteBuffer {
public:
    RemoteBuffer(DWORD pid, SIZE_T size) : size_(size)
    {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer &) = delete;
    RemoteBuffer &operator=(const RemoteBuffer &) = delete;

    char *address() const { return static_cast<char *>(address_); }
    bool Write(SIZE_T offset, const void *data, SIZE_T count) const
    {
        SIZE_T done = 0;
        return offset + count <= size_ &&
               WriteProcessMemory(process_, address() + offset, data, count, &done) && done == count;
    }
    bool Read(SIZE_T offset, void *data, SIZE_T count) const
    {
        SIZE_T done = 0;
        return offset + count <= size_ &&
               ReadProcessMemory(process_, address() + offset, data, count, &done) && done == count;
    }

private:
    SIZE_T size_;  // writing past it would corrupt the other process's memory, not fail
    HANDLE process_ = nullptr;
    void *address_ = nullptr;
};

bool SendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR *result)
{
    return SendMessageTimeoutA(hwnd, message, wParam, lParam, kSendFlags, kSendTimeoutMs, result) != 0;
}

}  // namespace

std::string WindowText(HWND hwnd)
{
    DWORD_PTR length = 0;
    if (!SendTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, &length))
        return std::string();
    std::vector<char> text(length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendTimeout(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied))
        return std::string();
    text.back() = '\0';
    return std::string(text.data());
}

std::string ClassNameOf(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    name[sizeof name - 1] = '\0';
    return name;
}

std::string RemoteTreeSelectionPath(HWND hwndTree)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwndTree, &pid);
    RemoteBuffer remote(pid, sizeof(TVITEMA) + kTreeTextSize);
    if (!remote.address())
        return std::string();

    std::string path;
    DWORD_PTR item = 0;
    if (!SendTimeout(hwndTree, TVM_GETNEXTITEM, TVGN_CARET, 0, &item))
        return std::string();
    while (item) {
        TVITEMA request = {};
        request.mask = TVIF_TEXT | TVIF_HANDLE;
        request.hItem = reinterpret_cast<HTREEITEM>(item);
        request.pszText = remote.address() + sizeof(TVITEMA);
        request.cchTextMax = kTreeTextSize;
        char text[kTreeTextSize] = {};
        DWORD_PTR read = 0;
        // The text area is cleared first: Wine leaves a truncated text unterminated.
        if (!remote.Write(0, &request, sizeof request) || !remote.Write(sizeof(TVITEMA), text, sizeof text) ||
            !SendTimeout(hwndTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.address()), &read) ||
            !read || !remote.Read(sizeof(TVITEMA), text, sizeof text))
            return std::string();
        text[sizeof text - 1] = '\0';
        path = std::string(text) + "\\" + path;
        if (!SendTimeout(hwndTree, TVM_GETNEXTITEM, TVGN_PARENT, static_cast<LPARAM>(item), &item))
            return std::string();
    }
    return path;
}

HWND FindVisibleWindowOfProcess(DWORD pid, const char *title, const char *className)
{
    WindowSearch search = {pid, title, className, true, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindowOfProcess(DWORD pid, const char *title, const char *className, DWORD timeoutMs)
{
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindVisibleWindowOfProcess(pid, title, className)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs)
{
    return PumpUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

HWND FindChildByClassName(HWND parent, const char *className)
{
    WindowSearch search = {0, nullptr, className, false, nullptr};
    EnumChildWindows(parent, MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
