// The plug-in's command identifier read back from real menu bars of the shapes a host may build.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "link/command_lookup.h"

namespace {

const char kLabel[] = "２画面ファイラー風ファイルコピー(&C)";
const char kSeparator[] = "";  // a separator item in the tables below

struct MenuCase {
    const char *name;
    std::vector<std::string> pluginItems;  // the "プラグイン(&P)" submenu, "" for a separator
    int expected;
};

// A real top-level window whose menu bar has "ファイル(&F)", then the plug-in menu made of items.
class MenuWindow {
public:
    MenuWindow(const std::vector<std::string> &pluginItems, const char *pluginMenuText = "プラグイン(&P)")
    {
        hwnd = CreateWindowExA(0, "STATIC", "menu owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuA(file, MF_STRING, 1, "開く(&O)");
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "ファイル(&F)");
        HMENU plugins = CreatePopupMenu();
        UINT id = 33100;
        for (const std::string &item : pluginItems) {
            if (item.empty())
                AppendMenuA(plugins, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuA(plugins, MF_STRING, id++, item.c_str());
        }
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugins), pluginMenuText);
        SetMenu(hwnd, bar);
    }
    ~MenuWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
};

TEST(CommandLookup, FindsTheLabelByItsPlaceInThePluginGroup)
{
    const std::vector<MenuCase> cases = {
        {"after host item, separator, other plug-in",
         {"プラグインについて(&A)...", kSeparator, "記録プローブ(&R)", kLabel}, 33100 + 1},
        {"label at position 0, no separator", {kLabel, "記録プローブ(&R)"}, 33100},
        {"two separators: only the last counts",
         {"ホスト項目1", kSeparator, "ホスト項目2", kSeparator, "他(&O)", "別(&B)", kLabel}, 33100 + 2},
        {"any four-byte suffix", {kSeparator, "２画面ファイラー風ファイルコピー(&X)"}, 33100},
        {"no suffix", {kSeparator, "２画面ファイラー風ファイルコピー"}, 0},
        {"five-byte suffix", {kSeparator, "２画面ファイラー風ファイルコピー(&CC)"}, 0},
        {"label of another plug-in only", {kSeparator, "記録プローブ(&R)"}, 0},
        {"empty submenu", {}, 0},
    };
    for (const MenuCase &c : cases) {
        SCOPED_TRACE(c.name);
        MenuWindow window(c.pluginItems);
        ASSERT_NE(window.hwnd, nullptr);
        EXPECT_EQ(FindPluginCommandId(window.hwnd), c.expected);
    }
}

TEST(CommandLookup, NeedsThePluginMenuByItsExactText)
{
    MenuWindow otherText({kSeparator, kLabel}, "プラグイン(&Q)");
    EXPECT_EQ(FindPluginCommandId(otherText.hwnd), 0);

    HWND bare = CreateWindowExA(0, "STATIC", "no menu", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(FindPluginCommandId(bare), 0);
    DestroyWindow(bare);
}

TEST(CommandLookup, ALongItemAheadOfTheLabelIsReadSafely)
{
    // 200 bytes: cut at the 64-byte buffer, which Wine leaves without its NUL.
    std::string longItem(200, 'x');
    MenuWindow window({longItem, kSeparator, std::string(120, 'y'), kLabel});
    EXPECT_EQ(FindPluginCommandId(window.hwnd), 33100 + 1);
}

}  // namespace
