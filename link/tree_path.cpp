// The folder-tree path, both ways: built from a tree's selection by the responder, followed level by
// level in the confirmation dialog's tree. One item-text size serves both, so that whatever one side
// can write the other can find.
#include "link/tree_path.h"

#include "common/host_record.h"
#include "common/text.h"

namespace {

// Reads item's text whole into text (kTreeItemTextSize bytes); false when the control refuses, when
// the text is empty (no folder is named so), or when it is longer than 259 bytes: a cut text would name
// another folder. The text is read where the call leaves pszText: a control may point it at its own copy
// (an item whose text its parent supplies on demand) instead of filling our buffer. One byte more is
// read than kept, so that a longer text shows as such; the search for its end stops there, as Wine
// leaves a text cut at the buffer's end without its NUL.
bool ReadTreeItemText(HWND tree, HTREEITEM item, char (&text)[kTreeItemTextSize])
{
    char read[kTreeItemTextSize + 1];
    read[0] = '\0';
    TVITEMA request = {};
    request.mask = TVIF_TEXT;
    request.hItem = item;
    request.pszText = read;
    request.cchTextMax = sizeof read;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request)))
        return false;
    const char *found = request.pszText;
    if (found == nullptr || found == LPSTR_TEXTCALLBACKA)
        return false;
    int length = 0;
    while (length < kTreeItemTextSize && found[length] != '\0')
        ++length;
    if (length == 0 || length == kTreeItemTextSize)
        return false;
    for (int i = 0; i < length; ++i)
        text[i] = found[i];
    text[length] = '\0';
    return true;
}

// The first of first and its following siblings whose text equals name, ignoring case; or null.
// Items whose text cannot be read are passed over.
HTREEITEM FindTreeSibling(HWND tree, HTREEITEM first, const char *name)
{
    for (HTREEITEM item = first; item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
        char text[kTreeItemTextSize];
        if (ReadTreeItemText(tree, item, text) && lstrcmpiA(text, name) == 0)
            return item;
    }
    return nullptr;
}

}  // namespace

void BuildTreePath(HWND tree, char *out)
{
    out[0] = '\0';
    int outLength = 0;
    HTREEITEM item = TreeView_GetSelection(tree);
    while (item != nullptr) {
        char text[kTreeItemTextSize];
        if (!ReadTreeItemText(tree, item, text)) {
            out[0] = '\0';
            return;
        }
        int textLength = lstrlenA(text);
        // "text\" goes in front of what the levels below gave; a path that does not fit is sent empty.
        int newLength = textLength + 1 + outLength;
        if (newLength + 1 > kTreePathSize) {
            out[0] = '\0';
            return;
        }
        for (int i = outLength; i >= 0; --i)
            out[i + textLength + 1] = out[i];
        for (int i = 0; i < textLength; ++i)
            out[i] = text[i];
        out[textLength] = '\\';
        outLength = newLength;
        item = TreeView_GetParent(tree, item);
    }
}

HTREEITEM FindTreeItemByPath(HWND tree, const char *path)
{
    HTREEITEM current = nullptr;
    int start = 0;
    for (;;) {
        // A trail byte 0x5C (ソ, 表, 能, 十...) is part of its character, never a separator: folders with
        // such names are common in Japanese.
        int separator = FindSeparator(path, start);
        if (separator < 0)
            return current;
        char component[kTreeItemTextSize];
        int length = separator - start;
        if (length + 1 > kTreeItemTextSize)
            return nullptr;  // longer than any item text a tree path is built from
        for (int i = 0; i < length; ++i)
            component[i] = path[start + i];
        component[length] = '\0';
        start = separator + 1;

        HTREEITEM first;
        if (current == nullptr) {
            first = TreeView_GetRoot(tree);
        } else {
            // The host fills in a level's children only when it is expanded.
            TreeView_Expand(tree, current, TVE_EXPAND);
            first = TreeView_GetChild(tree, current);
        }
        if (first == nullptr)
            return nullptr;
        current = FindTreeSibling(tree, first, component);
        if (current == nullptr)
            return nullptr;
    }
}
