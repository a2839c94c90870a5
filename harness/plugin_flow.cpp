// Implementation of the plug-in driving steps; see plugin_flow.h.
#include "harness/plugin_flow.h"

#include "harness/peer_instance.h"
#include "harness/remote_windows.h"
#include "host_protocol.h"

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

Outcome CheckRunEnded(const HostInstance &host)
{
    LRESULT calls = host.Query(kQueryPluginCalls);
    LRESULT returns = host.Query(kQueryPluginReturns);
    LRESULT result = host.Query(kQueryLastPluginResult);
    LRESULT mainOwn = host.Query(kQueryMainProcIsOwn);
    LRESULT dialogRestored = host.Query(kQueryDialogProcRestored);
    bool eventClosed = PathEventClosed();
    if (host.Running() && calls > 0 && returns == calls && result == 1 && mainOwn == 1 && dialogRestored != 0 &&
        eventClosed)
        return Outcome::Ok();
    return Outcome::Failed(
        "expected a running host, calls == returns > 0, result 1, main procedure own 1, dialog procedure "
        "restored 1 or -1 (no dialog), event closed; got running " +
        std::to_string(host.Running()) + ", calls " + std::to_string(calls) + ", returns " + std::to_string(returns) +
        ", result " + std::to_string(result) + ", main procedure own " + std::to_string(mainOwn) +
        ", dialog procedure restored " + std::to_string(dialogRestored) + ", event closed " +
        std::to_string(eventClosed));
}

bool PathEventClosed()
{
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kPathEventName);
    if (event == nullptr)
        return true;
    CloseHandle(event);
    return false;
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

Outcome AnswerNotice(const HostInstance &host, const std::string &text, int button, DWORD timeoutMs)
{
    HWND box = WaitForPluginMessage(host, timeoutMs);
    if (box == nullptr)
        return Outcome::Failed("no notice");
    // A host thread held for more than 5 s counts as hung until it next takes a message: until then a
    // send with SMTO_ABORTIFHUNG fails at once, even to the box it has just shown.
    std::string shown;
    PumpUntil([&] { return !(shown = MessageText(box)).empty(); });
    bool offersBoth = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) != nullptr;
    PressButton(box, button);
    if (shown == text && offersBoth)
        return Outcome::Ok();
    return Outcome::Failed("expected the notice \"" + text + "\" with OK and Cancel; got \"" + shown + "\"" +
                           (offersBoth ? "" : " without both buttons"));
}

bool ShowsAnything(DWORD pid)
{
    return FindVisibleWindowOfProcess(pid, nullptr, "#32770") != nullptr ||
           FindVisibleWindowOfProcess(pid, nullptr, "#32768") != nullptr;
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

Outcome CheckShowsFolder(const ConfirmView &view, const std::string &folder)
{
    if (view.destination == folder && view.treePath == folder + "\\")
        return Outcome::Ok();
    return Outcome::Failed("expected destination \"" + folder + "\" and tree path \"" + folder + "\\\"; got \"" +
                           view.destination + "\" and \"" + view.treePath + "\"");
}

bool TypeDestination(HWND dialog, const std::string &folder)
{
    // The combo box passes the text on to its edit field.
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(GetDlgItem(dialog, kHostDlgDestination), WM_SETTEXT, 0,
                               reinterpret_cast<LPARAM>(folder.c_str()), SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
}

Outcome ConfirmFilled(const HostInstance &source, const std::string &folder, LRESULT callsBefore)
{
    HWND dialog = WaitForConfirmDialog(source);
    if (dialog == nullptr)
        return Outcome::Failed("no filled-in confirmation dialog");
    Outcome shows = CheckShowsFolder(ReadConfirmDialog(dialog), folder);
    PressButton(dialog, shows ? IDOK : IDCANCEL);
    if (!WaitForRunEndAfter(source, callsBefore))
        return Outcome::Failed("the run did not end after the dialog closed");
    return shows;
}

Outcome CopyThroughFilled(const HostInstance &source, HWND target, const std::string &folder)
{
    LRESULT calls = source.Query(kQueryPluginCalls);
    if (!Activate(target))
        return Outcome::Failed("the target instance could not be activated");
    if (!ChooseCommand(source))
        return Outcome::Failed("the command was not chosen");
    return ConfirmFilled(source, folder, calls);
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

bool TypeWhenAsked(BusyInstance &busy, const HostInstance &requester, const std::vector<BYTE> &keys,
                   const std::string &folder)
{
    TypeWhenAskedBy(busy, requester, keys, folder);
    return Activate(busy.hwnd());
}

void TypeWhenAskedBy(BusyInstance &busy, const HostInstance &requester, const std::vector<BYTE> &keys,
                     const std::string &folder)
{
    busy.onRequest = [&busy, &requester, keys, folder] {
        TypeKeys(keys);
        bool queued = false;
        busy.Hold([&] { return queued = requester.Query(kQueryInputQueued) == 1; });
        if (!queued)
            ++busy.keysLost;
        if (!folder.empty())
            SendAnswer(requester.hwnd, busy.hwnd(), folder);
    };
}

Outcome TypeIntoChooser(const HostInstance &requester, const std::vector<BYTE> &keys)
{
    if (!ChooseCommand(requester))
        return Outcome::Failed("the command was not chosen");
    if (WaitForMenu(requester.pid) == nullptr)
        return Outcome::Failed("no menu opened");
    TypeKeys(keys);
    return Outcome::Ok();
}
