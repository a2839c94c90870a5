// Target chooser: one menu item per running instance, labelled with the folder it shows.
#include "link/chooser.h"

#include "common/window.h"
#include "link/command_lookup.h"
#include "link/path_exchange.h"

namespace {

const char kVirtualFolderText[] = "仮想フォルダ";
const UINT kFirstItemId = 100;
const int kItemTextSize = 2 * kPathSize;  // room for a path whose every byte is a doubled "&"
static_assert(kMaxInstances - 1 <= kMaxAskedAtOnce, "every other instance a call keeps is asked in one round");

// The menu takes "&" as a mnemonic marker: "C:\R&D" would show as "C:\RD". Doubling each one shows the
// path as it is. A double-byte character is copied whole, so its trail byte is never taken for "&".
void EscapeAmpersands(const char *path, char (&text)[kItemTextSize])
{
    int out = 0;
    for (const char *p = path; *p != '\0';) {
        const char *next = CharNextA(p);
        if (out + 2 * (next - p) + 1 > kItemTextSize)
            break;  // only a path longer than the host promises: shown cut, the item still names its instance
        if (*p == '&')
            text[out++] = '&';
        while (p < next)
            text[out++] = *p++;
    }
    text[out] = '\0';
}

void AppendPathItem(HMENU menu, UINT id, const char *path)
{
    char text[kItemTextSize];
    EscapeAmpersands(path, text);
    AppendMenuA(menu, MF_STRING, id, text);
}

}  // namespace

HWND ChooseTargetMenu(const HostRecord &record, int commandId)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        ShowErrorBox(record.hwndMain);
        return kNoTarget;
    }

    // Every other instance in one round, each sent the command its own menu gives us: instances that
    // stall cost the menu one time-out in all, not one each.
    int others = record.instanceCount - 1;
    if (others > kMaxAskedAtOnce)
        others = kMaxAskedAtOnce;
    int commandIds[kMaxAskedAtOnce];
    for (int i = 0; i < others; ++i)
        commandIds[i] = TargetCommandId(record.hwndMain, record.instanceWindows[i], commandId);
    char currentPaths[kMaxAskedAtOnce][kPathSize];
    RequestFolders(record.hwndMain, record.instanceWindows, commandIds, others, currentPaths);
    for (int i = 0; i < others; ++i) {
        if (currentPaths[i][0] != '\0')
            AppendPathItem(menu, kFirstItemId + i, currentPaths[i]);
        else
            AppendMenuA(menu, MF_GRAYED | MF_DISABLED, kFirstItemId + i, kVirtualFolderText);
    }
    AppendPathItem(menu, kFirstItemId + record.instanceCount - 1, record.currentPath);

    // What the user typed or clicked while the instances were asked is still queued, ahead of the Down
    // arrow below: the menu would read it first (an Escape or Return closes it, and the Down arrow then
    // moves the file list's selection), and without a menu the file list would. None of it was given to
    // a menu the user could see.
    DiscardQueuedInput();
    // The user went to another program while the other instances were asked: the run ends as when the
    // menu is dismissed. A popup menu whose owner is not in the foreground does not close when the user
    // clicks outside it, and a choice made in it would start a copy; and the Down arrow typed below
    // would go to that program, as typed keys go to the foreground window.
    if (GetWindowThreadProcessId(GetForegroundWindow(), nullptr) != GetCurrentThreadId()) {
        DestroyMenu(menu);
        return kNoTarget;
    }
    RECT frame;
    GetWindowRect(record.hwndMain, &frame);
    int x = (frame.left + frame.right) / 2;
    int y = (frame.top + frame.bottom) / 2;
    // Queued before the menu opens, the key press is read by the menu's own loop: the menu opens with
    // its first item highlighted, ready for the keyboard.
    keybd_event(VK_DOWN, 0, 0, 0);
    keybd_event(VK_DOWN, 0, KEYEVENTF_KEYUP, 0);
    UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_VCENTERALIGN | TPM_CENTERALIGN, x, y, 0,
                                 record.hwndFileList, nullptr);
    DestroyMenu(menu);
    if (chosen < kFirstItemId)
        return kNoTarget;
    return record.instanceWindows[chosen - kFirstItemId];
}
