// How the measures drive the stand-in hosts; see drive.h.
#include "drive.h"

#include "harness/console_text.h"

void Progress(const std::string &text)
{
    PrintText("bench: " + text + "\n");
}

bool Fail(const std::string &what)
{
    Progress("FAILED: " + what);
    return false;
}

// Under Wine a lookup by class is one call to the server, where a walk over all top-level windows costs
// several per window: polling that way would slow down the very hosts being timed, more so the more
// windows run.
HWND VisibleWindow(DWORD pid, const char *title, const char *className)
{
    for (HWND hwnd = nullptr; (hwnd = FindWindowExA(nullptr, hwnd, className, title)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid && IsWindowVisible(hwnd))
            return hwnd;
    }
    return nullptr;
}

bool Runs(int warmUps, int counted, const std::function<bool(int, bool)> &run)
{
    for (int i = 0; i < warmUps + counted; ++i) {
        if (!run(i, i >= warmUps))
            return false;
    }
    return true;
}

bool Interleaved(int round, const std::vector<std::function<bool()>> &steps)
{
    for (size_t i = 0; i < steps.size(); ++i) {
        if (!steps[(i + size_t(round)) % steps.size()]())
            return false;
    }
    return true;
}

// The source host stamps the dialog's WM_SHOWWINDOW (after whatever fills it in) on the counter this
// process shares, so the bench looks for the dialog only to close it, at its leisure: polling every
// millisecond would compete with the host for Wine's server.
bool TimeDialog(const HostInstance &source, const std::vector<const HostInstance *> &others, UINT command,
                const char *title, const std::string &destination, double *elapsed, HostTiming *timing)
{
    std::vector<const HostInstance *> all = others;
    all.push_back(&source);
    if (!Activate(source.hwnd) || !Settle(all))
        return Fail("the source instance could not be activated");
    HWND dialog = nullptr;
    LONGLONG posted = Ticks();
    PostMessageA(source.hwnd, WM_COMMAND, command, 0);
    if (!PumpUntil([&] { return (dialog = VisibleWindow(source.pid, title, "#32770")) != nullptr; },
                   kMeasureTimeoutMs))
        return Fail(std::string("no dialog 「") + title + "」 after command " + std::to_string(command));
    if (!ReadTiming(source, timing) || timing->dialogShownAt < posted)
        return Fail("the source host did not time its dialog");
    *elapsed = TicksMs(timing->dialogShownAt - posted);
    if (ReadConfirmDialog(dialog).destination != destination)
        return Fail("the dialog does not show " + destination);
    PressButton(dialog, IDCANCEL);
    bool ended = command == kVorpanCommand ? WaitForRunEnd(source, kMeasureTimeoutMs)
                                           : PumpUntil([&] { return source.Query(kQueryDialogOpen) == 0; });
    return ended || Fail("the dialog did not close");
}

ChooserHosts::ChooserHosts(const PluginFolder &plugins, int count,
                           const std::function<std::vector<std::string>(int)> &extra)
    : scratch({"作業\\報告書.txt"}),
      source({"/path=" + scratch.Path("作業"), "/selectall", "/timing", plugins.HostOption()}),
      all({&source})
{
    if (!scratch.ok() || !source.ok()) {
        error = "no source host";
        return;
    }
    for (int i = 0; i < count; ++i) {
        std::string folder = "保存" + std::to_string(i + 1);
        if (!scratch.AddFolder(folder)) {
            error = "cannot make " + folder;
            return;
        }
        std::vector<std::string> options = {"/path=" + scratch.Path(folder), plugins.HostOption()};
        if (extra) {
            for (const std::string &option : extra(i))
                options.push_back(option);
        }
        others.emplace_back(new HostInstance(options));
        if (!others.back()->ok()) {
            error = "no host for " + folder + ": " + others.back()->error;
            return;
        }
        all.push_back(others.back().get());
    }
}

bool TimeChooser(const HostInstance &source, const std::vector<const HostInstance *> &all, int others,
                 double *elapsed, HostTiming *timing, const std::function<bool()> &justBefore)
{
    if (!Activate(source.hwnd) || !Settle(all))
        return Fail("the source instance could not be activated");
    if (justBefore && !justBefore())
        return false;
    HWND menu = nullptr;
    double start = NowMs();
    PostMessageA(source.hwnd, WM_COMMAND, kVorpanCommand, 0);
    bool shown = PumpUntil([&] { return (menu = VisibleWindow(source.pid, nullptr, "#32768")) != nullptr; },
                           kMeasureTimeoutMs, kMeasurePollMs);
    *elapsed = NowMs() - start;
    if (!shown)
        return Fail("no chooser menu with " + std::to_string(others) + " other instances");
    TypeKeys({VK_ESCAPE});
    if (!WaitForRunEnd(source, kMeasureTimeoutMs))
        return Fail("the run did not end after Escape; menu " +
                    std::string(IsWindowVisible(menu) ? "still open" : "closed"));
    // The instance whose send ran out the chooser's prompt bound is asked a second time, with those after it.
    if (!ReadTiming(source, timing) || timing->requests < others || timing->requests > others + 1)
        return Fail("the source host timed " + std::to_string(timing->requests) + " requests, not " +
                    std::to_string(others) + " or " + std::to_string(others + 1));
    return true;
}
