// The plug-in's command identifier read back from real menu bars of the shapes a host may build.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "link/command_lookup.h"
#include "support/test_support.h"

namespace {

const char *const kLabel = kPluginMenuLabel;
const char kSeparator[] = "";  // a separator item in the tables below

struct MenuCase {
    const char *name;
    std::vector<std::string> pluginItems;  // the "プラグイン(&P)" submenu, "" for a separator
    int expected;
};

// The id found in a window whose menu bar has "ファイル(&F)", then the plug-in menu of items; -1: no window.
int LookedUp(const std::vector<std::string> &pluginItems, const char *pluginMenu = kPluginMenuText)
{
    HWND window = MakeMenuWindow("VorpanMenuOwner", DefWindowProcA, "menu owner", pluginItems, pluginMenu);
    int id = window != nullptr ? FindPluginCommandId(window) : -1;
    DestroyWindow(window);
    return id;
}

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
        EXPECT_EQ(LookedUp(c.pluginItems), c.expected);
    }
}

TEST(CommandLookup, NeedsThePluginMenuByItsExactText)
{
    for (const char *pluginMenu : {"プラグイン(&Q)", static_cast<const char *>(nullptr)}) {
        SCOPED_TRACE(pluginMenu != nullptr ? "another menu text" : "no menu bar");
        EXPECT_EQ(LookedUp({kSeparator, kLabel}, pluginMenu), 0);
    }
}

TEST(CommandLookup, ALongItemAheadOfTheLabelIsReadSafely)
{
    // 200 bytes: cut at the 64-byte buffer, which Wine leaves without its NUL.
    EXPECT_EQ(LookedUp({std::string(200, 'x'), kSeparator, std::string(120, 'y'), kLabel}), 33100 + 1);
}

}  // namespace
