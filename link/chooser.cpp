// Target chooser: one menu item per running instance, labelled with the folder it shows.
#include "link/chooser.h"

#include "link/path_exchange.h"
#include "plugin/link_state.h"

namespace {

const char kVirtualFolderText[] = "仮想フォルダ";
const UINT kFirstItemId = 100;
const int kItemTextSize = 2 * kPathSize;  // room for a path whose every byte is a doubled "&"

// The menu takes "&" as a mnemonic marker: "C:\R&D" would show as "C:\RD". Doubling each one shows the
// path as it is. Lead bytes are copied with their trail byte, so a trail byte is never read as a
// character of its own.
void EscapeAmpersands(const char *path, char (&text)[kItemTextSize])
{
    int out = 0;
    for (int in = 0; path[in] != '\0' && out + 2 < kItemTextSize; ++in) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[in])) && path[in + 1] != '\0') {
            text[out++] = path[in++];
            text[out++] = path[in];
            continue;
        }
        if (path[in] == '&')
            text[out++] = '&';
        text[out++] = path[in];
    }
    text[out] = '\0';
}

void AppendPathItem(HMENU menu, UINT id, const char *path)
{
    char text[kItemTextSize];
    EscapeAmpersands(path, text);
    AppendMenuA(menu, MF_STRING, id, text);
}

void ShowError(HWND owner)
{
    MessageBoxA(owner, "エラー", VORPAN_TITLE, MB_ICONERROR);
}

}  // namespace

HWND ChooseTargetMenu(int commandId)
{
    const HostRecord *record = linkState.record;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        ShowError(record->hwndMain);
        return kNoTarget;
    }

    linkState.targetWindow = nullptr;
    SubclassWindow(record->hwndMain, PathReportHook);
    for (int i = 0; i < record->instanceCount - 1; ++i) {
        RequestPaths(record->instanceWindows[i], commandId);
        if (linkState.otherPath[0] != '\0')
            AppendPathItem(menu, kFirstItemId + i, linkState.otherPath);
        else
            AppendMenuA(menu, MF_GRAYED | MF_DISABLED, kFirstItemId + i, kVirtualFolderText);
    }
    SubclassWindow(record->hwndMain, linkState.savedMainProc);
    AppendPathItem(menu, kFirstItemId + record->instanceCount - 1, record->currentPath);

    RECT frame;
    GetWindowRect(record->hwndMain, &frame);
    int x = (frame.left + frame.right) / 2;
    int y = (frame.top + frame.bottom) / 2;
    // Opens the menu with its first item highlighted, ready for the keyboard.
    keybd_event(VK_DOWN, 0, 0, 0);
    keybd_event(VK_DOWN, 0, KEYEVENTF_KEYUP, 0);
    UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VCENTERALIGN | TPM_CENTERALIGN,
                                 x, y, 0, record->hwndFileList, nullptr);
    DestroyMenu(menu);
    if (chosen < kFirstItemId)
        return kNoTarget;
    return record->instanceWindows[chosen - kFirstItemId];
}
