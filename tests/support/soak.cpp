// Implementation of the soak; see soak.h.
#include "support/soak.h"

#include <memory>

#include "host_protocol.h"
#include "support/plugin_flow.h"

namespace {

constexpr int kChooseTarget = 2;  // the State flag of the chooser
// Failures whose text the result keeps; the count goes on.
constexpr size_t kFailuresKept = 10;

// Growth a host may show between the warm-up and the end without counting as a leak. Measured: after
// the warm-up no count moves at all over a thousand runs, while the first copy of a host takes two
// handles for good (the warm-up takes them). The allowance leaves room for one more such pair; the
// smallest leak the short soak must show, one handle in each of its six dismissed chooser runs, is
// above it.
constexpr int kGrowthAllowance = 2;  // handles, and USER and GDI objects where they are counted
// A window that outlives its run (a dialog, a menu window, a message box) is a leak at once.
constexpr int kWindowAllowance = 0;

struct Instance {
    const char *name;
    const char *folder;  // below the scratch folder
    const char *file;    // the one file it shows, selected; empty for none
};

// A copies to B and B to A; A chooses among B, C and D; all four answer as responders. The folder
// names hold double-byte characters whose trail byte is "\" (ソ, 表, 十, 能).
const Instance kInstances[] = {
    {"A", "作業", "報告書.txt"},
    {"B", "ソフト\\表示", "表.txt"},
    {"C", "資料", ""},
    {"D", "十能", ""},
};
enum { kA, kB, kC, kD, kInstanceCount };
const char *const kRoles[] = {"copies to and from B; chooses among B, C, D; responds",
                              "copies to and from A; chosen; responds", "chosen; responds", "chosen; responds"};

struct Soak {
    Soak()
    {
        for (const Instance &instance : kInstances) {
            folders.push_back(scratch.Path(instance.folder));
            // A file's content is its path below the scratch folder, so a copy shows where it came from.
            std::string file = std::string(instance.folder) + "\\" + instance.file;
            if (instance.file[0] != '\0')
                scratch.AddFile(file, file);
            else
                scratch.AddFolder(instance.folder);
        }
        // A last: the first copy starts in the active instance.
        for (int i = kInstanceCount - 1; i >= 0; --i) {
            std::vector<std::string> options = {"/path=" + folders[i], plugins.HostOption()};
            if (kInstances[i].file[0] != '\0')
                options.push_back("/selectall");
            hosts[i].reset(new HostInstance(options));
        }
    }

    bool ok() const
    {
        for (const auto &host : hosts) {
            if (!host || !host->ok())
                return false;
        }
        return scratch.ok() && plugins.ok();
    }

    ScratchFolder scratch;
    PluginFolder plugins;
    std::vector<std::string> folders;
    // After the folders: the hosts end before their folders are removed.
    std::unique_ptr<HostInstance> hosts[kInstanceCount];
};

struct WindowCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowCount *>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM param)
{
    WindowCount *windows = reinterpret_cast<WindowCount *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(hwnd, CountChild, param);
    }
    return TRUE;
}

// Every host has handled all that was sent and posted to it, and no run is going on.
bool Idle(const Soak &soak)
{
    for (const auto &host : soak.hosts) {
        DWORD_PTR ignored;
        if (!WaitForRunEnd(*host) ||
            !SendMessageTimeoutA(host->hwnd, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored))
            return false;
    }
    return true;
}

// One entry of the system's handle list (SystemHandleInformation), as Windows and Wine lay it out.
struct SystemHandle {
    ULONG pid;
    BYTE type;
    BYTE flags;
    USHORT handle;
    void *object;
    ACCESS_MASK access;
};
struct SystemHandleList {
    ULONG count;
    SystemHandle handles[1];
};

// The handles of process pid, counted in the system's list: Wine's GetProcessHandleCount answers 0.
DWORD HandlesInSystemList(DWORD pid)
{
    typedef LONG(WINAPI * QueryProc)(ULONG, void *, ULONG, ULONG *);
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    auto query = reinterpret_cast<QueryProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return 0;
    std::vector<char> buffer(64 * 1024);
    ULONG length = 0;
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()), &length)) ==
           kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    const auto *list = reinterpret_cast<const SystemHandleList *>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < list->count; ++i) {
        if (list->handles[i].pid == pid)
            ++count;
    }
    return count;
}

HostHoldings Holdings(const HostInstance &host)
{
    HostHoldings holdings;
    if (!GetProcessHandleCount(host.process, &holdings.handles) || holdings.handles == 0)
        holdings.handles = HandlesInSystemList(host.pid);
    WindowCount windows = {host.pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    holdings.windows = windows.count;
    holdings.userObjects = GetGuiResources(host.process, GR_USEROBJECTS);
    holdings.gdiObjects = GetGuiResources(host.process, GR_GDIOBJECTS);
    holdings.mainProcOwn = host.Query(kQueryMainProcIsOwn);
    return holdings;
}

// A process with windows holds USER objects; none at all means that the platform does not count them.
bool GuiCounted(const HostHoldings &holdings)
{
    return holdings.userObjects != 0 || holdings.gdiObjects != 0;
}

// After a failed run: ends what it left open in host (a menu, a dialog, a message box) until the run
// has ended, so that the next run starts from an idle host.
bool EndFailedRun(const HostInstance &host)
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

// The file copied into folder came from source and is removed again: the host never overwrites, and
// the next copy of the same file must find the folder as before.
::testing::AssertionResult Arrived(const std::string &folder, int source)
{
    std::string copy = folder + "\\" + kInstances[source].file;
    std::string content;
    bool read = ReadFileText(copy, &content);
    DeleteFileA(copy.c_str());
    std::string expected = std::string(kInstances[source].folder) + "\\" + kInstances[source].file;
    if (read && content == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << copy << (read ? " holds \"" + content + "\"" : " did not arrive");
}

::testing::AssertionResult CopyRun(const Soak &soak, int source, int target)
{
    const HostInstance &from = *soak.hosts[source];
    ::testing::AssertionResult copied = CopyThroughFilledDialog(from, soak.hosts[target]->hwnd, soak.folders[target]);
    if (!copied)
        return copied;
    ::testing::AssertionResult arrived = Arrived(soak.folders[target], source);
    return arrived ? RunEndedClean(from) : arrived;
}

// The chooser's items are B, C, D (the order of their activation) and A itself; item -1 dismisses it.
::testing::AssertionResult ChooserRun(const Soak &soak, int item)
{
    const HostInstance &a = *soak.hosts[kA];
    LRESULT calls = a.Query(kQueryPluginCalls);
    std::vector<BYTE> keys(item < 0 ? 0 : item, VK_DOWN);
    keys.push_back(item < 0 ? VK_ESCAPE : VK_RETURN);
    ::testing::AssertionResult chosen = ChooseFromMenu(a, keys);
    if (!chosen)
        return chosen;
    if (item < 0) {
        if (!WaitForRunEndAfter(a, calls))
            return ::testing::AssertionFailure() << "the run did not end after Escape";
        return RunEndedClean(a);
    }
    const int target = kB + item;
    ::testing::AssertionResult confirmed = ConfirmFilledDialog(a, soak.folders[target], calls);
    if (!confirmed)
        return confirmed;
    ::testing::AssertionResult arrived = Arrived(soak.folders[target], kA);
    return arrived ? RunEndedClean(a) : arrived;
}

// peer, the most recently active instance, asks host for its paths as a requester would.
::testing::AssertionResult ResponderRun(const Soak &soak, int responder, PeerInstanceWindow &peer)
{
    const HostInstance &host = *soak.hosts[responder];
    peer.received.clear();
    if (!SendCommand(host.hwnd, kVorpanCommand))
        return ::testing::AssertionFailure() << "the command was not taken";
    const std::string &folder = soak.folders[responder];
    const std::string expected[] = {folder + '\0', folder + "\\" + '\0'};
    bool answered = peer.received.size() == 2;
    for (size_t i = 0; answered && i < 2; ++i) {
        const ReceivedCopyData &report = peer.received[i];
        answered = report.sender == host.hwnd && report.kind == i && report.bytes == expected[i];
    }
    if (!answered)
        return ::testing::AssertionFailure()
               << peer.received.size() << " reports, not \"" << folder << "\" and its tree path";
    return RunEndedClean(host);
}

class SoakRunner {
public:
    SoakRunner(Soak &soak, SoakResult &result, const std::function<void(const std::string &)> &progress)
        : soak_(soak), result_(result), progress_(progress)
    {
    }

    // Counts the run, and after a failure ends what it left open in every host.
    void Record(const char *kind, int index, const ::testing::AssertionResult &outcome)
    {
        ++result_.runs;
        if (!outcome) {
            ++result_.failed;
            std::string failure = std::string(kind) + " " + std::to_string(index) + ": " + outcome.message();
            if (result_.failures.size() < kFailuresKept)
                result_.failures.push_back(failure);
            Say("FAILED " + failure);
            for (const auto &host : soak_.hosts)
                EndFailedRun(*host);
        }
        if (result_.runs % 100 == 0)
            Say(std::to_string(result_.runs) + " runs, " + std::to_string(result_.failed) + " failed");
    }

    void Copies(int count)
    {
        WriteState(soak_.plugins, 0);
        for (int i = 0; i < count; ++i)
            Record("copy", i, i % 2 == 0 ? CopyRun(soak_, kA, kB) : CopyRun(soak_, kB, kA));
    }

    void Chooser(int count)
    {
        WriteState(soak_.plugins, kChooseTarget);
        // The menu lists B, C, D in this order: the most recently active other instance first.
        for (int i : {kD, kC, kB}) {
            if (!Activate(soak_.hosts[i]->hwnd))
                Record("chooser", -1, ::testing::AssertionFailure() << kInstances[i].name << " could not be activated");
        }
        for (int i = 0; i < count; ++i)
            Record("chooser", i, ChooserRun(soak_, i % 2 == 0 ? -1 : (i / 2) % 3));
    }

    void Responder(int count)
    {
        // A window of the hosts' class: while it exists, every host counts it as one more instance.
        PeerInstanceWindow peer("soak requester");
        if (!peer.ok() || !peer.Activate()) {
            Record("responder", -1, ::testing::AssertionFailure() << "no requester window: " << peer.error);
            return;
        }
        for (int i = 0; i < count; ++i)
            Record("responder", i, ResponderRun(soak_, i % kInstanceCount, peer));
    }

private:
    void Say(const std::string &text)
    {
        if (progress_)
            progress_(text);
    }

    Soak &soak_;
    SoakResult &result_;
    const std::function<void(const std::string &)> &progress_;
};

std::string Growth(const SoakHostRow &row, const char *what, long long before, long long after, int allowance)
{
    return after - before > allowance ? row.name + ": " + what + " " + std::to_string(before) + " -> " +
                                            std::to_string(after) + " (allowance +" + std::to_string(allowance) + ")"
                                      : std::string();
}

void FindLeaks(SoakResult &result)
{
    for (const SoakHostRow &row : result.hosts) {
        std::string grown[] = {
            Growth(row, "handles", row.before.handles, row.after.handles, kGrowthAllowance),
            Growth(row, "windows", row.before.windows, row.after.windows, kWindowAllowance),
            Growth(row, "USER objects", row.before.userObjects, row.after.userObjects, kGrowthAllowance),
            Growth(row, "GDI objects", row.before.gdiObjects, row.after.gdiObjects, kGrowthAllowance),
        };
        for (const std::string &leak : grown) {
            if (!leak.empty())
                result.leaks.push_back(leak);
        }
        if (row.after.mainProcOwn != 1)
            result.leaks.push_back(row.name + ": the main window keeps another procedure");
    }
    if (!result.eventClosed)
        result.leaks.push_back("the named event RiloFilePluginGetPathEvent");
}

std::string Cell(const HostHoldings &before, const HostHoldings &after, DWORD HostHoldings::*field)
{
    if (!GuiCounted(before) || !GuiCounted(after))
        return "not counted by Wine";
    return std::to_string(before.*field) + " -> " + std::to_string(after.*field);
}

}  // namespace

SoakResult RunSoak(const SoakPlan &plan, const std::function<void(const std::string &)> &progress)
{
    SoakResult result;
    result.plan = plan;
    Soak soak;
    if (!soak.ok()) {
        result.failed = 1;
        result.failures.push_back("the hosts did not start");
        return result;
    }
    SoakRunner runner(soak, result, progress);
    // Each kind of run once for every instance it involves: what the first run of a kind allocates for
    // good (a dialog class, a menu window, a cached font) is not counted as growth.
    runner.Copies(2);
    runner.Chooser(2 * 3);
    runner.Responder(kInstanceCount);
    result.warmUps = result.runs;
    Idle(soak);
    for (int i = 0; i < kInstanceCount; ++i) {
        std::string name = std::string(kInstances[i].name) + " (" + kRoles[i] + ")";
        result.hosts.push_back({name, Holdings(*soak.hosts[i]), {}});
    }

    runner.Copies(plan.copies);
    runner.Chooser(plan.chooserRuns);
    runner.Responder(plan.responderRequests);

    if (!Idle(soak))
        result.leaks.push_back("a host that did not come back to its message loop");
    for (int i = 0; i < kInstanceCount; ++i)
        result.hosts[i].after = Holdings(*soak.hosts[i]);
    result.eventClosed = PathEventClosed();
    FindLeaks(result);
    return result;
}

std::string SoakResult::Table() const
{
    std::string md = "| Host | Handles | Windows | USER objects | GDI objects | Main window procedure after |\n"
                     "|---|---:|---:|---:|---:|---|\n";
    for (const SoakHostRow &row : hosts) {
        md += "| " + row.name + " | " + std::to_string(row.before.handles) + " -> " +
              std::to_string(row.after.handles) + " | " + std::to_string(row.before.windows) + " -> " +
              std::to_string(row.after.windows) + " | " +
              Cell(row.before, row.after, &HostHoldings::userObjects) + " | " +
              Cell(row.before, row.after, &HostHoldings::gdiObjects) + " | " +
              (row.after.mainProcOwn == 1 ? "the host's own" : "**another**") + " |\n";
    }
    md += "\nRuns: " + std::to_string(plan.copies) + " two-pane copies between A and B, " +
          std::to_string(plan.chooserRuns) + " chooser runs with four instances (every second one dismissed), " +
          std::to_string(plan.responderRequests) + " requests answered as responder, and " + std::to_string(warmUps) +
          " warm-up runs before them (each kind once per instance). Before: after the warm-up; after: the last "
          "run. Windows: the process's top-level and child windows; USER and GDI objects: GetGuiResources, "
          "which Wine does not implement. Named event after the last run: " +
          std::string(eventClosed ? "gone" : "**still open**") +
          ". Allowances: handles, USER and GDI objects +" + std::to_string(kGrowthAllowance) + ", windows +" +
          std::to_string(kWindowAllowance) + ".\n";
    for (const std::string &failure : failures)
        md += "\n- failed: " + failure;
    if (!failures.empty())
        md += "\n";
    return md;
}

std::string SoakResult::Summary() const
{
    std::string leaked;
    for (const std::string &leak : leaks)
        leaked += (leaked.empty() ? "" : "; ") + leak;
    return "soak: " + std::to_string(runs) + " runs, " + std::to_string(failed) + " failed, leaked: " +
           (leaked.empty() ? "none" : leaked);
}
