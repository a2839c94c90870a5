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

// ---------------------------------------------------------------------------------------------------
// Across processes: three stand-in hosts, the command chosen in one, the menu driven by keys.

// Three instances on real folders (or B on the virtual folder), C activated first, then B, then the
// requester A with its files selected: A's instanceWindows are {B, C, A}, its menu lists them so.
const std::vector<std::string> kThreeFolders = {"作業\\報告書.txt", "作業\\memo.txt", "ソフト\\表示\\", "R&D\\"};

std::vector<Instance> ThreeOnFolders(const std::string &folderB = "ソフト\\表示")
{
    return {On("C", "R&D"), On("B", folderB), Selecting("A", "作業")};
}

// A run from A under the State word state: what the user meets, then the copies and files its host made.
struct RunFromA {
    const char *name;
    int state;
    std::vector<Step> steps;
    LRESULT copies, copied;
};

void ExpectRuns(Desktop &desktop, const std::vector<RunFromA> &runs)
{
    for (const RunFromA &run : runs) {
        SCOPED_TRACE(run.name);
        desktop.SetState(run.state);
        RunCounts counts;
        EXPECT_TRUE(Runs(desktop, {"A", run.steps}, &counts));
        EXPECT_EQ(counts.copies, run.copies);
        EXPECT_EQ(counts.copied, run.copied);
    }
}

// Keys typed once the menu opened with its first item highlighted; the dialog shows where the files go.
TEST(TargetChooser, ChoosesTheOtherInstancesInTheOrderTheyWereActive)
{
    Desktop desktop(kThreeFolders, ThreeOnFolders());
    ASSERT_TRUE(Ready(desktop));
    ExpectRuns(desktop, {
        {"first item: the previously active instance B", expected::kChooseTarget,
         {step::Menu({VK_RETURN}), step::Filled("ソフト\\表示")}, 1, 2},
        {"second item: the instance C active before it", expected::kChooseTarget,
         {step::Menu({VK_DOWN, VK_RETURN}), step::Filled("R&D")}, 1, 2},
    });
    for (const std::string folder : {"ソフト\\表示", "R&D"})
        EXPECT_TRUE(FileHolds(desktop.Path(folder + "\\報告書.txt"), "作業\\報告書.txt"));
}

// Enter on the highlighted grey item ends the menu without a choice (with notices on, choosing it would
// show the virtual-folder notice); the item below it still leads to its instance's folder.
TEST(TargetChooser, AnInstanceOnTheVirtualFolderCannotBeChosen)
{
    Desktop desktop(kThreeFolders, ThreeOnFolders(""));
    ASSERT_TRUE(Ready(desktop));
    const int state = expected::kChooseTarget | expected::kNotifyFallback;
    ExpectRuns(desktop, {
        {"Enter on the grey item", state, {step::Menu({VK_RETURN})}, 0, 0},
        {"the item below it", state, {step::Menu({VK_DOWN, VK_RETURN}), step::Filled("R&D", IDCANCEL)}, 1, 0},
    });
}

// The last item, this instance: the host's own copy, after the notice when notices are on.
TEST(TargetChooser, ChoosingItselfCopiesNormally)
{
    Desktop desktop(kThreeFolders, ThreeOnFolders());
    ASSERT_TRUE(Ready(desktop));
    const Step itself = step::Menu({VK_DOWN, VK_DOWN, VK_RETURN}), normalCopy = step::HostDialog("作業", IDCANCEL);
    const int on = expected::kChooseTarget | expected::kNotifyFallback;
    ExpectRuns(desktop, {
        {"notices on, OK", on, {itself, step::Notice(expected::kTargetIsSelfText, IDOK), normalCopy}, 1, 0},
        {"notices on, Cancel", on, {itself, step::Notice(expected::kTargetIsSelfText, IDCANCEL)}, 0, 0},
        {"notices off", expected::kChooseTarget, {itself, normalCopy}, 1, 0},
    });
}

// While the menu is open the host's own loop takes the command, with the main window active and in the
// foreground, as when the user chose it: still no second run over the first one's hooks.
Outcome ChooseAgainWhileTheMenuIsOpen(const Desktop &desktop, HWND menu)
{
    const HostInstance &a = desktop.Host("A");
    LRESULT calls = a.Query(kQueryPluginCalls), asked = desktop.Host("B").Query(kQueryPluginCalls);
    PostMessageA(a.hwnd, WM_COMMAND, kVorpanCommand, 0);
    if (!PumpUntil([&] { return a.Query(kQueryPluginCalls) == calls + 1 && a.Query(kQueryPluginReturns) == calls; }))
        return Outcome::Failed("the second call did not end while the menu was open");
    LRESULT role = a.Query(kQueryRoleAtLastCall);
    if (role != (kSeenActive | kSeenForeground) || desktop.Host("B").Query(kQueryPluginCalls) != asked ||
        !IsWindowVisible(menu))
        return Outcome::Failed("second call's role " + std::to_string(role) + ", a second round, or the menu closed");
    return Outcome::Ok();
}

// A click at the screen's far corner, outside the menu and the host windows at the top left, once the menu took
// the mouse capture: its thread shows the popup first, and a click before would go to the window under it.
Outcome ClickOutside(const Desktop &, HWND menu)
{
    POINT outside = {GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5};
    RECT menuRect;
    GetWindowRect(menu, &menuRect);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    auto captured = [&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(menu, nullptr), &info) && (info.flags & GUI_INMENUMODE) &&
               info.hwndCapture != nullptr;
    };
    if (PtInRect(&menuRect, outside) || !PumpUntil(captured))
        return Outcome::Failed("the menu covers the far corner, or never took the mouse");
    SetCursorPos(outside.x, outside.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    return Outcome::Ok();
}

TEST(TargetChooser, DismissingTheMenuEndsTheRunWithoutAnything)
{
    struct Dismissal {
        const char *name;
        std::vector<BYTE> keys;
        Outcome (*act)(const Desktop &, HWND menu);
        bool escapeWhileAsked;  // a busy instance, asked first, takes an Escape before it answers
    };
    const Dismissal dismissals[] = {
        {"Escape", {VK_ESCAPE}, nullptr, false},
        {"Escape typed while the instances are asked, then once the menu is shown", {VK_ESCAPE}, nullptr, true},
        {"click outside the menu", {}, ClickOutside, false},
        {"the command again while the menu is open, then Escape", {VK_ESCAPE}, ChooseAgainWhileTheMenuIsOpen, false},
    };
    for (const Dismissal &dismissal : dismissals) {
        SCOPED_TRACE(dismissal.name);
        std::vector<Instance> instances = ThreeOnFolders();
        if (dismissal.escapeWhileAsked)
            instances.insert(instances.end() - 1, BusyWindow("busy").TypingWhenAsked({VK_ESCAPE}, "R&D"));
        Desktop desktop(kThreeFolders, instances, expected::kChooseTarget | expected::kNotifyFallback);
        ASSERT_TRUE(Ready(desktop));
        const Step menu = step::Menu(dismissal.keys).Then([&](HWND window) {
            return dismissal.act != nullptr ? dismissal.act(desktop, window) : Outcome::Ok();
        });
        RunCounts counts;
        EXPECT_TRUE(Runs(desktop, {"A", {menu}}, &counts));
        EXPECT_EQ(counts.copies, 0);
        // A key the menu did not take reaches the file list once the run has ended.
        const HostInstance &a = desktop.Host("A");
        ASSERT_TRUE(PumpUntil([&] { return a.Query(kQueryInputQueued) == 0; }));
        EXPECT_EQ(ListView_GetSelectedCount(a.FileList()), 2u) << "the file list's selection moved";
    }
}

// No menu opens when 「選択する」 is off, nor with only two instances: the previously active one is the
// target, and the only one asked. No key is typed: a menu would keep the dialog from ever opening.
TEST(TargetChooser, WithoutAMenuThePreviouslyActiveInstanceIsTheTarget)
{
    struct Case {
        const char *name;
        int state;
        std::vector<Instance> instances;
    };
    const Case cases[] = {
        {"three instances, the target not chosen", 0, ThreeOnFolders()},
        {"the target chosen, two instances", expected::kChooseTarget, {On("B", "ソフト\\表示"), Selecting("A", "作業")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Desktop desktop(kThreeFolders, c.instances, c.state);
        ASSERT_TRUE(Ready(desktop));
        RunCounts counts;
        EXPECT_TRUE(Runs(desktop, {"A", {step::Filled("ソフト\\表示", IDCANCEL)}}, &counts));
        EXPECT_EQ(std::make_pair(counts.requests["B"], counts.requests["C"]), std::pair(1, 0)) << "requests to B, C";
    }
}

// ---------------------------------------------------------------------------------------------------
// In this process: ChooseTargetMenu run on this thread over real instances, its menu read by a second
// thread while it is open (menus cannot be read from another process under Wine).

// This program's own main window in the place of the requesting host: an instance's main window, so that
// the other instances' plug-ins send their reports to it once it is the most recently active.
struct OwnInstance {
    OwnInstance(const std::string &path, const RECT &frame)
        : currentPath(path),
          hwndMain(MakeInstanceWindow(DefWindowProcA, "own instance", WS_OVERLAPPEDWINDOW | WS_VISIBLE, frame)),
          hwndFileList(CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 200, 100,
                                       hwndMain, nullptr, GetModuleHandleA(nullptr), nullptr))
    {
    }
    ~OwnInstance() { DestroyWindow(hwndMain); }
    OwnInstance(const OwnInstance &) = delete;
    OwnInstance &operator=(const OwnInstance &) = delete;
    bool ok() const { return hwndMain && hwndFileList; }

    std::string currentPath;
    HWND hwndMain, hwndFileList;
};

// One item in one line: its id, its text, and whether it is grey (MF_GRAYED | MF_DISABLED: both or neither).
constexpr UINT kGrey = MF_GRAYED | MF_DISABLED;

std::string Item(UINT id, const std::string &text, UINT disabled)
{
    return std::to_string(id) + " \"" + Utf8Text(text) + "\" disabled=" + std::to_string(disabled);
}

// The items of a menu that shows these texts, numbered from the first; only the virtual folder's is grey.
// A menu shows "&" for "&&"; a single one only underlines what follows (no trail byte is "&").
std::vector<std::string> Items(const std::vector<std::string> &texts)
{
    std::vector<std::string> items;
    for (const std::string &text : texts) {
        std::string raw;
        for (char c : text)
            raw += c == '&' ? std::string("&&") : std::string(1, c);
        const UINT id = expected::kFirstItemId + UINT(items.size());
        items.push_back(Item(id, raw, text == expected::kVirtualFolderItem ? kGrey : 0));
    }
    return items;
}

// What the second thread saw of the open menu.
struct MenuSeen {
    std::function<void()> beforeRead;  // run on the second thread once the menu is open
    bool opened = false, firstHighlighted = false;  // firstHighlighted: the synthesized Down arrow took effect
    HWND chosen = nullptr;
    DWORD askedAt = 0, openedAt = 0;  // tick counts: ChooseTargetMenu called, its menu found open
    RECT frame = {};
    std::vector<std::string> items = {"the menu never opened"};  // as Item gives them
};

void ReadMenu(HWND menuWindow, MenuSeen *seen)
{
    seen->opened = true;
    seen->items.clear();
    seen->openedAt = GetTickCount();
    if (seen->beforeRead)
        seen->beforeRead();
    GetWindowRect(menuWindow, &seen->frame);
    DWORD_PTR handle = 0;
    SendMessageTimeoutA(menuWindow, MN_GETHMENU, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &handle);
    HMENU menu = reinterpret_cast<HMENU>(handle);
    seen->firstHighlighted = PumpUntil([&] { return (GetMenuState(menu, 0, MF_BYPOSITION) & MF_HILITE) != 0; });
    for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
        char raw[2 * MAX_PATH + 2] = {};
        GetMenuStringA(menu, i, raw, sizeof raw, MF_BYPOSITION);
        raw[sizeof raw - 1] = '\0';  // Wine leaves a cut text unterminated
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        seen->items.push_back(Item(GetMenuItemID(menu, i), raw, state & kGrey));
    }
}

// Runs ChooseTargetMenu here while a second thread reads its menu, types keys, and ends a menu they left open
// (a failing test must not hang). Fails unless the main window's procedure is restored.
::testing::AssertionResult RunChooser(const OwnInstance &own, std::vector<HWND> instanceWindows,
                                      const std::vector<BYTE> &keys, MenuSeen *seen)
{
    instanceWindows.push_back(own.hwndMain);
    HostRecord record = {own.hwndMain, 0, own.hwndFileList, instanceWindows.data(),
                         static_cast<int>(instanceWindows.size()), own.currentPath.c_str()};

    const WNDPROC before = GetWindowProc(own.hwndMain);  // as read back, which need not be the class's address
    std::atomic<bool> returned(false);
    std::thread user([&] {
        const DWORD pid = GetCurrentProcessId();
        // The chooser asks the other instances first, up to its bound in all; it may end without a menu.
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
        while (!PumpUntil([&] { return returned.load(); }))
            if (HWND open = WaitForMenu(pid, 0))
                PostMessageA(open, WM_CANCELMODE, 0, 0);
    });
    seen->askedAt = GetTickCount();
    seen->chosen = ChooseTargetMenu(record, kVorpanCommand);
    returned = true;
    user.join();

    if (GetWindowProc(own.hwndMain) != before)
        return ::testing::AssertionFailure() << "main window procedure not restored";
    return ::testing::AssertionSuccess();
}

// Two other instances, B previously active and C before it, and this program's window, showing ownFolder.
struct OwnAndTwoOthers {
    OwnAndTwoOthers(const std::vector<std::string> &entries, const std::string &ownFolder, const std::string &folderB,
                    const std::string &folderC, const RECT &frame = {40, 30, 640, 430})
        : own("", frame), desktop(entries, {On("C", folderC), On("B", folderB), OwnWindow("own", own.hwndMain)})
    {
        own.currentPath = desktop.Path(ownFolder);
    }

    OwnInstance own;
    Desktop desktop;
};

// The other instances in the list's order and this one last, each with its folder as it is, "&" too, one
// without a folder grey; keys choose once the menu opened on its first item, Enter on a grey one nothing.
TEST(ChooserMenu, ListsTheOtherInstancesInOrderAndThisOneLast)
{
    struct Case {
        const char *name;
        std::vector<std::string> entries;
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
        OwnAndTwoOthers setUp(c.entries, c.own, c.b, c.c);
        const Desktop &desktop = setUp.desktop;
        ASSERT_TRUE(Ready(desktop));

        MenuSeen seen;
        ASSERT_TRUE(RunChooser(setUp.own, {desktop.Window("B"), desktop.Window("C")}, c.keys, &seen));
        const std::string b = c.b.empty() ? expected::kVirtualFolderItem : desktop.Path(c.b);
        EXPECT_EQ(seen.items, Items({b, desktop.Path(c.c), desktop.Path(c.own)}));
        EXPECT_TRUE(seen.firstHighlighted) << "the menu did not open with its first item highlighted";
        EXPECT_EQ(seen.chosen, c.chosen < 0 ? kNoTarget : desktop.Window(c.chosen == 0 ? "B" : "C"));
    }
}

TEST(ChooserMenu, OpensCentredOnThisInstanceAndEscapeChoosesNothing)
{
    const RECT frame = {130, 70, 631, 470};  // odd sizes: the centre is rounded toward zero
    OwnAndTwoOthers setUp({"作業\\", "ソフト\\", "資料\\"}, "作業", "ソフト", "資料", frame);
    ASSERT_TRUE(Ready(setUp.desktop));

    MenuSeen seen;
    ASSERT_TRUE(RunChooser(setUp.own, {setUp.desktop.Window("B"), setUp.desktop.Window("C")}, {VK_ESCAPE}, &seen));
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

// The user went to another program while the chooser asked: a menu there would not close at a click outside
// it, a choice in it would start a copy, and the Down arrow typed for it would land in that program.
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
    ThreadWindow switcher(SwitcherProc);
    ASSERT_TRUE(own.ok() && switcher.hwnd != nullptr);
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

// The ids of this process's threads now, but those among known.
std::vector<DWORD> ThreadIdsOfThisProcess(const std::vector<DWORD> &known = {})
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() &&
            std::count(known.begin(), known.end(), entry.th32ThreadID) == 0)
            ids.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

// Other instances that stall or answer out of turn: held elsewhere (held), answering only once its sender gave
// up (late), busy past the prompt bound and answering when asked again (slow), reporting again once its ask
// ended, asked in turn or at once (chatty), while the round waits for one holding its request until then
// (waiter). Asked in turn, each stall would cost the menu a time-out; an answer after its ask changes nothing.
TEST(ChooserMenu, StalledInstancesCostTheMenuOneTimeOutInAll)
{
    OwnAndTwoOthers setUp({"作業\\", "ソフト\\表示\\", "資料\\"}, "作業", "ソフト\\表示", "資料");
    const Desktop &desktop = setUp.desktop;
    ASSERT_TRUE(Ready(desktop));
    const HWND own = setUp.own.hwndMain;
    const std::string grey = expected::kVirtualFolderItem, slowFolder = "C:\\遅れても間に合う答え";

    enum Other { kB, kC, kHeld, kHeld2, kLate, kSlow, kChatty, kWaiter };
    // The item of each: its folder, the answer it gave while asked, or grey for none.
    const std::string shown[] = {desktop.Path("ソフト\\表示"), desktop.Path("資料"), grey, grey, grey, slowFolder,
                                 "C:\\最初の答え", grey};
    struct Row {
        const char *name;
        std::vector<Other> others;
        std::vector<BYTE> keys;
        int chosen;  // index among the others; -1: none
    };
    const Row rows[] = {
        {"two stall among those that answer", {kB, kHeld, kC, kLate}, {VK_DOWN, VK_DOWN, VK_RETURN}, 2},
        {"the first instance asked stalls", {kLate, kB, kC}, {VK_DOWN, VK_RETURN}, 1},
        {"every other instance stalls", {kHeld, kLate, kHeld2}, {VK_ESCAPE}, -1},
        {"one answers after the prompt bound, within the round", {kB, kSlow, kC}, {VK_DOWN, VK_RETURN}, 1},
        {"one reports again while the round asks the next in turn", {kChatty, kWaiter}, {VK_RETURN}, 0},
        {"one reports again once its ask at once has ended", {kWaiter, kChatty}, {VK_DOWN, VK_RETURN}, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ThreadWindow held(DefWindowProcA), held2(DefWindowProcA);
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
            std::vector<HANDLE> threads;  // the round's threads made since, opened to be waited on
            if (waiter.Requests() > 0 && roundBegun)
                for (DWORD id : ThreadIdsOfThisProcess(beforeAtOnce))
                    if (HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id))
                        threads.push_back(thread);
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

        const HWND windows[] = {desktop.Window("B"), desktop.Window("C"), held.hwnd,    held2.hwnd,
                                late.hwnd(),         slow.hwnd(),         chatty.hwnd(), waiter.hwnd()};
        std::vector<HWND> others;
        std::vector<std::string> texts;
        for (Other other : row.others) {
            others.push_back(windows[other]);
            texts.push_back(shown[other]);
        }
        texts.push_back(desktop.Path("作業"));
        auto has = [&](Other kind) { return std::count(row.others.begin(), row.others.end(), kind) > 0; };

        MenuSeen seen;
        // Once the menu is up the late one answers: after its time-out, that changes nothing.
        bool lateAnswered = !has(kLate);
        seen.beforeRead = [&] {
            late.Release();
            lateAnswered = lateAnswered || PumpUntil([&] { return lateReported.load(); });
        };
        EXPECT_TRUE(RunChooser(setUp.own, others, row.keys, &seen));
        held.Release();
        held2.Release();
        EXPECT_EQ(seen.items, Items(texts));
        EXPECT_TRUE(lateAnswered) << "the late answer never went out";
        // By the clock of this process, which the plug-in's own bounds run on: asking the stalled instances
        // one after the other costs at least two bounds, whatever the machine's load adds to one.
        EXPECT_LT(seen.openedAt - seen.askedAt, 2 * expected::kPeerSendBoundMs)
            << "the menu waited for one stalled instance after the other";
        EXPECT_EQ(seen.chosen, row.chosen < 0 ? kNoTarget : others[row.chosen]);
        EXPECT_TRUE(!has(kChatty) || secondDelivered) << "the second report never reached this instance";
    }
}

// Instances that number their plug-ins otherwise (one started before a plug-in was added) are sent the command
// their own menu gives ours, and one without our item nothing: any number would run another plug-in.
HWND numberedRequester;
std::vector<UINT> numberedCommands[3];  // every command each window received

LRESULT CALLBACK NumberedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        numberedCommands[GetWindowLongPtrA(hwnd, GWLP_USERDATA)].push_back(LOWORD(wParam));
        char label[64] = "";
        GetMenuStringA(GetMenu(hwnd), LOWORD(wParam), label, sizeof label, MF_BYCOMMAND);
        if (std::string(label) == kPluginMenuLabel)
            SendTextReport(numberedRequester, hwnd, kCurrentPathReport, "C:\\番号違い");
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A main window on a thread of its own whose plug-in menu lists items from 33100.
HWND MakeNumberedTarget(int index, const std::vector<std::string> &plugins, const char *pluginMenu = kPluginMenuText)
{
    HWND hwnd = MakeMenuWindow(HOST_WINDOW_CLASS, NumberedProc, "numbered", plugins, pluginMenu);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, index);
    return hwnd;
}

TEST(ChooserMenu, SendsEachInstanceTheCommandItsOwnMenuGivesUsAndNothingWithout)
{
    OwnInstance own("C:\\作業", {40, 30, 640, 430});
    numberedRequester = own.hwndMain;
    std::fill(std::begin(numberedCommands), std::end(numberedCommands), std::vector<UINT>());
    ThreadWindow renumbered([] { return MakeNumberedTarget(0, {"別のプラグイン(&X)", kPluginMenuLabel}); });
    ThreadWindow without([] { return MakeNumberedTarget(1, {"別のプラグイン(&X)"}); });
    // Every instance has a menu bar: a window without one is none, whatever its class.
    ThreadWindow noMenuBar([] { return MakeNumberedTarget(2, {kPluginMenuLabel}, nullptr); });
    ASSERT_TRUE(own.ok() && renumbered.hwnd != nullptr && without.hwnd != nullptr && noMenuBar.hwnd != nullptr);
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
    const std::string grey = expected::kVirtualFolderItem;
    EXPECT_EQ(seen.items, Items({"C:\\番号違い", grey, grey, "C:\\作業"}));
    EXPECT_EQ(numberedCommands[0], std::vector<UINT>({33101, 33101}));
    EXPECT_EQ(numberedCommands[1], std::vector<UINT>()) << "another plug-in's command was sent";
    EXPECT_EQ(numberedCommands[2], std::vector<UINT>()) << "a window without a menu bar was sent a command";
}

}  // namespace
