// The two-pane copy end to end: stand-in host instances on real folders, the command chosen in one of
// them, the confirmation dialog as the user sees it, and the files where they went.
#include <gtest/gtest.h>

#include <windows.h>

#include "host_protocol.h"
#include "support/plugin_flow.h"

namespace {

TEST(TwoPaneCopy, FillsTheDialogWithThePreviouslyActiveInstancesFolder)
{
    ScratchFolder scratch({"作業\\", "作業\\報告書.txt", "作業\\memo.txt", "ソフト\\表示\\"});
    ASSERT_TRUE(scratch.ok()) << scratch.error;
    PluginFolder plugins;
    ASSERT_TRUE(plugins.ok()) << plugins.error;
    HostInstance target({"/path=" + scratch.Path("ソフト\\表示"), plugins.HostOption()});
    HostInstance source({"/path=" + scratch.Path("作業"), "/selectall", plugins.HostOption()});
    ASSERT_TRUE(target.ok() && source.ok());
    ASSERT_TRUE(Activate(target.hwnd));

    ASSERT_TRUE(ChooseCommand(source));
    HWND dialog = WaitForConfirmDialog(source);
    ASSERT_NE(dialog, nullptr);
    ConfirmView view = ReadConfirmDialog(dialog);
    EXPECT_EQ(view.title, kFilledTitle);
    EXPECT_EQ(view.destination, scratch.Path("ソフト\\表示"));
    EXPECT_EQ(view.treePath, scratch.Path("ソフト\\表示") + "\\");

    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForRunEnd(source));
    EXPECT_EQ(source.Query(kQueryLastPluginResult), 1);
    EXPECT_EQ(source.Query(kQueryCopiedFiles), 2);
    std::string copied;
    EXPECT_TRUE(ReadFileText(scratch.Path("ソフト\\表示\\報告書.txt"), &copied));
    EXPECT_EQ(copied, "作業\\報告書.txt");
    EXPECT_EQ(source.Query(kQueryMainProcIsOwn), 1);
    EXPECT_EQ(source.Query(kQueryDialogProcRestored), 1);
    EXPECT_TRUE(PathEventClosed());
}

}  // namespace
