// Takes over the host's copy confirmation dialog as it opens: retitles it, writes the target's path into
// the destination field and selects the target's folder in its tree.
#pragma once

#include <windows.h>
#include <commctrl.h>

// On hwndMain during the host's copy: moves itself onto the confirmation dialog as it is activated.
LRESULT CALLBACK ActivateHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// On the confirmation dialog until it is first shown: fills it in, then removes itself.
LRESULT CALLBACK DialogShowHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void FillConfirmDialog(HWND dialog);

// The item of tree reached by following path ("root\child\...\") from the roots down, expanding each
// level so that the host fills in its children; null when a component is not found.
HTREEITEM FindTreeItemByPath(HWND tree, const char *path);
// The first of first and its following siblings whose text equals name, ignoring case; or null.
HTREEITEM FindTreeSibling(HWND tree, HTREEITEM first, const char *name);
