// Proves the cross-process helpers against the stand-in host, so that a fault in the harness shows
// here and not as a puzzling failure of a plug-in test.
#include <windows.h>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_protocol.h"
#include "support/test_support.h"

namespace {

std::vector<HWND> HostWindowsInZOrder()
{
    std::vector<HWND> windows;
    for (HWND hwnd = GetTopWindow(nullptr); hwnd; hwnd = GetWindow(hwnd, GW_HWNDNEXT))
        if (IsWindowVisible(hwnd) && ClassNameOf(hwnd) == HOST_WINDOW_CLASS)
            windows.push_back(hwnd);
    return windows;
}

TEST(HarnessHost, StartsVisibleAndEndsWithItsOwner)
{
    ScratchFolder scratch;
    HANDLE process = nullptr;
    {
        HostInstance host({"/path=" + scratch.path});
        ASSERT_TRUE(host.ok()) << host.error;
        DWORD owner = 0;
        GetWindowThreadProcessId(host.hwnd, &owner);
        EXPECT_EQ(host.pid, owner);
        EXPECT_TRUE(IsWindowVisible(host.hwnd));
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), host.process, GetCurrentProcess(), &process, SYNCHRONIZE,
                                    FALSE, 0));
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 0)) << "the host outlived its HostInstance";
    CloseHandle(process);
}

// Only a start that Wine itself could not carry out is tried again: a missing program fails at once, told
// with its own error, and no try after it could do better.
TEST(HarnessChild, AMissingProgramFailsAtOnceWithItsError)
{
    std::string error;
    EXPECT_NONFATAL_FAILURE(
        {
            ChildProcess missing("no-such-program.exe", {});
            error = missing.error;
        },
        "no-such-program.exe\" failed, error 2");
    EXPECT_EQ(std::string::npos, error.find("tried")) << error;
}

TEST(HarnessHost, EndsAHostWhoseModalDialogIsOpen)
{
    ScratchFolder scratch({"a.txt"});
    HANDLE process = nullptr;
    {
        HostInstance host({"/path=" + scratch.path, "/selectall"});
        ASSERT_TRUE(host.ok()) << host.error;
        PostMessageA(host.hwnd, WM_COMMAND, expected::kHostCopyCommand, 0);
        HWND dialog = WaitForWindowOfProcess(host.pid, expected::kConfirmTitle);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(reinterpret_cast<LRESULT>(dialog), host.Query(kQueryDialogOpen));
        EXPECT_NE(nullptr, FindChildByClassName(dialog, "ComboBox"));
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), host.process, GetCurrentProcess(), &process, SYNCHRONIZE,
                                    FALSE, 0));
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 0));
    CloseHandle(process);
}

// A space needs quotes, and ソ ends in the byte 0x5C, which a byte-wise quoter would double into
// an escape of the closing quote.
TEST(HarnessHost, PassesPathsWithSpacesAndTrailBytesIntact)
{
    const std::vector<std::string> folders = {"with space", "末尾ソ", "space ソ", "ソ\\space ソ"};
    ScratchFolder scratch;
    for (const std::string &folder : folders) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(scratch.AddFolder(folder)) << scratch.error;
        const std::string path = scratch.Path(folder);
        HostInstance host({"/path=" + path});
        ASSERT_TRUE(host.ok()) << host.error;
        EXPECT_EQ(expected::kHostTitlePrefix + path, WindowText(host.hwnd));
    }
}

TEST(HarnessHost, ReadsTheSelectedFolderOfAnotherProcesssTree)
{
    ScratchFolder scratch({"ソフト\\表示\\"});
    HostInstance host({"/path=" + scratch.Path("ソフト\\表示")});
    ASSERT_TRUE(host.ok()) << host.error;
    HWND tree = host.Tree();
    ASSERT_NE(nullptr, tree);
    EXPECT_EQ(scratch.Path("ソフト\\表示\\"), RemoteTreeSelectionPath(tree));
}

TEST(HarnessHost, AnswersQueriesAndReportsTimeOuts)
{
    ScratchFolder scratch;
    HostInstance host({"/path=" + scratch.path});
    ASSERT_TRUE(host.ok()) << host.error;
    EXPECT_EQ(0, host.Query(kQueryPluginCalls));
    EXPECT_EQ(-1, host.Query(kQueryLastPluginResult));
    EXPECT_EQ(kQueryFailed, HostQuery(nullptr, kQueryPluginCalls, 100));
}

TEST(HarnessActivate, MakesTheLastActivatedHostTheTopOne)
{
    ScratchFolder scratch({"a\\", "b\\"});
    HostInstance a({"/path=" + scratch.Path("a"), "/pos=0,0,300,200"});
    HostInstance b({"/path=" + scratch.Path("b"), "/pos=40,40,300,200"});
    ASSERT_TRUE(a.ok() && b.ok());

    ASSERT_TRUE(Activate(a.hwnd));
    EXPECT_EQ(std::vector<HWND>({a.hwnd, b.hwnd}), HostWindowsInZOrder());
    ASSERT_TRUE(Activate(b.hwnd));
    EXPECT_EQ(std::vector<HWND>({b.hwnd, a.hwnd}), HostWindowsInZOrder());
}

}  // namespace
