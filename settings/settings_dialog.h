// The dialog in which the user edits the two settings; it opens when the command is chosen with no
// file selected or on a virtual folder.
#pragma once

#include <windows.h>

#include "settings/settings_file.h"

// Runs the settings dialog (resource of module) modally over owner, showing settings; saves them
// only on OK.
void OpenSettingsDialog(HINSTANCE module, HWND owner, Settings *settings);
