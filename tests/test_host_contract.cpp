// What a plug-in may rely on in its host, observed from inside plug-ins loaded by separate host
// processes: menu numbering, the record and its instance order, synchronous calls, and the copy
// command with its confirmation dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "host_protocol.h"
#include "support/test_support.h"

namespace {

// With PROBE.DLL and VORPAN.DLL side by side the probe sorts first.
constexpr UINT kProbeCommand = kHostCmdFirstPlugin;

std::string Hex(HWND hwnd)
{
    char text[16];
    snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

HWND WindowFromHex(const std::string &hex)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(hex.c_str(), nullptr, 16)));
}

// One DoProcess call as the probe logged it.
struct ProbeCall {
    HWND main = nullptr, fileList = nullptr;
    int count = 0;
    std::vector<HWND> windows;
    std::string path;
    bool active = false;

    // "<n> main=<hex> list=<hex> count=<n> windows=<hex>,... path=<path> active=<0|1>"; the path may hold
    // spaces, so it ends at the last " active=".
    bool Parse(const std::string &line)
    {
        static const std::regex kLine(
            "\\d+ main=(\\w+) list=(\\w+) count=(-?\\d+) windows=([\\w,]*) path=(.*) active=([01])");
        std::smatch field;
        if (!std::regex_match(line, field, kLine))
            return false;
        main = WindowFromHex(field[1]);
        fileList = WindowFromHex(field[2]);
        count = std::stoi(field[3]);
        std::istringstream list(field[4]);
        windows.clear();
        for (std::string hex; std::getline(list, hex, ',');)
            windows.push_back(WindowFromHex(hex));
        path = field[5];
        active = field[6] == "1";
        return true;
    }
    // What the record told of the caller, the window handles aside.
    std::string Record() const
    {
        return "main=" + Hex(main) + " list=" + Hex(fileList) + " count=" + std::to_string(count) +
               " windows=" + std::to_string(windows.size()) + " path=" + path;
    }
};

// The probe's log beside it in the plug-in folder, line by line; empty before its first call.
class ProbeLog {
public:
    explicit ProbeLog(const PluginFolder &plugins) : path_(plugins.folder.Path("PROBE.LOG")) {}

    std::vector<std::string> Lines(const std::string &prefix) const
    {
        std::string text;
        ReadFileText(path_, &text);
        std::istringstream in(text);
        std::vector<std::string> lines;
        // A line without its line feed is still being written.
        for (std::string line; std::getline(in, line) && !in.eof();)
            if (line.compare(0, prefix.size(), prefix) == 0)
                lines.push_back(line.substr(prefix.size()));
        return lines;
    }
    std::vector<std::string> CallLines() const { return Lines("call="); }
    std::vector<std::string> Events() const { return Lines("event="); }

private:
    std::string path_;
};

// Sends the probe's command to host and returns the record of the one call it made. The log is read as
// soon as the send returns, without pumping or waiting: a host that deferred the call would not have logged it.
::testing::AssertionResult CallProbe(const ProbeLog &log, const HostInstance &host, ProbeCall *call)
{
    size_t before = log.CallLines().size();
    if (!SendCommand(host.hwnd, kProbeCommand))
        return ::testing::AssertionFailure() << "the host did not take the command";
    std::vector<std::string> lines = log.CallLines();
    if (lines.size() != before + 1)
        return ::testing::AssertionFailure() << "expected one new call, got " << lines.size() - before;
    if (!call->Parse(lines.back()))
        return ::testing::AssertionFailure() << "unreadable line: " << lines.back();
    if (call->main != host.hwnd)
        return ::testing::AssertionFailure() << "the call came from main=" << Hex(call->main);
    return ::testing::AssertionSuccess();
}

// Names windows by their hosts' names: "A,B,C" reads better than handles.
std::string Names(const std::vector<HWND> &windows, const std::map<std::string, const HostInstance *> &hosts)
{
    std::string text;
    for (HWND hwnd : windows) {
        auto found =
            std::find_if(hosts.begin(), hosts.end(), [&](const auto &host) { return host.second->hwnd == hwnd; });
        text += (text.empty() ? "" : ",") + (found != hosts.end() ? found->first : Hex(hwnd));
    }
    return text;
}

// ---- Menu numbering ----

// Which plug-in a command reached, told apart by what each leaves behind: the probe a log line,
// VORPAN (a responder here, as the peer window is the active instance) its path reports.
constexpr char kProbe[] = "the probe", kVorpan[] = "VORPAN", kNone[] = "no plug-in";

struct NumberingGroup {
    const char *name;
    PluginFolder::Contents contents;
    std::vector<std::pair<UINT, std::string>> reached;  // a command and the plug-in it reaches
};

TEST(HostMenuNumbering, PluginItemsCountFrom33100InFileNameOrder)
{
    ScratchFolder scratch({"作業\\"});
    ASSERT_TRUE(scratch.ok()) << scratch.error;
    PeerInstanceWindow peer;
    ASSERT_TRUE(peer.ok()) << peer.error;
    const NumberingGroup groups[] = {
        {"the probe alone", PluginFolder::kProbeOnly, {{33100, kProbe}, {33101, kNone}}},
        {"PROBE.DLL and VORPAN.DLL", PluginFolder::kVorpanAndProbe,
         {{33100, kProbe}, {33101, kVorpan}, {33102, kNone}}},
    };
    for (const NumberingGroup &group : groups) {
        SCOPED_TRACE(group.name);
        PluginFolder plugins(group.contents);
        ASSERT_TRUE(plugins.ok()) << plugins.error;
        HostInstance host({"/path=" + scratch.Path("作業"), plugins.HostOption()});
        ASSERT_TRUE(host.ok()) << host.error;
        ASSERT_TRUE(peer.Activate());
        ProbeLog log(plugins);
        for (const auto &c : group.reached) {
            SCOPED_TRACE("command " + std::to_string(c.first));
            size_t lines = log.CallLines().size();
            peer.received.clear();
            LRESULT calls = host.Query(kQueryPluginCalls);
            ASSERT_TRUE(SendCommand(host.hwnd, c.first));

            bool probeRan = log.CallLines().size() > lines, vorpanAnswered = !peer.received.empty();
            std::string actual = probeRan && vorpanAnswered ? "both plug-ins"
                                 : probeRan                 ? kProbe
                                 : vorpanAnswered           ? kVorpan
                                                            : kNone;
            EXPECT_EQ(actual, c.second)
                << "probe lines " << log.CallLines().size() - lines << ", reports " << peer.received.size();
            EXPECT_EQ(host.Query(kQueryPluginCalls) - calls, c.second == kNone ? 0 : 1);
            for (const ReceivedCopyData &report : peer.received)
                EXPECT_EQ(report.sender, host.hwnd) << "a report from another window";
        }
    }
}

// ---- The record ----

TEST(HostRecord, DescribesTheCallingInstance)
{
    Desktop desktop({"ソフト\\表示\\"}, {On("real", "ソフト\\表示"), On("virtual", "")}, kNoSettings,
                    PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop));
    ProbeLog log(desktop.plugins);
    // A folder with a Japanese name, and the virtual folder.
    for (const std::string name : {"real", "virtual"}) {
        SCOPED_TRACE(name);
        const HostInstance &host = desktop.Host(name);
        ProbeCall call;
        ASSERT_TRUE(CallProbe(log, host, &call));
        const std::string path = name == "real" ? desktop.Path("ソフト\\表示") : "";
        EXPECT_EQ(call.Record(),
                  "main=" + Hex(host.hwnd) + " list=" + Hex(host.FileList()) + " count=2 windows=2 path=" + path);
    }
}

// After activating one host, each caller's list, and whether the caller's GetActiveWindow gave hwndMain.
constexpr char kStartC[] = "start C";  // in place of a host to activate: C is started

struct OrderStep {
    const char *activate;  // host made active first ("" for none)
    const char *caller;    // host whose probe is called ("" for none)
    const char *order;     // the instances it is given
};

TEST(HostRecord, ListsThePreviouslyActiveInstanceFirstAndThisOneLast)
{
    Desktop desktop({"一\\", "二\\", "三\\"}, {On("A", "一"), On("B", "二")}, kNoSettings, PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop));
    ProbeLog log(desktop.plugins);
    std::map<std::string, const HostInstance *> hosts = {{"A", &desktop.Host("A")}, {"B", &desktop.Host("B")}};

    // Calls do not change the activation, so each caller sees the order the last Activate made. With C
    // started too, activations A, B, C, then A, then B: the active one is first for the others, and for
    // itself the one active before it.
    const OrderStep steps[] = {
        {"A", "A", "B,A"}, {"", "B", "A,B"}, {"B", "B", "A,B"}, {"", "A", "B,A"}, {kStartC, "", ""},
        {"A", "", ""}, {"B", "", ""}, {"C", "C", "B,A,C"}, {"", "A", "C,B,A"}, {"", "B", "C,A,B"},
        {"A", "A", "C,B,A"}, {"", "B", "A,C,B"}, {"", "C", "A,B,C"}, {"B", "B", "A,C,B"}, {"", "C", "B,A,C"},
    };
    std::unique_ptr<HostInstance> c;
    std::string active;
    for (const OrderStep &step : steps) {
        if (step.activate == kStartC) {
            c.reset(new HostInstance({"/path=" + desktop.Path("三"), desktop.plugins.HostOption()}));
            ASSERT_TRUE(c->ok()) << c->error;
            hosts["C"] = c.get();
        } else if (step.activate[0] != '\0') {
            ASSERT_TRUE(Activate(hosts[step.activate]->hwnd)) << step.activate;
            active = step.activate;
        }
        if (step.caller[0] == '\0')
            continue;
        SCOPED_TRACE(std::string(step.caller) + " calls, " + active + " active");
        ProbeCall call;
        ASSERT_TRUE(CallProbe(log, *hosts[step.caller], &call));
        EXPECT_EQ(std::to_string(call.count) + " " + Names(call.windows, hosts) + (call.active ? " active" : ""),
                  std::to_string(hosts.size()) + " " + step.order + (active == step.caller ? " active" : ""))
            << "instanceCount, instanceWindows, and whether GetActiveWindow in DoProcess gave hwndMain";
    }
}

// ---- Synchronous plug-in calls ----

TEST(HostPluginCommand, ReachesDoProcessBeforeSendMessageReturns)
{
    Desktop desktop({"作業\\"}, {On("host", "作業")}, kNoSettings, PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop));
    ProbeCall call;
    EXPECT_TRUE(CallProbe(ProbeLog(desktop.plugins), desktop.Host("host"), &call));
}

// ---- The copy command and its confirmation dialog ----

TEST(HostCopyCommand, DeactivatesTheMainWindowForTheDialogBeforeShowingIt)
{
    Desktop desktop({"作業\\報告書.txt"}, {Selecting("host", "作業")}, kNoSettings, PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop) && desktop.plugins.folder.AddFile("PROBE.MODE", "copy"));
    const HostInstance &host = desktop.Host("host");
    ProbeLog log(desktop.plugins);

    ASSERT_TRUE(ChooseCommand(host, kProbeCommand));
    HWND dialog = WaitForConfirmDialog(host, expected::kConfirmTitle);
    ASSERT_NE(dialog, nullptr);
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitForRunEnd(host));

    // The first two events, and as the last the command's return: it returns only after the dialog closed.
    const std::vector<std::string> events = log.Events();
    ASSERT_GE(events.size(), 2u) << ::testing::PrintToString(events);
    const std::vector<std::string> expected = {
        "main-activate state=0 other=" + Hex(dialog) + " title=" + std::string(expected::kConfirmTitle),
        "dialog-show show=1", "copy-returned"};
    EXPECT_EQ(std::vector<std::string>({events[0], events[1], events.back()}), expected)
        << "all events: " << ::testing::PrintToString(events);
    EXPECT_EQ(host.Query(kQueryMainProcIsOwn), 1) << "the probe restored the main window";
    EXPECT_EQ(host.Query(kQueryDialogProcRestored), 1) << "the probe restored the dialog";
}

struct ConfirmCase {
    const char *name;
    int button;
    const char *destination;         // folder typed into the destination field
    std::vector<std::string> files;  // files expected there afterwards, with their contents
    LRESULT copied;
};

TEST(HostCopyCommand, CopiesTheSelectionOnOkAndNothingOnCancel)
{
    Desktop desktop({"作業\\報告書.txt", "作業\\memo.txt", "作業\\残す.txt", "宛先OK\\", "宛先取消\\"},
                    {On("host", "作業", {"/select=報告書.txt|memo.txt"})}, kNoSettings, PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop) && desktop.plugins.folder.AddFile("PROBE.MODE", "copy"));
    const HostInstance &host = desktop.Host("host");

    const std::vector<ConfirmCase> cases = {
        {"Cancel", IDCANCEL, "宛先取消", {}, -1},
        {"OK", IDOK, "宛先OK", {"報告書.txt", "memo.txt"}, 2},
    };
    for (const ConfirmCase &c : cases) {
        SCOPED_TRACE(c.name);
        LRESULT calls = host.Query(kQueryPluginCalls);
        ASSERT_TRUE(ChooseCommand(host, kProbeCommand));
        HWND dialog = WaitForConfirmDialog(host, expected::kConfirmTitle);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(host.Query(kQueryPluginReturns), calls) << "DoProcess is still inside the copy command";
        // The user types another folder as the destination.
        const std::string destination = desktop.Path(c.destination);
        ASSERT_TRUE(TypeDestination(dialog, destination));
        ASSERT_EQ(ReadConfirmDialog(dialog).destination, destination);
        PressButton(dialog, c.button);
        ASSERT_TRUE(WaitForRunEnd(host));

        EXPECT_EQ(host.Query(kQueryCopiedFiles), c.copied);
        std::vector<std::string> expectedNames = c.files;
        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(FilesIn(destination), expectedNames) << "files in " << c.destination;
        for (const std::string &name : c.files)
            EXPECT_TRUE(FileHolds(destination + "\\" + name, "作業\\" + name));
    }
}

}  // namespace
