// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#pragma once

#include <windows.h>

// Replaces hwnd's window procedure with proc.
void SubclassWindow(HWND hwnd, WNDPROC proc);
// The current window procedure of hwnd.
WNDPROC GetWindowProc(HWND hwnd);

// The first descendant of parent (in EnumChildWindows order) whose class name is className, or null.
HWND FindChildByClass(HWND parent, const char *className);
// The same for count class names at once, into found: one walk, which ends once each is found. Every
// window a walk passes costs the platform a call (under Wine, to its server).
void FindChildrenByClass(HWND parent, const char *const *classNames, HWND *found, int count);

// The box for a failure that stops the plug-in from doing anything.
void ShowErrorBox(HWND owner);
