// Resource and control identifiers of the library, in one place for the .rc and the code.
#pragma once

// Dialogs
#define IDD_SETTINGS 101

// Controls of the settings dialog
#define IDC_NOTIFY_FALLBACK 1000   // check box: NotifyFallback
#define IDC_TARGET_PREVIOUS 1001   // radio: the previously active instance is the target
#define IDC_TARGET_CHOOSE 1002     // radio: choose the target from a menu
