// Finds the identifier under which the host lists this plug-in in its plug-in menu.
#pragma once

#include <windows.h>

// The command identifier of our item in hwndMain's "プラグイン(&P)" submenu, or 0 when there is none.
int FindPluginCommandId(HWND hwndMain);

// The command to send another instance's main window target so that our plug-in there runs, or 0 when
// nothing may be sent to it: target is no instance of our host (IsHostInstance against hwndMain: of
// another class, or without a menu bar), or its menu can be read and lists no item of ours (whatever it
// numbers ownId may be another plug-in's command). Otherwise the identifier its own menu gives our item,
// or ownId, our command in this instance, when its menu bar cannot be read. Instances need not number
// their plug-ins alike; Windows lets a menu of another process be read, Wine does not.
int TargetCommandId(HWND hwndMain, HWND target, int ownId);
