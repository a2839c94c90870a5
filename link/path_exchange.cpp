// The path exchange between instances: the request with its report hook, and the responder's answer.
#include "link/path_exchange.h"

#include <commctrl.h>

#include "common/window.h"
#include "link/tree_path.h"

namespace {

// The request in progress, for the report hook: the host calls the hook, not us, so this is the one
// way it can reach the request's buffers.
PathRequest *activeRequest;

// A hung, busy-forever or vanished peer must not freeze this instance, whether we ask it or answer it:
// every send to another instance gives up after kAnswerTimeoutMs, and the peer counts as not answering.
// SMTO_NORMAL, never SMTO_BLOCK: a requester waits for our reports inside its own send to us, and a
// report has to reach it as a message sent back into that wait.
bool SendToPeer(HWND peer, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(peer, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                               &ignored) != 0;
}

// False when the recipient did not take it in time (hung, busy or gone).
bool SendPathReport(HWND recipient, HWND sender, ULONG_PTR kind, const char *text)
{
    COPYDATASTRUCT data;
    data.dwData = kind;
    data.cbData = static_cast<DWORD>(lstrlenA(text) + 1);
    data.lpData = const_cast<char *>(text);
    return SendToPeer(recipient, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data));
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

// Subclass procedure of hwndMain for the time of a request: takes the target's reports.
LRESULT CALLBACK PathReportHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PathRequest *request = activeRequest;
    if (message == WM_COPYDATA && reinterpret_cast<HWND>(wParam) == request->target && lParam != 0) {
        const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (data->dwData == kPathReportCurrent) {
            TakeReportText(data, request->answer->currentPath, kPathSize);
        } else if (data->dwData == kPathReportTree) {
            TakeReportText(data, request->answer->treePath, kTreePathSize);
            request->answer->treeArrived = true;
            SetEvent(request->event);
        }
    }
    return CallWindowProcA(request->savedMainProc, hwnd, message, wParam, lParam);
}

}  // namespace

HANDLE CreatePathEvent()
{
    // Named, as every instance's plug-in names it; another process holding the name gives us its
    // event, maybe signalled, hence the reset.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "RiloFilePluginGetPathEvent");
    ResetEvent(event);
    return event;
}

void BeginPathRequest(PathRequest *request, HWND hwndMain, HWND target, PathAnswer *answer)
{
    request->hwndMain = hwndMain;
    request->target = target;
    request->answer = answer;
    request->answer->currentPath[0] = '\0';
    request->answer->treePath[0] = '\0';
    request->answer->treeArrived = false;
    request->event = CreatePathEvent();
    request->savedMainProc = GetWindowProc(hwndMain);
    activeRequest = request;
    SubclassWindow(hwndMain, PathReportHook);
}

void EndPathRequest(PathRequest *request)
{
    SubclassWindow(request->hwndMain, request->savedMainProc);
    activeRequest = nullptr;
    if (request->event != nullptr)
        CloseHandle(request->event);
    request->event = nullptr;
}

void RequestPaths(HWND hwndMain, HWND target, int commandId, PathAnswer *answer)
{
    PathRequest request;
    BeginPathRequest(&request, hwndMain, target, answer);
    if (SendToPeer(target, WM_COMMAND, static_cast<WPARAM>(commandId & 0xFFFF), 0)) {
        // Does not process messages: a report that comes later belongs to no request. After a send
        // that got no answer nothing can set the event, so there is no wait.
        WaitForSingleObject(request.event, kAnswerTimeoutMs);
    }
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
