// Tree paths on real tree views: built from a selection by the responder, and followed back down a
// tree that fills in its children only when a level is expanded, as the host's dialog does.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "common/host_record.h"
#include "link/tree_path.h"
#include "support/test_support.h"

namespace {

// Children each lazily filled item gets, by the item's text; items listed here start collapsed and
// empty, with a button, like the host's folders.
struct LazyTree {
    HWND parent = nullptr, tree = nullptr;
    std::map<std::string, std::vector<std::string>> children;
    std::vector<std::string> expanded;  // texts of the items whose children were filled in, in order
};

LazyTree *current;

HTREEITEM Insert(HWND tree, HTREEITEM parent, const std::string &text, bool lazy)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    insert.item.pszText = const_cast<char *>(text.c_str());
    insert.item.cChildren = lazy ? 1 : 0;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void FillChildren(HTREEITEM item)
{
    std::string text = TreeItemText(current->tree, item);
    if (TreeView_GetChild(current->tree, item) != nullptr)
        return;
    current->expanded.push_back(text);
    auto entry = current->children.find(text);
    if (entry != current->children.end())
        for (const std::string &child : entry->second)
            Insert(current->tree, item, child, current->children.count(child) != 0);
}

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && current != nullptr) {
        // Tested in this order: only an expanding notification carries the item and its action.
        const NMTREEVIEWA *change = reinterpret_cast<const NMTREEVIEWA *>(lParam);
        const UINT code = change->hdr.code;
        if ((code == TVN_ITEMEXPANDINGA || code == TVN_ITEMEXPANDINGW) && (change->action & TVE_EXPAND))
            FillChildren(change->itemNew.hItem);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lazy.parent = MakeMenuWindow("TreePathTestParent", ParentProc, "tree owner", {}, nullptr);
        lazy.tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, 0, 0,
                                    300, 300, lazy.parent, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(lazy.tree, nullptr);
        current = &lazy;
    }
    void TearDown() override
    {
        current = nullptr;
        DestroyWindow(lazy.parent);
    }

    // Roots, and which lazily filled item gets which children.
    void Build(const std::vector<std::string> &roots, const std::map<std::string, std::vector<std::string>> &children)
    {
        lazy.children = children;
        for (const std::string &root : roots)
            Insert(lazy.tree, TVI_ROOT, root, children.count(root) != 0);
    }

    // The texts from the root down to item, "" for none.
    std::string PathOf(HTREEITEM item) const
    {
        std::string path;
        for (; item != nullptr; item = TreeView_GetParent(lazy.tree, item))
            path = TreeItemText(lazy.tree, item) + "\\" + path;
        return path;
    }

    std::string Built()
    {
        char out[kTreePathSize];
        memset(out, 'G', sizeof out);
        BuildTreePath(lazy.tree, out);
        return out;
    }

    LazyTree lazy;
};

TEST_F(TreeTest, BuildsTheSelectionFromTheRootDown)
{
    Build({"C:", "ごみ箱"}, {{"C:", {"work", "ソフト"}}, {"ソフト", {"表示", "能力"}}});
    EXPECT_EQ(Built(), "") << "no selection";

    TreeView_SelectItem(lazy.tree, FindTreeItemByPath(lazy.tree, "C:\\ソフト\\表示\\"));
    EXPECT_EQ(Built(), "C:\\ソフト\\表示\\");

    TreeView_SelectItem(lazy.tree, TreeView_GetRoot(lazy.tree));
    EXPECT_EQ(Built(), "C:\\") << "a root gives its text and one separator";
}

TEST_F(TreeTest, ATreePathThatDoesNotFitIsSentEmpty)
{
    std::string a(259, 'a'), b(258, 'b'), c(259, 'c');
    Build({a}, {{a, {b, c}}});
    HTREEITEM root = TreeView_GetRoot(lazy.tree);
    TreeView_Expand(lazy.tree, root, TVE_EXPAND);
    HTREEITEM fits = TreeView_GetChild(lazy.tree, root);
    HTREEITEM tooLong = TreeView_GetNextSibling(lazy.tree, fits);

    TreeView_SelectItem(lazy.tree, fits);
    EXPECT_EQ(Built(), a + "\\" + b + "\\") << "519 bytes fit";
    TreeView_SelectItem(lazy.tree, tooLong);
    EXPECT_EQ(Built(), "") << "520 bytes do not";
}

// A tree that cannot give the text of one item, as a control may fail a read.
WNDPROC savedTreeProc;
HTREEITEM unreadable;

LRESULT CALLBACK UnreadableItemProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == TVM_GETITEMA && reinterpret_cast<TVITEMA *>(lParam)->hItem == unreadable)
        return FALSE;
    return CallWindowProcA(savedTreeProc, hwnd, message, wParam, lParam);
}

TEST_F(TreeTest, AnUnreadableItemHalfwayUpEmptiesThePathAndIsSkippedBySearch)
{
    Build({"C:"}, {{"C:", {"親", "親"}}, {"親", {"子"}}});
    HTREEITEM child = FindTreeItemByPath(lazy.tree, "C:\\親\\子\\");
    ASSERT_NE(child, nullptr);
    TreeView_SelectItem(lazy.tree, child);
    HTREEITEM firstParent = TreeView_GetParent(lazy.tree, child);

    unreadable = firstParent;
    savedTreeProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(lazy.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(UnreadableItemProc)));
    EXPECT_EQ(Built(), "");
    // The search passes over the unreadable one and takes the next sibling of the same text.
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:\\親\\"), TreeView_GetNextSibling(lazy.tree, firstParent));
    SetWindowLongPtrA(lazy.tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedTreeProc));
}

TEST_F(TreeTest, FollowsAPathLevelByLevelIgnoringCase)
{
    Build({"D:", "C:"}, {{"C:", {"Users", "Work"}}, {"Work", {"Sub", "Project"}}, {"Project", {}}});
    EXPECT_EQ(PathOf(FindTreeItemByPath(lazy.tree, "c:\\WORK\\project\\")), "C:\\Work\\Project\\");
    // Each level expanded before its children were looked at; roots are not expanded first, and the
    // item found is not expanded either.
    EXPECT_EQ(lazy.expanded, (std::vector<std::string>{"C:", "Work"}));
}

TEST_F(TreeTest, SearchCases)
{
    std::string longText(300, 'L'), fullText(259, 'M');
    Build({"C:"}, {{"C:", {"同名", "同名", "ソフト", "十能表", fullText, longText, ""}},
                   {"ソフト", {"表示"}}, {"十能表", {"ソ"}}});
    HTREEITEM root = TreeView_GetRoot(lazy.tree);

    SCOPED_TRACE("no trailing separator: the last component is not looked for");
    HTREEITEM soft = FindTreeItemByPath(lazy.tree, "C:\\ソフト\\");
    ASSERT_EQ(PathOf(soft), "C:\\ソフト\\");
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:\\ソフト\\表示"), soft);
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:"), nullptr) << "no separator at all";
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, ""), nullptr);
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:\\"), root);

    SCOPED_TRACE("equal sibling texts: the first in tree order");
    HTREEITEM firstSame = TreeView_GetChild(lazy.tree, root);
    ASSERT_NE(firstSame, nullptr);
    EXPECT_EQ(PathOf(TreeView_GetNextSibling(lazy.tree, firstSame)), "C:\\同名\\");
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:\\同名\\"), firstSame);

    SCOPED_TRACE("trail bytes 0x5C are parts of their characters");
    EXPECT_EQ(PathOf(FindTreeItemByPath(lazy.tree, "C:\\ソフト\\表示\\")), "C:\\ソフト\\表示\\");
    EXPECT_EQ(PathOf(FindTreeItemByPath(lazy.tree, "C:\\十能表\\ソ\\")), "C:\\十能表\\ソ\\");

    SCOPED_TRACE("an item text is read whole or not at all: 259 bytes match in full, a longer text never");
    HTREEITEM full = FindTreeItemByPath(lazy.tree, ("C:\\" + fullText + "\\").c_str());
    ASSERT_NE(full, nullptr);
    for (size_t cut : {size_t(255), expected::kLongestPath}) {
        EXPECT_EQ(FindTreeItemByPath(lazy.tree, ("C:\\" + std::string(cut, 'L') + "\\").c_str()), nullptr)
            << "matched the first " << cut << " bytes of a longer text";
    }
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, ("C:\\" + longText + "\\").c_str()), nullptr);
    TreeView_SelectItem(lazy.tree, full);
    EXPECT_EQ(Built(), "C:\\" + fullText + "\\");
    HTREEITEM tooLong = TreeView_GetNextSibling(lazy.tree, full);
    TreeView_SelectItem(lazy.tree, tooLong);
    EXPECT_EQ(Built(), "") << "a selected folder whose text cannot be read whole";

    SCOPED_TRACE("an empty text names no folder: no level of a tree path, never matched");
    TreeView_SelectItem(lazy.tree, TreeView_GetNextSibling(lazy.tree, tooLong));
    EXPECT_EQ(Built(), "");
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:\\\\"), nullptr);
    EXPECT_EQ(FindTreeItemByPath(lazy.tree, "C:\\無い\\"), nullptr);
}

}  // namespace
