// The two user settings, kept in VORPAN.INI beside the library.
#pragma once

#include "common/host_record.h"

// Bits of the State flag word; other bits are carried from a load to a save unchanged.
enum : int {
    kNotifyFallback = 1,  // ask OK/Cancel before falling back to the normal copy
    kChooseTarget = 2,    // with three or more instances, let the user pick the target from a menu
};

enum : int { kSettingsVersion = 200 };

// The settings of one requester run, read afresh at its start.
struct Settings {
    char path[kPathSize];  // full path of VORPAN.INI; empty when it does not fit (nothing is written then)
    int stateFlags;        // the State flag word
};

// Writes drive and folder of the loaded VORPAN.DLL followed by "VORPAN.INI" into path (260 bytes).
// False, with path empty, when that does not fit.
bool GetSettingsPath(char *path);

// Reads the flag word, creating the file with the defaults when there is none.
Settings LoadSettings();
// Writes the flag word back where it was loaded from; false when it could not be written there, or
// there is no path to write to.
bool SaveSettings(const Settings &settings);
