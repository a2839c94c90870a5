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
// can reach the target's paths. Either hook may be called when its part is over, from within another
// module's subclass: then it only passes messages on.
struct Takeover {
    const PathAnswer *target;  // null when no takeover is in progress
    HWND hwndMain;             // watched for the dialog's activation until the dialog is found
    HWND dialog;               // the confirmation dialog, until it has been filled in
} takeover;

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

// On the confirmation dialog until it is first shown: fills it in, then ends its own hook.
void CatchDialogShow(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_SHOWWINDOW && wParam == TRUE && takeover.target != nullptr && hwnd == takeover.dialog) {
        takeover.dialog = nullptr;
        FillConfirmDialog(hwnd, *takeover.target);
        UnhookWindow(hwnd, CatchDialogShow);
    }
}

// On hwndMain during the host's copy. The host deactivates its main window in favour of the dialog
// before it shows it: that is the first moment the dialog can be seen (in lParam), before it is
// painted. The hook then moves onto the dialog.
void CatchDialogActivation(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_ACTIVATE || LOWORD(wParam) != WA_INACTIVE || takeover.target == nullptr ||
        hwnd != takeover.hwndMain)
        return;
    HWND dialog = reinterpret_cast<HWND>(lParam);
    char title[kTitleSize];
    title[0] = '\0';
    if (dialog != nullptr)
        GetWindowTextA(dialog, title, kTitleSize);
    title[kTitleSize - 1] = '\0';
    if (lstrcmpA(title, VORPAN_CONFIRM_TITLE) != 0)
        return;
    takeover.hwndMain = nullptr;
    UnhookWindow(hwnd, CatchDialogActivation);
    // With no procedure of ours free, the dialog stays as the host made it.
    if (HookWindow(dialog, CatchDialogShow))
        takeover.dialog = dialog;
}

}  // namespace

void CopyIntoTarget(HWND hwndMain, const PathAnswer &target)
{
    takeover.target = &target;
    takeover.hwndMain = hwndMain;
    takeover.dialog = nullptr;
    HookWindow(hwndMain, CatchDialogActivation);
    // The dialog is modal: the host's copy, the dialog's filling included, is over when the send returns.
    SendMessageA(hwndMain, WM_COMMAND, kHostCopyCommand, 0);
    takeover.target = nullptr;
    takeover.hwndMain = nullptr;
    // Also when the hook already did: a copy that showed no dialog leaves it in place.
    UnhookWindow(hwndMain, CatchDialogActivation);
    if (takeover.dialog != nullptr)
        UnhookWindow(takeover.dialog, CatchDialogShow);
    takeover.dialog = nullptr;
}
