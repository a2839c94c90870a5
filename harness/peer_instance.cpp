// The peer instance window and forged path reports; see peer_instance.h.
#include "harness/peer_instance.h"

#include "harness/host_instance.h"
#include "harness/plugin_facts.h"
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

PeerInstanceWindow::PeerInstanceWindow(const char *title)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PeerInstanceProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = HOST_WINDOW_CLASS;
    // Registered once per program; later peers reuse the class.
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

bool PeerInstanceWindow::Activate() const
{
    return ::Activate(hwnd);
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
