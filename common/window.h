// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#pragma once

#include <windows.h>

// Our procedures in windows' subclass chains. Other modules subclass the same windows and put back
// what they saved, which may be one of ours: so a hook of ours must pass messages on correctly for as
// long as it can be called, and is taken out of a chain only while it is on top of it.

// Puts hook on top of hwnd's chain, remembering the procedure it replaced there. A hook still in hwnd's
// chain from an earlier time stays where it is and is not put on a second time (it would call itself).
// False when hook could not be put on: hwnd is no window, or too many windows still hold our hooks.
bool HookWindow(HWND hwnd, WNDPROC hook);
// Takes hook out of hwnd's chain when it is on top, or directly below another of our hooks. Otherwise
// another module subclassed hwnd over it: the hook stays in the chain, passing messages on, and the
// library stays loaded for it. Does nothing when hook is not in hwnd's chain.
void UnhookWindow(HWND hwnd, WNDPROC hook);
// The procedure hook replaced on hwnd, to pass messages on to; DefWindowProcA should it be unknown.
// Take it before the hook may unhook itself.
WNDPROC ReplacedProc(HWND hwnd, WNDPROC hook);
// Passes a message on to next, the procedure hook replaced on hwnd, and forgets hwnd once it is gone.
LRESULT PassOn(HWND hwnd, WNDPROC hook, WNDPROC next, UINT message, WPARAM wParam, LPARAM lParam);

// The current window procedure of hwnd.
WNDPROC GetWindowProc(HWND hwnd);

// The first descendant of parent (in EnumChildWindows order) whose class name is className, or null.
HWND FindChildByClass(HWND parent, const char *className);
// The same for count class names at once, into found: one walk, which ends once each is found. Every
// window a walk passes costs the platform a call (under Wine, to its server).
void FindChildrenByClass(HWND parent, const char *const *classNames, HWND *found, int count);

// The box for a failure that stops the plug-in from doing anything.
void ShowErrorBox(HWND owner);
