// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#pragma once

#include <windows.h>

// Our procedures in windows' subclass chains. Other modules subclass the same windows and put back
// what they saved, which may be one of ours; some answer messages they do not know instead of passing
// them on. So a procedure of ours is never put into a chain twice (it would call itself), where it
// lies is never asked by a message through the chain, and it passes messages on correctly for as long
// as any chain can call it.

// What a hook does with a message of its window, before the message is passed on down the chain or
// once the chain has handled it. It may end its own hook (UnhookWindow) while it runs.
typedef void (*HookWork)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
enum HookWhen { kBeforePassingOn, kAfterPassingOn };

// Puts a procedure of ours that does work on top of hwnd's chain: one that is in no window's chain.
// False when hwnd is no window of the calling thread (the hook would run on the window's own thread,
// against this thread's state), or when every procedure of ours is held below other modules'
// subclasses: then nothing is put on.
bool HookWindow(HWND hwnd, HookWork work, HookWhen when = kBeforePassingOn);
// Ends work's hook on hwnd. Its procedure is taken out of the chain when it is on top; otherwise
// another module subclassed hwnd over it, and it stays in the chain passing messages on until it comes
// to the top again or its window is gone. Does nothing when work has no hook on hwnd.
void UnhookWindow(HWND hwnd, HookWork work);

// The current window procedure of hwnd.
WNDPROC GetWindowProc(HWND hwnd);

// The first descendant of parent (in EnumChildWindows order) whose class name is className, or null.
HWND FindChildByClass(HWND parent, const char *className);
// The same for count class names at once, into found: one walk, which ends once each is found. Every
// window a walk passes costs the platform a call (under Wine, to its server).
void FindChildrenByClass(HWND parent, const char *const *classNames, HWND *found, int count);

// Whether window is a main window of an instance of our host: one of the same window class as hwndMain,
// with a menu bar, as every instance's main window is. The host's list of instances can name a window
// that is no instance any more (an instance that ended, whose handle now names another program's
// window): a command of ours runs whatever that number means there, and a path report may be acted on.
// A class name that cannot be read counts as another.
bool IsHostInstance(HWND window, HWND hwndMain);

// Removes the keyboard, mouse and pointer input queued for this thread, the window frames' included. Our waits
// take only sent messages, so what the user typed or clicked meanwhile stays queued, and the next loop
// that reads input would act on it: a menu's, a dialog's before it is shown, the file list's.
void DiscardQueuedInput();

// The box for a failure that stops the plug-in from doing anything.
void ShowErrorBox(HWND owner);
