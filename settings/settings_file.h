// The two user settings, kept in VORPAN.INI beside the library.
#pragma once

// Bits of the State flag word; other bits are carried from a load to a save unchanged.
enum : int {
    kNotifyFallback = 1,  // ask OK/Cancel before falling back to the normal copy
    kChooseTarget = 2,    // with three or more instances, let the user pick the target from a menu
};

enum : int { kSettingsVersion = 200 };

// Writes drive and folder of the loaded VORPAN.DLL followed by "VORPAN.INI" into path (260 bytes).
// False, with path empty, when that does not fit.
bool GetSettingsPath(char *path);

void LoadSettings();
void SaveSettings();
