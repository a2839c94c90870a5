// The echo process: the benchmark's floor, a bare round trip answered inside the asker's send with the
// two path reports a host's plug-in sends, and no plug-in, host, event or instance list.
#include <windows.h>

#include <string>

#include "echo.h"
#include "link/path_exchange.h"

namespace {

std::string currentPath, treePath;

// Sent as the plug-in's responder sends its reports: bounded in time, so a vanished asker cannot hold it,
// but not refused to an asker that Windows counts as hung.
void SendReport(HWND to, HWND from, ULONG_PTR kind, const std::string &text)
{
    COPYDATASTRUCT data = {kind, DWORD(text.size() + 1), const_cast<char *>(text.c_str())};
    DWORD_PTR ignored;
    SendMessageTimeoutA(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                        SMTO_NORMAL, kAnswerTimeoutMs, &ignored);
}

// The asker's window comes as lParam, where a host has the instance list to look it up in.
LRESULT CALLBACK EchoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        HWND asker = reinterpret_cast<HWND>(lParam);
        SendReport(asker, hwnd, kPathReportCurrent, currentPath);
        SendReport(asker, hwnd, kPathReportTree, treePath);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    currentPath = argv[1];
    treePath = currentPath + "\\";
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = EchoProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = ECHO_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass) ||
        !CreateWindowExA(0, ECHO_WINDOW_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
