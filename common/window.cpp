// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#include "common/window.h"

#include "common/host_record.h"

namespace {

const int kClassNameSize = 32;  // a window class name, with its NUL

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

// One of our hooks in one window's chain.
struct HookLink {
    HWND window;       // null: a free entry
    WNDPROC hook;
    WNDPROC replaced;  // what the hook passes messages on to in that window
};

// Few windows hold a hook of ours at a time: a main window at most the request's and the copy's, and the
// confirmation dialog one. A hook left below another module's subclass keeps its entry until the window
// is gone.
const int kMaxHookLinks = 16;

// The hooks are called by the windows, not by us: this is what they find their way on by, and it stays
// valid for as long as the library is loaded.
HookLink hookLinks[kMaxHookLinks];

// A message each hook of ours answers for itself when wParam names it: whether a hook is still reachable
// in a window's chain, which a module that put back an old procedure over it may have changed.
UINT probeMessage;
const LRESULT kProbeAnswer = 0x56524F50;

HookLink *FindLink(HWND hwnd, WNDPROC hook)
{
    for (HookLink &link : hookLinks) {
        if (link.window != nullptr && link.window == hwnd && link.hook == hook)
            return &link;
    }
    return nullptr;
}

HookLink *FreeLink()
{
    for (HookLink &link : hookLinks) {
        // A window can go without its last message passing our hook, when another module took it out.
        if (link.window == nullptr || !IsWindow(link.window))
            return &link;
    }
    return nullptr;
}

bool StillInChain(HWND hwnd, WNDPROC hook)
{
    return GetWindowProc(hwnd) == hook ||
           SendMessageA(hwnd, probeMessage, reinterpret_cast<WPARAM>(hook), 0) == kProbeAnswer;
}

void SetWindowProc(HWND hwnd, WNDPROC proc)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

}  // namespace

bool HookWindow(HWND hwnd, WNDPROC hook)
{
    if (probeMessage == 0)
        probeMessage = RegisterWindowMessageA("VorpanHookProbe");
    HookLink *link = FindLink(hwnd, hook);
    if (link != nullptr) {
        if (StillInChain(hwnd, hook))
            return true;
        link->window = nullptr;  // cut out by another module: it can be put on afresh
    }
    link = FreeLink();
    WNDPROC replaced = IsWindow(hwnd) ? GetWindowProc(hwnd) : nullptr;
    if (link == nullptr || replaced == nullptr)
        return false;
    link->window = hwnd;
    link->hook = hook;
    link->replaced = replaced;
    SetWindowProc(hwnd, hook);
    return true;
}

void UnhookWindow(HWND hwnd, WNDPROC hook)
{
    HookLink *link = FindLink(hwnd, hook);
    if (link == nullptr)
        return;
    WNDPROC current = GetWindowProc(hwnd);
    if (current == hook) {
        SetWindowProc(hwnd, link->replaced);
        link->window = nullptr;
        return;
    }
    HookLink *above = nullptr;
    for (HookLink &other : hookLinks) {
        if (other.window == hwnd && other.hook == current && other.replaced == hook)
            above = &other;
    }
    if (above != nullptr) {
        above->replaced = link->replaced;
        link->window = nullptr;
        return;
    }
    // Another module's procedure calls ours; unloading the library would leave it calling into nothing.
    HMODULE self;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(hook), &self);
}

WNDPROC ReplacedProc(HWND hwnd, WNDPROC hook)
{
    HookLink *link = FindLink(hwnd, hook);
    return link != nullptr ? link->replaced : DefWindowProcA;
}

LRESULT PassOn(HWND hwnd, WNDPROC hook, WNDPROC next, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == probeMessage && probeMessage != 0 && wParam == reinterpret_cast<WPARAM>(hook))
        return kProbeAnswer;
    LRESULT result = CallWindowProcA(next, hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        HookLink *link = FindLink(hwnd, hook);
        if (link != nullptr)
            link->window = nullptr;
    }
    return result;
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

void ShowErrorBox(HWND owner)
{
    MessageBoxA(owner, "エラー", VORPAN_TITLE, MB_ICONERROR);
}
