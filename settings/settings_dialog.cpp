// The settings dialog: shows the flag word as loaded at the start of the run and saves it on OK.
#include "settings/settings_dialog.h"

#include "common/text.h"
#include "resources/resource_ids.h"

namespace {

const char kSaveFailedText[] = "設定を保存できませんでした。\n";

// The settings the dialog shows, handed over as its init parameter.
Settings *DialogSettings(HWND hwnd)
{
    return reinterpret_cast<Settings *>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

BOOL InitSettingsDialog(HWND hwnd, Settings *settings)
{
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(settings));
    CheckDlgButton(hwnd, IDC_NOTIFY_FALLBACK,
                   (settings->stateFlags & kNotifyFallback) != 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(hwnd, IDC_TARGET_PREVIOUS, IDC_TARGET_CHOOSE,
                     (settings->stateFlags & kChooseTarget) != 0 ? IDC_TARGET_CHOOSE : IDC_TARGET_PREVIOUS);
    return TRUE;
}

void AcceptSettings(HWND hwnd, Settings *settings)
{
    int flags = settings->stateFlags & ~(kNotifyFallback | kChooseTarget);
    if (IsDlgButtonChecked(hwnd, IDC_NOTIFY_FALLBACK) == BST_CHECKED)
        flags |= kNotifyFallback;
    if (IsDlgButtonChecked(hwnd, IDC_TARGET_CHOOSE) == BST_CHECKED)
        flags |= kChooseTarget;
    settings->stateFlags = flags;
    if (!SaveSettings(*settings)) {
        // The user would otherwise find the old settings at the next run and not know why.
        char text[sizeof kSaveFailedText + kPathSize];
        text[0] = '\0';
        AppendText(text, sizeof text, kSaveFailedText);
        AppendText(text, sizeof text, settings->path);
        MessageBoxA(hwnd, text, VORPAN_TITLE, MB_ICONERROR);
    }
    EndDialog(hwnd, IDOK);
}

INT_PTR CALLBACK SettingsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitSettingsDialog(hwnd, reinterpret_cast<Settings *>(lParam));
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return TRUE;
        if (LOWORD(wParam) == IDOK)
            AcceptSettings(hwnd, DialogSettings(hwnd));
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(hwnd, IDCANCEL);  // Escape and the close button come here too; nothing is saved
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void OpenSettingsDialog(HINSTANCE module, HWND owner, Settings *settings)
{
    DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_SETTINGS), owner, SettingsDialogProc,
                    reinterpret_cast<LPARAM>(settings));
}

