// Reads the plug-in's own command identifier back from the host's menu bar: the host numbers the
// plug-in items from 33100 in menu order, starting after the last separator above them.
#include "link/command_lookup.h"

#include "common/host_record.h"
#include "common/window.h"

namespace {

const int kMenuTextSize = 64;  // a menu item text, with its NUL

const char kPluginMenuText[] = "プラグイン(&P)";
// The label the plug-in gives the host: the title, then an accelerator of this many bytes, whichever
// letter it names.
const char kLabelTitle[] = VORPAN_TITLE;
const int kLabelSuffixBytes = sizeof VORPAN_ACCELERATOR - 1;
const int kFirstPluginCommand = 33100;

// Wine leaves a truncated text without its NUL, so the buffer is terminated here after every read.
// It is emptied first, so that an item without text (a separator) reads as empty on every platform.
void ReadMenuText(HMENU menu, int position, char (&text)[kMenuTextSize])
{
    text[0] = '\0';
    GetMenuStringA(menu, position, text, kMenuTextSize, MF_BYPOSITION);
    text[kMenuTextSize - 1] = '\0';
}

// A menu bar whose items cannot be counted: one of another process under Wine.
const int kMenuUnreadable = -1;

// The submenu of bar whose text is "プラグイン(&P)"; null when there is none.
HMENU FindPluginSubmenu(HMENU bar, int count)
{
    char text[kMenuTextSize];
    for (int i = 0; i < count; ++i) {
        ReadMenuText(bar, i, text);
        if (lstrcmpA(text, kPluginMenuText) == 0)
            return GetSubMenu(bar, i);
    }
    return nullptr;
}

// Our identifier in the plug-in submenu of hwnd's menu bar, 0 when it has no menu bar or lists no item of
// ours, or kMenuUnreadable.
int LookUpCommandId(HWND hwnd)
{
    HMENU bar = GetMenu(hwnd);
    if (bar == nullptr)
        return 0;
    int count = GetMenuItemCount(bar);
    if (count < 0)
        return kMenuUnreadable;
    HMENU plugins = FindPluginSubmenu(bar, count);
    if (plugins == nullptr)
        return 0;
    int titleLength = lstrlenA(kLabelTitle);
    int groupStart = 0;
    count = GetMenuItemCount(plugins);
    if (count < 0)
        return kMenuUnreadable;
    char text[kMenuTextSize];
    for (int i = 0; i < count; ++i) {
        ReadMenuText(plugins, i, text);
        int length = lstrlenA(text);
        if (length == 0) {
            groupStart = i + 1;
        } else if (length - kLabelSuffixBytes == titleLength) {
            text[titleLength] = '\0';
            if (lstrcmpA(text, kLabelTitle) == 0)
                return kFirstPluginCommand + (i - groupStart);
        }
    }
    return 0;
}

}  // namespace

int FindPluginCommandId(HWND hwndMain)
{
    int id = LookUpCommandId(hwndMain);
    return id != kMenuUnreadable ? id : 0;
}

int TargetCommandId(HWND hwndMain, HWND target, int ownId)
{
    if (!IsHostInstance(target, hwndMain))
        return 0;
    int id = LookUpCommandId(target);
    return id != kMenuUnreadable ? id : ownId;
}
