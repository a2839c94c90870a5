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
    SendMessageTimeoutA(GetDlgItem(box, kMessageBoxIconId), STM_GETICON, 0, 0, SMTO_NORMAL, kSendTimeoutMs,
                        &icon);
    return reinterpret_cast<HICON>(icon);
}

// The error icon as host's process loads it: icon handles belong to a process, so the icon of a box
// is compared with that of an MB_ICONERROR box of the same process, the host's own "not a folder".
// Needs a host with a selection and no run going on.
HICON HostErrorIcon(const HostInstance &host)
{
    PostMessageA(host.hwnd, WM_COMMAND, expected::kHostCopyCommand, 0);
    HWND dialog = WaitForConfirmDialog(host, expected::kConfirmTitle);
    if (dialog == nullptr)
        return nullptr;
    TypeDestination(dialog, "C:\\vorpan-no-such-folder");
    PressButton(dialog, IDOK);
    HWND box = WaitForWindowOfProcess(host.pid, HOST_MESSAGE_CAPTION, "#32770");
    HICON icon = box != nullptr ? MessageBoxIcon(box) : nullptr;
    if (box != nullptr)
        PressButton(box, IDOK);
    PumpUntil([&] { return box == nullptr || !IsWindow(box); });
    PressButton(dialog, IDCANCEL);
    WaitForWindowGone(dialog);
    return icon;
}

// Every ASCII letter of path in the other case; double-byte characters, whose trail bytes may look
// like letters, are kept.
std::string OtherCase(const std::string &path)
{
    std::string out = path;
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(out[i])) && i + 1 < out.size())
            ++i;
        else if ((out[i] | 0x20) >= 'a' && (out[i] | 0x20) <= 'z')
            out[i] ^= 0x20;  // ASCII letters differ from their other case in this bit only
    }
    return out;
}

// The target's tree may spell a folder otherwise than the requester's dialog tree (a folder renamed
// in case only, a drive letter typed small); the walk compares names ignoring case.
TEST(TwoPaneCopy, SelectsTheFolderWhenTheTreePathSpellsLevelsInOtherCase)
{
    TestBed bed({"Quelle\\Notes.txt", "Projekt\\Daten\\", "Projekt\\Other\\"});
    const std::string targetFolder = bed.Path("Projekt\\Daten");
    const std::string otherCaseTree = OtherCase(targetFolder + "\\");
    ASSERT_NE(otherCaseTree, targetFolder + "\\");
    PeerInstanceWindow peer;
    ASSERT_TRUE(peer.ok()) << peer.error;
    HostInstance &source = bed.Start({"/path=" + bed.Path("Quelle"), "/selectall"});
    ASSERT_TRUE(bed.Ready());
    peer.onRequest = [&] {
        SendTextReport(source.hwnd, peer.hwnd, kCurrentPathReport, targetFolder);
        SendTextReport(source.hwnd, peer.hwnd, kTreePathReport, otherCaseTree);
    };

    SCOPED_TRACE("tree path reported: " + otherCaseTree);
    ASSERT_TRUE(CopyThroughFilledDialog(source, peer.hwnd, targetFolder));
    EXPECT_EQ(peer.requests, 1);
    EXPECT_TRUE(FileHolds(targetFolder + "\\Notes.txt", "Quelle\\Notes.txt"));
    EXPECT_TRUE(RunEndedClean(source));
}

// One way a fallback can go: with or without the notice, and the user's answer to it.
struct FallbackRun {
    const char *name;
    int state;        // the State flag word
    int noticeAnswer; // IDOK or IDCANCEL when a notice is expected, 0 when none
};

const FallbackRun kFallbackRuns[] = {
    {"notice, OK", expected::kNotifyFallback, IDOK},
    {"notice, Cancel", expected::kNotifyFallback, IDCANCEL},
    {"no notice", 0, 0},
};

// Each case in which a two-pane copy is not possible, run for each way in kFallbackRuns, with the bed's
// 先<n> as the destination the user types into the host's own dialog: what the user sees and where the
// files go. A target, when there is one, is asked each time.
TEST(Fallback, WithoutAnotherInstancesFolderTheCopyIsTheHostsOwn)
{
    struct Case {
        const char *name;
        std::vector<std::string> targetOptions;  // none: no other instance
        const char *sourceOption;                // beside its folder and selection, or null
        const char *noticeText;
        int targetAsks;                          // requests the target gets in each run
        bool busy = false;  // the target a busy instance that gives no path, Return typed while it is asked
    };
    const Case cases[] = {
        {"a single instance", {}, nullptr, expected::kSingleInstanceText, 0},
        {"the target on the virtual folder", {"/virtual"}, nullptr, expected::kVirtualTargetText, 1},
        {"the source's path too long for the plug-in", {"/path=."}, "/longpath", expected::kSourceTooLongText, 0},
        {"a Return typed while a target without a path is asked", {}, nullptr, expected::kVirtualTargetText, 1, true},
    };
    const std::vector<std::string> files = {"a.txt", "表.txt"};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBed bed({"作業\\a.txt", "作業\\表.txt", "先1\\", "先2\\", "先3\\"});
        const HostInstance *target = c.targetOptions.empty() ? nullptr : &bed.Start(c.targetOptions);
        std::vector<std::string> sourceOptions = {"/path=" + bed.Path("作業"), "/selectall"};
        if (c.sourceOption != nullptr)
            sourceOptions.push_back(c.sourceOption);
        HostInstance &source = bed.Start(sourceOptions);
        ASSERT_TRUE(bed.Ready());
        std::unique_ptr<BusyInstance> busy(c.busy ? new BusyInstance("busy target") : nullptr);
        ASSERT_TRUE(busy == nullptr || TypeWhenAsked(*busy, source, {VK_RETURN}, ""));
        // The other instance, a stand-in host or a busy one, and the requests it has had.
        HWND other = target != nullptr ? target->hwnd : busy != nullptr ? busy->hwnd() : nullptr;
        auto asked = [&] { return target != nullptr ? target->Query(kQueryPluginCalls) : busy ? busy->Requests() : 0; };
        int serial = 0;
        for (const FallbackRun &run : kFallbackRuns) {
            SCOPED_TRACE(run.name);
            const std::string destination = bed.Path("先" + std::to_string(++serial));
            WriteState(bed.plugins, run.state);
            LRESULT calls = source.Query(kQueryPluginCalls);
            LRESULT copies = source.Query(kQueryCopyCommands);
            LRESULT targetCalls = asked();
            ASSERT_TRUE(other == nullptr || Activate(other));

            ASSERT_TRUE(ChooseCommand(source));
            if (run.noticeAnswer != 0) {
                ASSERT_TRUE(AnswersNotice(source, c.noticeText, run.noticeAnswer));
            }
            if (run.noticeAnswer == IDCANCEL) {
                ASSERT_TRUE(WaitForRunEndAfter(source, calls))
                    << "the run goes on after Cancel; copy dialog open: " << source.Query(kQueryDialogOpen);
                EXPECT_EQ(source.Query(kQueryCopyCommands), copies) << "Cancel on the notice still copied";
            } else {
                HWND dialog = WaitForConfirmDialog(source, expected::kConfirmTitle);
                ASSERT_NE(dialog, nullptr) << "no confirmation dialog with the host's own title";
                EXPECT_EQ(FindWindowOfProcess(source.pid, kPluginCaption, "#32770"), nullptr);
                EXPECT_EQ(ReadConfirmDialog(dialog).destination, bed.Path("作業")) << "the host's own destination";
                EXPECT_TRUE(TypeDestination(dialog, destination));
                PressButton(dialog, IDOK);
                ASSERT_TRUE(WaitForRunEndAfter(source, calls));
                EXPECT_EQ(source.Query(kQueryCopyCommands), copies + 1);
                EXPECT_EQ(source.Query(kQueryCopiedFiles), static_cast<LRESULT>(files.size()));
            }
            EXPECT_EQ(FilesIn(destination).empty(), run.noticeAnswer == IDCANCEL);
            for (const std::string &name : files)
                EXPECT_TRUE(run.noticeAnswer == IDCANCEL || FileHolds(destination + "\\" + name, "作業\\" + name));
            EXPECT_EQ(asked(), targetCalls + c.targetAsks) << "requests to the target";
            EXPECT_TRUE(RunEndedClean(source));
        }
    }
}

// Without the plug-in menu the plug-in cannot name itself to another instance: it says so and stops,
// notices or not.
TEST(Fallback, CommandNotFoundShowsTheErrorBoxAndDoesNotCopy)
{
    TestBed bed({"作業\\a.txt", "相手\\"});
    HostInstance &target = bed.Start({"/path=" + bed.Path("相手")});
    HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall", "/pluginmenu=ツール(&T)"});
    ASSERT_TRUE(bed.Ready());

    std::vector<HICON> icons;
    for (int state : {expected::kNotifyFallback, 0}) {
        SCOPED_TRACE("State " + std::to_string(state));
        WriteState(bed.plugins, state);
        LRESULT calls = source.Query(kQueryPluginCalls);
        ASSERT_TRUE(Activate(target.hwnd));
        ASSERT_TRUE(ChooseCommand(source));
        HWND box = WaitForPluginMessage(source);
        ASSERT_NE(box, nullptr) << "no error box";
        EXPECT_EQ(MessageText(box), expected::kCommandNotFoundText);
        EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "the error box has only OK";
        icons.push_back(MessageBoxIcon(box));
        PressButton(box, IDOK);
        ASSERT_TRUE(WaitForRunEndAfter(source, calls));
        EXPECT_EQ(source.Query(kQueryCopyCommands), 0);
        EXPECT_EQ(target.Query(kQueryPluginCalls), 0) << "the target was asked although the command is unknown";
        EXPECT_TRUE(FilesIn(bed.Path("相手")).empty());
        EXPECT_TRUE(RunEndedClean(source));
    }

    HICON errorIcon = HostErrorIcon(source);
    ASSERT_NE(errorIcon, nullptr);
    for (HICON icon : icons)
        EXPECT_EQ(icon, errorIcon) << "not the MB_ICONERROR icon";
}

// Into the previously active instance's folder, whatever the host's dialog does in its set-up and the user
// does: what the dialog shows once it can be read is what OK confirms, its title names the plug-in only
// over the target's folder, a dialog of the host's own title is filled in, and a Return typed ahead
// confirms nothing but the filled-in dialog. The folders' names hold 十 (8F 5C), 能 (94 5C), ソ (83 5C)
// and 表 (95 5C), which end in the byte of "\": a path split at bytes would look for folders that do not exist.
TEST(TwoPaneCopy, FillsTheDialogWithThePreviouslyActiveInstancesFolder)
{
    enum Input { kReadThenReturn, kReadThenClick, kReturnAhead };
    struct Row {
        const char *name;
        LPARAM shape;  // kDialog* flags of the host's dialog
        Input input;
    };
    const Row rows[] = {
        {"as the host makes it, Return typed ahead (reaching it before it is shown)", 0, kReturnAhead},
        {"a button's command in its set-up, read, Return", kDialogCommandFirst, kReadThenReturn},
        {"a button's command in its set-up, Return typed ahead", kDialogCommandFirst, kReturnAhead},
        {"a button's command in its set-up, read, click", kDialogCommandFirst, kReadThenClick},
        {"shows itself, read, Return", kDialogShowsItself, kReadThenReturn},
        {"shows itself, Return typed ahead", kDialogShowsItself, kReturnAhead},
        {"shows itself, read, click", kDialogShowsItself, kReadThenClick},
        {"renamed in its set-up, read, Return", kDialogRenamed, kReadThenReturn},
        {"renamed in its set-up, Return typed ahead", kDialogRenamed, kReturnAhead},
        {"renamed in its set-up, read, click", kDialogRenamed, kReadThenClick},
        {"shown at once, a command first, read, click", kDialogVisibleAtOnce | kDialogCommandFirst, kReadThenClick},
        {"shown at once, renamed, Return typed ahead", kDialogVisibleAtOnce | kDialogRenamed, kReturnAhead},
        {"all three, Return typed ahead", kDialogCommandFirst | kDialogShowsItself | kDialogRenamed, kReturnAhead},
        {"a window of its title owned elsewhere made first, read, click", kDialogDecoyFirst, kReadThenClick},
        // Caught by the deactivation: filled in when shown, left as the host made it when shown already.
        {"titled in its set-up, read, click", kDialogTitledInSetUp, kReadThenClick},
        {"titled in its set-up, Return typed ahead", kDialogTitledInSetUp, kReturnAhead},
        {"titled in set-up, shows itself, Return ahead", kDialogTitledInSetUp | kDialogShowsItself, kReturnAhead},
    };
    TestBed bed({"ソース\\表.txt", "ソース\\能力.txt", "十能\\ソフト\\表示\\", "十能\\ソ\\"});
    const std::string sourceFolder = bed.Path("ソース"), targetFolder = bed.Path("十能\\ソフト\\表示");
    const std::vector<std::string> files = {"能力.txt", "表.txt"};
    HostInstance &target = bed.Start({"/path=" + targetFolder});
    HostInstance &source = bed.Start({"/path=" + sourceFolder, "/selectall"});
    ASSERT_TRUE(bed.Ready());
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const bool renamed = (row.shape & kDialogRenamed) != 0, late = (row.shape & kDialogTitledInSetUp) != 0;
        const bool filled = !renamed && !(late && (row.shape & kDialogShowsItself));
        ASSERT_TRUE(source.Stage(kStageDialogShape, row.shape));
        LRESULT calls = source.Query(kQueryPluginCalls);
        std::unique_ptr<BusyInstance> busy(row.input == kReturnAhead ? new BusyInstance("busy target") : nullptr);
        ASSERT_TRUE(busy != nullptr ? TypeWhenAsked(*busy, source, {VK_RETURN}, targetFolder) : Activate(target.hwnd));
        ASSERT_TRUE(ChooseCommand(source));

        std::string confirmed = targetFolder;  // where OK sends the files
        if (row.input != kReturnAhead || !filled || late) {
            HWND dialog = WaitForConfirmDialog(source, nullptr);
            ASSERT_NE(dialog, nullptr) << "no dialog left to read: something was confirmed unseen";
            ConfirmView view = ReadConfirmDialog(dialog);
            EXPECT_EQ(view.title, filled ? kFilledTitle : renamed ? HOST_RENAMED_TITLE : HOST_CONFIRM_TITLE);
            EXPECT_TRUE(ShowsFolder(view, filled ? targetFolder : sourceFolder));
            confirmed = view.destination;
            if (row.input == kReadThenReturn)
                TypeKeys({VK_RETURN});
            else
                PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            // The host's own destination is the source folder, where every file is already: it says so.
            if (confirmed == sourceFolder)
                PressButton(WaitForWindowOfProcess(source.pid, HOST_MESSAGE_CAPTION, "#32770"), IDOK);
        }
        ASSERT_TRUE(WaitForRunEndAfter(source, calls));
        const bool intoTarget = confirmed == targetFolder;
        EXPECT_EQ(source.Query(kQueryCopiedFiles), intoTarget ? LRESULT(files.size()) : 0);
        EXPECT_EQ(FilesIn(targetFolder), intoTarget ? files : std::vector<std::string>());
        EXPECT_TRUE(RunEndedClean(source));
        for (const std::string &name : FilesIn(targetFolder)) {
            EXPECT_TRUE(FileHolds(targetFolder + "\\" + name, "ソース\\" + name));
            DeleteFileA((targetFolder + "\\" + name).c_str());
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
    const std::vector<UINT> own = {WM_APP + 5, WM_TIMER};
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    for (UINT message : posted)
        PostMessageA(window, message, 0, 0);
    DiscardQueuedInput();
    std::vector<UINT> left;
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
        left.push_back(message.message);
    EXPECT_EQ(left, own);
    DestroyWindow(window);
}

}  // namespace
