// The soak's runs, one after another on four stand-in hosts, each counted and checked; see soak_run.h.
#include "soak_run.h"

#include <memory>

#include "harness/harness.h"
#include "holdings.h"
#include "host_protocol.h"

namespace {

// Failures whose text the result keeps; the count goes on.
constexpr size_t kFailuresKept = 10;

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

    std::vector<const HostInstance *> All() const
    {
        std::vector<const HostInstance *> all;
        for (const auto &host : hosts)
            all.push_back(host.get());
        return all;
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

// Every host has handled all that was sent and posted to it, and no run is going on.
bool Idle(const Soak &soak)
{
    for (const auto &host : soak.hosts) {
        if (!WaitForRunEnd(*host))
            return false;
    }
    return Settle(soak.All());
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
Outcome Arrived(const std::string &folder, int source)
{
    std::string copy = folder + "\\" + kInstances[source].file;
    std::string content;
    bool read = ReadFileText(copy, &content);
    DeleteFileA(copy.c_str());
    std::string expected = std::string(kInstances[source].folder) + "\\" + kInstances[source].file;
    if (read && content == expected)
        return Outcome::Ok();
    return Outcome::Failed(copy + (read ? " holds \"" + content + "\"" : " did not arrive"));
}

Outcome CopyRun(const Soak &soak, int source, int target)
{
    const HostInstance &from = *soak.hosts[source];
    Outcome copied = CopyThroughFilled(from, soak.hosts[target]->hwnd, soak.folders[target]);
    if (!copied)
        return copied;
    Outcome arrived = Arrived(soak.folders[target], source);
    return arrived ? CheckRunEnded(from) : arrived;
}

// The chooser's items are B, C, D (the order of their activation) and A itself; item -1 dismisses it.
Outcome ChooserRun(const Soak &soak, int item)
{
    const HostInstance &a = *soak.hosts[kA];
    LRESULT calls = a.Query(kQueryPluginCalls);
    std::vector<BYTE> keys(item < 0 ? 0 : item, VK_DOWN);
    keys.push_back(item < 0 ? VK_ESCAPE : VK_RETURN);
    Outcome chosen = TypeIntoChooser(a, keys);
    if (!chosen)
        return chosen;
    if (item < 0) {
        if (!WaitForRunEndAfter(a, calls))
            return Outcome::Failed("the run did not end after Escape");
        return CheckRunEnded(a);
    }
    const int target = kB + item;
    Outcome confirmed = ConfirmFilled(a, soak.folders[target], calls);
    if (!confirmed)
        return confirmed;
    Outcome arrived = Arrived(soak.folders[target], kA);
    return arrived ? CheckRunEnded(a) : arrived;
}

// peer, the most recently active instance, asks host for its paths as a requester would.
Outcome ResponderRun(const Soak &soak, int responder, PeerInstanceWindow &peer)
{
    const HostInstance &host = *soak.hosts[responder];
    peer.received.clear();
    if (!SendCommand(host.hwnd, kVorpanCommand))
        return Outcome::Failed("the command was not taken");
    const std::string &folder = soak.folders[responder];
    const std::string expected[] = {folder + '\0', folder + "\\" + '\0'};
    bool answered = peer.received.size() == 2;
    for (size_t i = 0; answered && i < 2; ++i) {
        const ReceivedCopyData &report = peer.received[i];
        answered = report.sender == host.hwnd && report.kind == i && report.bytes == expected[i];
    }
    if (!answered)
        return Outcome::Failed(std::to_string(peer.received.size()) + " reports, not \"" + folder +
                               "\" and its tree path");
    return CheckRunEnded(host);
}

class SoakRunner {
public:
    SoakRunner(Soak &soak, SoakResult &result, const std::function<void(const std::string &)> &progress)
        : soak_(soak), result_(result), progress_(progress)
    {
    }

    // Counts the run, and after a failure ends what it left open in every host.
    void Record(const char *kind, int index, const Outcome &outcome)
    {
        ++result_.runs;
        if (!outcome) {
            ++result_.failed;
            std::string failure = std::string(kind) + " " + std::to_string(index) + ": " + outcome.why;
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
        WriteState(soak_.plugins, state_flag::kChooseTarget);
        // The menu lists B, C, D in this order: the most recently active other instance first.
        for (int i : {kD, kC, kB}) {
            if (!Activate(soak_.hosts[i]->hwnd))
                Record("chooser", -1, Outcome::Failed(std::string(kInstances[i].name) + " could not be activated"));
        }
        for (int i = 0; i < count; ++i)
            Record("chooser", i, ChooserRun(soak_, i % 2 == 0 ? -1 : (i / 2) % 3));
    }

    void Responder(int count)
    {
        // A window of the hosts' class: while it exists, every host counts it as one more instance.
        PeerInstanceWindow peer("soak requester");
        if (!peer.ok() || !peer.Activate()) {
            Record("responder", -1, Outcome::Failed("no requester window: " + peer.error));
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
