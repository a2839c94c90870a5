// Times VORPAN.DLL on stand-in host instances under Wine: the path request round trip, the two-pane copy
// against the host's own copy, the chooser menu against the number of instances, and a hung target.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "console_text.h"
#include "host_protocol.h"
#include "link/path_exchange.h"
#include "support/plugin_flow.h"

namespace {

// Runs of each measure; warm-up runs come on top and are not counted.
constexpr int kRoundTrips = 100;
constexpr int kCopyRuns = 25;
constexpr int kChooserRuns = 10;
constexpr int kHungRuns = 3;
constexpr int kWarmUps = 3;
const int kChooserOthers[] = {2, 4, 8, 16};
// Longest wait for one measured window; a hung target costs the plug-in two 3000 ms time-outs.
constexpr DWORD kMeasureTimeoutMs = 15000;
constexpr char kFallbackText[] = "対象が仮想フォルダなので通常動作にします。";

struct Stats {
    int runs;
    double median;
    double p90;
    double min;
    double max;
};

Stats Summarize(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    if (n == 0)
        return {0, NAN, NAN, NAN, NAN};
    double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    // Nearest rank: the smallest time that at least 90 % of the runs do not exceed.
    size_t rank = static_cast<size_t>(std::ceil(0.9 * n));
    return {int(n), median, times[rank - 1], times.front(), times.back()};
}

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * double(now.QuadPart) / double(frequency.QuadPart);
}

// Looks every millisecond: PumpUntil's 5 ms would blur the times measured. Pumps this thread's messages,
// as the hosts may send to it.
template <typename Condition>
bool PollUntil(Condition condition, DWORD timeoutMs)
{
    const double start = NowMs();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (condition())
            return true;
        if (NowMs() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// The visible top-level window of pid with this title and class, or null; looks once.
HWND VisibleWindow(DWORD pid, const char *title, const char *className)
{
    return WaitForWindowOfProcess(pid, title, className, 0);
}

// Every host has handled what was sent and posted to it so far, so a measure starts from quiet hosts.
bool Settle(const std::vector<const HostInstance *> &hosts)
{
    for (const HostInstance *host : hosts) {
        DWORD_PTR ignored;
        if (!SendMessageTimeoutA(host->hwnd, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored))
            return false;
    }
    return true;
}

std::string Format(double value, int decimals = 1)
{
    char text[32];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void Progress(const std::string &text)
{
    PrintText("bench: " + text + "\n");
}

bool Fail(const std::string &what)
{
    Progress("FAILED: " + what);
    return false;
}

bool WriteUtf8File(const std::string &path, const std::string &cp932)
{
    int wideLength = MultiByteToWideChar(CP_ACP, 0, cp932.data(), int(cp932.size()), nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_ACP, 0, cp932.data(), int(cp932.size()), &wide[0], wideLength);
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], length, nullptr, nullptr);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool done = WriteFile(file, utf8.data(), DWORD(utf8.size()), &written, nullptr) && written == utf8.size();
    CloseHandle(file);
    return done;
}

// Typed, not posted to the menu: Wine's menu loop peeks a message and then removes the first of its type,
// so a key posted while it handles the plug-in's own typed Down key is removed unseen.
void PressEscape()
{
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
}

// The two-pane copy against the host's own, measured in the same run.
struct Copies {
    Stats twoPane;
    Stats ownCopy;
    std::string source, target;  // the folders, as the dialogs show them
};

struct Results {
    Stats roundTrip;
    Copies copies;
    Stats chooser[std::size(kChooserOthers)];
    Stats requestsInARow[std::size(kChooserOthers)];  // the chooser's requests alone
    std::vector<double> hung;  // in run order
    std::string hungText;
    double hungSend;  // one SendMessageTimeout(SMTO_ABORTIFHUNG, 3000 ms) to the stopped target
};

// The requester's side of path requests, made with the plug-in's own RequestPaths from a
// window of the hosts' class: a target's responder reports to the most recently active such window. While
// it exists it counts as an instance for the hosts.
class Requester {
public:
    Requester()
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = HOST_WINDOW_CLASS;
        RegisterClassA(&windowClass);
        hwnd = CreateWindowExA(0, HOST_WINDOW_CLASS, "bench requester", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ready = hwnd && Activate(hwnd);
    }
    ~Requester()
    {
        if (hwnd)
            DestroyWindow(hwnd);
        UnregisterClassA(HOST_WINDOW_CLASS, GetModuleHandleA(nullptr));
    }
    Requester(const Requester &) = delete;
    Requester &operator=(const Requester &) = delete;

    // Milliseconds for one request to target; its answers are then in answer.
    double Request(HWND target)
    {
        double start = NowMs();
        RequestPaths(hwnd, target, kVorpanCommand, &answer);
        return NowMs() - start;
    }

    HWND hwnd = nullptr;
    bool ready = false;
    PathAnswer answer;
};

bool MeasureRoundTrip(Results *results, const PluginFolder &plugins)
{
    ScratchFolder scratch({"保存\\"});
    HostInstance target({"/path=" + scratch.Path("保存"), plugins.HostOption()});
    if (!scratch.ok() || !target.ok())
        return Fail("no target host: " + target.error);
    Requester requester;
    if (!requester.ready || !Settle({&target}))
        return Fail("the requester window could not be made active");
    std::vector<double> times;
    for (int i = 0; i < kWarmUps + kRoundTrips; ++i) {
        double elapsed = requester.Request(target.hwnd);
        if (scratch.Path("保存") != requester.answer.currentPath || !requester.answer.treeArrived)
            return Fail(std::string("a request came back with \"") + requester.answer.currentPath + "\", \"" +
                        requester.answer.treePath + "\"");
        if (i >= kWarmUps)
            times.push_back(elapsed);
    }
    results->roundTrip = Summarize(times);
    Progress("round trip: median " + Format(results->roundTrip.median, 2) + " ms");
    return true;
}

// The chooser's requests alone: one to each other instance in a row, as ChooseTargetMenu makes them.
bool MeasureRequestsInARow(const std::vector<const HostInstance *> &others, Stats *stats)
{
    Requester requester;
    if (!requester.ready || !Settle(others))
        return Fail("the requester window could not be made active");
    std::vector<double> times;
    for (int i = 0; i < 1 + kChooserRuns; ++i) {
        double total = 0;
        for (const HostInstance *other : others) {
            total += requester.Request(other->hwnd);
            if (!requester.answer.treeArrived)
                return Fail("a host gave no tree path");
        }
        if (i > 0)
            times.push_back(total);
    }
    *stats = Summarize(times);
    return true;
}

// Command chosen in source until a visible dialog of source's process has the title; the dialog is then
// cancelled and the run awaited, so no file is copied and every run starts alike.
bool TimeDialog(const HostInstance &source, const HostInstance &target, UINT command, const char *title,
                const std::string &destination, double *elapsed)
{
    if (!Activate(source.hwnd) || !Settle({&source, &target}))
        return Fail("the source instance could not be activated");
    HWND dialog = nullptr;
    double start = NowMs();
    PostMessageA(source.hwnd, WM_COMMAND, command, 0);
    bool shown = PollUntil([&] { return (dialog = VisibleWindow(source.pid, title, "#32770")) != nullptr; },
                           kMeasureTimeoutMs);
    *elapsed = NowMs() - start;
    if (!shown)
        return Fail(std::string("no dialog 「") + title + "」 after command " + std::to_string(command));
    if (ReadConfirmDialog(dialog).destination != destination)
        return Fail("the dialog does not show " + destination);
    PressButton(dialog, IDCANCEL);
    bool ended = command == kVorpanCommand ? WaitForRunEnd(source, kMeasureTimeoutMs)
                                           : PumpUntil([&] { return source.Query(kQueryDialogOpen) == 0; });
    return ended || Fail("the dialog did not close");
}

bool MeasureCopies(const PluginFolder &plugins, Copies *copies)
{
    ScratchFolder scratch({"作業\\報告書.txt", "作業\\予定表.txt", "作業\\memo.txt", "ソフト\\表示\\"});
    copies->source = scratch.Path("作業");
    copies->target = scratch.Path("ソフト\\表示");
    HostInstance target({"/path=" + copies->target, plugins.HostOption()});
    HostInstance source({"/path=" + copies->source, "/selectall", plugins.HostOption()});
    if (!scratch.ok() || !target.ok() || !source.ok())
        return Fail("hosts did not start");
    if (!Activate(target.hwnd))
        return Fail("the target instance could not be activated");
    // Interleaved, and each pair in alternating order, so that a slow spell of the machine hits both.
    std::vector<double> twoPane, own;
    for (int i = 0; i < kWarmUps + kCopyRuns; ++i) {
        double plugin = 0, host = 0;
        bool pluginFirst = i % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            bool ok = (turn == 0) == pluginFirst
                          ? TimeDialog(source, target, kVorpanCommand, kFilledTitle, copies->target, &plugin)
                          : TimeDialog(source, target, kHostCmdCopy, HOST_CONFIRM_TITLE, copies->source, &host);
            if (!ok)
                return false;
        }
        if (i >= kWarmUps) {
            twoPane.push_back(plugin);
            own.push_back(host);
        }
    }
    copies->twoPane = Summarize(twoPane);
    copies->ownCopy = Summarize(own);
    Progress("two-pane copy from " + copies->source + ": median " + Format(copies->twoPane.median) +
             " ms, own copy " + Format(copies->ownCopy.median) + " ms");
    return true;
}

bool MeasureChooser(const PluginFolder &plugins, Results *results)
{
    ScratchFolder scratch({"作業\\報告書.txt"});
    HostInstance source({"/path=" + scratch.Path("作業"), "/selectall", plugins.HostOption()});
    if (!scratch.ok() || !source.ok())
        return Fail("no source host");
    std::vector<std::unique_ptr<HostInstance>> others;
    for (size_t step = 0; step < std::size(kChooserOthers); ++step) {
        while (int(others.size()) < kChooserOthers[step]) {
            std::string folder = "保存" + std::to_string(others.size() + 1);
            if (!scratch.AddFolder(folder))
                return Fail("cannot make " + folder);
            others.emplace_back(new HostInstance({"/path=" + scratch.Path(folder), plugins.HostOption()}));
            if (!others.back()->ok())
                return Fail("host " + folder + " did not start: " + others.back()->error);
        }
        std::vector<const HostInstance *> all = {&source};
        for (const auto &other : others)
            all.push_back(other.get());
        std::vector<double> times;
        for (int i = 0; i < 1 + kChooserRuns; ++i) {
            if (!Activate(source.hwnd) || !Settle(all))
                return Fail("the source instance could not be activated");
            HWND menu = nullptr;
            double start = NowMs();
            PostMessageA(source.hwnd, WM_COMMAND, kVorpanCommand, 0);
            bool shown = PollUntil([&] { return (menu = VisibleWindow(source.pid, nullptr, "#32768")) != nullptr; },
                                   kMeasureTimeoutMs);
            double elapsed = NowMs() - start;
            if (!shown)
                return Fail("no chooser menu with " + std::to_string(others.size()) + " other instances");
            PressEscape();
            if (!WaitForRunEnd(source, kMeasureTimeoutMs))
                return Fail("the run did not end after Escape; menu " +
                            std::string(IsWindowVisible(menu) ? "still open" : "closed") + ", DoProcess calls " +
                            std::to_string(source.Query(kQueryPluginCalls)) + ", returns " +
                            std::to_string(source.Query(kQueryPluginReturns)) + ", run " + std::to_string(i));
            if (i > 0)
                times.push_back(elapsed);
        }
        results->chooser[step] = Summarize(times);
        if (!MeasureRequestsInARow(std::vector<const HostInstance *>(all.begin() + 1, all.end()),
                                   &results->requestsInARow[step]))
            return false;
        Progress("chooser with " + std::to_string(others.size()) + " other instances: median " +
                 Format(results->chooser[step].median) + " ms");
    }
    return true;
}

// A target whose thread does not run (suspended, as a debugger or a long operation would hold it): the
// requester must fall back to the normal copy, with its notice as NotifyFallback asks, and not hang.
bool MeasureHungTarget(const PluginFolder &plugins, Results *results)
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
    bool ok = true;
    for (int i = 0; ok && i < kHungRuns; ++i) {
        HWND box = nullptr;
        double start = NowMs();
        PostMessageA(source.hwnd, WM_COMMAND, kVorpanCommand, 0);
        ok = PollUntil([&] { return (box = VisibleWindow(source.pid, kPluginCaption, "#32770")) != nullptr; },
                       kMeasureTimeoutMs);
        double elapsed = NowMs() - start;
        if (!ok) {
            Fail("no fallback notice within " + std::to_string(kMeasureTimeoutMs) + " ms");
            break;
        }
        results->hung.push_back(elapsed);
        // Read until the text is there: once a read of the fresh box came back empty.
        PumpUntil([&] { return !(results->hungText = MessageText(box)).empty(); }, kWaitTimeoutMs);
        if (results->hungText != kFallbackText) {
            ok = Fail("run " + std::to_string(i) + ": the notice said \"" + results->hungText + "\"");
            PressButton(box, IDCANCEL);
            WaitForRunEnd(source, kMeasureTimeoutMs);
            break;
        }
        PressButton(box, IDCANCEL);
        ok = WaitForRunEnd(source, kMeasureTimeoutMs) || Fail("the run did not end after the notice");
    }
    if (ok) {
        // What the plug-in's request costs alone, now that the thread has been stopped for seconds.
        DWORD_PTR ignored;
        double start = NowMs();
        SendMessageTimeoutA(target.hwnd, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 3000, &ignored);
        results->hungSend = NowMs() - start;
    }
    ResumeThread(thread);
    CloseHandle(thread);
    if (ok)
        Progress("hung target: first notice after " + Format(results->hung.front()) + " ms");
    return ok;
}

std::string StatsRow(const std::string &what, const Stats &stats, const std::string &note)
{
    return "| " + what + " | " + std::to_string(stats.runs) + " | " + Format(stats.median, 2) + " | " +
           Format(stats.p90, 2) + " | " + Format(stats.min, 2) + " to " + Format(stats.max, 2) + " | " + note + " |\n";
}

std::string Report(const Results &r)
{
    std::string md;
    md += "| Measure | Runs | Median ms | p90 ms | Range ms | Note |\n";
    md += "|---|---:|---:|---:|---:|---|\n";
    md += StatsRow("Path request round trip (RequestPaths: send, both reports in)", r.roundTrip,
                   "plug-in's own RequestPaths/PathReportHook in the bench process");
    const Copies &c = r.copies;
    md += StatsRow("Two-pane copy: command 33100 → filled dialog visible", c.twoPane,
                   "from " + c.source + " to " + c.target + "; interleaved with the next row");
    md += StatsRow("Host's own copy: command 32781 → dialog visible", c.ownCopy, "same hosts, same selection");
    md += "| Ratio two-pane / own copy | | " + Format(c.twoPane.median / c.ownCopy.median, 2) + " | " +
          Format(c.twoPane.p90 / c.ownCopy.p90, 2) + " | | ratio of the medians; of the p90s |\n";
    for (size_t i = 0; i < std::size(kChooserOthers); ++i)
        md += StatsRow("Chooser: command → menu visible, " + std::to_string(kChooserOthers[i]) + " other instances (" +
                           std::to_string(kChooserOthers[i] + 1) + " in all)",
                       r.chooser[i], "closed with Escape; its " + std::to_string(kChooserOthers[i]) +
                           " path requests alone, made in a row from the bench: median " +
                           Format(r.requestsInARow[i].median, 2) + " ms, p90 " + Format(r.requestsInARow[i].p90, 2) +
                           " ms");
    std::string each;
    for (double t : r.hung)
        each += (each.empty() ? "" : ", ") + Format(t, 0);
    md += StatsRow("Hung target: command → fallback notice shown", Summarize(r.hung),
                   "target's thread suspended; runs in order: " + each + " ms; notice 「" + r.hungText +
                       "」; a SendMessageTimeout(SMTO_ABORTIFHUNG, 3000 ms) to it alone takes " +
                       Format(r.hungSend, 0) + " ms");

    double ratio = c.twoPane.median / c.ownCopy.median;
    double budget = 8 * r.roundTrip.median + 50;
    const Stats &eight = r.chooser[std::find(std::begin(kChooserOthers), std::end(kChooserOthers), 8) -
                                   std::begin(kChooserOthers)];
    md += "\n## Targets\n\n";
    md += "| Target | Measured | Limit | Held |\n|---|---:|---:|---|\n";
    md += "| Two-pane copy at most 1.10 × the host's own dialog time | " + Format(ratio, 2) + " × | 1.10 × | " +
          (ratio <= 1.10 ? "yes" : "**no**") + " |\n";
    md += "| Chooser with 8 other instances within 8 round trips + 50 ms | " + Format(eight.median, 1) + " ms | " +
          Format(budget, 1) + " ms | " + (eight.median <= budget ? "yes" : "**no**") + " |\n";
    return md;
}

std::string ChooserData(const Results &r)
{
    std::string data = "# other_instances menu_median_ms menu_p90_ms budget_ms(N round trips + 50) requests_in_a_row_median_ms\n";
    for (size_t i = 0; i < std::size(kChooserOthers); ++i)
        data += std::to_string(kChooserOthers[i]) + " " + Format(r.chooser[i].median, 3) + " " +
                Format(r.chooser[i].p90, 3) + " " + Format(kChooserOthers[i] * r.roundTrip.median + 50, 3) + " " +
                Format(r.requestsInARow[i].median, 3) + "\n";
    return data;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--out=", 0) == 0) {
            out = arg.substr(6);
        } else {
            Fail("unknown argument " + arg + "; usage: vorpan_bench --out=<folder>");
            return 2;
        }
    }
    if (out.empty() || !FolderExists(out)) {
        Fail("--out=<folder> must name an existing folder");
        return 2;
    }
    PluginFolder plugins;
    if (!plugins.ok()) {
        Fail(plugins.error);
        return 1;
    }
    // NotifyFallback for the hung target's notice, ChooseTarget for the menu; two instances never see it.
    WriteState(plugins, 3);

    Results results{};
    bool ok = MeasureRoundTrip(&results, plugins) && MeasureCopies(plugins, &results.copies) &&
              MeasureChooser(plugins, &results) && MeasureHungTarget(plugins, &results);
    if (!ok)
        return 1;
    std::string report = Report(results);
    if (!WriteUtf8File(out + "\\timings.md", report) || !WriteUtf8File(out + "\\chooser.dat", ChooserData(results))) {
        Fail("cannot write into " + out);
        return 1;
    }
    PrintText(report);
    return 0;
}
