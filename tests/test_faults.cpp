// The two-pane copy when the world around it misbehaves (requests arriving while a run waits, targets
// that hang or vanish, forged and malformed path reports, a stranger holding the plug-in's event,
// folders at the path length limit), where nothing may crash, no file may go to a wrong folder, and
// every run must end with the window procedures restored.
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

// ---------------------------------------------------------------------------------------------------
// Requests arriving while a run waits

// A third instance asks the requester for its paths while the requester waits, in its request for the
// target's answer or while its filled-in confirmation dialog waits for the user, with its own main window
// still the active one: the requester answers as a responder and its run goes on untouched.
TEST(Reentrancy, ARequestWhileTheRunWaitsIsAnsweredAndTheRunGoesOn)
{
    for (bool inTheRequest : {true, false}) {
        SCOPED_TRACE(inTheRequest ? "during the run's own request" : "while the dialog is open");
        TestBed bed({"作業\\a.txt", "作業\\表.txt", "相手\\"});
        PeerInstanceWindow third("third instance"), target("target instance");
        ASSERT_TRUE(third.ok() && target.ok()) << third.error << target.error;
        HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall"});
        ASSERT_TRUE(bed.Ready());
        const std::string targetFolder = bed.Path("相手");
        bool innerRequestAnswered = false;
        target.onRequest = [&] {
            if (inTheRequest)
                innerRequestAnswered = AskAsThirdInstance(source, third.hwnd);
            SendAnswer(source.hwnd, target.hwnd, targetFolder);
        };
        ASSERT_TRUE(Activate(target.hwnd));
        ASSERT_TRUE(ChooseCommand(source));

        HWND dialog = WaitForConfirmDialog(source);
        ASSERT_NE(dialog, nullptr);
        if (!inTheRequest)
            innerRequestAnswered = AskAsThirdInstance(source, third.hwnd);
        EXPECT_TRUE(innerRequestAnswered);
        EXPECT_EQ(target.requests, 1);
        EXPECT_EQ(DescribeReports(third.received, {{source.hwnd, "source"}}), ExpectedAnswer(bed.Path("作業"), "source"));
        ConfirmView view = ReadConfirmDialog(dialog);
        EXPECT_EQ(view.title, kFilledTitle);
        EXPECT_TRUE(ShowsFolder(view, targetFolder));

        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitForRunEndAfter(source, 0));
        EXPECT_EQ(FilesIn(targetFolder), (std::vector<std::string>{"a.txt", "表.txt"}));
        EXPECT_EQ(source.Query(kQueryPluginCalls), 2);
        EXPECT_EQ(source.Query(kQueryDialogProcRestored), 1);
        EXPECT_TRUE(RunEndedClean(source));
    }
}

// ---------------------------------------------------------------------------------------------------
// Who acts and who is asked

// An instance asked for its paths answers, whatever its thread holds: its main window active behind the
// requester's foreground window (started in the background, or its own dialog closed there), or the
// foreground itself, taken by the user's click just as the request reaches it. It shows nothing and
// starts no copy of its own, and the requester's run goes on with its answer. So does an instance whose
// command another program posts while its main window is active behind the foreground.
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
        TestBed bed({"作業\\a.txt", "相手\\b.txt", "第三\\"});
        WriteState(bed.plugins, c.ask == kChooser ? expected::kChooseTarget : 0);
        ThreeInstances three(bed, {"/path=" + bed.Path("第三")}, {"/path=" + bed.Path("相手"), "/selectall"},
                             {"/path=" + bed.Path("作業"), "/selectall"});
        const HostInstance &third = three.c, &asked = three.b, &source = *three.a;
        ASSERT_TRUE(three.Ready() && Activate(source.hwnd));
        ASSERT_TRUE(asked.Stage(c.stage, 1));
        if (c.stage == kStageActiveBehind) {
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(asked.hwnd, nullptr), &info));
            ASSERT_EQ(info.hwndActive, asked.hwnd) << "B's thread does not hold its main window active";
            ASSERT_EQ(GetForegroundWindow(), source.hwnd);
        }

        if (c.ask == kPosted) {
            ASSERT_TRUE(PostMessageA(asked.hwnd, WM_COMMAND, kVorpanCommand, 0));
            ASSERT_TRUE(WaitForRunEnd(asked));
        } else {
            ASSERT_TRUE(c.ask == kChooser ? ChooseFromMenu(source, {VK_RETURN}) : ChooseCommand(source));
            HWND dialog = WaitForConfirmDialog(source, nullptr);
            ASSERT_NE(dialog, nullptr) << "no confirmation dialog";
            // Also when the user clicked elsewhere meanwhile: the host opens it while in the background.
            EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), bed.Path("相手")));
            EXPECT_FALSE(ShowsAnything(asked.pid)) << "B shows a window of its run";
            PressButton(dialog, IDCANCEL);
            ASSERT_TRUE(WaitForRunEnd(source));
            EXPECT_TRUE(RunEndedClean(source));
        }
        EXPECT_EQ(asked.Query(kQueryRoleAtLastCall), c.role) << "B was not as the case needs";
        EXPECT_EQ(asked.Query(kQueryPluginCalls), c.calls);
        EXPECT_EQ(asked.Query(kQueryPluginReturns), c.calls);
        EXPECT_EQ(asked.Query(kQueryCopyCommands), 0) << "B started a copy";
        EXPECT_FALSE(ShowsAnything(asked.pid));
        EXPECT_EQ(third.Query(kQueryCopyCommands), 0);
    }
}

// A window of another program whose handle the host lists among its instances: the messages of ours it
// gets.
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
    TestBed bed({"作業\\a.txt", "相手\\", "第三\\"});
    ThreeInstances three(bed, {"/path=" + bed.Path("第三")}, {"/path=" + bed.Path("相手")},
                         {"/path=" + bed.Path("作業"), "/selectall"});
    const HostInstance &third = three.c, &other = three.b, &source = *three.a;
    ASSERT_TRUE(three.Ready());

    struct Case {
        const char *name;
        const char *pluginMenu;  // null: no menu bar
        std::vector<std::string> menu;
    };
    const Case cases[] = {
        {"a window without a menu bar", nullptr, {}},
        {"a window whose menu bar lists our label", kPluginMenuText, {"元に戻す(&U)", kPluginMenuLabel}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        foreignCommands = foreignReports = 0;
        ThreadWindow foreign([&c] { return MakeMenuWindow("VorpanTestForeign", ForeignProc, "foreign", c.menu, c.pluginMenu); });
        ASSERT_NE(foreign.hwnd, nullptr);
        ASSERT_TRUE(Activate(third.hwnd) && Activate(other.hwnd));
        ASSERT_TRUE(source.Stage(kStageListAlso, reinterpret_cast<LPARAM>(foreign.hwnd)));

        {
            SCOPED_TRACE("listed as the previously active instance: the normal copy, after the notice if set");
            ASSERT_TRUE(source.Stage(kStageListAt, 0));
            for (int state : {expected::kNotifyFallback, 0}) {
                WriteState(bed.plugins, state);
                LRESULT calls = source.Query(kQueryPluginCalls);
                ASSERT_TRUE(ChooseCommand(source));
                if (state != 0) {
                    ASSERT_TRUE(AnswersNotice(source, expected::kVirtualTargetText, IDOK));
                }
                HWND dialog = WaitForConfirmDialog(source, expected::kConfirmTitle);
                ASSERT_NE(dialog, nullptr) << "no normal copy";
                PressButton(dialog, IDCANCEL);
                ASSERT_TRUE(WaitForRunEndAfter(source, calls));
            }
        }
        {
            SCOPED_TRACE("as the instance a responder reports to: no report");
            LRESULT calls = source.Query(kQueryPluginCalls);
            ASSERT_TRUE(SendCommand(source.hwnd, kVorpanCommand));
            EXPECT_EQ(source.Query(kQueryPluginReturns), calls + 1) << "the plug-in was not asked";
        }
        {
            SCOPED_TRACE("listed in the chooser between two instances: greyed, the others in order");
            WriteState(bed.plugins, expected::kChooseTarget);
            ASSERT_TRUE(source.Stage(kStageListAt, 1));
            struct Choice {
                std::vector<BYTE> keys;
                std::string folder;  // empty: nothing chosen
            };
            const Choice choices[] = {
                {{VK_RETURN}, bed.Path("相手")},
                {{VK_DOWN, VK_RETURN}, ""},
                {{VK_DOWN, VK_DOWN, VK_RETURN}, bed.Path("第三")},
            };
            for (const Choice &choice : choices) {
                LRESULT calls = source.Query(kQueryPluginCalls);
                ASSERT_TRUE(Activate(third.hwnd) && Activate(other.hwnd));
                ASSERT_TRUE(ChooseFromMenu(source, choice.keys));
                if (!choice.folder.empty()) {
                    HWND dialog = WaitForConfirmDialog(source);
                    ASSERT_NE(dialog, nullptr) << "no filled-in dialog for " << choice.folder;
                    EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), choice.folder));
                    PressButton(dialog, IDCANCEL);
                }
                ASSERT_TRUE(WaitForRunEndAfter(source, calls));
                EXPECT_FALSE(ShowsAnything(source.pid));
            }
        }
        ASSERT_TRUE(source.Stage(kStageListAlso, 0));

        EXPECT_EQ(foreignCommands.load(), 0) << "a command of ours reached another program";
        EXPECT_EQ(foreignReports.load(), 0) << "a path report reached another program";
        EXPECT_TRUE(RunEndedClean(source));
    }
}

// ---------------------------------------------------------------------------------------------------
// Targets that do not answer

TEST(UnresponsiveTarget, TheRunFallsBackToTheNormalCopyWithoutHanging)
{
    TestBed bed({"作業\\a.txt"});
    HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall"});
    ASSERT_TRUE(bed.Ready());

    // How a target fails to answer the request, inside it.
    struct Case {
        const char *name;
        void (*fail)(BusyInstance &target);
        int state;
    };
    const Case cases[] = {
        {"a target that hangs", [](BusyInstance &target) { target.Hold(); }, expected::kNotifyFallback},
        {"a target whose window goes away",
         [](BusyInstance &target) {
             DestroyWindow(target.hwnd());
             PostQuitMessage(0);
         },
         0},
        {"a target whose thread ends, never replying", [](BusyInstance &) { ExitThread(0); },
         expected::kNotifyFallback},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BusyInstance target("unresponsive instance");
        ASSERT_TRUE(target.ok());
        target.onRequest = [&] { c.fail(target); };
        WriteState(bed.plugins, c.state);
        LRESULT calls = source.Query(kQueryPluginCalls);
        LRESULT copies = source.Query(kQueryCopyCommands);
        ASSERT_TRUE(Activate(target.hwnd()));
        ASSERT_TRUE(ChooseCommand(source));

        if (c.state & expected::kNotifyFallback) {
            ASSERT_TRUE(AnswersNotice(source, expected::kVirtualTargetText, IDOK, expected::kBoundedSendMs));
        }
        HWND dialog = WaitForConfirmDialog(source, expected::kConfirmTitle, expected::kBoundedSendMs);
        ASSERT_NE(dialog, nullptr) << "no confirmation dialog with the host's own title";
        EXPECT_EQ(target.Requests(), 1);
        std::string destination;
        PumpUntil([&] { return !(destination = ReadConfirmDialog(dialog).destination).empty(); });
        EXPECT_EQ(destination, bed.Path("作業")) << "the host's own destination";
        PressButton(dialog, IDCANCEL);
        ASSERT_TRUE(WaitForRunEndAfter(source, calls));
        EXPECT_EQ(source.Query(kQueryCopyCommands), copies + 1);
        EXPECT_EQ(source.Query(kQueryCopiedFiles), -1);
        EXPECT_TRUE(RunEndedClean(source));
    }
}

// ---------------------------------------------------------------------------------------------------
// An instance that does not take the answer

// The instance a responder reports to hangs. The responder gives up on its first report without
// waiting for the instance to come back, and sends no second one; its host is then free for the user
// and answers the next instance that asks.
TEST(HungRecipient, TheResponderGivesUpAndAnswersTheNextRequest)
{
    TestBed bed({"表示\\"});
    const std::string folder = bed.Path("表示");
    HostInstance &responder = bed.Start({"/path=" + folder});
    ASSERT_TRUE(bed.Ready());
    BusyInstance hung("hung instance");
    ASSERT_TRUE(hung.ok());
    ASSERT_TRUE(Activate(hung.hwnd()));
    // Held until the responder's run has ended or one report's bound has passed, and released only
    // then: a tree-path report sent after the first gave up would still wait for it, and be taken.
    ASSERT_TRUE(hung.thread.Hang());

    // Posted: only the host's thread may be held by the hung instance, not the test's.
    ASSERT_TRUE(PostMessageA(responder.hwnd, WM_COMMAND, kVorpanCommand, 0));
    EXPECT_TRUE(WaitForRunEndAfter(responder, 0, expected::kBoundedSendMs))
        << "the responder waited for the hung instance longer than one report's bound";
    EXPECT_TRUE(hung.thread.Hanging()) << "the instance came back before the run ended";
    hung.thread.Release();
    DWORD_PTR ignored;
    ASSERT_TRUE(SendMessageTimeoutA(hung.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored));
    for (const ReceivedCopyData &report : hung.window->received)
        EXPECT_NE(report.kind, kTreePathReport) << "a tree-path report followed the one the instance did not take";
    EXPECT_TRUE(Activate(responder.hwnd)) << "the host does not take input";

    PeerInstanceWindow live("live instance");
    ASSERT_TRUE(live.ok()) << live.error;
    ASSERT_TRUE(live.Activate());
    ASSERT_TRUE(SendCommand(responder.hwnd, kVorpanCommand));
    EXPECT_EQ(DescribeReports(live.received, {{responder.hwnd, "responder"}}), ExpectedAnswer(folder, "responder"));
    EXPECT_EQ(responder.Query(kQueryPluginReturns), 2);
    EXPECT_EQ(responder.Query(kQueryLastPluginResult), 1);
}

// ---------------------------------------------------------------------------------------------------
// Forged path reports

// Reports sent to an instance that is not waiting for any (before a run, while its dialog is open,
// between runs) reach the host's own window procedure and change nothing.
TEST(ForgedReports, ReportsWithoutAPendingRequestChangeNothing)
{
    TestBed bed({"作業\\a.txt", "相手\\", "次\\", "違う\\"});
    PeerInstanceWindow target("target instance");
    ASSERT_TRUE(target.ok()) << target.error;
    HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall"});
    ASSERT_TRUE(bed.Ready());
    const std::string wrong = bed.Path("違う");

    for (const char *folder : {"相手", "次"}) {
        SCOPED_TRACE(folder);
        const std::string targetFolder = bed.Path(folder);
        target.onRequest = [&] { SendAnswer(source.hwnd, target.hwnd, targetFolder); };
        SendAnswer(source.hwnd, target.hwnd, wrong);
        LRESULT calls = source.Query(kQueryPluginCalls);
        ASSERT_TRUE(Activate(target.hwnd));
        ASSERT_TRUE(ChooseCommand(source));
        HWND dialog = WaitForConfirmDialog(source);
        ASSERT_NE(dialog, nullptr);
        SendAnswer(source.hwnd, target.hwnd, wrong);
        EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), targetFolder));
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitForRunEndAfter(source, calls));
        EXPECT_EQ(FilesIn(targetFolder), std::vector<std::string>{"a.txt"});
        EXPECT_TRUE(FilesIn(wrong).empty());
        EXPECT_TRUE(RunEndedClean(source));
    }
    SendAnswer(source.hwnd, target.hwnd, wrong);
    EXPECT_TRUE(RunEndedClean(source));
}

// ---------------------------------------------------------------------------------------------------
// The named event of earlier versions

// Another process holding "RiloFilePluginGetPathEvent", signalled, as an older copy of the plug-in in
// another instance may: the run neither depends on it nor touches it.
TEST(NamedEvent, AnEventOfThatNameHeldElsewhereChangesNothing)
{
    TestBed bed({"作業\\a.txt", "相手\\"});
    PeerInstanceWindow target("target instance");
    ASSERT_TRUE(target.ok()) << target.error;
    HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall"});
    ASSERT_TRUE(bed.Ready());
    const std::string targetFolder = bed.Path("相手");

    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, kPathEventName);
    ASSERT_NE(event, nullptr);
    DWORD stateDuringRequest = WAIT_FAILED;
    target.onRequest = [&] {
        stateDuringRequest = WaitForSingleObject(event, 0);
        SendAnswer(source.hwnd, target.hwnd, targetFolder);
    };
    ASSERT_TRUE(Activate(target.hwnd));
    ASSERT_TRUE(ChooseCommand(source));
    HWND dialog = WaitForConfirmDialog(source);
    EXPECT_EQ(stateDuringRequest, static_cast<DWORD>(WAIT_OBJECT_0)) << "reset by the request";
    if (dialog != nullptr) {
        EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), targetFolder));
        PressButton(dialog, IDOK);
    }
    bool ended = WaitForRunEndAfter(source, 0);
    CloseHandle(event);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(ended);
    EXPECT_EQ(FilesIn(targetFolder), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(RunEndedClean(source));
}

// ---------------------------------------------------------------------------------------------------
// Folders at the length limits

// A name of exactly length bytes of double-byte characters whose trail byte is "\", and an "a" when the
// length is odd.
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

std::string AsciiName(size_t length)
{
    return std::string(length, 'n');
}

// A path below scratch that makes the whole exactly length bytes long, in levels of at most maxName
// bytes each.
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
    TestBed bed({"作業\\表.txt"});
    HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall"});
    ASSERT_TRUE(bed.Ready());

    struct Case {
        const char *name;
        size_t length;
        size_t maxName;
        std::string (*makeName)(size_t);
        bool copy;
    };
    const Case cases[] = {
        {"259 bytes in double-byte names", 259, 170, TrailByteName, false},
        {"259 bytes in one ASCII name", 259, 255, AsciiName, false},
        {"252 bytes, the copied file 259", 252, 170, TrailByteName, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string relative = RelativePathOfLength(bed.scratch, c.length, c.maxName, c.makeName);
        const std::string folder = bed.Path(relative);
        ASSERT_EQ(folder.size(), c.length);
        ASSERT_TRUE(bed.scratch.AddFolder(relative)) << bed.scratch.error;
        HostInstance target({"/path=" + folder, bed.plugins.HostOption()});
        ASSERT_TRUE(target.ok());
        ASSERT_EQ(WindowText(target.hwnd), expected::kHostTitlePrefix + folder) << "the target did not open the folder";

        LRESULT calls = source.Query(kQueryPluginCalls);
        ASSERT_TRUE(Activate(target.hwnd));
        ASSERT_TRUE(ChooseCommand(source));
        HWND dialog = WaitForConfirmDialog(source);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), folder));
        PressButton(dialog, c.copy ? IDOK : IDCANCEL);
        ASSERT_TRUE(WaitForRunEndAfter(source, calls));
        EXPECT_TRUE(!c.copy || FileHolds(folder + "\\表.txt", "作業\\表.txt"));
        EXPECT_TRUE(RunEndedClean(source));
    }
}

}  // namespace
