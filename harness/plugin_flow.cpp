// The expected run's step runner and the plug-in driving steps beneath it; see plugin_flow.h.
#include "harness/plugin_flow.h"

#include <algorithm>

#include "harness/desktop.h"
#include "harness/peer_instance.h"
#include "harness/remote_windows.h"
#include "host_protocol.h"

bool ChooseCommand(const HostInstance &host, UINT command)
{
    return Activate(host.hwnd) && PostMessageA(host.hwnd, WM_COMMAND, command, 0);
}

bool SendCommand(HWND host, UINT command)
{
    return SendMessageTimeoutA(host, WM_COMMAND, command, 0, SMTO_NORMAL, kSendTimeoutMs, nullptr) != 0;
}

bool WaitForRunEnd(const HostInstance &host, DWORD timeoutMs, LRESULT callsBefore)
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
    const LRESULT calls = host.Query(kQueryPluginCalls), returns = host.Query(kQueryPluginReturns);
    const LRESULT result = host.Query(kQueryLastPluginResult), mainOwn = host.Query(kQueryMainProcIsOwn);
    const LRESULT dialogRestored = host.Query(kQueryDialogProcRestored);
    const bool eventClosed = PathEventClosed(), running = host.Running();
    if (running && calls > 0 && returns == calls && result == 1 && mainOwn == 1 && dialogRestored != 0 && eventClosed)
        return Outcome::Ok();
    return Outcome::Failed("expected a running host, calls == returns > 0, result 1, main procedure own 1, dialog "
                           "procedure restored 1 or -1 (no dialog), event closed; got running " +
                           std::to_string(running) + ", calls " + std::to_string(calls) + ", returns " +
                           std::to_string(returns) + ", result " + std::to_string(result) + ", main procedure own " +
                           std::to_string(mainOwn) + ", dialog procedure restored " + std::to_string(dialogRestored) +
                           ", event closed " + std::to_string(eventClosed));
}

bool PathEventClosed()
{
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, kPathEventName);
    if (event == nullptr)
        return true;
    CloseHandle(event);
    return false;
}

std::string MessageText(HWND box)
{
    // The message text is the static control with id 0xFFFF.
    return WindowText(GetDlgItem(box, 0xFFFF));
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
    // A control that is missing reads as empty: a send to a null window fails.
    return {WindowText(dialog), WindowText(GetWindow(FindChildByClassName(dialog, "ComboBox"), GW_CHILD)),
            RemoteTreeSelectionPath(FindChildByClassName(dialog, "SysTreeView32"))};
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
    return SendMessageTimeoutA(GetDlgItem(dialog, kHostDlgDestination), WM_SETTEXT, 0,
                               reinterpret_cast<LPARAM>(folder.c_str()), SMTO_NORMAL, kSendTimeoutMs, nullptr) != 0;
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

void TypeWhenAsked(BusyInstance &busy, const HostInstance &requester, const std::vector<BYTE> &keys,
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

Step Step::Then(const std::function<Outcome(HWND)> &action) const
{
    Step changed = *this;
    changed.act = action;
    return changed;
}

Step step::HostDialog(const std::string &folder, int button, const std::string &typed)
{
    return {Step::kConfirm, HOST_CONFIRM_TITLE, folder, {}, button, typed};
}

namespace {

const char *const kStepNames[] = {"the chooser's menu", "the notice", "the error box", "the confirmation dialog",
                                  "the settings dialog"};

// What of a run is on the screen, for a failure: a dialog or message box by its title, and a menu.
std::string OnTheScreen(DWORD pid)
{
    HWND dialog = FindVisibleWindowOfProcess(pid, nullptr, "#32770");
    std::string shown = dialog != nullptr ? "「" + WindowText(dialog) + "」" : "";
    if (FindVisibleWindowOfProcess(pid, nullptr, "#32768") != nullptr)
        shown += shown.empty() ? "a menu" : " and a menu";
    return "; on the screen: " + (shown.empty() ? "nothing" : shown);
}

// The box's text once it can be read: a host thread held for more than 5 s counts as hung until it next
// takes a message, and until then a send with SMTO_ABORTIFHUNG to the box it has just shown fails.
Outcome TakeBox(const HostInstance &host, const Step &step, bool withCancel)
{
    HWND box = WaitForWindowOfProcess(host.pid, kPluginCaption, "#32770", kStepTimeoutMs);
    if (box == nullptr)
        return Outcome::Failed("none" + OnTheScreen(host.pid));
    std::string shown;
    PumpUntil([&] { return !(shown = MessageText(box)).empty(); });
    bool buttons = GetDlgItem(box, IDOK) != nullptr && (GetDlgItem(box, IDCANCEL) != nullptr) == withCancel;
    Outcome acted = step.act ? step.act(box) : Outcome::Ok();
    PressButton(box, step.button);
    if (shown != step.text || !buttons)
        return Outcome::Failed("expected 「" + step.text + "」 with OK" + (withCancel ? " and Cancel" : " alone") +
                               "; got 「" + shown + "」" + (buttons ? "" : " with other buttons"));
    return acted;
}

// The dialog as the user can first read it, whatever its title: the host names it while it is open.
Outcome TakeConfirm(const Desktop &desktop, const HostInstance &host, const Step &step)
{
    HWND dialog = nullptr;
    PumpUntil([&] {
        dialog = reinterpret_cast<HWND>(host.Query(kQueryDialogOpen));
        return dialog != nullptr && dialog != reinterpret_cast<HWND>(kQueryFailed) && IsWindowVisible(dialog);
    }, kStepTimeoutMs);
    if (dialog == nullptr || !IsWindowVisible(dialog))
        return Outcome::Failed("none shown" + OnTheScreen(host.pid));
    if (FindVisibleWindowOfProcess(host.pid, kPluginCaption, "#32770") != nullptr)
        return Outcome::Failed("a message box of the plug-in is open beside it");
    ConfirmView view;
    PumpUntil([&] { return !(view = ReadConfirmDialog(dialog)).destination.empty(); }, kStepTimeoutMs);
    Outcome shows = view.title == step.text ? CheckShowsFolder(view, desktop.Path(step.folder))
                                            : Outcome::Failed("titled 「" + view.title + "」, not 「" + step.text + "」");
    if (shows && !step.typed.empty() && !TypeDestination(dialog, desktop.Path(step.typed)))
        shows = Outcome::Failed("the destination could not be typed");
    if (shows && step.act)
        shows = step.act(dialog);
    // Never OK on a dialog that shows what it should not: the files would go there.
    if (!shows || step.button != 0)
        PressButton(dialog, shows ? step.button : IDCANCEL);
    return shows;
}

Outcome TakeStep(const Desktop &desktop, const HostInstance &host, const Step &step)
{
    HWND window = nullptr;
    switch (step.kind) {
    case Step::kNotice:
        return TakeBox(host, step, true);
    case Step::kErrorBox:
        return TakeBox(host, step, false);
    case Step::kConfirm:
        return TakeConfirm(desktop, host, step);
    case Step::kMenu:
        window = WaitForMenu(host.pid, kStepTimeoutMs);
        break;
    case Step::kSettings:
        window = WaitForWindowOfProcess(host.pid, step.text.c_str(), "#32770", kStepTimeoutMs);
        break;
    }
    if (window == nullptr)
        return Outcome::Failed("none" + OnTheScreen(host.pid));
    Outcome acted = step.act ? step.act(window) : Outcome::Ok();
    TypeKeys(step.keys);
    if (step.button != 0)
        PressButton(window, acted ? step.button : IDCANCEL);
    return acted;
}

}  // namespace

Outcome RunExpected(Desktop &desktop, const ExpectedRun &run, RunCounts *counts)
{
    const HostInstance &from = desktop.Host(run.from);
    Outcome activated = run.after.empty() ? Outcome::Ok() : desktop.Activate(run.after);
    if (!activated)
        return activated;
    std::map<std::string, int> requests;
    for (const std::string &name : desktop.Names())
        requests[name] = desktop.Requests(name);
    const LRESULT calls = from.Query(kQueryPluginCalls), copies = from.Query(kQueryCopyCommands);
    const int lost = desktop.KeysLost();
    desktop.ArmTyping(from);

    bool started = run.start == ExpectedRun::kChosen   ? ChooseCommand(from)
                   : run.start == ExpectedRun::kPosted ? PostMessageA(from.hwnd, WM_COMMAND, kVorpanCommand, 0) != 0
                                                       : SendCommand(from.hwnd, kVorpanCommand);
    Outcome failed = started ? Outcome::Ok() : Outcome::Failed("the command did not reach " + run.from);
    for (size_t i = 0; failed && i < run.steps.size(); ++i) {
        Outcome done = TakeStep(desktop, from, run.steps[i]);
        if (!done)
            failed = Outcome::Failed("step " + std::to_string(i + 1) + ", " + kStepNames[run.steps[i].kind] + ": " +
                                     done.why);
    }
    if (failed && !WaitForRunEnd(from, kStepTimeoutMs, calls))
        failed = Outcome::Failed("the run did not end after its last step" + OnTheScreen(from.pid));
    else if (failed && ShowsAnything(from.pid))
        failed = Outcome::Failed("the run ended" + OnTheScreen(from.pid));
    if (!failed) {
        EndRun(from);
        return failed;
    }
    Outcome clean = CheckRunEnded(from);
    if (!clean)
        return Outcome::Failed("the run's end: " + clean.why);
    if (desktop.KeysLost() != lost)
        return Outcome::Failed("the keys typed while an instance was asked never reached the requester's queue");
    if (counts != nullptr) {
        counts->copies = from.Query(kQueryCopyCommands) - copies;
        counts->copied = counts->copies > 0 ? std::max<LRESULT>(from.Query(kQueryCopiedFiles), 0) : 0;
        for (auto &request : requests)
            request.second = desktop.Requests(request.first) - request.second;
        requests.erase(run.from);
        counts->requests = requests;
    }
    return Outcome::Ok();
}

bool EndRun(const HostInstance &host)
{
    return PumpUntil([&] {
        if (WaitForMenu(host.pid, 0) != nullptr) {
            TypeKeys({VK_ESCAPE});
            return false;
        }
        if (HWND open = FindVisibleWindowOfProcess(host.pid, nullptr, "#32770")) {
            PressButton(open, IDCANCEL);
            return false;
        }
        LRESULT calls = host.Query(kQueryPluginCalls);
        return calls != kQueryFailed && host.Query(kQueryPluginReturns) == calls;
    }, 2 * kWaitTimeoutMs);
}
