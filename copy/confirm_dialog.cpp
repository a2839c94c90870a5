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
    HWND dialog;               // the confirmation dialog caught, until the user can first act in it
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

// Fills dialog in with target's folder: title, destination field, tree selection.
void FillConfirmDialog(HWND dialog, const PathAnswer &target)
{
    SetWindowTextA(dialog, kFilledTitle);

    const char *const classes[] = {WC_COMBOBOXA, WC_TREEVIEWA};
    HWND controls[2];
    FindChildrenByClass(dialog, classes, controls, 2);
    // The destination is the combo box's edit field, its topmost child: writing there is what typing
    // the path would do.
    HWND combo = controls[0];
    HWND field = combo != nullptr ? GetTopWindow(combo) : nullptr;
    if (field != nullptr)
        SetWindowTextA(field, target.currentPath);

    HWND tree = controls[1];
    if (tree == nullptr)
        return;
    HTREEITEM item = FindTreeItemByPath(tree, target.treePath);
    if (item == nullptr)
        return;
    // Clearing first makes the selection a change even when the host had already selected that item,
    // so the tree scrolls it into view and the host hears of it.
    TreeView_Select(tree, nullptr, TVGN_CARET);
    TreeView_Select(tree, item, TVGN_CARET);
}

// On the confirmation dialog from when it is caught until the user can first act in it: when it is first
// shown, or when a button's command reaches it before that. A dialog whose template is not visible is
// shown only once its queue runs empty, so a Return typed while we waited presses its default button
// before it was ever shown: it must find the dialog filled in.
void CatchDialogFirstUse(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    bool shown = message == WM_SHOWWINDOW && wParam == TRUE;
    bool pressed = message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED;
    if ((!shown && !pressed) || takeover.target == nullptr || hwnd != takeover.dialog)
        return;
    takeover.dialog = nullptr;
    UnhookWindow(hwnd, CatchDialogFirstUse);
    // Caught by the title it was made with, it may have been given another in the host's own set-up:
    // then it is not the dialog we know.
    if (HasTitle(hwnd, VORPAN_CONFIRM_TITLE))
        FillConfirmDialog(hwnd, *takeover.target);
}

void CatchDialogActivation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog is found: no other is looked for in this copy. With no procedure of ours free, it stays as
// the host made it.
void CatchDialog(HWND dialog)
{
    HWND hwndMain = takeover.hwndMain;
    takeover.hwndMain = nullptr;
    EndWatch();
    UnhookWindow(hwndMain, CatchDialogActivation);
    if (HookWindow(dialog, CatchDialogFirstUse))
        takeover.dialog = dialog;
}

// The thread's window creations during the host's copy: the dialog is known by its title and owner as it
// is made, before its first message, whether the host's thread is in the foreground or not.
LRESULT CALLBACK WatchCreations(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && takeover.target != nullptr && takeover.hwndMain != nullptr) {
        const CREATESTRUCTA *create = reinterpret_cast<const CBT_CREATEWNDA *>(lParam)->lpcs;
        const char *title = create->lpszName;
        // A host may name a child of its main window as the owner: the dialog is owned by its top window.
        if ((create->style & WS_CHILD) == 0 && create->hwndParent != nullptr &&
            GetAncestor(create->hwndParent, GA_ROOT) == takeover.hwndMain && title != nullptr &&
            !IS_INTRESOURCE(title) && lstrcmpA(title, VORPAN_CONFIRM_TITLE) == 0)
            CatchDialog(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// On hwndMain during the host's copy, beside the watch on creations: a dialog the host made before its
// copy command, or titled only in its own set-up, is not seen by its creation, and the host deactivates
// its main window in favour of the dialog before it shows it (in lParam). Also the one way the dialog is
// caught when the thread's creations cannot be watched. Only while the host's thread is in the
// foreground: one in the background opens its dialogs without this.
void CatchDialogActivation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_ACTIVATE || LOWORD(wParam) != WA_INACTIVE || takeover.target == nullptr ||
        hwnd != takeover.hwndMain)
        return;
    HWND dialog = reinterpret_cast<HWND>(lParam);
    if (HasTitle(dialog, VORPAN_CONFIRM_TITLE))
        CatchDialog(dialog);
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
        UnhookWindow(takeover.dialog, CatchDialogFirstUse);
    takeover.dialog = nullptr;
}
