// The dialog in which the user edits the two settings; it opens when the command is chosen with no
// file selected or on a virtual folder.
#pragma once

#include <windows.h>

// Runs the settings dialog modally over hwndMain; saves only on OK.
void OpenSettingsDialog();

INT_PTR CALLBACK SettingsDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
