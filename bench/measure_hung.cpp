// A hung target: its thread does not run (suspended, as a debugger or a long operation would hold it),
// and the requester must fall back to the normal copy, with its notice as NotifyFallback asks, and not hang.
#include "drive.h"
#include "measures.h"

namespace {

// One run: the command until the notice shows, the notice read and cancelled, the run awaited.
bool TimeFallbackNotice(const HostInstance &source, int run, Hung *hung)
{
    HWND box = nullptr;
    double start = NowMs();
    PostMessageA(source.hwnd, WM_COMMAND, kVorpanCommand, 0);
    bool shown = PumpUntil([&] { return (box = VisibleWindow(source.pid, kPluginCaption, "#32770")) != nullptr; },
                           kMeasureTimeoutMs, kMeasurePollMs);
    double elapsed = NowMs() - start;
    if (!shown)
        return Fail("no fallback notice within " + std::to_string(kMeasureTimeoutMs) + " ms");
    hung->times.push_back(elapsed);
    // Read until the text is there: once a read of the fresh box came back empty.
    PumpUntil([&] { return !(hung->text = MessageText(box)).empty(); }, kWaitTimeoutMs);
    bool right = hung->text == kVirtualTargetNotice;
    PressButton(box, IDCANCEL);
    bool ended = WaitForRunEnd(source, kMeasureTimeoutMs);
    if (!right)
        return Fail("run " + std::to_string(run) + ": the notice said \"" + hung->text + "\"");
    return ended || Fail("the run did not end after the notice");
}

}  // namespace

bool MeasureHungTarget(const PluginFolder &plugins, Hung *hung)
{
    ScratchFolder scratch({"作業\\報告書.txt", "ソフト\\表示\\"});
    HostInstance target({"/path=" + scratch.Path("ソフト\\表示"), plugins.HostOption()});
    HostInstance source({"/path=" + scratch.Path("作業"), "/selectall", plugins.HostOption()});
    if (!scratch.ok() || !target.ok() || !source.ok())
        return Fail("hosts did not start");
    if (!Activate(target.hwnd) || !Activate(source.hwnd) || !Settle({&source, &target}))
        return Fail("the instances could not be activated");
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(target.hwnd, nullptr));
    if (!thread || SuspendThread(thread) == DWORD(-1))
        return Fail("cannot suspend the target's thread");
    *hung = Hung{};
    bool ok = true;
    for (int i = 0; ok && i < kHungRuns; ++i)
        ok = TimeFallbackNotice(source, i, hung);
    if (ok) {
        // What the plug-in's request costs alone, now that the thread has been stopped for seconds.
        DWORD_PTR ignored;
        double start = NowMs();
        SendMessageTimeoutA(target.hwnd, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 3000, &ignored);
        hung->send = NowMs() - start;
    }
    ResumeThread(thread);
    CloseHandle(thread);
    if (ok)
        Progress("hung target: first notice after " + Format(hung->times.front()) + " ms");
    return ok;
}
