// The two-pane copy end to end: stand-in host instances on real folders, the command chosen in one of
// them, the confirmation dialog as the user sees it, and the files where they went.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

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

// Into the previously active instance's folder; also into folders whose names hold 十 (8F 5C), 能 (94 5C),
// ソ (83 5C) and 表 (95 5C), which end in the byte of "\": a path split at bytes would look for folders
// that do not exist.
TEST(TwoPaneCopy, FillsTheDialogWithThePreviouslyActiveInstancesFolder)
{
    struct Case {
        const char *name;
        std::initializer_list<std::string> entries;
        std::string source, target;
        std::vector<std::string> files;
        bool typedAhead = false;  // a busy target answers it, and Return is typed while it is asked
    };
    const Case cases[] = {
        {"a Japanese folder", {"作業\\報告書.txt", "作業\\memo.txt", "ソフト\\表示\\"}, "作業", "ソフト\\表示",
         {"memo.txt", "報告書.txt"}},
        {"trail bytes 0x5C", {"ソース\\表.txt", "ソース\\能力.txt", "十能\\ソフト\\表示\\", "十能\\ソ\\"}, "ソース",
         "十能\\ソフト\\表示", {"能力.txt", "表.txt"}},
        // The stand-in's dialog is shown only once its queue runs empty: the Return reaches it first.
        {"Return typed ahead", {"作業\\報告書.txt", "作業\\memo.txt", "相手\\"}, "作業", "相手",
         {"memo.txt", "報告書.txt"}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestBed bed(c.entries);
        const std::string targetFolder = bed.Path(c.target);
        HostInstance &target = bed.Start({"/path=" + targetFolder});
        HostInstance &source = bed.Start({"/path=" + bed.Path(c.source), "/selectall"});
        ASSERT_TRUE(bed.Ready());
        std::unique_ptr<BusyInstance> busy(c.typedAhead ? new BusyInstance("busy target") : nullptr);

        if (busy == nullptr) {
            ASSERT_TRUE(CopyThroughFilledDialog(source, target.hwnd, targetFolder));
        } else {
            ASSERT_TRUE(TypeWhenAsked(*busy, source, {VK_RETURN}, targetFolder) && ChooseCommand(source));
            ASSERT_TRUE(WaitForRunEnd(source, expected::kBoundedSendMs));
        }
        EXPECT_EQ(source.Query(kQueryCopiedFiles), LRESULT(c.files.size()));
        EXPECT_EQ(FilesIn(targetFolder), c.files);
        for (const std::string &name : c.files) {
            EXPECT_TRUE(FileHolds(targetFolder + "\\" + name, c.source + "\\" + name));
        }
        EXPECT_EQ(source.Query(kQueryDialogProcRestored), 1);
        EXPECT_TRUE(RunEndedClean(source));
    }
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

// With nothing to copy the command is the way to the settings, even when another instance runs.
TEST(SettingsRoute, NothingToCopyOpensTheSettingsDialogInsteadOfCopying)
{
    TestBed bed({"作業\\a.txt", "相手\\"});
    HostInstance &target = bed.Start({"/path=" + bed.Path("相手")});
    ASSERT_TRUE(bed.Ready());
    WriteState(bed.plugins, expected::kNotifyFallback);

    struct Situation {
        const char *name;
        std::vector<std::string> options;
    };
    const Situation situations[] = {
        {"no file selected", {"/path=" + bed.Path("作業"), bed.plugins.HostOption()}},
        {"on the virtual folder", {"/virtual", bed.plugins.HostOption()}},
    };
    for (const Situation &situation : situations) {
        SCOPED_TRACE(situation.name);
        HostInstance source(situation.options);
        ASSERT_TRUE(source.ok());
        ASSERT_TRUE(Activate(target.hwnd));
        ASSERT_TRUE(ChooseCommand(source));
        HWND settings = WaitForWindowOfProcess(source.pid, expected::kSettingsTitle, "#32770");
        ASSERT_NE(settings, nullptr) << "no settings dialog";
        PressButton(settings, IDCANCEL);
        ASSERT_TRUE(WaitForRunEnd(source));
        EXPECT_EQ(source.Query(kQueryCopyCommands), 0);
        EXPECT_EQ(target.Query(kQueryPluginCalls), 0) << "the target was asked for its paths";
        EXPECT_TRUE(RunEndedClean(source));
    }
}

// A host whose copy shows its dialog under another title: the plug-in must not take over a window it
// does not know, and its run ends with the host's copy.
TEST(TwoPaneCopy, ADialogWithAnotherTitleIsLeftAsTheHostMadeIt)
{
    TestBed bed({"作業\\a.txt", "相手\\"});
    const std::string otherTitle = std::string(expected::kConfirmTitle) + " (2)";
    HostInstance &target = bed.Start({"/path=" + bed.Path("相手")});
    HostInstance &source = bed.Start({"/path=" + bed.Path("作業"), "/selectall", "/confirmtitle=" + otherTitle});
    ASSERT_TRUE(bed.Ready());
    ASSERT_TRUE(Activate(target.hwnd));

    ASSERT_TRUE(ChooseCommand(source));
    HWND dialog = WaitForConfirmDialog(source, otherTitle.c_str());
    ASSERT_NE(dialog, nullptr) << "no dialog titled " << otherTitle;
    EXPECT_EQ(target.Query(kQueryPluginCalls), 1) << "the target was not asked for its paths";
    ConfirmView view = ReadConfirmDialog(dialog);
    EXPECT_EQ(view.title, otherTitle);
    EXPECT_EQ(view.destination, bed.Path("作業"));
    EXPECT_EQ(view.treePath, bed.Path("作業") + "\\");

    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitForRunEnd(source));
    EXPECT_TRUE(FilesIn(bed.Path("相手")).empty());
    EXPECT_TRUE(RunEndedClean(source));
}

}  // namespace
