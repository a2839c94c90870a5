// Window helpers every layer uses: subclassing, finding a control, and the plug-in's error box.
#include "common/window.h"

#include "common/host_record.h"

namespace {

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

}  // namespace

void SubclassWindow(HWND hwnd, WNDPROC proc)
{
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
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
