// Takes over the host's copy confirmation dialog as it opens: retitles it, writes the target's path into
// the destination field and selects the target's folder in its tree.
#pragma once

#include <windows.h>

#include "link/path_exchange.h"

// The host's normal copy of the selection, a WM_COMMAND to its main window; it shows the confirmation
// dialog before it returns.
const UINT kHostCopyCommand = 32781;

// Runs the host's copy command on hwndMain with the takeover in place, so that its confirmation dialog
// shows target's folder; returns when the host's copy has ended.
void CopyIntoTarget(HWND hwndMain, const PathAnswer &target);
