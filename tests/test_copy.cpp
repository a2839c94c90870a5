// The two-pane copy end to end: stand-in host instances on real folders, the command chosen in one of
// them, the confirmation dialog as the user sees it, and the files where they went.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/window.h"
#include "host_protocol.h"
#include "support/test_support.h"

namespace {

// Wine's message box keeps its icon in this static control.
constexpr int kMessageBoxIconId = 1088;

HICON MessageBoxIcon(HWND box)
{
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(GetDlgItem(box, kMessageBoxIconId), STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &icon);
    return reinterpret_cast<HICON>(icon);
}

// The error icon as the host's process loads it (icon handles belong to a process), from its own MB_ICONERROR
// box, "not a folder". Needs a host with a selection and no run going on.
HICON HostErrorIcon(const HostInstance &host)
{
    PostMessageA(host.hwnd, WM_COMMAND, expected::kHostCopyCommand, 0);
    HWND dialog = WaitForConfirmDialog(host, expected::kConfirmTitle);
    if (dialog == nullptr)
        return nullptr;
    TypeDestination(dialog, "C:\\vorpan-no-such-folder");
    PressButton(dialog, IDOK);
    HWND box = WaitForWindowOfProcess(host.pid, HOST_MESSAGE_CAPTION, "#32770");
    HICON icon = MessageBoxIcon(box);  // none without a box
    PressButton(box, IDOK);
    WaitForWindowGone(box);
    PressButton(dialog, IDCANCEL);
    WaitForWindowGone(dialog);
    return icon;
}

// Every ASCII letter of path in the other case; double-byte characters (trail bytes may look like letters) kept.
std::string OtherCase(std::string path)
{
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
            ++i;
        else if ((path[i] | 0x20) >= 'a' && (path[i] | 0x20) <= 'z')
            path[i] ^= 0x20;  // ASCII letters differ from their other case in this bit only
    }
    return path;
}

// The target's tree may spell a folder otherwise than the requester's dialog tree (a folder renamed
// in case only, a drive letter typed small); the walk compares names ignoring case.
TEST(TwoPaneCopy, SelectsTheFolderWhenTheTreePathSpellsLevelsInOtherCase)
{
    Desktop desktop({"Quelle\\Notes.txt", "Projekt\\Daten\\", "Projekt\\Other\\"},
                    {PeerWindow("target"), Selecting("source", "Quelle")});
    ASSERT_TRUE(Ready(desktop));
    const std::string targetFolder = desktop.Path("Projekt\\Daten"), otherCaseTree = OtherCase(targetFolder + "\\");
    ASSERT_NE(otherCaseTree, targetFolder + "\\");
    PeerInstanceWindow &peer = desktop.Peer("target");
    peer.onRequest = [&] {
        SendTextReport(desktop.Window("source"), peer.hwnd, kCurrentPathReport, targetFolder);
        SendTextReport(desktop.Window("source"), peer.hwnd, kTreePathReport, otherCaseTree);
    };

    SCOPED_TRACE("tree path reported: " + otherCaseTree);
    RunCounts counts;
    EXPECT_TRUE(Runs(desktop, {"source", {step::Filled("Projekt\\Daten")}}, &counts));
    EXPECT_EQ(counts.requests["target"], 1);
    EXPECT_TRUE(FileHolds(targetFolder + "\\Notes.txt", "Quelle\\Notes.txt"));
}

// Each case without a two-pane copy, with the notice answered OK or Cancel and without it, the user typing 先<n>
// as the destination into the host's own dialog: what the user sees and where the files go.
TEST(Fallback, WithoutAnotherInstancesFolderTheCopyIsTheHostsOwn)
{
    struct Case {
        const char *name;
        std::vector<Instance> others;
        std::vector<std::string> sourceOptions;
        const char *noticeText;
        int targetAsks;  // requests the target gets in each run
    };
    const Case cases[] = {
        {"a single instance", {}, {}, expected::kSingleInstanceText, 0},
        {"the target on the virtual folder", {On("target", "")}, {}, expected::kVirtualTargetText, 1},
        {"the source's path too long", {On("target", "相手")}, {"/longpath"}, expected::kSourceTooLongText, 0},
        {"a Return typed while a target without a path is asked",
         {BusyWindow("target").TypingWhenAsked({VK_RETURN}, "")}, {}, expected::kVirtualTargetText, 1},
    };
    const std::vector<std::string> files = {"a.txt", "表.txt"};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Instance> instances = c.others;
        instances.push_back(Selecting("source", "作業", c.sourceOptions));
        Desktop desktop({"作業\\a.txt", "作業\\表.txt", "先1\\", "先2\\", "先3\\", "相手\\"}, instances);
        ASSERT_TRUE(Ready(desktop));
        for (int answer : {IDOK, IDCANCEL, 0}) {
            const std::string destination = "先" + std::to_string(answer == IDOK ? 1 : answer == IDCANCEL ? 2 : 3);
            SCOPED_TRACE(answer == IDOK ? "notice, OK" : answer == IDCANCEL ? "notice, Cancel" : "no notice");
            desktop.SetState(answer != 0 ? expected::kNotifyFallback : 0);
            std::vector<Step> steps;
            if (answer != 0)
                steps.push_back(step::Notice(c.noticeText, answer));
            if (answer != IDCANCEL)
                steps.push_back(step::HostDialog("作業", IDOK, destination));

            RunCounts counts;
            EXPECT_TRUE(Runs(desktop, {"source", steps}, &counts));
            const bool copied = answer != IDCANCEL;
            EXPECT_EQ(counts.copies, copied ? 1 : 0);
            EXPECT_EQ(counts.copied, copied ? LRESULT(files.size()) : 0);
            EXPECT_EQ(FilesIn(desktop.Path(destination)), copied ? files : std::vector<std::string>());
            for (const std::string &name : FilesIn(desktop.Path(destination)))
                EXPECT_TRUE(FileHolds(desktop.Path(destination + "\\" + name), "作業\\" + name));
            EXPECT_EQ(c.others.empty() ? 0 : counts.requests["target"], c.targetAsks) << "requests to the target";
        }
    }
}

// Without the plug-in menu the plug-in cannot name itself to another instance: it says so and stops,
// notices or not.
TEST(Fallback, CommandNotFoundShowsTheErrorBoxAndDoesNotCopy)
{
    Desktop desktop({"作業\\a.txt", "相手\\"},
                    {On("target", "相手"), Selecting("source", "作業", {"/pluginmenu=ツール(&T)"})});
    ASSERT_TRUE(Ready(desktop));
    std::vector<HICON> icons;
    const Step errorBox = step::ErrorBox(expected::kCommandNotFoundText).Then([&](HWND box) {
        icons.push_back(MessageBoxIcon(box));
        return Outcome::Ok();
    });
    for (int state : {expected::kNotifyFallback, 0}) {
        SCOPED_TRACE("State " + std::to_string(state));
        desktop.SetState(state);
        RunCounts counts;
        EXPECT_TRUE(Runs(desktop, {"source", {errorBox}}, &counts));
        EXPECT_EQ(counts.copies, 0);
        EXPECT_EQ(counts.requests["target"], 0) << "the target was asked although the command is unknown";
        EXPECT_TRUE(FilesIn(desktop.Path("相手")).empty());
    }

    HICON errorIcon = HostErrorIcon(desktop.Host("source"));
    ASSERT_NE(errorIcon, nullptr);
    EXPECT_EQ(icons, std::vector<HICON>(2, errorIcon)) << "not the MB_ICONERROR icon";
}

// Into the previously active instance's folder, whatever the host's dialog does in its set-up and the user does:
// OK confirms what the dialog shows once readable, its title names the plug-in only over the target's folder,
// one of the host's own title is filled in, and a Return typed ahead confirms only the filled-in dialog. 十, 能,
// ソ and 表 end in 5C, the byte of "\": a path split at bytes would look for folders that do not exist.
TEST(TwoPaneCopy, FillsTheDialogWithThePreviouslyActiveInstancesFolder)
{
    enum Input { kReadThenReturn, kReadThenClick, kReturnAhead };
    const char *const inputNames[] = {"read, Return", "read, click", "Return typed ahead"};
    const std::vector<Input> everyInput = {kReadThenReturn, kReturnAhead, kReadThenClick};
    struct Row {
        const char *name;
        LPARAM shape;  // kDialog* flags of the host's dialog
        std::vector<Input> inputs;
    };
    const Row rows[] = {
        {"as the host makes it (a Return typed ahead reaches it before it is shown)", 0, {kReturnAhead}},
        {"a button's command in its set-up", kDialogCommandFirst, everyInput},
        {"shows itself", kDialogShowsItself, everyInput},
        {"renamed in its set-up", kDialogRenamed, everyInput},
        {"shown at once, a command first", kDialogVisibleAtOnce | kDialogCommandFirst, {kReadThenClick}},
        {"shown at once, renamed", kDialogVisibleAtOnce | kDialogRenamed, {kReturnAhead}},
        {"all three", kDialogCommandFirst | kDialogShowsItself | kDialogRenamed, {kReturnAhead}},
        {"a window of its title owned elsewhere made first", kDialogDecoyFirst, {kReadThenClick}},
        // Caught by the deactivation: filled in when shown, left as the host made it when shown already.
        {"titled in its set-up", kDialogTitledInSetUp, {kReadThenClick, kReturnAhead}},
        {"titled in set-up, shows itself", kDialogTitledInSetUp | kDialogShowsItself, {kReturnAhead}},
    };
    const std::string target = "十能\\ソフト\\表示";
    Desktop desktop({"ソース\\表.txt", "ソース\\能力.txt", "十能\\ソフト\\表示\\", "十能\\ソ\\"},
                    {BusyWindow("busy target").TypingWhenAsked({VK_RETURN}, target), On("target", target),
                     Selecting("source", "ソース")});
    ASSERT_TRUE(Ready(desktop));
    const HostInstance &source = desktop.Host("source");
    const std::vector<std::string> files = {"能力.txt", "表.txt"};
    for (const Row &row : rows) {
        for (Input input : row.inputs) {
            SCOPED_TRACE(std::string(row.name) + ", " + inputNames[input]);
            const bool renamed = (row.shape & kDialogRenamed) != 0, late = (row.shape & kDialogTitledInSetUp) != 0;
            const bool filled = !renamed && !(late && (row.shape & kDialogShowsItself));
            ASSERT_TRUE(source.Stage(kStageDialogShape, row.shape));
            std::vector<Step> steps;
            // Otherwise nothing is left to read: the Return typed ahead confirms the filled-in dialog.
            if (input != kReturnAhead || !filled || late) {
                const char *title = filled ? kFilledTitle : renamed ? HOST_RENAMED_TITLE : HOST_CONFIRM_TITLE;
                steps.push_back(step::Confirm(title, filled ? target : "ソース", 0).Then([&](HWND dialog) {
                    if (input == kReadThenReturn)
                        TypeKeys({VK_RETURN});
                    else
                        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);  // as the mouse reaches the button
                    // The host's own destination is the source folder, where every file is already: it says so.
                    HWND box = filled ? nullptr : WaitForWindowOfProcess(source.pid, HOST_MESSAGE_CAPTION, "#32770");
                    if (!filled && box == nullptr)
                        return Outcome::Failed("the host did not say the files are in their folder already");
                    PressButton(box, IDOK);
                    return Outcome::Ok();
                }));
            }

            RunCounts counts;
            EXPECT_TRUE(Runs(desktop, {"source", steps, {input == kReturnAhead ? "busy target" : "target"}}, &counts));
            EXPECT_EQ(counts.copied, filled ? LRESULT(files.size()) : 0);
            EXPECT_EQ(FilesIn(desktop.Path(target)), filled ? files : std::vector<std::string>());
            for (const std::string &name : FilesIn(desktop.Path(target))) {
                EXPECT_TRUE(FileHolds(desktop.Path(target + "\\" + name), "ソース\\" + name));
                DeleteFileA(desktop.Path(target + "\\" + name).c_str());
            }
        }
    }
}

// What the plug-in discards before a window it does not fill can read it: whatever the user gave while
// it waited, and nothing of the program's own.
TEST(QueuedInput, TheDiscardRemovesKeysClicksAndPointerInputOnly)
{
    // A key, a character, a click, a click on the frame, touch and pen (WM_GESTURE, WM_TOUCH, WM_NCPOINTERUPDATE,
    // WM_POINTERDOWN, WM_POINTERHWHEEL: the end of their range), then two of the program's own.
    const UINT posted[] = {WM_KEYDOWN, WM_CHAR,    WM_LBUTTONDOWN, WM_NCLBUTTONDOWN, 0x119, 0x240, 0x241,
                           0x246,      0x24F,      WM_APP + 5,     WM_TIMER};
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    for (UINT message : posted)
        PostMessageA(window, message, 0, 0);
    DiscardQueuedInput();
    std::vector<UINT> left;
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
        left.push_back(message.message);
    EXPECT_EQ(left, (std::vector<UINT>{WM_APP + 5, WM_TIMER}));
    DestroyWindow(window);
}

}  // namespace
