// The confirmation dialog takeover: the hooks that catch the host's dialog and the tree walk that finds
// the target's folder in it.
#include "copy/confirm_dialog.h"

#include "link/path_exchange.h"
#include "plugin/bounded_text.h"
#include "plugin/link_state.h"

namespace {

const char kFilledTitle[] = VORPAN_CONFIRM_TITLE " - ２画面ファイラー風";
const int kSiblingTextSize = 256;

}  // namespace

LRESULT CALLBACK ActivateHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) {
        HWND dialog = reinterpret_cast<HWND>(lParam);
        char title[kTitleSize];
        title[0] = '\0';
        if (dialog != nullptr)
            GetWindowTextA(dialog, title, kTitleSize);
        title[kTitleSize - 1] = '\0';
        if (lstrcmpA(title, VORPAN_CONFIRM_TITLE) == 0) {
            SubclassWindow(hwnd, linkState.savedMainProc);
            linkState.savedDialogProc = GetWindowProc(dialog);
            SubclassWindow(dialog, DialogShowHook);
        }
    }
    return CallWindowProcA(linkState.savedMainProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK DialogShowHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SHOWWINDOW && wParam == TRUE) {
        FillConfirmDialog(hwnd);
        SubclassWindow(hwnd, linkState.savedDialogProc);
        SetEvent(linkState.pathEvent);
    }
    return CallWindowProcA(linkState.savedDialogProc, hwnd, message, wParam, lParam);
}

void FillConfirmDialog(HWND dialog)
{
    SetWindowTextA(dialog, kFilledTitle);

    HWND combo = FindChildByClass(dialog, WC_COMBOBOXA);
    HWND field = combo != nullptr ? GetTopWindow(combo) : nullptr;
    if (field != nullptr)
        SetWindowTextA(field, linkState.otherPath);

    HWND tree = FindChildByClass(dialog, WC_TREEVIEWA);
    if (tree == nullptr)
        return;
    HTREEITEM item = FindTreeItemByPath(tree, linkState.treePath);
    if (item == nullptr)
        return;
    TreeView_Select(tree, nullptr, TVGN_CARET);
    TreeView_Select(tree, item, TVGN_CARET);
}

HTREEITEM FindTreeItemByPath(HWND tree, const char *path)
{
    HTREEITEM current = nullptr;
    int start = 0;
    for (;;) {
        // A trail byte 0x5C (ソ, 表, 能, 十...) is part of its character, never a separator: folders with
        // such names are common in Japanese.
        int separator = FindSeparator(path, start);
        if (separator < 0)
            return current;
        char component[kPathSize];
        int length = separator - start;
        if (length + 1 > kPathSize)
            return nullptr;  // longer than any item text this path could have come from
        for (int i = 0; i < length; ++i)
            component[i] = path[start + i];
        component[length] = '\0';
        start = separator + 1;

        HTREEITEM first;
        if (current == nullptr) {
            first = TreeView_GetRoot(tree);
        } else {
            TreeView_Expand(tree, current, TVE_EXPAND);
            first = TreeView_GetChild(tree, current);
        }
        if (first == nullptr)
            return nullptr;
        current = FindTreeSibling(tree, first, component);
        if (current == nullptr)
            return nullptr;
    }
}

HTREEITEM FindTreeSibling(HWND tree, HTREEITEM first, const char *name)
{
    for (HTREEITEM item = first; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        char text[kSiblingTextSize];
        if (ReadTreeItemText(tree, item, text, kSiblingTextSize) && lstrcmpiA(text, name) == 0)
            return item;
    }
    return nullptr;
}
