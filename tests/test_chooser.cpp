// The target chooser as the user meets it with three or more instances: the popup menu's items, the
// keys that choose or dismiss, and which folder the confirmation dialog then shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host_protocol.h"
#include "common/window.h"
#include "link/chooser.h"
#include "link/path_exchange.h"
#include "support/test_support.h"

namespace {

// The menu's thread tracks the mouse: it shows the popup first and takes the mouse capture only then,
// so a click before that goes to whatever window lies under the cursor.
bool WaitForMenuCapture(HWND menu)
{
    DWORD thread = GetWindowThreadProcessId(menu, nullptr);
    return PumpUntil([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) && info.hwndCapture != nullptr;
    });
}

// A click of the left mouse button at a point of the screen.
void ClickAt(POINT point)
{
    SetCursorPos(point.x, point.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

// ---------------------------------------------------------------------------------------------------
// Across processes: three stand-in hosts, the command chosen in one, the menu driven by keys.

// Three instances on real folders (or the previous one on the virtual folder), A with its files
// selected, so that A's instanceWindows are {B, C, A}.
struct ThreeOnFolders {
    explicit ThreeOnFolders(int state, bool previousOnVirtualFolder = false)
        : folderA(bed.Path("作業")), folderB(bed.Path("ソフト\\表示")), folderC(bed.Path("R&D")),
          three(bed, {"/path=" + folderC}, {previousOnVirtualFolder ? "/virtual" : "/path=" + folderB},
                {"/path=" + folderA, "/selectall"}),
          a(*three.a)
    {
        WriteState(bed.plugins, state);
    }

    TestBed bed{"作業\\報告書.txt", "作業\\memo.txt", "ソフト\\表示\\", "R&D\\"};
    const std::string folderA, folderB, folderC;
    ThreeInstances three;
    const HostInstance &a;
};

// What must hold after every run of the requester, however it ended: nothing of it is left open.
::testing::AssertionResult RunEndedShowingNothing(const HostInstance &requester)
{
    if (!WaitForRunEnd(requester))
        return ::testing::AssertionFailure() << "the run did not end";
    if (ShowsAnything(requester.pid))
        return ::testing::AssertionFailure() << "a menu, dialog or message box is still open";
    return RunEndedClean(requester);
}

TEST(TargetChooser, ChoosesTheOtherInstancesInTheOrderTheyWereActive)
{
    ThreeOnFolders instances(expected::kChooseTarget);
    ASSERT_TRUE(instances.three.Ready());
    const HostInstance &a = instances.a;
    struct Choice {
        const char *name;
        std::vector<BYTE> keys;  // after the menu opened with its first item highlighted
        std::string folder;      // the folder the dialog must show and the files go to
    };
    const Choice choices[] = {
        {"first item: the previously active instance B", {VK_RETURN}, instances.folderB},
        {"second item: the instance C active before it", {VK_DOWN, VK_RETURN}, instances.folderC},
    };
    for (const Choice &choice : choices) {
        SCOPED_TRACE(choice.name);
        ASSERT_TRUE(ChooseFromMenu(a, choice.keys));

        HWND dialog = WaitForConfirmDialog(a);
        ASSERT_NE(dialog, nullptr) << "no filled-in confirmation dialog";
        ConfirmView view = ReadConfirmDialog(dialog);
        EXPECT_EQ(Utf8Text(view.destination), Utf8Text(choice.folder));
        EXPECT_EQ(Utf8Text(view.treePath), Utf8Text(choice.folder + "\\"));
        PressButton(dialog, IDOK);
        ASSERT_TRUE(RunEndedShowingNothing(a));

        EXPECT_EQ(a.Query(kQueryCopiedFiles), 2);
        EXPECT_TRUE(FileHolds(choice.folder + "\\報告書.txt", "作業\\報告書.txt"));
    }
}

TEST(TargetChooser, AnInstanceOnTheVirtualFolderCannotBeChosen)
{
    // With notices on, choosing the grayed item would show the virtual-folder notice.
    ThreeOnFolders instances(expected::kChooseTarget | expected::kNotifyFallback, true);
    ASSERT_TRUE(instances.three.Ready());
    const HostInstance &a = instances.a;

    // Enter on the highlighted grayed item ends the menu without a choice.
    ASSERT_TRUE(ChooseFromMenu(a, {VK_RETURN}));
    ASSERT_TRUE(RunEndedShowingNothing(a));
    EXPECT_EQ(a.Query(kQueryCopyCommands), 0);

    // The item below it still leads to its instance's folder.
    ASSERT_TRUE(ChooseFromMenu(a, {VK_DOWN, VK_RETURN}));
    HWND dialog = WaitForConfirmDialog(a);
    ASSERT_NE(dialog, nullptr) << "no filled-in confirmation dialog";
    EXPECT_EQ(Utf8Text(ReadConfirmDialog(dialog).destination), Utf8Text(instances.folderC));
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(RunEndedShowingNothing(a));
}

// The last item, this instance: the host's own copy, after the notice when notices are on.
TEST(TargetChooser, ChoosingItselfCopiesNormally)
{
    ThreeOnFolders instances(expected::kChooseTarget);
    ASSERT_TRUE(instances.three.Ready());
    const HostInstance &a = instances.a;
    struct Answer {
        const char *name;
        int state;
        int button;       // to the notice; 0: none comes
        bool normalCopy;  // the host's own confirmation dialog follows
    };
    const Answer answers[] = {
        {"notices on, OK", expected::kChooseTarget | expected::kNotifyFallback, IDOK, true},
        {"notices on, Cancel", expected::kChooseTarget | expected::kNotifyFallback, IDCANCEL, false},
        {"notices off", expected::kChooseTarget, 0, true},
    };
    for (const Answer &answer : answers) {
        SCOPED_TRACE(answer.name);
        WriteState(instances.bed.plugins, answer.state);
        LRESULT copiesBefore = a.Query(kQueryCopyCommands);
        ASSERT_TRUE(ChooseFromMenu(a, {VK_DOWN, VK_DOWN, VK_RETURN}));

        if (answer.button != 0) {
            ASSERT_TRUE(AnswersNotice(a, expected::kTargetIsSelfText, answer.button));
        }
        if (answer.normalCopy) {
            HWND dialog = WaitForConfirmDialog(a, expected::kConfirmTitle);
            ASSERT_NE(dialog, nullptr) << "no confirmation dialog with the host's own title";
            EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), instances.folderA));
            PressButton(dialog, IDCANCEL);
        }
        ASSERT_TRUE(RunEndedShowingNothing(a));
        EXPECT_EQ(a.Query(kQueryCopyCommands), copiesBefore + (answer.normalCopy ? 1 : 0));
    }
}

TEST(TargetChooser, DismissingTheMenuEndsTheRunWithoutAnything)
{
    ThreeOnFolders instances(expected::kChooseTarget | expected::kNotifyFallback);
    ASSERT_TRUE(instances.three.Ready());
    const HostInstance &a = instances.a, &b = instances.three.b;
    struct Dismissal {
        const char *name;
        std::function<void(HWND menu)> dismiss;
        bool escapeWhileAsked = false;  // a busy instance, asked first, takes an Escape before it answers
    };
    const Dismissal dismissals[] = {
        {"Escape", [](HWND) { TypeKeys({VK_ESCAPE}); }},
        {"Escape typed while the instances are asked, then once the menu is shown",
         [](HWND) { TypeKeys({VK_ESCAPE}); }, true},
        {"click outside the menu",
         [](HWND menu) {
             // The screen's far corner: outside the menu and every host window, which lie at the top left.
             POINT outside = {GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5};
             RECT menuRect;
             GetWindowRect(menu, &menuRect);
             EXPECT_FALSE(PtInRect(&menuRect, outside));
             EXPECT_TRUE(WaitForMenuCapture(menu));
             ClickAt(outside);
         }},
        // While the menu is open the host's own loop takes the command, with the main window active and in
        // the foreground, as when the user chose it: still no second run over the first one's hooks.
        {"the command posted again while the menu is open, then Escape",
         [&](HWND menu) {
             LRESULT calls = a.Query(kQueryPluginCalls), asked = b.Query(kQueryPluginCalls);
             EXPECT_TRUE(PostMessageA(a.hwnd, WM_COMMAND, kVorpanCommand, 0));
             EXPECT_TRUE(PumpUntil([&] {
                 return a.Query(kQueryPluginCalls) == calls + 1 && a.Query(kQueryPluginReturns) == calls;
             })) << "the second call did not end while the menu was open";
             EXPECT_EQ(a.Query(kQueryRoleAtLastCall), kSeenActive | kSeenForeground);
             EXPECT_EQ(b.Query(kQueryPluginCalls), asked) << "a second round asked the other instances";
             EXPECT_TRUE(IsWindowVisible(menu));
             TypeKeys({VK_ESCAPE});
         }},
    };
    for (const Dismissal &dismissal : dismissals) {
        SCOPED_TRACE(dismissal.name);
        std::unique_ptr<BusyInstance> busy(dismissal.escapeWhileAsked ? new BusyInstance("busy instance") : nullptr);
        ASSERT_TRUE(busy == nullptr || TypeWhenAsked(*busy, a, {VK_ESCAPE}, instances.folderC));
        ASSERT_TRUE(ChooseCommand(a));
        HWND menu = WaitForMenu(a.pid, kWaitTimeoutMs + expected::kPeerSendBoundMs);
        ASSERT_NE(menu, nullptr);
        dismissal.dismiss(menu);

        ASSERT_TRUE(RunEndedShowingNothing(a));
        EXPECT_EQ(a.Query(kQueryCopyCommands), 0);
        EXPECT_EQ(busy != nullptr ? busy->keysLost.load() : 0, 0) << "the Escape never reached the requester's queue";
        // A key the menu did not take reaches the file list once the run has ended.
        ASSERT_TRUE(PumpUntil([&] { return a.Query(kQueryInputQueued) == 0; }));
        EXPECT_EQ(ListView_GetSelectedCount(a.FileList()), 2u) << "the file list's selection moved";
    }
}

// No menu opens when 「選択する」 is off, nor with only two instances: the previously active one is the
// target.
TEST(TargetChooser, WithoutAMenuThePreviouslyActiveInstanceIsTheTarget)
{
    struct Case {
        const char *name;
        int state;
        bool third;  // a third instance runs
    };
    const Case cases[] = {
        {"three instances, the target not chosen", 0, true},
        {"the target chosen, two instances", expected::kChooseTarget, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBed bed({"作業\\a.txt", "ソフト\\表示\\", "R&D\\"});
        WriteState(bed.plugins, c.state);
        const HostInstance *third = c.third ? &bed.Start({"/path=" + bed.Path("R&D")}) : nullptr;
        const HostInstance &b = bed.Start({"/path=" + bed.Path("ソフト\\表示")});
        const HostInstance &a = bed.Start({"/path=" + bed.Path("作業"), "/selectall"});
        ASSERT_TRUE(bed.Ready());
        ASSERT_TRUE((third == nullptr || Activate(third->hwnd)) && Activate(b.hwnd));

        ASSERT_TRUE(ChooseCommand(a));
        // No key is typed: a menu would keep the dialog from ever opening.
        HWND dialog = WaitForConfirmDialog(a);
        ASSERT_NE(dialog, nullptr) << "no filled-in confirmation dialog";
        EXPECT_EQ(WaitForMenu(a.pid, 0), nullptr);
        EXPECT_TRUE(ShowsFolder(ReadConfirmDialog(dialog), bed.Path("ソフト\\表示")));
        // Only the target was asked for its path; a menu would have asked every other instance.
        EXPECT_EQ(b.Query(kQueryPluginCalls), 1);
        if (third != nullptr) {
            EXPECT_EQ(third->Query(kQueryPluginCalls), 0);
        }
        PressButton(dialog, IDCANCEL);
        ASSERT_TRUE(RunEndedShowingNothing(a));
    }
}

// ---------------------------------------------------------------------------------------------------
// In this process: ChooseTargetMenu run on this thread over real instances, its menu read by a second
// thread while it is open (menus cannot be read from another process under Wine).

LRESULT CALLBACK OwnMainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// This program's own main window in the place of the requesting host: an instance's main window, so that
// the other instances' plug-ins send their reports to it once it is the most recently active.
class OwnInstance {
public:
    OwnInstance(const std::string &path, const RECT &frame) : currentPath(path)
    {
        hwndMain = MakeInstanceWindow(OwnMainProc, "own instance", WS_OVERLAPPEDWINDOW | WS_VISIBLE, frame);
        if (hwndMain == nullptr)
            return;
        hwndFileList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 200, 100,
                                       hwndMain, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnInstance()
    {
        if (hwndMain)
            DestroyWindow(hwndMain);
    }
    OwnInstance(const OwnInstance &) = delete;
    OwnInstance &operator=(const OwnInstance &) = delete;

    bool ok() const { return hwndMain && hwndFileList; }

    std::string currentPath;
    HWND hwndMain = nullptr;
    HWND hwndFileList = nullptr;
};

// One item as the menu shows it.
struct ShownItem {
    UINT id;
    std::string text;  // as displayed: "&&" shows as "&"
    UINT disabled;     // MF_GRAYED | MF_DISABLED bits
};
constexpr UINT kGrey = MF_GRAYED | MF_DISABLED;

std::vector<std::string> Describe(const std::vector<ShownItem> &items)
{
    std::vector<std::string> lines;
    for (const ShownItem &item : items) {
        char flags[16];
        wsprintfA(flags, "0x%X", item.disabled);
        lines.push_back(std::to_string(item.id) + " \"" + Utf8Text(item.text) + "\" disabled=" + flags);
    }
    return lines;
}

// What a menu shows for an item text: "&&" is one "&"; a single "&" only underlines what follows.
std::string DisplayedText(const std::string &raw)
{
    std::string shown;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(raw[i])) && i + 1 < raw.size()) {
            shown += raw.substr(i++, 2);
        } else if (raw[i] == '&' && i + 1 < raw.size()) {
            if (raw[i + 1] == '&')
                shown += raw[++i];
        } else {
            shown += raw[i];
        }
    }
    return shown;
}

// What the second thread saw of the open menu.
struct MenuSeen {
    bool waitForHighlight = true;  // false: the highlight is read as the menu opens
    std::function<void()> beforeRead;  // run on the second thread once the menu is open
    bool opened = false;
    HWND chosen = nullptr;
    DWORD askedAt = 0, openedAt = 0;  // tick counts: ChooseTargetMenu called, its menu found open
    bool firstHighlighted = false;  // the synthesized Down arrow took effect
    RECT frame = {};
    std::vector<ShownItem> items;
};

void ReadMenu(HWND menuWindow, MenuSeen *seen)
{
    seen->opened = true;
    seen->openedAt = GetTickCount();
    if (seen->beforeRead)
        seen->beforeRead();
    GetWindowRect(menuWindow, &seen->frame);
    DWORD_PTR handle = 0;
    SendMessageTimeoutA(menuWindow, MN_GETHMENU, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &handle);
    HMENU menu = reinterpret_cast<HMENU>(handle);
    auto highlighted = [&] { return (GetMenuState(menu, 0, MF_BYPOSITION) & MF_HILITE) != 0; };
    seen->firstHighlighted = seen->waitForHighlight ? PumpUntil(highlighted) : highlighted();
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char raw[2 * MAX_PATH + 2] = {};
        GetMenuStringA(menu, i, raw, sizeof raw, MF_BYPOSITION);
        raw[sizeof raw - 1] = '\0';  // Wine leaves a cut text unterminated
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        seen->items.push_back({GetMenuItemID(menu, i), DisplayedText(raw), state & (MF_GRAYED | MF_DISABLED)});
    }
}

// Runs ChooseTargetMenu here as the requester over instanceWindows; a second thread reads the menu once it
// is open and then types keys. Should the menu not close, that thread ends it, so that a failing test
// cannot hang. What was chosen is in seen; fails when the main window's procedure is not restored.
::testing::AssertionResult RunChooser(const OwnInstance &own, std::vector<HWND> instanceWindows,
                                      const std::vector<BYTE> &keys, MenuSeen *seen)
{
    instanceWindows.push_back(own.hwndMain);
    HostRecord record = {own.hwndMain, 0, own.hwndFileList, instanceWindows.data(),
                         static_cast<int>(instanceWindows.size()), own.currentPath.c_str()};

    std::atomic<bool> returned(false);
    std::thread user([&] {
        const DWORD pid = GetCurrentProcessId();
        // The chooser asks the other instances first, up to its bound in all; it may also end without a
        // menu.
        HWND menuWindow = nullptr;
        PumpUntil([&] { return (menuWindow = WaitForMenu(pid, 0)) != nullptr || returned; },
                  kWaitTimeoutMs + expected::kPeerSendBoundMs);
        if (menuWindow != nullptr) {
            ReadMenu(menuWindow, seen);
            TypeKeys(keys);
            if (keys.empty())
                PostMessageA(menuWindow, WM_CANCELMODE, 0, 0);  // nothing to type: closed as EndMenu would
        }
        // Watchdog: a menu the keys did not close is ended, as EndMenu would.
        while (!PumpUntil([&] { return returned.load(); })) {
            HWND open = WaitForMenu(pid, 0);
            if (open != nullptr)
                PostMessageA(open, WM_CANCELMODE, 0, 0);
        }
    });
    seen->askedAt = GetTickCount();
    seen->chosen = ChooseTargetMenu(record, kVorpanCommand);
    returned = true;
    user.join();

    if (GetWindowProc(own.hwndMain) != reinterpret_cast<WNDPROC>(OwnMainProc))
        return ::testing::AssertionFailure() << "main window procedure not restored";
    return ::testing::AssertionSuccess();
}

// The items of the menu, one line each, as Describe gives them.
std::vector<std::string> ItemsShown(const MenuSeen &seen)
{
    return seen.opened ? Describe(seen.items) : std::vector<std::string>{"the menu never opened"};
}

// Two other instances, B previously active and C before it, and this program's window as the requester,
// activated last.
struct OwnAndTwoOthers {
    OwnAndTwoOthers(TestBed &bed, const std::string &ownFolder, const std::string &optionB,
                    const std::string &optionC, const RECT &frame = {40, 30, 640, 430})
        : own(ownFolder, frame), others(bed, {optionC}, {optionB}), c(&others.c), b(&others.b)
    {
        activated = own.ok() && others.Ready() && Activate(own.hwndMain);
    }

    ::testing::AssertionResult Ready() const
    {
        if (!activated && others.Ready())
            return ::testing::AssertionFailure() << "no own window, or it could not be activated";
        return others.Ready();
    }

    OwnInstance own;
    ThreeInstances others;
    HostInstance *c, *b;
    bool activated = false;
};

// The other instances in the list's order and this one last, each with its folder as it is, "&" too, and
// an instance without one grey; keys typed after the menu opened with its first item highlighted choose,
// and Enter on a grey item chooses nothing.
TEST(ChooserMenu, ListsTheOtherInstancesInOrderAndThisOneLast)
{
    struct Case {
        const char *name;
        std::initializer_list<std::string> entries;
        std::string own, b, c;  // their folders; B's empty: the virtual folder
        std::vector<BYTE> keys;
        int chosen;  // 0: B, 1: C, -1: none
    };
    const Case cases[] = {
        {"real folders", {"作業\\", "ソフト\\表示\\", "資料\\"}, "作業", "ソフト\\表示", "資料", {VK_RETURN}, 0},
        {"ampersands in paths", {"Q&A\\", "R&D\\", "A&&B&\\"}, "Q&A", "R&D", "A&&B&", {VK_DOWN, VK_RETURN}, 1},
        {"B on the virtual folder", {"作業\\", "資料\\"}, "作業", "", "資料", {VK_RETURN}, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBed bed(c.entries);
        OwnAndTwoOthers setUp(bed, bed.Path(c.own), c.b.empty() ? "/virtual" : "/path=" + bed.Path(c.b),
                              "/path=" + bed.Path(c.c));
        ASSERT_TRUE(setUp.Ready());

        MenuSeen seen;
        ASSERT_TRUE(RunChooser(setUp.own, {setUp.b->hwnd, setUp.c->hwnd}, c.keys, &seen));
        const std::vector<ShownItem> expected = {
            c.b.empty() ? ShownItem{expected::kFirstItemId, expected::kVirtualFolderItem, kGrey}
                        : ShownItem{expected::kFirstItemId, bed.Path(c.b), 0},
            {expected::kFirstItemId + 1, bed.Path(c.c), 0},
            {expected::kFirstItemId + 2, bed.Path(c.own), 0},
        };
        EXPECT_EQ(ItemsShown(seen), Describe(expected));
        EXPECT_TRUE(seen.firstHighlighted) << "the menu did not open with its first item highlighted";
        EXPECT_EQ(seen.chosen, c.chosen < 0 ? kNoTarget : c.chosen == 0 ? setUp.b->hwnd : setUp.c->hwnd);
    }
}

TEST(ChooserMenu, OpensCentredOnThisInstanceAndEscapeChoosesNothing)
{
    TestBed bed({"作業\\", "ソフト\\", "資料\\"});
    const RECT frame = {130, 70, 631, 470};  // odd sizes: the centre is rounded toward zero
    OwnAndTwoOthers setUp(bed, bed.Path("作業"), "/path=" + bed.Path("ソフト"), "/path=" + bed.Path("資料"), frame);
    ASSERT_TRUE(setUp.Ready());

    MenuSeen seen;
    ASSERT_TRUE(RunChooser(setUp.own, {setUp.b->hwnd, setUp.c->hwnd}, {VK_ESCAPE}, &seen));
    ASSERT_TRUE(seen.opened);
    EXPECT_EQ(seen.chosen, kNoTarget);
    // Centre-aligned at the main window's centre: the menu's own centre lies there, within a pixel.
    RECT main;
    GetWindowRect(setUp.own.hwndMain, &main);
    LONG expectedX = (main.left + main.right) / 2, expectedY = (main.top + main.bottom) / 2;
    LONG menuX = (seen.frame.left + seen.frame.right) / 2, menuY = (seen.frame.top + seen.frame.bottom) / 2;
    EXPECT_NEAR(menuX, expectedX, 1) << "menu " << seen.frame.left << "," << seen.frame.top << " - "
                                     << seen.frame.right << "," << seen.frame.bottom;
    EXPECT_NEAR(menuY, expectedY, 1);
}

// The user went to another program while the chooser asked the other instances. A menu whose owner is
// not in the foreground would not close at a click outside it, and a choice made there would start a
// copy; typed keys go to the foreground window, so the Down arrow the chooser types for its menu would
// land in that program. No menu opens then, and nothing is chosen.
constexpr BYTE kMarkerKey = VK_F13;
std::atomic<int> switcherDowns, switcherMarkers;

LRESULT CALLBACK SwitcherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == kVorpanCommand) {
        Activate(hwnd);  // asked for its paths, it takes the foreground and never answers
        return 0;
    }
    if (message == WM_KEYDOWN && wParam == VK_DOWN)
        ++switcherDowns;
    if (message == WM_KEYDOWN && wParam == kMarkerKey)
        ++switcherMarkers;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(ChooserMenu, OpensNoMenuOnceAnotherProgramTookTheForeground)
{
    switcherDowns = switcherMarkers = 0;
    OwnInstance own("C:\\作業", {40, 30, 640, 430});
    ASSERT_TRUE(own.ok());
    ThreadWindow switcher(SwitcherProc);
    ASSERT_NE(switcher.hwnd, nullptr);
    ASSERT_TRUE(Activate(own.hwndMain));

    MenuSeen seen;
    EXPECT_TRUE(RunChooser(own, {switcher.hwnd}, {}, &seen));
    EXPECT_FALSE(seen.opened) << "a menu opened behind another program";
    EXPECT_EQ(seen.chosen, kNoTarget) << "a copy would start";
    // Typed keys reach a window in the order they were typed: once this one has, so had any before it.
    TypeKeys({kMarkerKey});
    ASSERT_TRUE(PumpUntil([] { return switcherMarkers > 0; })) << "the other window is not in the foreground";
    EXPECT_EQ(switcherDowns, 0);
}

// The ids of this process's threads now.
std::vector<DWORD> ThreadIdsOfThisProcess()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return ids;
}

// The threads of this process that are not among known, opened to be waited on.
std::vector<HANDLE> ThreadsSince(const std::vector<DWORD> &known)
{
    std::vector<HANDLE> threads;
    for (DWORD id : ThreadIdsOfThisProcess()) {
        HANDLE thread = std::count(known.begin(), known.end(), id) == 0 ? OpenThread(SYNCHRONIZE, FALSE, id) : nullptr;
        if (thread != nullptr)
            threads.push_back(thread);
    }
    return threads;
}

// Other instances that stall or answer out of turn: one whose thread is held elsewhere (held), one that
// takes the request but answers only after its sender has given up (late), one busy with the request past
// the prompt bound that answers once it is asked again (slow), and one that answers and reports again
// once its ask has ended, asked in turn or at once (chatty), while the round waits for one that holds
// its request until then (waiter). Asked in turn, each that stalls would cost the menu a time-out of its
// own; an answer after its instance's ask has ended changes nothing.
TEST(ChooserMenu, StalledInstancesCostTheMenuOneTimeOutInAll)
{
    TestBed bed({"作業\\", "ソフト\\表示\\", "資料\\"});
    OwnAndTwoOthers setUp(bed, bed.Path("作業"), "/path=" + bed.Path("ソフト\\表示"), "/path=" + bed.Path("資料"));
    ASSERT_TRUE(setUp.Ready());
    const HWND own = setUp.own.hwndMain;
    const std::string grey = expected::kVirtualFolderItem, slowFolder = "C:\\遅れても間に合う答え";

    enum Other { kB, kC, kHeld, kHeld2, kLate, kSlow, kChatty, kWaiter };
    struct Row {
        const char *name;
        std::vector<Other> others;
        std::vector<std::string> shown;  // each other's item; the grey one is not enabled
        std::vector<BYTE> keys;
        int chosen;  // index among the others; -1: none
    };
    const std::string folderB = bed.Path("ソフト\\表示"), folderC = bed.Path("資料");
    const Row rows[] = {
        {"two stall among those that answer", {kB, kHeld, kC, kLate}, {folderB, grey, folderC, grey},
         {VK_DOWN, VK_DOWN, VK_RETURN}, 2},
        {"the first instance asked stalls", {kLate, kB, kC}, {grey, folderB, folderC}, {VK_DOWN, VK_RETURN}, 1},
        {"every other instance stalls", {kHeld, kLate, kHeld2}, {grey, grey, grey}, {VK_ESCAPE}, -1},
        {"one answers after the prompt bound, within the round", {kB, kSlow, kC}, {folderB, slowFolder, folderC},
         {VK_DOWN, VK_RETURN}, 1},
        {"one reports again while the round asks the next in turn", {kChatty, kWaiter}, {"C:\\最初の答え", grey},
         {VK_RETURN}, 0},
        {"one reports again once its ask at once has ended", {kWaiter, kChatty}, {grey, "C:\\最初の答え"},
         {VK_DOWN, VK_RETURN}, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ThreadWindow held(OwnMainProc), held2(OwnMainProc);
        BusyInstance late("late"), slow("slow"), chatty("chatty"), waiter("waiter");
        ASSERT_TRUE(held.hwnd && held2.hwnd && late.ok() && slow.ok() && chatty.ok() && waiter.ok());
        std::atomic<bool> lateReported(false), reportedAgain(false), secondDelivered(false), roundBegun(false);
        std::vector<DWORD> beforeAtOnce;  // this process's threads before the round asked any at once
        late.onRequest = [&] {
            late.Hold();
            SendAnswer(own, late.hwnd(), "C:\\遅すぎた答え");
            lateReported = true;
        };
        slow.onRequest = [&] {
            if (slow.Requests() == 1)
                slow.Hold(BusyInstance::AskedAgain);
            SendAnswer(own, slow.hwnd(), slowFolder);
        };
        chatty.onRequest = [&] {
            SendTextReport(own, chatty.hwnd(), kCurrentPathReport, "C:\\最初の答え");
            // Asked after the waiter, it is asked at once, by a thread the round made for it and that ends
            // with its ask. The round's one other thread asks the waiter, which holds that ask until this
            // second report: of the round's threads only this instance's asker can end first.
            std::vector<HANDLE> threads =
                waiter.Requests() > 0 && roundBegun ? ThreadsSince(beforeAtOnce) : std::vector<HANDLE>();
            ReplyMessage(0);
            if (threads.empty())
                chatty.Hold([&] { return waiter.Requests() > 0; });
            else
                WaitForMultipleObjects(DWORD(threads.size()), threads.data(), FALSE, ThreadWindow::kHoldSafetyMs);
            for (HANDLE thread : threads)
                CloseHandle(thread);
            secondDelivered = SendTextReport(own, chatty.hwnd(), kCurrentPathReport, "C:\\二度目の答え");
            reportedAgain = true;
        };
        waiter.onRequest = [&] {
            // Asked first in turn, before the round makes a thread for anyone, or after the chatty one.
            if (waiter.Requests() == 1) {
                beforeAtOnce = ThreadIdsOfThisProcess();
                roundBegun = true;
            }
            waiter.Hold([&] { return reportedAgain.load(); });
        };
        // Made after it, they would come before this instance in every host's list of instances.
        ASSERT_TRUE(Activate(own));
        // Stalled just before the command: not yet counted as hung, so each ask runs to its time-out.
        ASSERT_TRUE(held.Hang() && held2.Hang());

        const HWND windows[] = {setUp.b->hwnd, setUp.c->hwnd, held.hwnd,   held2.hwnd,
                                late.hwnd(),   slow.hwnd(),   chatty.hwnd(), waiter.hwnd()};
        std::vector<HWND> others;
        std::vector<ShownItem> expectedItems;
        for (size_t i = 0; i < row.others.size(); ++i) {
            others.push_back(windows[row.others[i]]);
            expectedItems.push_back({expected::kFirstItemId + UINT(i), row.shown[i], row.shown[i] != grey ? 0 : kGrey});
        }
        expectedItems.push_back({expected::kFirstItemId + UINT(others.size()), bed.Path("作業"), 0});

        MenuSeen seen;
        // Once the menu is up the late one answers: after its time-out, that changes nothing.
        const bool withLate = std::count(row.others.begin(), row.others.end(), kLate) > 0;
        bool lateAnswered = !withLate;
        seen.beforeRead = [&] {
            late.Release();
            lateAnswered = lateAnswered || PumpUntil([&] { return lateReported.load(); });
        };
        EXPECT_TRUE(RunChooser(setUp.own, others, row.keys, &seen));
        held.Release();
        held2.Release();
        EXPECT_EQ(ItemsShown(seen), Describe(expectedItems));
        EXPECT_TRUE(lateAnswered) << "the late answer never went out";
        // By the clock of this process, which the plug-in's own bounds run on: asking the stalled instances
        // one after the other costs at least two bounds, whatever the machine's load adds to one.
        EXPECT_LT(seen.openedAt - seen.askedAt, 2 * expected::kPeerSendBoundMs)
            << "the menu waited for one stalled instance after the other";
        EXPECT_EQ(seen.chosen, row.chosen < 0 ? kNoTarget : others[row.chosen]);
        if (std::count(row.others.begin(), row.others.end(), kChatty) > 0) {
            EXPECT_TRUE(secondDelivered.load()) << "the second report never reached this instance";
        }
    }
}

// Instances that number their plug-ins otherwise, as one started before a plug-in was added: the menu
// of each gives our plug-in's command there. Whoever asks must send that one, and nothing to an
// instance whose menu has no item of ours: any number would run another plug-in on the user's files.
struct NumberedTarget {
    HWND requester;
    std::vector<UINT> commands;  // every command the window received
};
NumberedTarget numbered[3];

LRESULT CALLBACK NumberedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    NumberedTarget &target = numbered[GetWindowLongPtrA(hwnd, GWLP_USERDATA)];
    if (message == WM_COMMAND) {
        target.commands.push_back(LOWORD(wParam));
        char label[64] = "";
        GetMenuStringA(GetMenu(hwnd), LOWORD(wParam), label, sizeof label, MF_BYCOMMAND);
        if (std::string(label) == kPluginMenuLabel)
            SendTextReport(target.requester, hwnd, kCurrentPathReport, "C:\\番号違い");
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A main window on a thread of its own whose plug-in menu lists items from 33100.
HWND MakeNumberedTarget(int index, const std::vector<std::string> &plugins,
                        const char *pluginMenu = kPluginMenuText)
{
    HWND hwnd = MakeMenuWindow(HOST_WINDOW_CLASS, NumberedProc, "numbered", plugins, pluginMenu);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, index);
    return hwnd;
}

TEST(ChooserMenu, SendsEachInstanceTheCommandItsOwnMenuGivesUsAndNothingWithout)
{
    OwnInstance own("C:\\作業", {40, 30, 640, 430});
    ASSERT_TRUE(own.ok());
    numbered[0] = {own.hwndMain, {}};
    numbered[1] = {own.hwndMain, {}};
    numbered[2] = {own.hwndMain, {}};
    ThreadWindow renumbered([] { return MakeNumberedTarget(0, {"別のプラグイン(&X)", kPluginMenuLabel}); });
    ThreadWindow without([] { return MakeNumberedTarget(1, {"別のプラグイン(&X)"}); });
    // Every instance has a menu bar: a window without one is none, whatever its class.
    ThreadWindow noMenuBar([] { return MakeNumberedTarget(2, {kPluginMenuLabel}, nullptr); });
    ASSERT_TRUE(renumbered.hwnd != nullptr && without.hwnd != nullptr && noMenuBar.hwnd != nullptr);
    ASSERT_TRUE(Activate(own.hwndMain));

    PathAnswer answer;
    RequestPaths(own.hwndMain, renumbered.hwnd, kVorpanCommand, &answer);
    EXPECT_STREQ(answer.currentPath, "C:\\番号違い") << "the two-pane copy's target";
    RequestPaths(own.hwndMain, without.hwnd, kVorpanCommand, &answer);
    EXPECT_STREQ(answer.currentPath, "") << "without our plug-in the copy falls back";

    RequestPaths(own.hwndMain, noMenuBar.hwnd, kVorpanCommand, &answer);
    EXPECT_STREQ(answer.currentPath, "");

    MenuSeen seen;
    EXPECT_TRUE(RunChooser(own, {renumbered.hwnd, without.hwnd, noMenuBar.hwnd}, {VK_ESCAPE}, &seen));
    EXPECT_EQ(seen.chosen, kNoTarget);
    EXPECT_EQ(ItemsShown(seen), Describe({{expected::kFirstItemId + 0, "C:\\番号違い", 0},
                                          {expected::kFirstItemId + 1, expected::kVirtualFolderItem, kGrey},
                                          {expected::kFirstItemId + 2, expected::kVirtualFolderItem, kGrey},
                                          {expected::kFirstItemId + 3, "C:\\作業", 0}}));
    EXPECT_EQ(numbered[0].commands, std::vector<UINT>({33101, 33101}));
    EXPECT_EQ(numbered[1].commands, std::vector<UINT>()) << "another plug-in's command was sent";
    EXPECT_EQ(numbered[2].commands, std::vector<UINT>()) << "a window without a menu bar was sent a command";
}

}  // namespace
