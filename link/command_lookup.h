// Finds the identifier under which the host lists this plug-in in its plug-in menu.
#pragma once

#include <windows.h>

// The command identifier of our item in hwndMain's "プラグイン(&P)" submenu, or 0 when there is none.
int FindPluginCommandId(HWND hwndMain);
