// The popup menu from which the user picks the target instance when three or more run.
#pragma once

#include <windows.h>

#include "common/host_record.h"

// The value ChooseTargetMenu gives when the menu was dismissed or could not be made.
#define kNoTarget reinterpret_cast<HWND>(-1)

// Asks every other instance of record for its path in one round (RequestFolders), shows them with this
// instance's own path last, and returns the chosen instance's main window, or kNoTarget: also when the
// host is no longer in the foreground once they have answered, and then shows no menu.
HWND ChooseTargetMenu(const HostRecord &record, int commandId);
