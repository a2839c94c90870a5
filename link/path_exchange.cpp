// The path exchange between instances: the request with its report hook, and the responder's answer.
#include "link/path_exchange.h"

#include <commctrl.h>

#include "common/window.h"
#include "link/tree_path.h"

namespace {

// The request in progress, for the report hook: the host calls the hook, not us, so this is the one
// way it can reach the request's buffers. Null between requests, when the hook only passes messages on.
PathRequest *activeRequest;

// The request's send to the target: a hung, busy-forever or vanished target must not freeze this
// instance, so the send gives up after kAnswerTimeoutMs, and at once to a target already counted as hung.
// SMTO_NORMAL, never SMTO_BLOCK: the target's reports have to reach us as messages sent back into this
// wait.
bool SendRequest(HWND target, int commandId)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(target, WM_COMMAND, static_cast<WPARAM>(commandId & 0xFFFF), 0,
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &ignored) != 0;
}

// A report to the requester, bounded in time so that a requester that hangs cannot freeze us; false when
// the recipient did not take it in time (hung, busy or gone). Not SMTO_ABORTIFHUNG: a requester sits in
// its own sends for as long as its targets take, and once Windows counts it as hung after 5 s of that,
// every report to it would be refused at once and a healthy instance shown as a virtual folder.
bool SendPathReport(HWND recipient, HWND sender, ULONG_PTR kind, const char *text)
{
    COPYDATASTRUCT data;
    data.dwData = kind;
    data.cbData = static_cast<DWORD>(lstrlenA(text) + 1);
    data.lpData = const_cast<char *>(text);
    DWORD_PTR ignored;
    return SendMessageTimeoutA(recipient, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                               reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kAnswerTimeoutMs, &ignored) != 0;
}

// Copies a report's text into buffer, reading no more than the cbData bytes the sender delivered and
// stopping at the first NUL among them. A text that does not fit is dropped, leaving buffer empty: a
// cut path would name another folder and send the user's files there.
void TakeReportText(const COPYDATASTRUCT *data, char *buffer, int bufferSize)
{
    buffer[0] = '\0';
    const char *text = static_cast<const char *>(data->lpData);
    if (text == nullptr)
        return;
    DWORD length = 0;
    while (length < data->cbData && text[length] != '\0')
        ++length;
    if (length + 1 > static_cast<DWORD>(bufferSize))
        return;
    for (DWORD i = 0; i < length; ++i)
        buffer[i] = text[i];
    buffer[length] = '\0';
}

// Subclass procedure of hwndMain for the time of a request: takes the target's reports. It may be called
// after its request has ended, from within another module's subclass: then it only passes messages on.
LRESULT CALLBACK PathReportHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC next = ReplacedProc(hwnd, PathReportHook);
    PathRequest *request = activeRequest;
    if (request != nullptr && hwnd == request->hwndMain && message == WM_COPYDATA &&
        reinterpret_cast<HWND>(wParam) == request->target && lParam != 0) {
        const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (data->dwData == kPathReportCurrent) {
            TakeReportText(data, request->answer->currentPath, kPathSize);
        } else if (data->dwData == kPathReportTree) {
            TakeReportText(data, request->answer->treePath, kTreePathSize);
            request->answer->treeArrived = true;
        }
    }
    return PassOn(hwnd, PathReportHook, next, message, wParam, lParam);
}

}  // namespace

bool BeginPathRequest(PathRequest *request, HWND hwndMain, HWND target, PathAnswer *answer)
{
    request->hwndMain = hwndMain;
    request->target = target;
    request->answer = answer;
    request->answer->currentPath[0] = '\0';
    request->answer->treePath[0] = '\0';
    request->answer->treeArrived = false;
    if (!HookWindow(hwndMain, PathReportHook))
        return false;
    activeRequest = request;
    return true;
}

void EndPathRequest(PathRequest *request)
{
    activeRequest = nullptr;
    UnhookWindow(request->hwndMain, PathReportHook);
}

void RequestPaths(HWND hwndMain, HWND target, int commandId, PathAnswer *answer)
{
    PathRequest request;
    if (BeginPathRequest(&request, hwndMain, target, answer))
        SendRequest(target, commandId);
    EndPathRequest(&request);
}

void AnswerPathRequest(const HostRecord &record)
{
    HWND recipient = record.instanceWindows[0];
    // A recipient that did not take the first report will not take the second either; waiting for it
    // again would only hold this host's thread for another time-out.
    if (!SendPathReport(recipient, record.hwndMain, kPathReportCurrent, record.currentPath))
        return;
    HWND tree = FindChildByClass(record.hwndMain, WC_TREEVIEWA);
    if (tree == nullptr)
        return;
    // Our own buffer: a request may arrive while a requester run of this process waits for its own.
    char treePath[kTreePathSize];
    BuildTreePath(tree, treePath);
    SendPathReport(recipient, record.hwndMain, kPathReportTree, treePath);
}
