// Copy orchestration in the instance where the user chose the command.
#include "copy/copy_run.h"

#include <windows.h>
#include <commctrl.h>

#include "copy/confirm_dialog.h"
#include "link/chooser.h"
#include "link/command_lookup.h"
#include "link/path_exchange.h"
#include "plugin/link_state.h"
#include "settings/settings_dialog.h"
#include "settings/settings_file.h"

namespace {

const char kSingleInstanceText[] = "複数起動していないので通常動作にします。";
const char kTargetIsSelfText[] = "対象が自分なので通常動作にします。";
const char kTargetWithoutPathText[] = "対象が仮想フォルダなので通常動作にします。";
const char kPathEventName[] = "RiloFilePluginGetPathEvent";

void CopyNormally(HWND hwndMain)
{
    SendMessageA(hwndMain, WM_COMMAND, kHostCopyCommand, 0);
}

void ClosePathEvent()
{
    if (linkState.pathEvent != nullptr)
        CloseHandle(linkState.pathEvent);
    linkState.pathEvent = nullptr;
}

// Runs the host's copy with ActivateHook in place; the hook and the dialog hook fill the dialog in.
void CopyIntoTarget(HWND hwndMain)
{
    ResetEvent(linkState.pathEvent);
    SubclassWindow(hwndMain, ActivateHook);
    CopyNormally(hwndMain);
    WaitForSingleObject(linkState.pathEvent, kPathWaitMs);
    // Also when the hook already did: a copy that showed no dialog leaves it in place.
    SubclassWindow(hwndMain, linkState.savedMainProc);
}

}  // namespace

void NotifyAndCopyNormally(const char *text)
{
    HWND hwndMain = linkState.record->hwndMain;
    if ((linkState.stateFlags & kNotifyFallback) != 0 &&
        MessageBoxA(hwndMain, text, VORPAN_TITLE, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    CopyNormally(hwndMain);
}

void RunTwoPaneCopy()
{
    const HostRecord *record = linkState.record;
    HWND hwndMain = record->hwndMain;
    LoadSettings();
    if (record->currentPath[0] == '\0' ||
        SendMessageA(record->hwndFileList, LVM_GETSELECTEDCOUNT, 0, 0) == 0) {
        OpenSettingsDialog();
        return;
    }
    if (record->instanceCount == 1) {
        NotifyAndCopyNormally(kSingleInstanceText);
        return;
    }
    int commandId = FindPluginCommandId(hwndMain);
    if (commandId == 0) {
        MessageBoxA(hwndMain, "エラー", VORPAN_TITLE, MB_ICONERROR);
        return;
    }

    linkState.otherPath[0] = '\0';
    linkState.treePath[0] = '\0';
    // Named, so another process holding the name gives us its event; a failure leaves it null and
    // every wait then ends at once.
    linkState.pathEvent = CreateEventA(nullptr, TRUE, FALSE, kPathEventName);
    linkState.savedMainProc = GetWindowProc(hwndMain);

    HWND target = record->instanceWindows[0];
    if (record->instanceCount >= 3 && (linkState.stateFlags & kChooseTarget) != 0) {
        target = ChooseTargetMenu(commandId);
        if (target == kNoTarget) {
            ClosePathEvent();
            return;
        }
        if (target == hwndMain) {
            ClosePathEvent();
            NotifyAndCopyNormally(kTargetIsSelfText);
            return;
        }
    }

    if (target != nullptr) {
        SubclassWindow(hwndMain, PathReportHook);
        RequestPaths(target, commandId);
        SubclassWindow(hwndMain, linkState.savedMainProc);
    }
    if (target != nullptr && linkState.otherPath[0] != '\0') {
        CopyIntoTarget(hwndMain);
        ClosePathEvent();
        return;
    }
    ClosePathEvent();
    NotifyAndCopyNormally(kTargetWithoutPathText);
}
