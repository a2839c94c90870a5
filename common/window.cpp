// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#include "common/window.h"

#include "common/host_record.h"

namespace {

struct ClassSearch {
    const char *className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND hwnd, LPARAM lParam)
{
    ClassSearch *search = reinterpret_cast<ClassSearch *>(lParam);
    char name[kClassNameSize];
    name[0] = '\0';
    GetClassNameA(hwnd, name, kClassNameSize);
    name[kClassNameSize - 1] = '\0';
    if (lstrcmpA(name, search->className) != 0)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

}  // namespace

void SubclassWindow(HWND hwnd, WNDPROC proc)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

WNDPROC GetWindowProc(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

HWND FindChildByClass(HWND parent, const char *className)
{
    ClassSearch search = {className, nullptr};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void ShowErrorBox(HWND owner)
{
    MessageBoxA(owner, "エラー", VORPAN_TITLE, MB_ICONERROR);
}
