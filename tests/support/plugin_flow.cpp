// Implementation of the plug-in driving helpers; see plugin_flow.h.
#include "support/plugin_flow.h"

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

bool WaitForRunEnd(const HostInstance &host, DWORD timeoutMs)
{
    return PumpUntil(
        [&] {
            LRESULT calls = host.Query(kQueryPluginCalls);
            return calls != kQueryFailed && calls > 0 && host.Query(kQueryPluginReturns) == calls;
        },
        timeoutMs);
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
    if (message == WM_COPYDATA) {
        auto *peer = reinterpret_cast<PeerInstanceWindow *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (peer != nullptr && data != nullptr) {
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

PeerInstanceWindow::PeerInstanceWindow()
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
    hwnd = CreateWindowExA(0, HOST_WINDOW_CLASS, "peer instance", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400, 200,
                           120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr) {
        error = "CreateWindowExA " HOST_WINDOW_CLASS " failed, error " + std::to_string(GetLastError());
        return;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PeerInstanceWindow::~PeerInstanceWindow()
{
    if (hwnd != nullptr)
        DestroyWindow(hwnd);
}
