// The folder-tree path that carries a selected folder from one instance's tree to another tree: the
// item texts from the root down, each followed by "\". Written by the responder, followed by the
// confirmation dialog takeover.
#pragma once

#include <windows.h>
#include <commctrl.h>

// A folder-tree item text: 259 bytes and a NUL. One read longer than that counts as unreadable.
const int kTreeItemTextSize = 260;

// The tree path of tree's selected item into out (kTreePathSize bytes). Empty when nothing is
// selected, when an item's text cannot be read whole, or when the whole does not fit.
void BuildTreePath(HWND tree, char *out);

// The item of tree reached by following path from the roots down, expanding each level so that the
// host fills in its children; at each level the first item whose text equals the component ignoring
// case. Text after the last "\" is ignored. Null when a component is not found.
HTREEITEM FindTreeItemByPath(HWND tree, const char *path);
