// The settings dialog: shows the flag word as loaded at the start of the run and saves it on OK.
#include "settings/settings_dialog.h"

#include "plugin/link_state.h"
#include "resources/resource_ids.h"
#include "settings/settings_file.h"

namespace {

BOOL InitSettingsDialog(HWND hwnd)
{
    CheckDlgButton(hwnd, IDC_NOTIFY_FALLBACK,
                   (linkState.stateFlags & kNotifyFallback) != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(hwnd, IDC_TARGET_PREVIOUS, IDC_TARGET_CHOOSE,
                     (linkState.stateFlags & kChooseTarget) != 0 ? IDC_TARGET_CHOOSE
                                                                 : IDC_TARGET_PREVIOUS);
    return TRUE;
}

void AcceptSettings(HWND hwnd)
{
    int flags = linkState.stateFlags & ~(kNotifyFallback | kChooseTarget);
    if (IsDlgButtonChecked(hwnd, IDC_NOTIFY_FALLBACK) == BST_CHECKED)
        flags |= kNotifyFallback;
    if (IsDlgButtonChecked(hwnd, IDC_TARGET_CHOOSE) == BST_CHECKED)
        flags |= kChooseTarget;
    linkState.stateFlags = flags;
    SaveSettings();
    EndDialog(hwnd, IDOK);
}

}  // namespace

void OpenSettingsDialog()
{
    DialogBoxParamA(linkState.moduleInstance, MAKEINTRESOURCEA(IDD_SETTINGS),
                    linkState.record->hwndMain, SettingsDialogProc, 0);
}

INT_PTR CALLBACK SettingsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitSettingsDialog(hwnd);
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return TRUE;
        if (LOWORD(wParam) == IDOK)
            AcceptSettings(hwnd);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(hwnd, IDCANCEL);  // Escape and the close button come here too; nothing is saved
        return TRUE;
    default:
        return FALSE;
    }
}
