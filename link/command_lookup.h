// Finds the identifier under which the host lists this plug-in in its plug-in menu.
#pragma once

#include <windows.h>

// The command identifier of our item in hwndMain's "プラグイン(&P)" submenu, or 0 when there is none.
int FindPluginCommandId(HWND hwndMain);

// The command to send another instance's main window target so that our plug-in there runs: the
// identifier its own menu gives our item, 0 when its menu can be read and has no such item (whatever
// it numbers ownId may be another plug-in's command), and ownId when its menu cannot be read. Instances
// need not number their plug-ins alike; Windows lets a menu of another process be read, Wine does not.
int TargetCommandId(HWND target, int ownId);
