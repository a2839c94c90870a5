// The bare round trip to an echo process and the plug-in's own request; see round_trip.h.
#include "round_trip.h"

#include <cstring>
#include <vector>

#include "drive.h"
#include "echo.h"
#include "host_protocol.h"
#include "stats.h"

namespace {

HWND FindEchoWindow(DWORD pid)
{
    for (HWND hwnd = nullptr; (hwnd = FindWindowExA(HWND_MESSAGE, hwnd, ECHO_WINDOW_CLASS, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid)
            return hwnd;
    }
    return nullptr;
}

struct BareReports {
    int count;
    std::string current, tree;
} bareReports;

LRESULT CALLBACK BareAskerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA && lParam != 0) {
        const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        const char *text = static_cast<const char *>(data->lpData);
        std::string received(text, text ? strnlen(text, data->cbData) : 0);
        (data->dwData == kPathReportCurrent ? bareReports.current : bareReports.tree) = received;
        ++bareReports.count;
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

EchoProcess::EchoProcess(const std::string &folder) : ChildProcess(ECHO_EXE_NAME, {folder})
{
    if (process)
        PumpUntil([&] { return (hwnd = FindEchoWindow(pid)) != nullptr; }, kStartTimeoutMs);
}

// A class registered already stays as it is.
OwnedWindow::OwnedWindow(const char *className, WNDPROC proc, const char *title, DWORD style, HWND parent)
    : className(className)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    hwnd = CreateWindowExA(0, className, title, style, 0, 0, 200, 100, parent, nullptr, windowClass.hInstance,
                           nullptr);
}

OwnedWindow::~OwnedWindow()
{
    if (hwnd)
        DestroyWindow(hwnd);
    UnregisterClassA(className, GetModuleHandleA(nullptr));
}

BareAsker::BareAsker() : OwnedWindow("VorpanBenchBareAsker", BareAskerProc, "", 0, HWND_MESSAGE) {}

bool BareAsker::Ask(HWND echo, const std::string &folder, double *elapsed) const
{
    bareReports = {};
    DWORD_PTR ignored;
    double start = NowMs();
    SendMessageTimeoutA(echo, WM_COMMAND, kVorpanCommand, reinterpret_cast<LPARAM>(hwnd),
                        SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &ignored);
    *elapsed = NowMs() - start;
    return (bareReports.count == 2 && bareReports.current == folder && bareReports.tree == folder + "\\") ||
           Fail("a bare round trip came back with \"" + bareReports.current + "\", \"" + bareReports.tree + "\"");
}

Requester::Requester() : hwnd(MakeInstanceWindow(DefWindowProcA, "bench requester", WS_OVERLAPPEDWINDOW | WS_VISIBLE))
{
    ready = hwnd && Activate(hwnd);
}

Requester::~Requester()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

bool Requester::Request(HWND target, double *elapsed)
{
    double start = NowMs();
    RequestPaths(hwnd, target, kVorpanCommand, &answer);
    *elapsed = NowMs() - start;
    return (answer.currentPath[0] != '\0' && answer.treeArrived) ||
           Fail(std::string("a request came back with \"") + answer.currentPath + "\", \"" + answer.treePath + "\"");
}
