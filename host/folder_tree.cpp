// Folder trees of the real file system, shared by the main window and the confirmation dialog, and
// the path texts they are built from.
#include "host.h"
#include "host_protocol.h"

#include <algorithm>
#include <cstring>

namespace {

// Item lParam: tells the virtual root from folders without comparing texts.
enum : LPARAM { kFolderItem = 0, kVirtualItem = 1 };

// Reads an item's text; TVM_GETITEMA under Wine leaves a cut text unterminated.
bool ItemText(HWND tree, HTREEITEM item, char *out, int outSize)
{
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = out;
    tvi.cchTextMax = outSize;
    out[0] = '\0';
    BOOL ok = TreeView_GetItem(tree, &tvi);
    out[outSize - 1] = '\0';
    return ok != FALSE;
}

LPARAM ItemParam(HWND tree, HTREEITEM item)
{
    TVITEMA tvi = {};
    tvi.mask = TVIF_PARAM;
    tvi.hItem = item;
    return TreeView_GetItem(tree, &tvi) ? tvi.lParam : kFolderItem;
}

HTREEITEM InsertItem(HWND tree, HTREEITEM parent, const char *text, int children, LPARAM param)
{
    TVINSERTSTRUCTA tvis = {};
    tvis.hParent = parent;
    tvis.hInsertAfter = TVI_LAST;
    tvis.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_PARAM;
    tvis.item.pszText = const_cast<char *>(text);
    tvis.item.cChildren = children;
    tvis.item.lParam = param;
    return TreeView_InsertItem(tree, &tvis);
}

void SetHasChildren(HWND tree, HTREEITEM item, int children)
{
    TVITEMA tvi = {};
    tvi.mask = TVIF_CHILDREN;
    tvi.hItem = item;
    tvi.cChildren = children;
    TreeView_SetItem(tree, &tvi);
}

HTREEITEM FindSibling(HWND tree, HTREEITEM first, const char *name)
{
    char text[kPathSize];
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        if (ItemText(tree, item, text, sizeof text) && lstrcmpiA(text, name) == 0)
            return item;
    }
    return nullptr;
}

bool ByNameIgnoringCase(const std::string &a, const std::string &b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

}  // namespace

std::vector<std::string> ListFolder(const char *folder, const char *pattern, bool folders)
{
    std::vector<std::string> names;
    char search[kPathSize];
    if (!folder[0] || !JoinPath(search, sizeof search, folder, pattern))
        return names;
    WIN32_FIND_DATAA found;
    HANDLE handle = FindFirstFileA(search, &found);
    if (handle == INVALID_HANDLE_VALUE)
        return names;
    do {
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folders && strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
            names.push_back(found.cFileName);
    } while (FindNextFileA(handle, &found));
    FindClose(handle);
    std::sort(names.begin(), names.end(), ByNameIgnoringCase);
    return names;
}

bool CopyText(char *dst, int dstSize, const char *src)
{
    int length = lstrlenA(src);
    if (length + 1 > dstSize) {
        if (dstSize > 0)
            dst[0] = '\0';
        return false;
    }
    memcpy(dst, src, length + 1);
    return true;
}

bool EndsWithBackslash(const char *path)
{
    const char *last = nullptr;
    for (const char *p = path; *p; p = CharNextA(p))
        last = p;
    return last && *last == '\\';
}

bool JoinPath(char *out, int outSize, const char *folder, const char *name)
{
    int folderLength = lstrlenA(folder);
    int separator = folderLength > 0 && !EndsWithBackslash(folder) ? 1 : 0;
    int nameLength = lstrlenA(name);
    if (folderLength + separator + nameLength + 1 > outSize) {
        out[0] = '\0';
        return false;
    }
    memcpy(out, folder, folderLength);
    if (separator)
        out[folderLength] = '\\';
    memcpy(out + folderLength + separator, name, nameLength + 1);
    return true;
}

// Empty parts are dropped, so "C:\a\\b\" gives "C:", "a", "b".
std::vector<std::string> SplitText(const char *text, char separator)
{
    std::vector<std::string> parts;
    const char *start = text;
    for (const char *p = text;; p = CharNextA(p)) {
        if (*p == separator || *p == '\0') {
            if (p > start)
                parts.emplace_back(start, p - start);
            if (*p == '\0')
                break;
            start = p + 1;
        }
    }
    return parts;
}

void FillTreeRoots(HWND tree)
{
    DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i)))
            continue;
        char root[4] = {char('A' + i), ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_FIXED)
            continue;
        root[2] = '\0';
        InsertItem(tree, TVI_ROOT, root, 1, kFolderItem);
    }
    InsertItem(tree, TVI_ROOT, HOST_VIRTUAL_ROOT, 0, kVirtualItem);
}

// Reads the folder only on its first expansion; an item that already has children is left alone.
void FillTreeChildren(HWND tree, HTREEITEM item)
{
    if (TreeView_GetChild(tree, item))
        return;
    char folder[kPathSize];
    if (!TreeItemPath(tree, item, folder, sizeof folder))
        folder[0] = '\0';
    bool any = false;
    for (const std::string &name : ListFolder(folder, "*", true)) {
        char child[kPathSize];
        // A folder whose path would not fit the plug-in's 260 bytes cannot be a current folder.
        if (!JoinPath(child, sizeof child, folder, name.c_str()))
            continue;
        InsertItem(tree, item, name.c_str(), 1, kFolderItem);
        any = true;
    }
    if (!any)
        SetHasChildren(tree, item, 0);
}

// "C:" gives "C:\", its child "work" gives "C:\work"; the virtual root gives "".
bool TreeItemPath(HWND tree, HTREEITEM item, char *out, int outSize)
{
    std::vector<HTREEITEM> chain;
    for (HTREEITEM i = item; i; i = TreeView_GetParent(tree, i))
        chain.push_back(i);
    out[0] = '\0';
    if (chain.empty() || ItemParam(tree, chain.back()) == kVirtualItem)
        return !chain.empty();
    char text[kPathSize];
    char joined[kPathSize];
    if (!ItemText(tree, chain.back(), text, sizeof text) || !JoinPath(out, outSize, text, ""))
        return false;
    for (auto i = chain.rbegin() + 1; i != chain.rend(); ++i) {
        if (!ItemText(tree, *i, text, sizeof text) || !JoinPath(joined, sizeof joined, out, text) ||
            !CopyText(out, outSize, joined)) {
            out[0] = '\0';
            return false;
        }
    }
    return true;
}

// Expands from the drive root down, names compared ignoring case, and selects the deepest folder
// found, so a path that does not exist (any more) still opens its nearest existing parent.
HTREEITEM SelectTreePath(HWND tree, const char *path)
{
    std::vector<std::string> parts = SplitText(path, '\\');
    if (parts.empty())
        return nullptr;
    HTREEITEM item = FindSibling(tree, TreeView_GetRoot(tree), parts[0].c_str());
    if (!item || ItemParam(tree, item) == kVirtualItem)
        return nullptr;
    for (size_t i = 1; i < parts.size(); ++i) {
        // The tree's owner fills a level as it is expanded, and the benchmark times that there; filling it
        // here is for a level whose expansion told nobody.
        TreeView_Expand(tree, item, TVE_EXPAND);
        FillTreeChildren(tree, item);
        HTREEITEM child = FindSibling(tree, TreeView_GetChild(tree, item), parts[i].c_str());
        if (!child)
            break;
        item = child;
    }
    TreeView_SelectItem(tree, item);
    TreeView_EnsureVisible(tree, item);
    return item;
}

HTREEITEM FindVirtualRoot(HWND tree)
{
    for (HTREEITEM item = TreeView_GetRoot(tree); item; item = TreeView_GetNextSibling(tree, item)) {
        if (ItemParam(tree, item) == kVirtualItem)
            return item;
    }
    return nullptr;
}

// Wine's tree view is a Unicode window: an ANSI parent should get the A codes, but take both.
bool IsTreeExpanding(UINT code)
{
    return code == TVN_ITEMEXPANDINGA || code == TVN_ITEMEXPANDINGW;
}

bool IsTreeSelChanged(UINT code)
{
    return code == TVN_SELCHANGEDA || code == TVN_SELCHANGEDW;
}

// Wine paints the selection of a tree without the focus in the button face colour, barely visible:
// the user must see which folder is selected while the destination field has the focus.
LRESULT PaintSelectionAlways(NMHDR *header)
{
    NMTVCUSTOMDRAW *draw = reinterpret_cast<NMTVCUSTOMDRAW *>(header);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw->nmcd.uItemState & CDIS_SELECTED)) {
        draw->clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
        draw->clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
    }
    return CDRF_DODEFAULT;
}
