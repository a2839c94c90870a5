// The confirmation dialog takeover: the hooks that catch the host's dialog as it opens and fill it in.
#include "copy/confirm_dialog.h"

#include <commctrl.h>

#include "common/window.h"
#include "link/tree_path.h"

// The host's title of its confirmation dialog, by which the dialog is known.
#define VORPAN_CONFIRM_TITLE "ファイルの操作の確認"

namespace {

const int kTitleSize = 128;  // a window title read back, with its NUL

const char kFilledTitle[] = VORPAN_CONFIRM_TITLE " - ２画面ファイラー風";

// The takeover in progress, for the hooks: the host calls them, not us, so this is the one way they
// can reach the target's paths. Any hook may be called when its part is over, from within another
// module's subclass: then it only passes messages on.
struct Takeover {
    const PathAnswer *target;  // null when no takeover is in progress
    HWND hwndMain;             // whose dialog is looked for, until one is caught
    HWND dialog;               // the confirmation dialog caught, until it is filled in
    UINT fillAt;               // the dialog's message after which it is filled in
    HHOOK creations;           // the watch on the thread's window creations, until the dialog is caught
} takeover;

// Under Wine each call of a hook costs calls to its server: the watch ends as soon as it has done its work.
void EndWatch()
{
    if (takeover.creations != nullptr)
        UnhookWindowsHookEx(takeover.creations);
    takeover.creations = nullptr;
}

bool HasTitle(HWND window, const char *title)
{
    char text[kTitleSize];
    text[0] = '\0';
    if (window != nullptr)
        GetWindowTextA(window, text, kTitleSize);
    text[kTitleSize - 1] = '\0';
    return lstrcmpA(text, title) == 0;
}

// Fills dialog in with target's folder: destination field, title, tree selection. The title says the
// other instance's folder is there, so it changes only once the field holds it. False when there is no
// field to write: the dialog is then left as the host made it.
bool FillConfirmDialog(HWND dialog, const PathAnswer &target)
{
    const char *const classes[] = {WC_COMBOBOXA, WC_TREEVIEWA};
    HWND controls[2];
    FindChildrenByClass(dialog, classes, controls, 2);
    // The destination is the combo box's edit field, its topmost child: writing there is what typing
    // the path would do.
    HWND combo = controls[0];
    HWND field = combo != nullptr ? GetTopWindow(combo) : nullptr;
    if (field == nullptr || !SetWindowTextA(field, target.currentPath))
        return false;
    SetWindowTextA(dialog, kFilledTitle);

    HWND tree = controls[1];
    HTREEITEM item = tree != nullptr ? FindTreeItemByPath(tree, target.treePath) : nullptr;
    if (item == nullptr)
        return true;
    // Clearing first makes the selection a change even when the host had already selected that item,
    // so the tree scrolls it into view and the host hears of it.
    TreeView_Select(tree, nullptr, TVGN_CARET);
    TreeView_Select(tree, item, TVGN_CARET);
    return true;
}

// The owner test of both catches: a host may name a child of its main window as the owner, and the
// dialog is then owned by its top window. A window of another thread never counts: our hooks would run
// there, against this thread's state.
bool IsDialogOfMain(HWND owner, HWND window)
{
    return owner != nullptr && GetAncestor(owner, GA_ROOT) == takeover.hwndMain &&
           (window == nullptr || GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId());
}

// On the confirmation dialog once its message (fillAt) has gone through the host: the end of the host's
// own set-up (WM_INITDIALOG) for a dialog caught as it was made, else its first WM_SHOWWINDOW. Nothing
// of the dialog's life but the end of its set-up says that the host is done with it: the host may send
// it a button's command first, or write its destination late, and a dialog it shows itself
// (SWP_SHOWWINDOW) gets no WM_SHOWWINDOW. Input is read only after this, so a Return typed while we
// waited finds the dialog filled in; one left as the host made it must not get it.
void FillWhenSetUp(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message != takeover.fillAt || (message == WM_SHOWWINDOW && wParam != TRUE) ||
        takeover.target == nullptr || hwnd != takeover.dialog)
        return;
    takeover.dialog = nullptr;
    UnhookWindow(hwnd, FillWhenSetUp);
    // Caught by the title it was made with, it may have been given another in the host's own set-up:
    // then it is not the dialog we know.
    if (!HasTitle(hwnd, VORPAN_CONFIRM_TITLE) || !FillConfirmDialog(hwnd, *takeover.target))
        DiscardQueuedInput();
}

void CatchDialogActivation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog is found, or one is left alone: no other is looked for in this copy.
void EndSearch()
{
    HWND hwndMain = takeover.hwndMain;
    takeover.hwndMain = nullptr;
    EndWatch();
    UnhookWindow(hwndMain, CatchDialogActivation);
}

// With no procedure of ours free the dialog stays as the host made it.
void FillAfter(HWND dialog, UINT fillAt)
{
    takeover.fillAt = fillAt;
    if (HookWindow(dialog, FillWhenSetUp, kAfterPassingOn))
        takeover.dialog = dialog;
    else
        DiscardQueuedInput();
}

// The thread's window creations during the host's copy: the dialog is known by its title and owner as it
// is made, before its first message, whether the host's thread is in the foreground or not. Another
// window the host opens first, a dialog under another title included, is none we fill: what the user
// typed while we waited was meant for the filled dialog, not for it.
LRESULT CALLBACK WatchCreations(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && takeover.target != nullptr && takeover.hwndMain != nullptr) {
        const CREATESTRUCTA *create = reinterpret_cast<const CBT_CREATEWNDA *>(lParam)->lpcs;
        const char *title = create->lpszName;
        if ((create->style & WS_CHILD) == 0 && IsDialogOfMain(create->hwndParent, nullptr)) {
            if (title != nullptr && !IS_INTRESOURCE(title) && lstrcmpA(title, VORPAN_CONFIRM_TITLE) == 0) {
                EndSearch();
                FillAfter(reinterpret_cast<HWND>(wParam), WM_INITDIALOG);
            } else {
                DiscardQueuedInput();
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// On hwndMain during the host's copy, beside the watch on creations: a dialog the host made before its
// copy command, or titled only in its own set-up, is not seen by its creation, and the host deactivates
// its main window in favour of the dialog (in lParam). Also the one way the dialog is caught when the
// thread's creations cannot be watched. Only while the host's thread is in the foreground: one in the
// background opens its dialogs without this. Its set-up is over by then, but a dialog not shown yet
// reads the input queued before it is shown, and one already shown may be read by the user already:
// neither may be changed now, and neither may get what was typed before it could be seen.
void CatchDialogActivation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_ACTIVATE || LOWORD(wParam) != WA_INACTIVE || takeover.target == nullptr ||
        hwnd != takeover.hwndMain)
        return;
    HWND dialog = reinterpret_cast<HWND>(lParam);
    if (dialog == nullptr || !IsDialogOfMain(GetWindow(dialog, GW_OWNER), dialog) ||
        !HasTitle(dialog, VORPAN_CONFIRM_TITLE))
        return;
    EndSearch();
    DiscardQueuedInput();
    if (!IsWindowVisible(dialog))
        FillAfter(dialog, WM_SHOWWINDOW);
}

}  // namespace

void CopyIntoTarget(HWND hwndMain, const PathAnswer &target)
{
    takeover.target = &target;
    takeover.hwndMain = hwndMain;
    takeover.dialog = nullptr;
    HookWindow(hwndMain, CatchDialogActivation);
    takeover.creations = SetWindowsHookExA(WH_CBT, WatchCreations, nullptr, GetCurrentThreadId());
    // Without the watch, a dialog the host opens in the background stays as the host made it: nothing the
    // user typed while we waited may confirm it unseen.
    if (takeover.creations == nullptr)
        DiscardQueuedInput();
    // The dialog is modal: the host's copy, the dialog's filling included, is over when the send returns.
    SendMessageA(hwndMain, WM_COMMAND, kHostCopyCommand, 0);
    EndWatch();
    takeover.target = nullptr;
    takeover.hwndMain = nullptr;
    // Also when a dialog was caught: a copy that showed no dialog leaves the hook in place.
    UnhookWindow(hwndMain, CatchDialogActivation);
    if (takeover.dialog != nullptr)
        UnhookWindow(takeover.dialog, FillWhenSetUp);
    takeover.dialog = nullptr;
}
