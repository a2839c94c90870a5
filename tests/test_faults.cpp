// The two-pane copy when the world around it misbehaves (requests arriving while a run waits, targets that hang
// or vanish, forged path reports, a stranger holding the plug-in's event, folders at the path length limit), where
// nothing may crash, no file may go to a wrong folder, and every run must end with the window procedures restored.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "host_protocol.h"
#include "support/test_support.h"

namespace {

// A third instance asks source for its paths. Raised without activation, it is source's most recent
// other instance, where source's plug-in sends the answer; source's main window stays active.
bool AskAsThirdInstance(const HostInstance &source, HWND third)
{
    SetWindowPos(third, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return SendCommand(source.hwnd, kVorpanCommand);
}

// ---- Requests arriving while a run waits ----

// A third instance asks the requester for its paths while it waits, in its request for the target's answer or
// with its filled-in dialog open, its main window still active: it answers as a responder, its run goes on untouched.
TEST(Reentrancy, ARequestWhileTheRunWaitsIsAnsweredAndTheRunGoesOn)
{
    for (bool inTheRequest : {true, false}) {
        SCOPED_TRACE(inTheRequest ? "during the run's own request" : "while the dialog is open");
        Desktop desktop({"作業\\a.txt", "作業\\表.txt", "相手\\"},
                        {PeerWindow("third"), PeerWindow("target"), Selecting("source", "作業")});
        ASSERT_TRUE(Ready(desktop));
        PeerInstanceWindow &third = desktop.Peer("third"), &target = desktop.Peer("target");
        const HostInstance &source = desktop.Host("source");
        bool innerRequestAnswered = false;
        target.onRequest = [&] {
            if (inTheRequest)
                innerRequestAnswered = AskAsThirdInstance(source, third.hwnd);
            SendAnswer(source.hwnd, target.hwnd, desktop.Path("相手"));
        };
        const Step dialog = step::Filled("相手").Then([&](HWND) {
            if (!inTheRequest)
                innerRequestAnswered = AskAsThirdInstance(source, third.hwnd);
            return Outcome::Ok();
        });

        RunCounts counts;
        EXPECT_TRUE(Runs(desktop, {"source", {dialog}}, &counts));
        EXPECT_TRUE(innerRequestAnswered);
        // What the answer holds is the responder's own table's (test_path_exchange.cpp).
        EXPECT_EQ(third.received.size(), 2u) << "the third instance got no whole answer";
        EXPECT_EQ(counts.requests["target"], 1);
        EXPECT_EQ(FilesIn(desktop.Path("相手")), (std::vector<std::string>{"a.txt", "表.txt"}));
        EXPECT_EQ(source.Query(kQueryPluginCalls), 2);
        EXPECT_EQ(source.Query(kQueryDialogProcRestored), 1);
    }
}

// ---- Who acts and who is asked ----

// An instance asked for its paths answers, shows nothing and starts no copy, whatever its thread holds: its main
// window active behind the requester's foreground (started in the background, or its own dialog closed there), or
// the foreground, clicked just as it is asked. So does one whose command another program posts while active behind.
TEST(Role, AnInstanceAskedAnswersAndStartsNothingWhateverItsThreadHoldsActive)
{
    enum Ask { kTwoPaneCopy, kChooser, kPosted };
    struct Case {
        const char *name;
        Ask ask;
        WPARAM stage;  // what the asked instance B's host does
        LRESULT role;  // what B's main window was when its plug-in was called
        int calls;     // B's plug-in calls: the chooser asks the chosen instance again
    };
    const Case cases[] = {
        {"two-pane copy, the asked instance active behind the foreground", kTwoPaneCopy, kStageActiveBehind,
         kSeenActive, 1},
        {"chooser, an asked instance active behind the foreground", kChooser, kStageActiveBehind, kSeenActive, 2},
        {"two-pane copy, the asked instance clicked just as it is asked", kTwoPaneCopy, kStageForegroundWhenAsked,
         kSeenActive | kSeenForeground, 1},
        {"the command posted to an instance active behind the foreground", kPosted, kStageActiveBehind,
         kSeenActive, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Desktop desktop({"作業\\a.txt", "相手\\b.txt", "第三\\"},
                        {On("C", "第三"), Selecting("B", "相手").Staged(c.stage), Selecting("A", "作業")},
                        c.ask == kChooser ? expected::kChooseTarget : 0);
        ASSERT_TRUE(Ready(desktop));
        const HostInstance &asked = desktop.Host("B");
        if (c.stage == kStageActiveBehind) {
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(asked.hwnd, nullptr), &info));
            ASSERT_EQ(info.hwndActive, asked.hwnd) << "B's thread does not hold its main window active";
            ASSERT_EQ(GetForegroundWindow(), desktop.Window("A"));
        }
        // Also when the user clicked elsewhere meanwhile: the host opens it while in the background.
        const Step dialog = step::Filled("相手", IDCANCEL).Then([&](HWND) {
            return ShowsAnything(asked.pid) ? Outcome::Failed("B shows a window of its run") : Outcome::Ok();
        });
        const ExpectedRun run = c.ask == kPosted    ? ExpectedRun{"B", {}, {}, ExpectedRun::kPosted}
                                : c.ask == kChooser ? ExpectedRun{"A", {step::Menu({VK_RETURN}), dialog}}
                                                    : ExpectedRun{"A", {dialog}};

        EXPECT_TRUE(Runs(desktop, run));
        EXPECT_EQ(asked.Query(kQueryRoleAtLastCall), c.role) << "B was not as the case needs";
        EXPECT_EQ(asked.Query(kQueryPluginCalls), c.calls);
        EXPECT_EQ(asked.Query(kQueryPluginReturns), c.calls);
        EXPECT_EQ(asked.Query(kQueryCopyCommands), 0) << "B started a copy";
        EXPECT_FALSE(ShowsAnything(asked.pid));
        EXPECT_EQ(desktop.Host("C").Query(kQueryCopyCommands), 0);
    }
}

// The messages of ours that a window of another program, listed by the host as an instance, gets.
std::atomic<int> foreignCommands, foreignReports;

LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    foreignCommands += message == WM_COMMAND;
    foreignReports += message == WM_COPYDATA;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The host's list of instances can name a window that is no instance any more: one of another program,
// with or without a menu bar of its own. It is never asked and never reported to: a command of ours would
// run whatever the number means there. The run goes on as for an instance that did not answer.
TEST(ForeignWindow, AWindowListedAsAnInstanceThatIsNoneGetsNoMessageOfOurs)
{
    Desktop desktop({"作業\\a.txt", "相手\\", "第三\\"}, {On("C", "第三"), On("B", "相手"), Selecting("A", "作業")});
    ASSERT_TRUE(Ready(desktop));
    const HostInstance &source = desktop.Host("A");
    struct Case {
        const char *name;
        const char *pluginMenu;  // null: no menu bar
        std::vector<std::string> menu;
    };
    const Case cases[] = {
        {"a window without a menu bar", nullptr, {}},
        {"a window whose menu bar lists our label", kPluginMenuText, {"元に戻す(&U)", kPluginMenuLabel}},
    };
    // Listed between B and C in the chooser: greyed, the others in order.
    const std::vector<Step> choices[] = {
        {step::Menu({VK_RETURN}), step::Filled("相手", IDCANCEL)},
        {step::Menu({VK_DOWN, VK_RETURN})},
        {step::Menu({VK_DOWN, VK_DOWN, VK_RETURN}), step::Filled("第三", IDCANCEL)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        foreignCommands = foreignReports = 0;
        ThreadWindow foreign(
            [&c] { return MakeMenuWindow("VorpanTestForeign", ForeignProc, "foreign", c.menu, c.pluginMenu); });
        ASSERT_NE(foreign.hwnd, nullptr);
        ASSERT_TRUE(AsAssertion(desktop.Activate({"C", "B"})));
        ASSERT_TRUE(source.Stage(kStageListAlso, reinterpret_cast<LPARAM>(foreign.hwnd)));

        // Listed as the previously active instance: the normal copy, after the notice if set.
        ASSERT_TRUE(source.Stage(kStageListAt, 0));
        for (int state : {expected::kNotifyFallback, 0}) {
            desktop.SetState(state);
            std::vector<Step> steps = {step::HostDialog("作業", IDCANCEL)};
            if (state != 0)
                steps.insert(steps.begin(), step::Notice(expected::kVirtualTargetText, IDOK));
            EXPECT_TRUE(Runs(desktop, {"A", steps})) << "State " << state;
        }
        // As the instance a responder reports to: no report.
        EXPECT_TRUE(Runs(desktop, {"A", {}, {}, ExpectedRun::kSent})) << "answering";
        desktop.SetState(expected::kChooseTarget);
        ASSERT_TRUE(source.Stage(kStageListAt, 1));
        for (const std::vector<Step> &steps : choices)
            EXPECT_TRUE(Runs(desktop, {"A", steps, {"C", "B"}})) << steps[0].keys.size() << " keys into the chooser";
        ASSERT_TRUE(source.Stage(kStageListAlso, 0));

        EXPECT_EQ(foreignCommands.load(), 0) << "a command of ours reached another program";
        EXPECT_EQ(foreignReports.load(), 0) << "a path report reached another program";
    }
}

// ---- Targets that do not answer ----

// Inside its request, or before the request could reach it: each time the host's own copy, after the
// notice when notices are on, and the request never waited past its bound by the host's own record.
TEST(UnresponsiveTarget, TheRunFallsBackToTheNormalCopyWithoutHanging)
{
    enum Failure { kHangs, kGoesAway, kThreadEnds, kHeldBefore, kNoWindow };
    struct Case {
        const char *name;
        Failure failure;
        int state, asked;  // asked: the requests the target took
    };
    const Case cases[] = {
        {"a target that hangs", kHangs, expected::kNotifyFallback, 1},
        {"a target whose window goes away", kGoesAway, 0, 1},
        {"a target whose thread ends, never replying", kThreadEnds, expected::kNotifyFallback, 1},
        {"a target whose thread is held before it is asked", kHeldBefore, 0, 0},
        {"a target that is no window any more", kNoWindow, expected::kNotifyFallback, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Desktop desktop({"作業\\a.txt"}, {BusyWindow("target"), Selecting("source", "作業", {"/timing"})}, c.state);
        ASSERT_TRUE(Ready(desktop));
        BusyInstance &target = desktop.Busy("target");
        target.onRequest = [&] {
            if (c.failure == kHangs) {
                target.Hold();
            } else if (c.failure == kGoesAway) {
                DestroyWindow(target.hwnd());
                PostQuitMessage(0);
            } else {
                ExitThread(0);
            }
        };
        const HostInstance &source = desktop.Host("source");
        if (c.failure == kHeldBefore) {
            ASSERT_TRUE(target.thread.Hang());
        } else if (c.failure == kNoWindow) {
            HWND gone = ThreadWindow(DefWindowProcA).hwnd;
            ASSERT_TRUE(gone != nullptr && !IsWindow(gone));
            ASSERT_TRUE(source.Stage(kStageListAlso, reinterpret_cast<LPARAM>(gone)) && source.Stage(kStageListAt, 0));
        }
        std::vector<Step> steps = {step::HostDialog("作業", IDCANCEL)};
        if (c.state & expected::kNotifyFallback)
            steps.insert(steps.begin(), step::Notice(expected::kVirtualTargetText, IDOK));

        RunCounts counts;
        EXPECT_TRUE(Runs(desktop, {"source", steps}, &counts));
        target.Release();
        EXPECT_EQ(counts.requests["target"], c.asked);
        EXPECT_EQ(counts.copies, 1);
        EXPECT_EQ(counts.copied, 0);
        HostTiming timing = {};
        ASSERT_TRUE(ReadTiming(source, &timing));
        EXPECT_LT(TicksMs(timing.requestTicks), expected::kBoundedSendMs) << "the request outlasted its bound";
    }
}

// ---- An instance that does not take the answer ----

// The instance a responder reports to hangs. The responder gives up on its first report without waiting for it
// and sends no second one; its host is then free for the user and answers the next instance that asks.
TEST(HungRecipient, TheResponderGivesUpAndAnswersTheNextRequest)
{
    Desktop desktop({"表示\\"}, {On("responder", "表示"), BusyWindow("hung")});
    ASSERT_TRUE(Ready(desktop));
    const HostInstance &responder = desktop.Host("responder");
    BusyInstance &hung = desktop.Busy("hung");
    // Held until the responder's run has ended or one report's bound has passed, and released only
    // then: a tree-path report sent after the first gave up would still wait for it, and be taken.
    ASSERT_TRUE(hung.thread.Hang());

    // Posted: only the host's thread may be held by the hung instance, not the test's.
    EXPECT_TRUE(Runs(desktop, {"responder", {}, {}, ExpectedRun::kPosted}));
    HostTiming timing = {};
    ASSERT_TRUE(ReadTiming(responder, &timing));
    EXPECT_LT(TicksMs(timing.pluginReturnedAt - timing.pluginCalledAt), expected::kBoundedSendMs)
        << "the responder waited for the hung instance longer than one report's bound";
    EXPECT_TRUE(hung.thread.Hanging()) << "the instance came back before the run ended";
    hung.thread.Release();
    ASSERT_TRUE(SendMessageTimeoutA(hung.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, nullptr));
    for (const ReceivedCopyData &report : hung.window->received)
        EXPECT_NE(report.kind, kTreePathReport) << "a tree-path report followed the one the instance did not take";
    EXPECT_TRUE(Activate(responder.hwnd)) << "the host does not take input";

    PeerInstanceWindow live("live instance");
    ASSERT_TRUE(live.ok()) << live.error;
    ASSERT_TRUE(live.Activate());
    ASSERT_TRUE(SendCommand(responder.hwnd, kVorpanCommand));
    EXPECT_EQ(live.received.size(), 2u) << "no whole answer to the next request";
    EXPECT_EQ(responder.Query(kQueryPluginReturns), 2);
    EXPECT_EQ(responder.Query(kQueryLastPluginResult), 1);
}

// ---- Forged path reports ----

// Reports sent to an instance that is not waiting for any (before a run, while its dialog is open,
// between runs) reach the host's own window procedure and change nothing.
TEST(ForgedReports, ReportsWithoutAPendingRequestChangeNothing)
{
    Desktop desktop({"作業\\a.txt", "相手\\", "次\\", "違う\\"}, {PeerWindow("target"), Selecting("source", "作業")});
    ASSERT_TRUE(Ready(desktop));
    PeerInstanceWindow &target = desktop.Peer("target");
    const HWND source = desktop.Window("source");
    const std::string wrong = desktop.Path("違う");
    for (const char *folder : {"相手", "次"}) {
        SCOPED_TRACE(folder);
        target.onRequest = [&] { SendAnswer(source, target.hwnd, desktop.Path(folder)); };
        SendAnswer(source, target.hwnd, wrong);
        const Step dialog = step::Filled(folder).Then([&](HWND window) {
            SendAnswer(source, target.hwnd, wrong);
            return CheckShowsFolder(ReadConfirmDialog(window), desktop.Path(folder));
        });
        EXPECT_TRUE(Runs(desktop, {"source", {dialog}}));
        EXPECT_EQ(FilesIn(desktop.Path(folder)), std::vector<std::string>{"a.txt"});
        EXPECT_TRUE(FilesIn(wrong).empty());
    }
    SendAnswer(source, target.hwnd, wrong);
    EXPECT_TRUE(RunEndedClean(desktop.Host("source")));
}

// ---- The named event of earlier versions ----

// Another process holding "RiloFilePluginGetPathEvent", signalled, as an older copy of the plug-in in
// another instance may: the run neither depends on it nor touches it.
TEST(NamedEvent, AnEventOfThatNameHeldElsewhereChangesNothing)
{
    Desktop desktop({"作業\\a.txt", "相手\\"}, {PeerWindow("target"), Selecting("source", "作業")});
    ASSERT_TRUE(Ready(desktop));
    PeerInstanceWindow &target = desktop.Peer("target");
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, kPathEventName);
    ASSERT_NE(event, nullptr);
    DWORD stateDuringRequest = WAIT_FAILED;
    target.onRequest = [&] {
        stateDuringRequest = WaitForSingleObject(event, 0);
        SendAnswer(desktop.Window("source"), target.hwnd, desktop.Path("相手"));
    };
    // Closed once the request is over: the run's end checks that no process holds the event then.
    const Step dialog = step::Filled("相手").Then([&](HWND) { return CloseHandle(event), Outcome::Ok(); });

    EXPECT_TRUE(Runs(desktop, {"source", {dialog}}));
    EXPECT_EQ(stateDuringRequest, static_cast<DWORD>(WAIT_OBJECT_0)) << "reset by the request";
    EXPECT_EQ(FilesIn(desktop.Path("相手")), std::vector<std::string>{"a.txt"});
}

// ---- Folders at the length limits ----

// A name of exactly length bytes of double-byte characters whose trail byte is "\", and an "a" when it is odd.
std::string TrailByteName(size_t length)
{
    static const char *const kCharacters[] = {"表", "ソ", "能", "十"};
    std::string name;
    for (int i = 0; name.size() + 2 <= length; ++i)
        name += kCharacters[i % 4];
    if (name.size() < length)
        name += 'a';
    return name;
}

// A path below scratch that makes the whole exactly length bytes long, in levels of at most maxName bytes each.
std::string RelativePathOfLength(const ScratchFolder &scratch, size_t length, size_t maxName,
                                 std::string (*name)(size_t))
{
    size_t room = length - scratch.path.size() - 1;
    std::string relative;
    while (room > maxName) {
        size_t level = std::min(maxName, room - 2);  // the separator and at least one byte remain
        relative += name(level) + "\\";
        room -= level + 1;
    }
    return relative + name(room);
}

// Paths of 259 bytes, the most a host's current path holds, still fill the dialog; in double-byte names
// as long as a Unix file system allows (85 characters are its 255 bytes in UTF-8) and in one ASCII name.
// The file copied into a 252-byte folder gets a path of 259 bytes.
TEST(LengthLimits, FoldersAtThePathLimitFillTheDialog)
{
    Desktop desktop({"作業\\表.txt"}, {Selecting("source", "作業")});
    ASSERT_TRUE(Ready(desktop));

    struct Case {
        const char *name;
        size_t length, maxName;
        std::string (*makeName)(size_t);
        bool copy;
    };
    const Case cases[] = {
        {"259 bytes in double-byte names", 259, 170, TrailByteName, false},
        {"259 bytes in one ASCII name", 259, 255, [](size_t length) { return std::string(length, 'n'); }, false},
        {"252 bytes, the copied file 259", 252, 170, TrailByteName, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string relative = RelativePathOfLength(desktop.scratch, c.length, c.maxName, c.makeName);
        const std::string folder = desktop.Path(relative);
        ASSERT_EQ(folder.size(), c.length);
        ASSERT_TRUE(desktop.scratch.AddFolder(relative)) << desktop.scratch.error;
        // A host of its own for each folder, the previously active instance: a desktop's folders come first.
        HostInstance target({"/path=" + folder, desktop.plugins.HostOption()});
        ASSERT_TRUE(target.ok());
        ASSERT_EQ(WindowText(target.hwnd), expected::kHostTitlePrefix + folder) << "the target did not open the folder";
        ASSERT_TRUE(Activate(target.hwnd));

        EXPECT_TRUE(Runs(desktop, {"source", {step::Filled(relative, c.copy ? IDOK : IDCANCEL)}}));
        EXPECT_TRUE(!c.copy || FileHolds(folder + "\\表.txt", "作業\\表.txt"));
    }
}

}  // namespace
