// The soak's runs, one after another on four stand-in hosts, each counted and checked; see soak_run.h.
#include "soak_run.h"

#include "harness/harness.h"
#include "holdings.h"
#include "host_protocol.h"

namespace {

// Failures whose text the result keeps; the count goes on.
constexpr size_t kFailuresKept = 10;

// A copies to B and B to A; A chooses among B, C and D; all four answer as responders. The folder
// names hold double-byte characters whose trail byte is "\" (ソ, 表, 十, 能). A's file is 作業\報告書.txt,
// B's ソフト\表示\表.txt, each selected; a copied file holds its path below the scratch folder.
const char *const kNames[] = {"A", "B", "C", "D"};
const char *const kFolders[] = {"作業", "ソフト\\表示", "資料", "十能"};
const char *const kFiles[] = {"報告書.txt", "表.txt"};
enum { kA, kB, kC, kD, kInstanceCount };
const char *const kRoles[] = {"copies to and from B; chooses among B, C, D; responds",
                              "copies to and from A; chosen; responds", "chosen; responds", "chosen; responds"};

// Every host has handled all that was sent and posted to it, and no run is going on.
bool Idle(const Desktop &desktop)
{
    for (const HostInstance *host : desktop.Hosts()) {
        if (!WaitForRunEnd(*host))
            return false;
    }
    return Settle(desktop.Hosts());
}

// The file copied into target's folder came from source and is removed again: the host never
// overwrites, and the next copy of the same file must find the folder as before.
Outcome Arrived(const Desktop &desktop, int target, int source)
{
    const std::string copy = desktop.Path(std::string(kFolders[target]) + "\\" + kFiles[source]);
    const std::string expected = std::string(kFolders[source]) + "\\" + kFiles[source];
    std::string content;
    bool read = ReadFileText(copy, &content);
    DeleteFileA(copy.c_str());
    if (read && content == expected)
        return Outcome::Ok();
    return Outcome::Failed(copy + (read ? " holds \"" + content + "\"" : " did not arrive"));
}

// A copy from source into the previously active target's folder through the filled-in dialog.
Outcome CopyRun(Desktop &desktop, int source, int target)
{
    Outcome copied = RunExpected(desktop, {kNames[source], {step::Filled(kFolders[target])}, {kNames[target]}});
    return copied ? Arrived(desktop, target, source) : copied;
}

// The chooser's items are B, C, D (the order of their activation) and A itself; item -1 dismisses it.
Outcome ChooserRun(Desktop &desktop, int item)
{
    std::vector<BYTE> keys(item < 0 ? 0 : item, VK_DOWN);
    keys.push_back(item < 0 ? VK_ESCAPE : VK_RETURN);
    std::vector<Step> steps = {step::Menu(keys)};
    if (item >= 0)
        steps.push_back(step::Filled(kFolders[kB + item]));
    Outcome chosen = RunExpected(desktop, {kNames[kA], steps});
    return chosen && item >= 0 ? Arrived(desktop, kB + item, kA) : chosen;
}

// peer, the most recently active instance, asks the responder for its paths as a requester would.
Outcome ResponderRun(Desktop &desktop, int responder, PeerInstanceWindow &peer)
{
    peer.received.clear();
    Outcome ran = RunExpected(desktop, {kNames[responder], {}, {}, ExpectedRun::kSent});
    if (!ran)
        return ran;
    const std::string folder = desktop.Path(kFolders[responder]);
    const std::string expected[] = {folder + '\0', folder + "\\" + '\0'};
    bool answered = peer.received.size() == 2;
    for (size_t i = 0; answered && i < 2; ++i) {
        const ReceivedCopyData &report = peer.received[i];
        answered = report.sender == desktop.Window(kNames[responder]) && report.kind == i &&
                   report.bytes == expected[i];
    }
    if (!answered)
        return Outcome::Failed(std::to_string(peer.received.size()) + " reports, not \"" + folder +
                               "\" and its tree path");
    return Outcome::Ok();
}

class SoakRunner {
public:
    SoakRunner(Desktop &soak, SoakResult &result, const std::function<void(const std::string &)> &progress)
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
            for (const HostInstance *host : soak_.Hosts())
                EndRun(*host);
        }
        if (result_.runs % 100 == 0)
            Say(std::to_string(result_.runs) + " runs, " + std::to_string(result_.failed) + " failed");
    }

    void Copies(int count)
    {
        soak_.SetState(0);
        for (int i = 0; i < count; ++i)
            Record("copy", i, i % 2 == 0 ? CopyRun(soak_, kA, kB) : CopyRun(soak_, kB, kA));
    }

    void Chooser(int count)
    {
        soak_.SetState(state_flag::kChooseTarget);
        // The menu lists B, C, D in this order: the most recently active other instance first.
        Outcome activated = soak_.Activate({"D", "C", "B"});
        if (!activated)
            Record("chooser", -1, activated);
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

    Desktop &soak_;
    SoakResult &result_;
    const std::function<void(const std::string &)> &progress_;
};

}  // namespace

SoakResult RunSoak(const SoakPlan &plan, const std::function<void(const std::string &)> &progress)
{
    SoakResult result;
    result.plan = plan;
    // A last: the first copy starts in the active instance.
    Desktop soak({"作業\\報告書.txt", "ソフト\\表示\\表.txt", "資料\\", "十能\\"},
                 {On("D", kFolders[kD]), On("C", kFolders[kC]), Selecting("B", kFolders[kB]),
                  Selecting("A", kFolders[kA])});
    if (!soak.Ready()) {
        result.failed = 1;
        result.failures.push_back("the hosts did not start: " + soak.Ready().why);
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
        std::string name = std::string(kNames[i]) + " (" + kRoles[i] + ")";
        result.hosts.push_back({name, Holdings(soak.Host(kNames[i])), {}});
    }

    runner.Copies(plan.copies);
    runner.Chooser(plan.chooserRuns);
    runner.Responder(plan.responderRequests);

    if (!Idle(soak))
        result.leaks.push_back("a host that did not come back to its message loop");
    for (int i = 0; i < kInstanceCount; ++i)
        result.hosts[i].after = Holdings(soak.Host(kNames[i]));
    result.eventClosed = PathEventClosed();
    FindLeaks(result);
    return result;
}
