// The desktop of instances and the expected run's step runner; see desktop.h.
#include "harness/desktop.h"

#include <stdexcept>

#include "harness/plugin_flow.h"
#include "harness/remote_windows.h"
#include "host_protocol.h"

Instance Instance::With(const std::string &option) const
{
    Instance changed = *this;
    changed.options.push_back(option);
    return changed;
}

Instance Instance::Staged(WPARAM stage, LPARAM value) const
{
    Instance changed = *this;
    changed.stages.push_back({stage, value});
    return changed;
}

Instance Instance::TypingWhenAsked(const std::vector<BYTE> &typed, const std::string &answered) const
{
    Instance changed = *this;
    changed.keys = typed;
    changed.answer = answered;
    return changed;
}

Instance On(const std::string &name, const std::string &folder, const std::vector<std::string> &options)
{
    Instance instance;
    instance.name = name;
    instance.folder = folder;
    instance.options = options;
    return instance;
}

Instance Selecting(const std::string &name, const std::string &folder, const std::vector<std::string> &options)
{
    return On(name, folder, options).With("/selectall");
}

Instance PeerWindow(const std::string &name)
{
    Instance instance = On(name, "");
    instance.kind = Instance::kPeer;
    return instance;
}

Instance BusyWindow(const std::string &name)
{
    Instance instance = On(name, "");
    instance.kind = Instance::kBusy;
    return instance;
}

Instance OwnWindow(const std::string &name, HWND window)
{
    Instance instance = On(name, "");
    instance.kind = Instance::kWindow;
    instance.window = window;
    return instance;
}

struct Desktop::Member {
    Instance spec;
    std::unique_ptr<HostInstance> host;
    std::unique_ptr<PeerInstanceWindow> peer;
    std::unique_ptr<BusyInstance> busy;

    HWND Window() const
    {
        return host ? host->hwnd : peer ? peer->hwnd : busy ? busy->hwnd() : spec.window;
    }
};

Desktop::Desktop(const std::vector<std::string> &entries, const std::vector<Instance> &instances, int state)
    : scratch(entries)
{
    if (!scratch.ok() || !plugins.ok()) {
        error_ = "scratch folder: " + scratch.error + "\nplug-in folder: " + plugins.error;
        return;
    }
    if (state != kNoSettings)
        WriteState(plugins, state);
    for (const Instance &spec : instances) {
        members_.emplace_back(new Member{spec, nullptr, nullptr, nullptr});
        Member &member = *members_.back();
        std::string failed;
        if (spec.kind == Instance::kHost) {
            std::vector<std::string> options = {spec.folder.empty() ? "/virtual" : "/path=" + Path(spec.folder)};
            options.insert(options.end(), spec.options.begin(), spec.options.end());
            options.push_back(plugins.HostOption());
            member.host.reset(new HostInstance(options));
            failed = member.host->error;
        } else if (spec.kind == Instance::kPeer) {
            member.peer.reset(new PeerInstanceWindow(member.spec.name.c_str()));
            failed = member.peer->error;
        } else if (spec.kind == Instance::kBusy) {
            member.busy.reset(new BusyInstance(member.spec.name.c_str()));
            failed = member.busy->ok() ? "" : "no window on a thread of its own";
        } else if (!IsWindow(spec.window)) {
            failed = "no window";
        }
        if (!failed.empty())
            error_ += spec.name + ": " + failed + "\n";
    }
    if (error_.empty())
        error_ = Activate().why;
}

Desktop::~Desktop()
{
    // Last made, first ended: a busy instance's request may still refer to a host made before it.
    while (!members_.empty())
        members_.pop_back();
}

Outcome Desktop::Ready() const
{
    return error_.empty() ? Outcome::Ok() : Outcome::Failed(error_);
}

Outcome Desktop::Activate(const std::vector<std::string> &names)
{
    std::vector<Member *> order;
    for (const auto &member : members_) {
        if (names.empty())
            order.push_back(member.get());
    }
    for (const std::string &name : names)
        order.push_back(&Find(name));
    for (Member *member : order) {
        if (!::Activate(member->Window()))
            return Outcome::Failed(member->spec.name + " could not be activated");
    }
    // After every activation: a stage may leave its host's thread with an activation of its own.
    for (Member *member : order) {
        for (const auto &stage : member->spec.stages) {
            if (!member->host || !member->host->Stage(stage.first, stage.second))
                return Outcome::Failed(member->spec.name + " did not take stage " + std::to_string(stage.first));
        }
    }
    return Outcome::Ok();
}

void Desktop::SetState(int state)
{
    WriteState(plugins, state);
}

Desktop::Member &Desktop::Find(const std::string &name) const
{
    for (const auto &member : members_) {
        if (member->spec.name == name)
            return *member;
    }
    // A name the table does not hold is a fault of the table, not of the plug-in.
    throw std::invalid_argument("no instance named " + name + " on this desktop");
}

const HostInstance &Desktop::Host(const std::string &name) const
{
    return *Find(name).host;
}

PeerInstanceWindow &Desktop::Peer(const std::string &name)
{
    return *Find(name).peer;
}

BusyInstance &Desktop::Busy(const std::string &name)
{
    return *Find(name).busy;
}

HWND Desktop::Window(const std::string &name) const
{
    return Find(name).Window();
}

int Desktop::Requests(const std::string &name) const
{
    const Member &member = Find(name);
    return member.host ? int(member.host->Query(kQueryPluginCalls))
           : member.peer ? member.peer->requests
           : member.busy ? member.busy->Requests()
                         : 0;
}

std::vector<std::string> Desktop::Names() const
{
    std::vector<std::string> names;
    for (const auto &member : members_)
        names.push_back(member->spec.name);
    return names;
}

std::vector<const HostInstance *> Desktop::Hosts() const
{
    std::vector<const HostInstance *> hosts;
    for (const auto &member : members_) {
        if (member->host)
            hosts.push_back(member->host.get());
    }
    return hosts;
}

void Desktop::ArmTyping(const HostInstance &requester)
{
    for (const auto &member : members_) {
        if (member->busy && !member->spec.keys.empty())
            TypeWhenAskedBy(*member->busy, requester, member->spec.keys,
                            member->spec.answer.empty() ? "" : Path(member->spec.answer));
    }
}

int Desktop::KeysLost() const
{
    int lost = 0;
    for (const auto &member : members_)
        lost += member->busy ? member->busy->keysLost.load() : 0;
    return lost;
}

Step Step::Then(const std::function<Outcome(HWND)> &action) const
{
    Step changed = *this;
    changed.act = action;
    return changed;
}

namespace step {

Step Menu(const std::vector<BYTE> &keys)
{
    return {Step::kMenu, "", "", keys, "", 0, nullptr};
}

Step Notice(const std::string &text, int button)
{
    return {Step::kNotice, text, "", {}, "", button, nullptr};
}

Step ErrorBox(const std::string &text)
{
    return {Step::kErrorBox, text, "", {}, "", IDOK, nullptr};
}

Step Confirm(const std::string &title, const std::string &folder, int button)
{
    return {Step::kConfirm, title, folder, {}, "", button, nullptr};
}

Step Filled(const std::string &folder, int button)
{
    return Confirm(kFilledTitle, folder, button);
}

Step HostDialog(const std::string &folder, int button, const std::string &typed)
{
    Step dialog = Confirm(HOST_CONFIRM_TITLE, folder, button);
    dialog.typed = typed;
    return dialog;
}

Step Settings(int button)
{
    return {Step::kSettings, kSettingsTitle, "", {}, "", button, nullptr};
}

}  // namespace step

namespace {

const char *const kStepNames[] = {"the chooser's menu", "the notice", "the error box", "the confirmation dialog",
                                  "the settings dialog"};

// What of the run is on the screen: dialogs and message boxes by title, and a menu.
std::string OpenWindows(DWORD pid)
{
    HWND dialog = FindVisibleWindowOfProcess(pid, nullptr, "#32770");
    std::string open = dialog != nullptr ? "「" + WindowText(dialog) + "」" : "";
    if (FindVisibleWindowOfProcess(pid, nullptr, "#32768") != nullptr)
        open += open.empty() ? "a menu" : " and a menu";
    return open.empty() ? "nothing" : open;
}

Outcome Missing(const char *what, DWORD pid)
{
    return Outcome::Failed(std::string("no ") + what + "; on the screen: " + OpenWindows(pid));
}

Outcome Act(const Step &step, HWND window)
{
    return step.act ? step.act(window) : Outcome::Ok();
}

Outcome TakeConfirm(const Desktop &desktop, const HostInstance &host, const Step &step)
{
    HWND dialog = WaitForConfirmDialog(host, step.text.c_str(), kStepTimeoutMs);
    if (dialog == nullptr)
        return Missing(("dialog titled 「" + step.text + "」").c_str(), host.pid);
    if (FindVisibleWindowOfProcess(host.pid, kPluginCaption, "#32770") != nullptr)
        return Outcome::Failed("a message box of the plug-in is open beside it");
    // A thread held for more than 5 s counts as hung until it next takes a message: reads fail till then.
    ConfirmView view;
    PumpUntil([&] { return !(view = ReadConfirmDialog(dialog)).destination.empty(); }, kStepTimeoutMs);
    Outcome shows = CheckShowsFolder(view, desktop.Path(step.folder));
    if (shows && !step.typed.empty() && !TypeDestination(dialog, desktop.Path(step.typed)))
        shows = Outcome::Failed("the destination could not be typed");
    if (shows)
        shows = Act(step, dialog);
    // Never OK on a dialog that shows what it should not: the files would go there.
    PressButton(dialog, shows ? step.button : IDCANCEL);
    return shows;
}

Outcome TakeStep(const Desktop &desktop, const HostInstance &host, const Step &step)
{
    switch (step.kind) {
    case Step::kMenu: {
        HWND menu = WaitForMenu(host.pid, kStepTimeoutMs);
        if (menu == nullptr)
            return Missing("menu", host.pid);
        Outcome acted = Act(step, menu);
        TypeKeys(step.keys);
        return acted;
    }
    case Step::kNotice:
        return AnswerNotice(host, step.text, step.button, kStepTimeoutMs);
    case Step::kErrorBox: {
        HWND box = WaitForPluginMessage(host, kStepTimeoutMs);
        if (box == nullptr)
            return Missing("error box", host.pid);
        std::string shown;
        PumpUntil([&] { return !(shown = MessageText(box)).empty(); });
        bool onlyOk = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr;
        Outcome acted = Act(step, box);
        PressButton(box, IDOK);
        if (shown != step.text || !onlyOk)
            return Outcome::Failed("expected 「" + step.text + "」 with only OK; got 「" + shown + "」" +
                                   (onlyOk ? "" : " with other buttons"));
        return acted;
    }
    case Step::kConfirm:
        return TakeConfirm(desktop, host, step);
    case Step::kSettings: {
        HWND dialog = WaitForWindowOfProcess(host.pid, step.text.c_str(), "#32770", kStepTimeoutMs);
        if (dialog == nullptr)
            return Missing("settings dialog", host.pid);
        Outcome acted = Act(step, dialog);
        if (step.button != 0)
            PressButton(dialog, acted ? step.button : IDCANCEL);
        return acted;
    }
    }
    return Outcome::Failed("a step of no known kind");
}

}  // namespace

Outcome RunExpected(Desktop &desktop, const ExpectedRun &run, RunCounts *counts)
{
    const HostInstance &from = desktop.Host(run.from);
    if (!run.after.empty()) {
        Outcome activated = desktop.Activate(run.after);
        if (!activated)
            return activated;
    }
    std::map<std::string, int> before;
    for (const std::string &name : desktop.Names())
        before[name] = desktop.Requests(name);
    const LRESULT calls = from.Query(kQueryPluginCalls), copies = from.Query(kQueryCopyCommands);
    const int lost = desktop.KeysLost();
    desktop.ArmTyping(from);

    bool started = run.start == ExpectedRun::kChosen   ? ChooseCommand(from)
                   : run.start == ExpectedRun::kPosted ? PostMessageA(from.hwnd, WM_COMMAND, kVorpanCommand, 0) != 0
                                                       : SendCommand(from.hwnd, kVorpanCommand);
    if (!started)
        return Outcome::Failed("the command did not reach " + run.from);
    for (size_t i = 0; i < run.steps.size(); ++i) {
        Outcome done = TakeStep(desktop, from, run.steps[i]);
        if (!done) {
            EndRun(from);
            return Outcome::Failed("step " + std::to_string(i + 1) + ", " + kStepNames[run.steps[i].kind] + ": " +
                                   done.why);
        }
    }
    if (!WaitForRunEndAfter(from, calls, kStepTimeoutMs)) {
        std::string open = OpenWindows(from.pid);
        EndRun(from);
        return Outcome::Failed("the run did not end after its last step; on the screen: " + open);
    }
    if (ShowsAnything(from.pid)) {
        std::string open = OpenWindows(from.pid);
        EndRun(from);
        return Outcome::Failed("left open after the run: " + open);
    }
    Outcome clean = CheckRunEnded(from);
    if (!clean)
        return Outcome::Failed("the run's end: " + clean.why);
    if (desktop.KeysLost() != lost)
        return Outcome::Failed("the keys typed while an instance was asked never reached the requester's queue");
    if (counts != nullptr) {
        counts->copies = from.Query(kQueryCopyCommands) - copies;
        LRESULT copied = counts->copies > 0 ? from.Query(kQueryCopiedFiles) : 0;
        counts->copied = copied > 0 ? copied : 0;
        counts->requests.clear();
        for (const auto &name : before) {
            if (name.first != run.from)
                counts->requests[name.first] = desktop.Requests(name.first) - name.second;
        }
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
        if (HWND open = WaitForWindowOfProcess(host.pid, nullptr, "#32770", 0)) {
            PressButton(open, IDCANCEL);
            return false;
        }
        LRESULT calls = host.Query(kQueryPluginCalls);
        return calls != kQueryFailed && host.Query(kQueryPluginReturns) == calls;
    }, 2 * kWaitTimeoutMs);
}
