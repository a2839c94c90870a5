// Implementation of the shared test helpers; see test_support.h.
#include "test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "host_protocol.h"

namespace {

// Conditions in other processes do not wake this thread, so waits look again this often.
constexpr DWORD kPollMs = 5;
constexpr int kTreeTextSize = 260;  // the size the plug-in itself reads tree item texts with
constexpr UINT kSendFlags = SMTO_NORMAL | SMTO_ABORTIFHUNG;

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

std::string LastErrorText(const char *what, const std::string &subject)
{
    return std::string(what) + " \"" + subject + "\" failed, error " + std::to_string(GetLastError());
}

// Walks text one character of the ANSI code page at a time, so that a trail byte 0x5C is never
// taken for a separator.
template <typename Visit>
void ForEachCharacter(const std::string &text, Visit visit)
{
    for (size_t i = 0; i < text.size(); ++i) {
        bool isDouble = IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size();
        visit(i, isDouble);
        if (isDouble)
            ++i;
    }
}

std::string::size_type LastSeparator(const std::string &text)
{
    std::string::size_type last = std::string::npos;
    ForEachCharacter(text, [&](size_t i, bool isDouble) {
        if (!isDouble && (text[i] == '\\' || text[i] == '/'))
            last = i;
    });
    return last;
}

bool EndsWithSeparator(const std::string &text)
{
    return !text.empty() && LastSeparator(text) == text.size() - 1;
}

void RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// Hosts join this job, which kills them when the test program ends without ending them itself
// (a crash skips destructors); a leaked host would disturb every later test's instance order.
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

struct WindowSearch {
    DWORD pid;
    const char *title;
    const char *className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchTopLevelWindow(HWND hwnd, LPARAM param)
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

HWND FindTopLevel(DWORD pid, const char *title, const char *className, bool visibleOnly)
{
    WindowSearch search = {pid, title, className, visibleOnly, nullptr};
    EnumWindows(MatchTopLevelWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildSearch {
    const char *className;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND hwnd, LPARAM param)
{
    ChildSearch *search = reinterpret_cast<ChildSearch *>(param);
    if (lstrcmpiA(ClassNameOf(hwnd).c_str(), search->className) != 0)
        return TRUE;
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
    HANDLE process_ = nullptr;
    void *address_ = nullptr;
    SIZE_T size_;
};

bool SendTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR *result)
{
    return SendMessageTimeoutA(hwnd, message, wParam, lParam, kSendFlags, kSendTimeoutMs, result) != 0;
}

}  // namespace

bool PumpUntil(const std::function<bool()> &condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (condition())
            return true;
        DWORD left = Remaining(start, timeoutMs);
        if (left == 0)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, left < kPollMs ? left : kPollMs, QS_ALLINPUT,
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

std::string TestProgramFolder()
{
    char file[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string path(file, length);
    std::string::size_type separator = LastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

ScratchFolder::ScratchFolder(std::initializer_list<std::string> entries)
{
    static int serial = 0;
    char temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        error = "GetTempPathA failed";
    } else {
        std::string base = std::string(temp, length) + "vorpan-" + std::to_string(GetCurrentProcessId()) + "-";
        for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
            std::string candidate = base + std::to_string(++serial);
            if (CreateDirectoryA(candidate.c_str(), nullptr))
                path = candidate;
            else if (GetLastError() != ERROR_ALREADY_EXISTS)
                error = LastErrorText("CreateDirectoryA", candidate);
        }
        if (path.empty() && error.empty())
            error = "no unused name for a scratch folder under " + std::string(temp);
    }
    if (!error.empty()) {
        ADD_FAILURE() << error;
        return;
    }
    for (const std::string &entry : entries) {
        if (EndsWithSeparator(entry))
            AddFolder(entry.substr(0, entry.size() - 1));
        else
            AddFile(entry, entry);
    }
}

ScratchFolder::~ScratchFolder()
{
    if (!path.empty())
        RemoveTree(path);
}

std::string ScratchFolder::Path(const std::string &relative) const
{
    return relative.empty() ? path : path + "\\" + relative;
}

bool ScratchFolder::AddFolder(const std::string &relative)
{
    bool made = true;
    auto makeOne = [&](const std::string &part) {
        std::string full = Path(part);
        if (!CreateDirectoryA(full.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            std::string failure = LastErrorText("CreateDirectoryA", full);
            error += failure + "\n";
            ADD_FAILURE() << failure;
            made = false;
        }
    };
    ForEachCharacter(relative, [&](size_t i, bool isDouble) {
        if (made && !isDouble && relative[i] == '\\' && i > 0)
            makeOne(relative.substr(0, i));
    });
    if (made)
        makeOne(relative);
    return made;
}

bool ScratchFolder::AddFile(const std::string &relative, const std::string &content)
{
    std::string::size_type separator = LastSeparator(relative);
    if (separator != std::string::npos && !AddFolder(relative.substr(0, separator)))
        return false;
    std::string full = Path(relative);
    HANDLE file = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    DWORD written = 0;
    bool done = file != INVALID_HANDLE_VALUE &&
                WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                written == content.size();
    if (!done) {
        std::string failure = LastErrorText("writing", full);
        error += failure + "\n";
        ADD_FAILURE() << failure;
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return done;
}

PluginFolder::PluginFolder(Contents contents) : path(folder.path)
{
    if (!folder.ok()) {
        error = folder.error;
        return;
    }
    const std::string programs = TestProgramFolder();
    auto copy = [&](const std::string &from, const char *name) {
        std::string to = folder.Path(name);
        if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            std::string failure = LastErrorText("CopyFileA", from);
            error += failure + "\n";
            ADD_FAILURE() << failure;
        }
    };
    if (contents != kProbeOnly)
        copy(programs + "VORPAN.DLL", "VORPAN.DLL");
    if (contents != kVorpanOnly)
        copy(programs + "probe\\PROBE.DLL", "PROBE.DLL");
}

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
    const std::string program = TestProgramFolder() + HOST_EXE_NAME;
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
        ADD_FAILURE() << error;
        return;
    }
    process = created.hProcess;
    pid = created.dwProcessId;
    if (HostJob())
        AssignProcessToJobObject(HostJob(), process);
    ResumeThread(created.hThread);
    CloseHandle(created.hThread);

    PumpUntil([&] {
        hwnd = FindTopLevel(pid, nullptr, HOST_WINDOW_CLASS, true);
        return hwnd != nullptr || !Running();
    }, timeoutMs);
    // The window is visible before the host has finished showing it: it activates itself after that,
    // and would take the foreground from a window a test activates meanwhile. Pumping, as the host may
    // send to our windows while it starts.
    bool idle = hwnd && PumpUntil([&] { return WaitForInputIdle(process, 0) == 0 || !Running(); }, timeoutMs) &&
                Running();
    if (idle)
        return;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    error = !Running() ? "host exited with code " + std::to_string(code) + ": " + commandLine
            : hwnd     ? "host not idle after " + std::to_string(timeoutMs) + " ms: " + commandLine
                       : "no visible main window after " + std::to_string(timeoutMs) + " ms: " + commandLine;
    ADD_FAILURE() << error;
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
    if (!SendMessageTimeoutA(hwndHost, WM_HOST_QUERY, query, 0, kSendFlags, timeoutMs, &result))
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

HWND FindWindowOfProcess(DWORD pid, const char *title, const char *className)
{
    return FindTopLevel(pid, title, className, false);
}

HWND FindWindowOfProcessByTitle(DWORD pid, const char *title)
{
    return FindTopLevel(pid, title, nullptr, false);
}

HWND WaitForWindowOfProcess(DWORD pid, const char *title, const char *className, DWORD timeoutMs)
{
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindTopLevel(pid, title, className, true)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs)
{
    return PumpUntil([&] { return !IsWindow(hwnd); }, timeoutMs);
}

HWND FindChildByClassName(HWND parent, const char *className)
{
    ChildSearch search = {className, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ReadFileText(const std::string &path, std::string *content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    content->clear();
    char chunk[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr) != 0) && read > 0)
        content->append(chunk, read);
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
