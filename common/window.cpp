// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#include "common/window.h"

#include "common/host_record.h"

namespace {

const int kClassNameSize = 32;  // a window class name looked for, with its NUL
const int kAnyClassNameSize = 257;  // the longest class name Windows registers (256), with its NUL

struct ClassSearch {
    const char *const *classNames;
    HWND *found;
    int count;
    int missing;  // classes not found yet
};

BOOL CALLBACK MatchClass(HWND hwnd, LPARAM lParam)
{
    ClassSearch *search = reinterpret_cast<ClassSearch *>(lParam);
    char name[kClassNameSize];
    name[0] = '\0';
    GetClassNameA(hwnd, name, kClassNameSize);
    name[kClassNameSize - 1] = '\0';
    for (int i = 0; i < search->count; ++i) {
        if (search->found[i] == nullptr && lstrcmpA(name, search->classNames[i]) == 0) {
            search->found[i] = hwnd;
            --search->missing;
        }
    }
    return search->missing > 0;
}

// One procedure of ours: each has an address of its own, so that each can be in one chain at a time
// and pass messages on to what it replaced there.
struct HookSlot {
    HWND window;       // the window whose chain holds the procedure; null: in no chain, free
    HookWork work;     // what it does with a message; null: disarmed, it only passes messages on
    HookWhen when;     // whether work runs before the rest of the chain or after it
    WNDPROC replaced;  // what it passes messages on to in that window
};

// A main window holds at most the request's hook or the copy's, and the confirmation dialog one; the
// rest are for procedures held below other modules' subclasses until their windows are gone.
const int kHookSlots = 8;

// The windows call the procedures, not we: this is what they find their way on by, and it stays valid
// for as long as the library is loaded.
HookSlot hookSlots[kHookSlots];

LRESULT RunSlot(int index, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    HookSlot &slot = hookSlots[index];
    // Taken before the work runs: it may end the hook and so free the slot.
    WNDPROC next = slot.replaced != nullptr ? slot.replaced : DefWindowProcA;
    if (slot.work != nullptr && slot.window == hwnd && slot.when == kBeforePassingOn)
        slot.work(hwnd, message, wParam, lParam);
    LRESULT result = CallWindowProcA(next, hwnd, message, wParam, lParam);
    // The chain may have ended the hook, or handed the slot to another window, meanwhile.
    if (slot.work != nullptr && slot.window == hwnd && slot.when == kAfterPassingOn)
        slot.work(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY && slot.window == hwnd)
        slot.window = nullptr;
    return result;
}

template <int Index>
LRESULT CALLBACK SlotProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunSlot(Index, hwnd, message, wParam, lParam);
}

const WNDPROC slotProcs[kHookSlots] = {SlotProc<0>, SlotProc<1>, SlotProc<2>, SlotProc<3>,
                                       SlotProc<4>, SlotProc<5>, SlotProc<6>, SlotProc<7>};

void SetWindowProc(HWND hwnd, WNDPROC proc)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

// The slot whose procedure is on top of hwnd's chain, or -1 when the top is not ours.
int SlotOnTop(HWND hwnd)
{
    WNDPROC current = GetWindowProc(hwnd);
    for (int i = 0; i < kHookSlots; ++i) {
        if (hookSlots[i].window == hwnd && slotProcs[i] == current)
            return i;
    }
    return -1;
}

void TakeOff(HWND hwnd, int index)
{
    SetWindowProc(hwnd, hookSlots[index].replaced);
    hookSlots[index].window = nullptr;
    hookSlots[index].work = nullptr;
}

// A module that removed itself properly put back what it had saved, which may be a disarmed procedure
// of ours: it is on top again, and can go.
void TakeOffDisarmed(HWND hwnd)
{
    for (int top = SlotOnTop(hwnd); top >= 0 && hookSlots[top].work == nullptr; top = SlotOnTop(hwnd))
        TakeOff(hwnd, top);
}

// A slot in no chain: one taken off while on top, or one whose window is gone (a window can go without
// its last message passing our procedure, when another module cut it out of the chain).
int FreeSlot()
{
    for (int i = 0; i < kHookSlots; ++i) {
        if (hookSlots[i].window == nullptr || !IsWindow(hookSlots[i].window))
            return i;
    }
    return -1;
}

// Once a window holds a procedure of ours, it may keep it below another module's subclass for as long as
// the window lives: the host must not be able to unload the library under it.
void PinLibrary()
{
    static bool pinned;
    if (pinned)
        return;
    HMODULE self;
    pinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCSTR>(&hookSlots), &self) != 0;
}

}  // namespace

bool HookWindow(HWND hwnd, HookWork work, HookWhen when)
{
    if (!IsWindow(hwnd) || GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId())
        return false;
    TakeOffDisarmed(hwnd);
    int index = FreeSlot();
    if (index < 0)
        return false;
    PinLibrary();
    HookSlot &slot = hookSlots[index];
    slot.window = hwnd;
    slot.work = work;
    slot.when = when;
    slot.replaced = GetWindowProc(hwnd);
    SetWindowProc(hwnd, slotProcs[index]);
    return true;
}

void UnhookWindow(HWND hwnd, HookWork work)
{
    for (int i = 0; i < kHookSlots; ++i) {
        if (hookSlots[i].window == hwnd && hookSlots[i].work == work)
            hookSlots[i].work = nullptr;
    }
    TakeOffDisarmed(hwnd);
}

WNDPROC GetWindowProc(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

void FindChildrenByClass(HWND parent, const char *const *classNames, HWND *found, int count)
{
    for (int i = 0; i < count; ++i)
        found[i] = nullptr;
    ClassSearch search = {classNames, found, count, count};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
}

HWND FindChildByClass(HWND parent, const char *className)
{
    HWND found;
    FindChildrenByClass(parent, &className, &found, 1);
    return found;
}

bool IsHostInstance(HWND window, HWND hwndMain)
{
    char name[kAnyClassNameSize];
    char own[kAnyClassNameSize];
    if (GetClassNameA(window, name, kAnyClassNameSize) <= 0 ||
        GetClassNameA(hwndMain, own, kAnyClassNameSize) <= 0)
        return false;
    name[kAnyClassNameSize - 1] = '\0';
    own[kAnyClassNameSize - 1] = '\0';
    return lstrcmpA(name, own) == 0 && GetMenu(window) != nullptr;
}

void DiscardQueuedInput()
{
    // Non-client clicks too: one on the frame's close button would close the host. Touch and pen input
    // (Windows 7 and later) is posted as WM_GESTURE (0x0119) and as WM_TOUCH and the WM_NCPOINTER* and
    // WM_POINTER* messages (0x0240 to 0x024F), and becomes mouse input only when dispatched; the headers
    // for Windows XP do not name them.
    static const UINT ranges[][2] = {{WM_KEYFIRST, WM_KEYLAST},
                                     {WM_MOUSEFIRST, WM_MOUSELAST},
                                     {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
                                     {0x0119, 0x0119},
                                     {0x0240, 0x024F}};
    MSG message;
    for (const auto &range : ranges) {
        while (PeekMessageA(&message, nullptr, range[0], range[1], PM_REMOVE)) {
        }
    }
}

void ShowErrorBox(HWND owner)
{
    MessageBoxA(owner, "エラー", VORPAN_TITLE, MB_ICONERROR);
}
