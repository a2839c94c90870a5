// The plug-in's hooks among other modules' subclasses of the same windows, as on a real desktop: a module
// that subclasses the main window while a hook of ours is on it and leaves before or after ours, one
// that stays and answers messages it does not know, and one that leaves by cutting ours out.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "common/window.h"
#include "copy/confirm_dialog.h"
#include "link/path_exchange.h"
#include "support/test_support.h"

namespace {

constexpr int kComboId = 100, kTreeId = 101;

// Another module's subclass in the plain way: it keeps the procedure it found and puts that back when
// it leaves, whatever lies on top by then.
struct Foreign {
    HWND hwnd = nullptr;
    WNDPROC saved = nullptr;
    bool swallowsRegistered = false;  // a careless one: answers 0 to registered messages it does not know
    int copyData = 0;
    int copies = 0;
};
Foreign foreign[5];

template <int N>
LRESULT CALLBACK ForeignProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA)
        ++foreign[N].copyData;
    if (message == WM_COMMAND && LOWORD(wParam) == expected::kHostCopyCommand)
        ++foreign[N].copies;
    if (foreign[N].swallowsRegistered && message >= 0xC000 && message <= 0xFFFF)
        return 0;
    return CallWindowProcA(foreign[N].saved, hwnd, message, wParam, lParam);
}

template <int N>
void Subclass(HWND hwnd, bool swallowsRegistered = false)
{
    foreign[N] = Foreign();
    foreign[N].hwnd = hwnd;
    foreign[N].swallowsRegistered = swallowsRegistered;
    foreign[N].saved = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForeignProc<N>)));
}

template <int N>
void Unsubclass()
{
    SetWindowLongPtrA(foreign[N].hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(foreign[N].saved));
}

// What a confirmation dialog shows, in one line: title, destination and the tree's selected item.
std::string Shown(const std::string &title, const std::string &destination, const std::string &selected)
{
    return "title \"" + title + "\", destination \"" + destination + "\", selected \"" + selected + "\"";
}

// The host's side of this window: its own messages counted, and its copy command running a modal
// confirmation dialog with a destination field and a folder tree "C:" > "作業", "相手".
struct OwnHost {
    int copyData = 0;
    int copies = 0;
    std::function<void()> onCopy;
    std::string dialog;  // what the confirmation dialog showed when it was confirmed
    std::string preselected;  // the tree item the dialog selects itself when it is made, if any
    std::string notified;     // the item the last selection change after that told the dialog of
} host;

void FillDialog(HWND dialog)
{
    CreateWindowExA(0, WC_COMBOBOXA, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN, 10, 10, 200, 100,
                    dialog, reinterpret_cast<HMENU>(kComboId), nullptr, nullptr);
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE, 10, 40, 200, 100, dialog,
                                reinterpret_cast<HMENU>(kTreeId), nullptr, nullptr);
    TVINSERTSTRUCTA item = {};
    item.hInsertAfter = TVI_LAST;
    item.item.mask = TVIF_TEXT;
    item.item.pszText = const_cast<char *>("C:");
    item.hParent = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (const char *name : {"作業", "相手"}) {
        item.item.pszText = const_cast<char *>(name);
        HTREEITEM inserted =
            reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (host.preselected == name)
            TreeView_Select(tree, inserted, TVGN_CARET);
    }
    host.notified.clear();
}

std::string ReadDialog(HWND dialog)
{
    HWND tree = GetDlgItem(dialog, kTreeId);
    return Shown(WindowText(dialog), WindowText(GetTopWindow(GetDlgItem(dialog, kComboId))),
                 TreeItemText(tree, TreeView_GetSelection(tree)));
}

INT_PTR CALLBACK ConfirmProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillDialog(dialog);
        return TRUE;
    case WM_NOTIFY: {
        const NMTREEVIEWA *change = reinterpret_cast<const NMTREEVIEWA *>(lParam);
        if (change->hdr.code == TVN_SELCHANGEDA || change->hdr.code == TVN_SELCHANGEDW)
            host.notified = TreeItemText(change->hdr.hwndFrom, change->itemNew.hItem);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            host.dialog = ReadDialog(dialog);
            EndDialog(dialog, IDOK);
        }
        return TRUE;
    }
    return FALSE;
}

// A modal dialog template with only the title; the dialog makes its controls itself. Titled from the
// start, as the host's: it is activated, and judged by its title, before its WM_INITDIALOG.
struct ConfirmTemplate {
    DLGTEMPLATE head;
    WORD menu, windowClass;
    WCHAR title[16];
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The dialog waits for the user, whatever was done to it while it opened: the user confirms what it shows.
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
        PostMessageA(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDOK, 0);
        return 0;
    }
    if (message == WM_COPYDATA) {
        ++host.copyData;
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == expected::kHostCopyCommand) {
        ++host.copies;
        host.dialog.clear();
        if (host.onCopy)
            host.onCopy();
        alignas(4) ConfirmTemplate confirm = {
            {WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 20, 20, 200, 120}, 0, 0, L"ファイルの操作の確認"};
        DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &confirm.head, hwnd, ConfirmProc, 0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeWindow(const char *className, WNDPROC proc)
{
    return MakeMenuWindow(className, proc, className, {}, nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
}

// Each test starts from a host and modules that saw nothing, and ends with its windows gone.
class SubclassChain : public testing::Test {
protected:
    void SetUp() override
    {
        for (Foreign &module : foreign)
            module = Foreign();
        target = MakeWindow("VorpanChainTarget", DefWindowProcA);
        ASSERT_NE(target, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(main);
        DestroyWindow(target);
        host = OwnHost();  // its onCopy may name this test's locals
    }
    // A host's main window, active, with counts from nothing; the one before it is gone.
    HWND NewMain()
    {
        DestroyWindow(main);
        host = OwnHost();
        main = MakeWindow("VorpanChainMain", HostProc);
        return main != nullptr && Activate(main) ? main : nullptr;
    }

    HWND main = nullptr, target = nullptr;
};

TEST_F(SubclassChain, AnotherModuleOnTheSameWindowKeepsItsMessagesAndCrashesNothing)
{
    ASSERT_NE(NewMain(), nullptr);
    const WNDPROC hostProc = GetWindowProc(main);
    const std::string filledWork = Shown(kFilledTitle, "C:\\作業", "作業");
    const std::string filledOther = Shown(kFilledTitle, "C:\\相手", "相手");
    const std::string untouched = Shown(expected::kConfirmTitle, "", "");

    // A module subclasses during our request and leaves after it: our hook is left below it, disarmed.
    PathRequest request;
    PathAnswer answer;
    ASSERT_TRUE(BeginPathRequest(&request, main, target, &answer));
    Subclass<0>(main);
    SendAnswer(main, target, "C:\\作業");
    EndPathRequest(&request);
    SendTextReport(main, target, kCurrentPathReport, "C:\\後から");
    Unsubclass<0>();  // puts back our report hook
    SendTextReport(main, target, kCurrentPathReport, "C:\\もっと後から");
    EXPECT_STREQ(answer.currentPath, "C:\\作業");
    EXPECT_STREQ(answer.treePath, "C:\\作業\\");
    EXPECT_EQ(foreign[0].copyData, 3) << "the module was cut out of the chain";

    // One subclasses during our copy and leaves after it; a normal copy meanwhile is left as the host made it.
    host.onCopy = [&] {
        if (foreign[1].hwnd == nullptr)
            Subclass<1>(main);
    };
    CopyIntoTarget(main, answer);
    EXPECT_EQ(host.dialog, filledWork);
    SendMessageA(main, WM_COMMAND, expected::kHostCopyCommand, 0);
    EXPECT_EQ(host.dialog, untouched);
    Unsubclass<1>();
    host.onCopy = nullptr;
    EXPECT_EQ(foreign[1].copies, 1) << "the module did not see the normal copy";

    // A second two-pane copy, with a module that comes and goes within the request, into the folder the
    // host's dialog has already selected: the host still hears of the selection.
    PathAnswer second;
    ASSERT_TRUE(BeginPathRequest(&request, main, target, &second));
    Subclass<2>(main);
    SendAnswer(main, target, "C:\\相手");
    Unsubclass<2>();
    EndPathRequest(&request);
    host.preselected = "相手";
    CopyIntoTarget(main, second);
    host.preselected.clear();
    EXPECT_EQ(host.dialog, filledOther);
    EXPECT_EQ(host.notified, "相手") << "the host was not told of the selection";
    EXPECT_EQ(foreign[2].copyData, 2);

    EXPECT_EQ(host.copyData, 6) << "every report reached the host's own procedure";
    EXPECT_EQ(host.copies, 3);
    EXPECT_EQ(GetWindowProc(main), hostProc) << "the others have gone, and so have our hooks";
}

// A careless module that stays on top of our report hook and answers registered messages itself, and
// a module that leaves by putting back what it saved, which cuts our hook out of the chain with it.
// Neither may make a hook of ours call itself, nor keep later copies from being filled in.
TEST_F(SubclassChain, NeighboursThatSwallowMessagesOrCutUsOutLeaveLaterCopiesWhole)
{
    const std::string filledOther = Shown(kFilledTitle, "C:\\相手", "相手");
    // A two-pane copy into 相手: the request with its reports, then the host's copy.
    auto copyToOther = [&] {
        PathRequest request;
        PathAnswer answer;
        if (!BeginPathRequest(&request, main, target, &answer))
            return std::string("the report hook could not be put on");
        SendAnswer(main, target, "C:\\相手");
        EndPathRequest(&request);
        CopyIntoTarget(main, answer);
        return host.dialog;
    };

    {
        SCOPED_TRACE("a module that swallows registered messages stays over our report hook");
        ASSERT_NE(NewMain(), nullptr);
        PathRequest request;
        PathAnswer answer;
        ASSERT_TRUE(BeginPathRequest(&request, main, target, &answer));
        Subclass<3>(main, true);
        SendTextReport(main, target, kCurrentPathReport, "C:\\作業");
        EndPathRequest(&request);
        EXPECT_EQ(copyToOther(), filledOther);
        EXPECT_EQ(copyToOther(), filledOther);
        EXPECT_EQ(host.copyData, 5) << "every report reached the host's own procedure";
        EXPECT_EQ(host.copies, 2);
        EXPECT_EQ(foreign[3].copyData, 5) << "the module was cut out of the chain";
        EXPECT_EQ(foreign[3].copies, 2);
    }
    {
        SCOPED_TRACE("a module subclassed before the request puts back what it saved during it");
        ASSERT_NE(NewMain(), nullptr);
        const WNDPROC hostProc = GetWindowProc(main);
        Subclass<4>(main);
        PathRequest request;
        PathAnswer answer;
        ASSERT_TRUE(BeginPathRequest(&request, main, target, &answer));
        SendTextReport(main, target, kCurrentPathReport, "C:\\作業");
        Unsubclass<4>();
        SendTextReport(main, target, kTreePathReport, "C:\\作業\\");
        EndPathRequest(&request);
        EXPECT_STREQ(answer.currentPath, "C:\\作業");
        EXPECT_FALSE(answer.treeArrived) << "a report after our hook was cut out was taken";
        // Copied with that answer, whose tree path never came: the tree keeps the host's own selection.
        host.preselected = "相手";
        CopyIntoTarget(main, answer);
        host.preselected.clear();
        EXPECT_EQ(host.dialog, Shown(kFilledTitle, "C:\\作業", "相手"));
        EXPECT_EQ(copyToOther(), filledOther);
        EXPECT_EQ(host.copyData, 4);
        EXPECT_EQ(host.copies, 2);
        EXPECT_EQ(foreign[4].copyData, 1);
        EXPECT_EQ(GetWindowProc(main), hostProc) << "nobody stayed, and neither did our hooks";
    }
}

}  // namespace
