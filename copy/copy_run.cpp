// Copy orchestration in the instance where the user chose the command.
#include "copy/copy_run.h"

#include <commctrl.h>

#include "common/window.h"
#include "copy/confirm_dialog.h"
#include "link/chooser.h"
#include "link/command_lookup.h"
#include "link/path_exchange.h"
#include "settings/settings_dialog.h"
#include "settings/settings_file.h"

namespace {

const char kSingleInstanceText[] = "複数起動していないので通常動作にします。";
const char kTargetIsSelfText[] = "対象が自分なので通常動作にします。";
const char kTargetWithoutPathText[] = "対象が仮想フォルダなので通常動作にします。";
const char kSourceTooLongText[] = "コピー元のパスが長すぎるので通常動作にします。";

// The host's normal copy, after an OK/Cancel notice with text when NotifyFallback is set.
void NotifyAndCopyNormally(HWND hwndMain, const Settings &settings, const char *text)
{
    if ((settings.stateFlags & kNotifyFallback) != 0 &&
        MessageBoxA(hwndMain, text, VORPAN_TITLE, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    SendMessageA(hwndMain, WM_COMMAND, kHostCopyCommand, 0);
}

bool NothingToCopy(const RecordCopy &call)
{
    // The selection is asked for only where there is a folder to copy from; a folder whose path does not
    // fit is one, the host can copy from it.
    const HostRecord &record = call.record;
    return (record.currentPath[0] == '\0' && !call.currentPathTooLong) ||
           SendMessageA(record.hwndFileList, LVM_GETSELECTEDCOUNT, 0, 0) == 0;
}

}  // namespace

void RunTwoPaneCopy(const RecordCopy &call, HINSTANCE module)
{
    const HostRecord &record = call.record;
    HWND hwndMain = record.hwndMain;
    Settings settings = LoadSettings();
    if (NothingToCopy(call)) {
        OpenSettingsDialog(module, hwndMain, &settings);
        return;
    }
    if (record.instanceCount == 1) {
        NotifyAndCopyNormally(hwndMain, settings, kSingleInstanceText);
        return;
    }
    // The user asked for a copy: the host's own copy can still make it, which no target needs.
    if (call.currentPathTooLong) {
        NotifyAndCopyNormally(hwndMain, settings, kSourceTooLongText);
        return;
    }
    int commandId = FindPluginCommandId(hwndMain);
    if (commandId == 0) {
        ShowErrorBox(hwndMain);
        return;
    }

    // The previously active instance, or with three or more the one the user picks.
    HWND target = record.instanceWindows[0];
    if (record.instanceCount >= 3 && (settings.stateFlags & kChooseTarget) != 0) {
        target = ChooseTargetMenu(record, commandId);
        if (target == kNoTarget)
            return;
        if (target == hwndMain) {
            NotifyAndCopyNormally(hwndMain, settings, kTargetIsSelfText);
            return;
        }
    }
    PathAnswer answer;
    answer.currentPath[0] = '\0';
    if (target != nullptr)
        RequestPaths(hwndMain, target, commandId, &answer);
    if (answer.currentPath[0] == '\0') {
        // What the user typed or clicked while the target was asked was meant for the filled-in dialog:
        // a Return would otherwise confirm the notice, or the host's own destination, unseen.
        DiscardQueuedInput();
        NotifyAndCopyNormally(hwndMain, settings, kTargetWithoutPathText);
        return;
    }
    CopyIntoTarget(hwndMain, answer);
}
