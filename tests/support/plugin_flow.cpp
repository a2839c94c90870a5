// Implementation of the plug-in driving helpers; see plugin_flow.h.
#include "support/plugin_flow.h"

#include <algorithm>

#include "host_protocol.h"

void WriteState(const PluginFolder &plugins, int state)
{
    std::string ini = plugins.IniPath();
    WritePrivateProfileStringA("Behavior", "Version", "200", ini.c_str());
    WritePrivateProfileStringA("Behavior", "State", std::to_string(state).c_str(), ini.c_str());
}

std::string ReadState(const PluginFolder &plugins)
{
    char value[64] = {};
    GetPrivateProfileStringA("Behavior", "State", "", value, sizeof value, plugins.IniPath().c_str());
    return value;
}

bool ChooseCommand(const HostInstance &host, UINT command)
{
    if (!Activate(host.hwnd))
        return false;
    return PostMessageA(host.hwnd, WM_COMMAND, command, 0) != FALSE;
}

bool SendCommand(HWND host, UINT command)
{
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(host, WM_COMMAND, command, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
}

bool WaitForRunEnd(const HostInstance &host, DWORD timeoutMs)
{
    return WaitForRunEndAfter(host, 0, timeoutMs);
}

bool WaitForRunEndAfter(const HostInstance &host, LRESULT callsBefore, DWORD timeoutMs)
{
    return PumpUntil(
        [&] {
            LRESULT calls = host.Query(kQueryPluginCalls);
            return calls != kQueryFailed && calls > callsBefore && host.Query(kQueryPluginReturns) == calls;
        },
        timeoutMs);
}

::testing::AssertionResult RunEndedClean(const HostInstance &host)
{
    LRESULT calls = host.Query(kQueryPluginCalls);
    LRESULT returns = host.Query(kQueryPluginReturns);
    LRESULT result = host.Query(kQueryLastPluginResult);
    LRESULT mainOwn = host.Query(kQueryMainProcIsOwn);
    LRESULT dialogRestored = host.Query(kQueryDialogProcRestored);
    bool eventClosed = PathEventClosed();
    if (host.Running() && calls > 0 && returns == calls && result == 1 && mainOwn == 1 && dialogRestored != 0 &&
        eventClosed)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected a running host, calls == returns > 0, result 1, main procedure own 1, dialog procedure "
              "restored 1 or -1 (no dialog), event closed; got running "
           << host.Running() << ", calls " << calls << ", returns " << returns << ", result " << result
           << ", main procedure own " << mainOwn << ", dialog procedure restored " << dialogRestored
           << ", event closed " << eventClosed;
}

HWND WaitForPluginMessage(const HostInstance &host, DWORD timeoutMs)
{
    return WaitForWindowOfProcess(host.pid, kPluginCaption, "#32770", timeoutMs);
}

std::string MessageText(HWND box)
{
    // The message text is the static control with id 0xFFFF.
    return WindowText(GetDlgItem(box, 0xFFFF));
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND WaitForConfirmDialog(const HostInstance &host, const char *title, DWORD timeoutMs)
{
    return WaitForWindowOfProcess(host.pid, title, "#32770", timeoutMs);
}

ConfirmView ReadConfirmDialog(HWND dialog)
{
    ConfirmView view;
    view.title = WindowText(dialog);
    HWND combo = FindChildByClassName(dialog, "ComboBox");
    if (combo != nullptr)
        view.destination = WindowText(GetWindow(combo, GW_CHILD));
    HWND tree = FindChildByClassName(dialog, "SysTreeView32");
    if (tree != nullptr)
        view.treePath = RemoteTreeSelectionPath(tree);
    return view;
}

::testing::AssertionResult ShowsFolder(const ConfirmView &view, const std::string &folder)
{
    if (view.destination == folder && view.treePath == folder + "\\")
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected destination \"" << folder << "\" and tree path \"" << folder
                                         << "\\\"; got \"" << view.destination << "\" and \"" << view.treePath << "\"";
}

bool TypeDestination(HWND dialog, const std::string &folder)
{
    // The combo box passes the text on to its edit field.
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(GetDlgItem(dialog, kHostDlgDestination), WM_SETTEXT, 0,
                               reinterpret_cast<LPARAM>(folder.c_str()), SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
}

::testing::AssertionResult ConfirmFilledDialog(const HostInstance &source, const std::string &folder,
                                               LRESULT callsBefore)
{
    HWND dialog = WaitForConfirmDialog(source);
    if (dialog == nullptr)
        return ::testing::AssertionFailure() << "no filled-in confirmation dialog";
    ::testing::AssertionResult shows = ShowsFolder(ReadConfirmDialog(dialog), folder);
    PressButton(dialog, shows ? IDOK : IDCANCEL);
    if (!WaitForRunEndAfter(source, callsBefore))
        return ::testing::AssertionFailure() << "the run did not end after the dialog closed";
    return shows;
}

::testing::AssertionResult CopyThroughFilledDialog(const HostInstance &source, HWND target,
                                                   const std::string &folder)
{
    LRESULT calls = source.Query(kQueryPluginCalls);
    if (!Activate(target))
        return ::testing::AssertionFailure() << "the target instance could not be activated";
    if (!ChooseCommand(source))
        return ::testing::AssertionFailure() << "the command was not chosen";
    return ConfirmFilledDialog(source, folder, calls);
}

void TypeKeys(const std::vector<BYTE> &keys)
{
    for (BYTE key : keys) {
        keybd_event(key, 0, 0, 0);
        keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    }
}

HWND WaitForMenu(DWORD pid, DWORD timeoutMs)
{
    return WaitForWindowOfProcess(pid, nullptr, "#32768", timeoutMs);
}

::testing::AssertionResult ChooseFromMenu(const HostInstance &requester, const std::vector<BYTE> &keys)
{
    if (!ChooseCommand(requester))
        return ::testing::AssertionFailure() << "the command was not chosen";
    if (WaitForMenu(requester.pid) == nullptr)
        return ::testing::AssertionFailure() << "no menu opened";
    TypeKeys(keys);
    return ::testing::AssertionSuccess();
}

std::vector<std::string> FilesIn(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool PathEventClosed()
{
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kPathEventName);
    if (event == nullptr)
        return true;
    CloseHandle(event);
    return false;
}

namespace {

LRESULT CALLBACK PeerInstanceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *peer = reinterpret_cast<PeerInstanceWindow *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (peer == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_COMMAND && LOWORD(wParam) == kVorpanCommand) {
        ++peer->requests;
        if (peer->onRequest)
            peer->onRequest();  // may destroy this window or end its thread: nothing may follow
        return 0;
    }
    if (message == WM_COPYDATA) {
        const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (data != nullptr) {
            ReceivedCopyData copy = {reinterpret_cast<HWND>(wParam), data->dwData, data->cbData, std::string()};
            if (data->lpData != nullptr)
                copy.bytes.assign(static_cast<const char *>(data->lpData), data->cbData);
            peer->received.push_back(copy);
        }
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

PeerInstanceWindow::PeerInstanceWindow(const char *title)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PeerInstanceProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = HOST_WINDOW_CLASS;
    // Registered once per test program; later peers reuse the class.
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "RegisterClassA " HOST_WINDOW_CLASS " failed, error " + std::to_string(GetLastError());
        return;
    }
    hwnd = CreateWindowExA(0, HOST_WINDOW_CLASS, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400, 200,
                           120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr) {
        error = "CreateWindowExA " HOST_WINDOW_CLASS " failed, error " + std::to_string(GetLastError());
        return;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PeerInstanceWindow::~PeerInstanceWindow()
{
    // onRequest may have destroyed it already.
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
}

bool SendReport(HWND to, HWND from, ULONG_PTR kind, const void *data, DWORD size)
{
    COPYDATASTRUCT report = {kind, size, const_cast<void *>(data)};
    DWORD_PTR ignored;
    return SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&report),
                               SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
}

bool SendTextReport(HWND to, HWND from, ULONG_PTR kind, const std::string &text)
{
    return SendReport(to, from, kind, text.c_str(), static_cast<DWORD>(text.size() + 1));
}
