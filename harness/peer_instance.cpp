// The peer instance window and forged path reports; see peer_instance.h.
#include "harness/peer_instance.h"

#include "host_protocol.h"

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

HWND MakeMenuWindow(const char *className, WNDPROC proc, const char *title, const std::vector<std::string> &plugins,
                    const char *pluginMenu, DWORD style, RECT frame)
{
    // Registered once per program, whoever asks first: each window gets its own procedure afterwards.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    HMENU bar = nullptr;
    if (pluginMenu != nullptr) {
        bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, kHostCmdExit, "終了(&X)");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "ファイル(&F)");
        HMENU menu = CreatePopupMenu();
        UINT id = kHostCmdFirstPlugin;
        for (const std::string &plugin : plugins) {
            if (plugin.empty())
                AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuA(menu, MF_STRING, id++, plugin.c_str());
        }
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), pluginMenu);
    }
    HWND hwnd = CreateWindowExA(0, className, title, style, frame.left, frame.top, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, bar, GetModuleHandleA(nullptr), nullptr);
    if (hwnd == nullptr) {
        if (bar != nullptr)
            DestroyMenu(bar);
        return nullptr;
    }
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return hwnd;
}

HWND MakeInstanceWindow(WNDPROC proc, const char *title, DWORD style, RECT frame)
{
    return MakeMenuWindow(HOST_WINDOW_CLASS, proc, title, {kPluginMenuLabel}, kPluginMenuText, style, frame);
}

PeerInstanceWindow::PeerInstanceWindow(const char *title)
{
    hwnd = MakeInstanceWindow(PeerInstanceProc, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, {600, 400, 800, 520});
    if (hwnd == nullptr) {
        error = "no instance window of class " HOST_WINDOW_CLASS ", error " + std::to_string(GetLastError());
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
    // Within this thread a plain call: Wine 10's SendMessageTimeout copies cbData bytes, dropping forged ones.
    if (GetWindowThreadProcessId(to, nullptr) == GetCurrentThreadId())
        return SendMessageA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&report)), true;
    return SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&report),
                               SMTO_NORMAL, kSendTimeoutMs, nullptr) != 0;
}

bool SendTextReport(HWND to, HWND from, ULONG_PTR kind, const std::string &text)
{
    return SendReport(to, from, kind, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool SendAnswer(HWND to, HWND from, const std::string &folder)
{
    return SendTextReport(to, from, kCurrentPathReport, folder) &&
           SendTextReport(to, from, kTreePathReport, folder + "\\");
}

BusyInstance::BusyInstance(const char *title)
    : thread([this, title] {
          window.reset(new PeerInstanceWindow(title));
          window->onRequest = [this] {
              ++requests_;
              if (onRequest)
                  onRequest();  // may end the thread: nothing may follow
          };
          return window->hwnd;
      })
{
}

void BusyInstance::Hold(const std::function<bool()> &until)
{
    const DWORD start = GetTickCount();
    while (!thread.WaitForRelease(until ? kPollMs : DWORD(ThreadWindow::kHoldSafetyMs)) && !(until && until()) &&
           GetTickCount() - start < ThreadWindow::kHoldSafetyMs) {
    }
}

bool BusyInstance::AskedAgain()
{
    return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
}
