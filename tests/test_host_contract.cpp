// What a plug-in may rely on in its host, observed from inside plug-ins loaded by separate host
// processes: menu numbering, the record and its instance order, synchronous calls, and the copy
// command with its confirmation dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host_protocol.h"
#include "support/test_support.h"

namespace {

// With PROBE.DLL and VORPAN.DLL side by side the probe sorts first.
constexpr UINT kProbeCommand = kHostCmdFirstPlugin;
constexpr UINT kVorpanBesideProbe = kHostCmdFirstPlugin + 1;

// One DoProcess call as the probe logged it.
struct ProbeCall {
    HWND main = nullptr;
    HWND fileList = nullptr;
    int count = 0;
    std::vector<HWND> windows;
    std::string path;
    bool active = false;
};

HWND WindowFromHex(const std::string &hex)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(hex.c_str(), nullptr, 16)));
}

std::string Hex(HWND hwnd)
{
    char text[16];
    snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

// The probe's log beside it in the plug-in folder, line by line; empty before its first call.
class ProbeLog {
public:
    explicit ProbeLog(const PluginFolder &plugins) : path_(plugins.folder.Path("PROBE.LOG")) {}

    std::vector<std::string> Lines(const char *prefix) const
    {
        std::string text;
        std::vector<std::string> lines;
        if (!ReadFileText(path_, &text))
            return lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (line.compare(0, strlen(prefix), prefix) == 0)
                lines.push_back(line.substr(strlen(prefix)));
        }
        return lines;
    }
    std::vector<std::string> CallLines() const { return Lines("call="); }
    std::vector<std::string> Events() const { return Lines("event="); }

    // "<n> main=<hex> list=<hex> count=<n> windows=<hex>,... path=<path> active=<0|1>"; the path may hold
    // spaces, so it ends at the last " active=".
    static bool Parse(const std::string &line, ProbeCall *call)
    {
        char main[16] = "", list[16] = "";
        int consumed = 0;
        if (sscanf(line.c_str(), "%*d main=%15s list=%15s count=%d windows=%n", main, list, &call->count,
                   &consumed) != 3 || consumed == 0)
            return false;
        call->main = WindowFromHex(main);
        call->fileList = WindowFromHex(list);
        size_t pathAt = line.find(" path=", consumed);
        size_t activeAt = line.rfind(" active=");
        if (pathAt == std::string::npos || activeAt == std::string::npos || activeAt < pathAt)
            return false;
        std::string windows = line.substr(consumed, pathAt - consumed);
        call->windows.clear();
        for (size_t start = 0; start < windows.size();) {
            size_t comma = windows.find(',', start);
            if (comma == std::string::npos)
                comma = windows.size();
            call->windows.push_back(WindowFromHex(windows.substr(start, comma - start)));
            start = comma + 1;
        }
        call->path = line.substr(pathAt + 6, activeAt - pathAt - 6);
        call->active = line.substr(activeAt + 8) == "1";
        return true;
    }

private:
    std::string path_;
};

// Sends the probe's command to host and returns the record of the one call it made.
::testing::AssertionResult CallProbe(const ProbeLog &log, const HostInstance &host, ProbeCall *call)
{
    size_t before = log.CallLines().size();
    if (!SendCommand(host.hwnd, kProbeCommand))
        return ::testing::AssertionFailure() << "the host did not take the command";
    std::vector<std::string> lines = log.CallLines();
    if (lines.size() != before + 1)
        return ::testing::AssertionFailure() << "expected one new call, got " << lines.size() - before;
    if (!ProbeLog::Parse(lines.back(), call))
        return ::testing::AssertionFailure() << "unreadable line: " << lines.back();
    if (call->main != host.hwnd)
        return ::testing::AssertionFailure() << "the call came from main=" << Hex(call->main);
    return ::testing::AssertionSuccess();
}

// Names windows for messages: "A,B,C" reads better than handles.
std::string Names(const std::vector<HWND> &windows, const std::map<HWND, std::string> &names)
{
    std::string text;
    for (HWND hwnd : windows) {
        auto found = names.find(hwnd);
        text += (text.empty() ? "" : ",") + (found != names.end() ? found->second : Hex(hwnd));
    }
    return text;
}

// ---- Menu numbering ----

// Which plug-in a command reached, told apart by what each leaves behind: the probe a log line,
// VORPAN (a responder here, as the peer window is the active instance) its path reports.
enum class Reached { kProbe, kVorpan, kNone };

const char *ReachedName(Reached reached)
{
    static const char *const kNames[] = {"the probe", "VORPAN", "no plug-in"};
    return kNames[static_cast<int>(reached)];
}

struct NumberingCase {
    UINT command;
    Reached expected;
};

struct NumberingGroup {
    const char *name;
    PluginFolder::Contents contents;
    std::vector<NumberingCase> cases;
};

TEST(HostMenuNumbering, PluginItemsCountFrom33100InFileNameOrder)
{
    ScratchFolder scratch({"作業\\"});
    ASSERT_TRUE(scratch.ok()) << scratch.error;
    PeerInstanceWindow peer;
    ASSERT_TRUE(peer.ok()) << peer.error;
    const std::vector<NumberingGroup> groups = {
        {"the probe alone", PluginFolder::kProbeOnly,
         {{33100, Reached::kProbe}, {33101, Reached::kNone}}},
        {"PROBE.DLL and VORPAN.DLL", PluginFolder::kVorpanAndProbe,
         {{33100, Reached::kProbe}, {33101, Reached::kVorpan}, {33102, Reached::kNone}}},
    };
    for (const NumberingGroup &group : groups) {
        SCOPED_TRACE(group.name);
        PluginFolder plugins(group.contents);
        ASSERT_TRUE(plugins.ok()) << plugins.error;
        HostInstance host({"/path=" + scratch.Path("作業"), plugins.HostOption()});
        ASSERT_TRUE(host.ok()) << host.error;
        ASSERT_TRUE(peer.Activate());
        ProbeLog log(plugins);
        for (const NumberingCase &c : group.cases) {
            SCOPED_TRACE("command " + std::to_string(c.command));
            size_t lines = log.CallLines().size();
            peer.received.clear();
            LRESULT calls = host.Query(kQueryPluginCalls);
            ASSERT_TRUE(SendCommand(host.hwnd, c.command));

            bool probeRan = log.CallLines().size() > lines;
            bool vorpanAnswered = !peer.received.empty();
            std::string actual = probeRan && vorpanAnswered ? "both plug-ins"
                                 : probeRan                 ? ReachedName(Reached::kProbe)
                                 : vorpanAnswered           ? ReachedName(Reached::kVorpan)
                                                            : ReachedName(Reached::kNone);
            EXPECT_EQ(actual, ReachedName(c.expected))
                << "probe lines " << log.CallLines().size() - lines << ", reports " << peer.received.size();
            EXPECT_EQ(host.Query(kQueryPluginCalls) - calls, c.expected == Reached::kNone ? 0 : 1);
            for (const ReceivedCopyData &report : peer.received)
                EXPECT_EQ(report.sender, host.hwnd) << "a report from another window";
        }
    }
}

// ---- The record ----

struct RecordCase {
    const char *name;
    const HostInstance *host;
    std::string path;
};

TEST(HostRecord, DescribesTheCallingInstance)
{
    Desktop desktop({"ソフト\\表示\\"}, {On("real", "ソフト\\表示"), On("virtual", "")}, kNoSettings,
                    PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop));
    ProbeLog log(desktop.plugins);

    const std::vector<RecordCase> cases = {
        {"a folder with a Japanese name", &desktop.Host("real"), desktop.Path("ソフト\\表示")},
        {"the virtual folder", &desktop.Host("virtual"), ""},
    };
    for (const RecordCase &c : cases) {
        SCOPED_TRACE(c.name);
        ProbeCall call;
        ASSERT_TRUE(CallProbe(log, *c.host, &call));
        EXPECT_EQ(Hex(call.main), Hex(c.host->hwnd)) << "hwndMain";
        EXPECT_EQ(Hex(call.fileList), Hex(c.host->FileList())) << "hwndFileList";
        EXPECT_EQ(call.path, c.path) << "currentPath";
        EXPECT_EQ(call.count, 2) << "instanceCount";
        EXPECT_EQ(static_cast<int>(call.windows.size()), call.count);
    }
}

// After activating one host, each caller's list: count, the first element and this instance last,
// the others present once each; active tells whether the caller's GetActiveWindow gave hwndMain.
constexpr char kStartC[] = "start C";  // in place of a host to activate: C is started

struct OrderStep {
    const char *activate;  // host made active first ("" for none)
    const char *caller;    // host whose probe is called ("" for none)
    const char *first;
};

TEST(HostRecord, ListsThePreviouslyActiveInstanceFirstAndThisOneLast)
{
    Desktop desktop({"一\\", "二\\", "三\\"}, {On("A", "一"), On("B", "二")}, kNoSettings, PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop));
    ProbeLog log(desktop.plugins);
    std::map<std::string, const HostInstance *> hosts = {{"A", &desktop.Host("A")}, {"B", &desktop.Host("B")}};
    std::map<HWND, std::string> names = {{desktop.Window("A"), "A"}, {desktop.Window("B"), "B"}};

    // Calls do not change the activation, so each caller sees the order the last Activate made. With C
    // started too, activations A, B, C, then A, then B: the active one is first for the others, and for
    // itself the one active before it.
    const OrderStep steps[] = {
        {"A", "A", "B"}, {"", "B", "A"}, {"B", "B", "A"}, {"", "A", "B"},
        {kStartC, "", ""}, {"A", "", ""}, {"B", "", ""}, {"C", "C", "B"}, {"", "A", "C"}, {"", "B", "C"},
        {"A", "A", "C"}, {"", "B", "A"}, {"", "C", "A"}, {"B", "B", "A"}, {"", "C", "B"},
    };
    std::unique_ptr<HostInstance> c;
    std::string active;
    for (const OrderStep &step : steps) {
        if (step.activate == kStartC) {
            c.reset(new HostInstance({"/path=" + desktop.Path("三"), desktop.plugins.HostOption()}));
            ASSERT_TRUE(c->ok()) << c->error;
            hosts["C"] = c.get();
            names[c->hwnd] = "C";
        } else if (step.activate[0] != '\0') {
            ASSERT_TRUE(Activate(hosts[step.activate]->hwnd)) << step.activate;
            active = step.activate;
        }
        if (step.caller[0] == '\0')
            continue;
        SCOPED_TRACE(std::string(step.caller) + " calls, " + active + " active");
        ProbeCall call;
        ASSERT_TRUE(CallProbe(log, *hosts[step.caller], &call));
        std::string actual = Names(call.windows, names);
        EXPECT_EQ(call.count, static_cast<int>(hosts.size())) << actual;
        ASSERT_EQ(static_cast<int>(call.windows.size()), call.count) << actual;
        EXPECT_EQ(Names({call.windows.front()}, names), step.first) << actual;
        EXPECT_EQ(Names({call.windows.back()}, names), step.caller) << actual;
        std::vector<HWND> sorted = call.windows, all;
        for (const auto &host : hosts)
            all.push_back(host.second->hwnd);
        std::sort(sorted.begin(), sorted.end());
        std::sort(all.begin(), all.end());
        EXPECT_EQ(sorted, all) << actual;
        EXPECT_EQ(call.active, active == step.caller) << "GetActiveWindow in DoProcess";
    }
}

// ---- Synchronous plug-in calls ----

TEST(HostPluginCommand, ReachesDoProcessBeforeSendMessageReturns)
{
    Desktop desktop({"作業\\"}, {On("host", "作業")}, kNoSettings, PluginFolder::kProbeOnly);
    ASSERT_TRUE(Ready(desktop));
    const HostInstance &host = desktop.Host("host");
    ProbeLog log(desktop.plugins);
    const size_t before = log.CallLines().size();

    SendMessageA(host.hwnd, WM_COMMAND, kProbeCommand, 0);
    // Read at once, without pumping or waiting: a host that deferred the call would not have logged it.
    const std::vector<std::string> lines = log.CallLines();

    ASSERT_EQ(lines.size(), before + 1);
    ProbeCall call;
    ASSERT_TRUE(ProbeLog::Parse(lines.back(), &call)) << lines.back();
    EXPECT_EQ(Hex(call.main), Hex(host.hwnd));
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

    const std::vector<std::string> expected = {
        "main-activate state=0 other=" + Hex(dialog) + " title=" + std::string(expected::kConfirmTitle),
        "dialog-show show=1",
    };
    const std::vector<std::string> events = log.Events();
    std::string all;
    for (const std::string &event : events)
        all += "  " + event + "\n";
    ASSERT_GE(events.size(), expected.size()) << all;
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + expected.size()), expected)
        << "all events:\n" << all;
    EXPECT_EQ(events.back(), "copy-returned") << "the command returns only after the dialog closed";
    EXPECT_EQ(host.Query(kQueryMainProcIsOwn), 1) << "the probe restored the main window";
    EXPECT_EQ(host.Query(kQueryDialogProcRestored), 1) << "the probe restored the dialog";
}

struct ConfirmCase {
    const char *name;
    int button;
    const char *destination;      // folder typed into the destination field
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
        for (const std::string &name : c.files) {
            EXPECT_TRUE(FileHolds(destination + "\\" + name, "作業\\" + name));
        }
    }
}

}  // namespace
