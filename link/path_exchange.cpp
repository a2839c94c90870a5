// The path exchange between instances: the request, the report hook, the responder's answer, and the
// tree path it carries.
#include "link/path_exchange.h"

#include <commctrl.h>

#include "plugin/link_state.h"

namespace {

// A hung, busy-forever or vanished peer must not freeze this instance, whether we ask it or answer it:
// every send to another instance gives up after this long, and the peer counts as not answering.
const UINT kPeerSendTimeoutMs = 3000;

// SMTO_NORMAL, never SMTO_BLOCK: a requester waits for our reports inside its own send to us, and a
// report has to reach it as a message sent back into that wait.
bool SendToPeer(HWND peer, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutA(peer, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               kPeerSendTimeoutMs, &ignored) != 0;
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

struct ClassSearch {
    const char *className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND hwnd, LPARAM lParam)
{
    ClassSearch *search = reinterpret_cast<ClassSearch *>(lParam);
    char name[kClassNameSize];
    name[0] = '\0';
    GetClassNameA(hwnd, name, kClassNameSize);
    name[kClassNameSize - 1] = '\0';
    if (lstrcmpA(name, search->className) != 0)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

void SubclassWindow(HWND hwnd, WNDPROC proc)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

WNDPROC GetWindowProc(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

void RequestPaths(HWND target, int commandId)
{
    linkState.otherPath[0] = '\0';
    linkState.treePath[0] = '\0';
    ResetEvent(linkState.pathEvent);
    linkState.targetWindow = target;
    if (!SendToPeer(target, WM_COMMAND, static_cast<WPARAM>(commandId & 0xFFFF), 0))
        return;  // no answer: nothing can set the event during a wait that processes no messages
    // Does not process messages: a report that comes later belongs to no request.
    WaitForSingleObject(linkState.pathEvent, kPathWaitMs);
}

LRESULT CALLBACK PathReportHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA && reinterpret_cast<HWND>(wParam) == linkState.targetWindow &&
        lParam != 0) {
        const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
        if (data->dwData == kPathReportCurrent) {
            TakeReportText(data, linkState.otherPath, kPathSize);
        } else if (data->dwData == kPathReportTree) {
            TakeReportText(data, linkState.treePath, kTreePathSize);
            SetEvent(linkState.pathEvent);
        }
    }
    return CallWindowProcA(linkState.savedMainProc, hwnd, message, wParam, lParam);
}

void AnswerPathRequest(const HostRecord *record, char *treePath)
{
    HWND recipient = record->instanceWindows[0];
    // A recipient that did not take the first report will not take the second either; waiting for it
    // again would only hold this host's thread for another time-out.
    if (!SendPathReport(recipient, record->hwndMain, kPathReportCurrent, record->currentPath))
        return;
    HWND tree = FindChildByClass(record->hwndMain, WC_TREEVIEWA);
    if (tree == nullptr)
        return;
    BuildTreePath(tree, treePath);
    SendPathReport(recipient, record->hwndMain, kPathReportTree, treePath);
}

bool ReadTreeItemText(HWND tree, HTREEITEM item, char *text, int size)
{
    text[0] = '\0';
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = text;
    request.cchTextMax = size;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request)))
        return false;
    // Wine leaves a text cut at the buffer's end without its NUL.
    text[size - 1] = '\0';
    return true;
}

void BuildTreePath(HWND tree, char *out)
{
    out[0] = '\0';
    int outLength = 0;
    HTREEITEM item = TreeView_GetSelection(tree);
    while (item != nullptr) {
        char text[kTreeItemTextSize];
        if (!ReadTreeItemText(tree, item, text, kTreeItemTextSize)) {
            out[0] = '\0';
            return;
        }
        int textLength = lstrlenA(text);
        // "text\" goes in front of what the levels below gave; a path that does not fit is sent empty.
        int newLength = textLength + 1 + outLength;
        if (newLength + 1 > kTreePathSize) {
            out[0] = '\0';
            return;
        }
        for (int i = outLength; i >= 0; --i)
            out[i + textLength + 1] = out[i];
        for (int i = 0; i < textLength; ++i)
            out[i] = text[i];
        out[textLength] = '\\';
        outLength = newLength;
        item = TreeView_GetParent(tree, item);
    }
}

HWND FindChildByClass(HWND parent, const char *className)
{
    ClassSearch search = {className, nullptr};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
