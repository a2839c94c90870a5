// The path exchange between processes: the reports a responding plug-in sends to the most recently active
// instance, and what a requester's hook makes of them and of foreign senders (targets that hang: test_faults.cpp).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host_protocol.h"
#include "common/window.h"
#include "link/path_exchange.h"
#include "support/test_support.h"

namespace {

// What a previous request left behind; every request starts from empty buffers.
const char kStaleOther[] = "C:\\前回のパス";
const char kStaleTree[] = "C:\\前回のパス\\";

// The peer window plays the requester's main window: the report hook sits on it during a request as
// on hwndMain, and its own procedure behind the hook records what is passed on.
class PathRequestTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.ok()) << peer.error; }
    void TearDown() override { EXPECT_EQ(GetWindowProc(peer.hwnd), peerProc) << "the hook stayed on the window"; }

    void Request(HWND target)
    {
        lstrcpyA(answer.currentPath, kStaleOther);
        lstrcpyA(answer.treePath, kStaleTree);
        answer.treeArrived = true;
        RequestPaths(peer.hwnd, target, kVorpanCommand, &answer);
    }

    PeerInstanceWindow peer;
    WNDPROC peerProc = GetWindowProc(peer.hwnd);
    PathAnswer answer;
};

// ---- The responder's answer, as the instance that asked takes it ----

class PathExchangeResponder : public PathRequestTest {};

// A real host reports to the most recently active instance, the one that asked: its current path, then
// its folder tree's path when it has a tree, each text with its NUL, and nothing after its command
// returned. The asker's hook takes both and passes every report on to the window's own procedure.
TEST_F(PathExchangeResponder, ReportsCurrentPathThenTreePathToTheMostRecentlyActiveInstance)
{
    ScratchFolder scratch({"ソフト\\表示\\"});
    PluginFolder plugins;
    ASSERT_TRUE(scratch.ok() && plugins.ok());
    const std::string folder = scratch.Path("ソフト\\表示");
    struct Case {
        const char *name;
        std::vector<std::string> options;  // besides the plug-in folder
        std::string current;
        std::string tree;  // "": no tree-path report
    };
    const Case cases[] = {
        {"a folder with a Japanese name", {"/path=" + folder}, folder, folder + "\\"},
        {"the virtual folder", {"/virtual"}, "", HOST_VIRTUAL_ROOT "\\"},
        {"a host without a folder tree", {"/path=" + folder, "/notree"}, folder, ""},
        {"a drive root", {"/path=C:\\"}, "C:\\", "C:\\"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options = c.options;
        options.push_back(plugins.HostOption());
        HostInstance host(options);
        ASSERT_TRUE(host.ok()) << host.error;
        ASSERT_TRUE(peer.Activate());
        peer.received.clear();

        Request(host.hwnd);
        const SenderNames senders = {{host.hwnd, "host"}};
        const std::vector<std::string> atReturn = DescribeReports(peer.received, senders);
        // The host answers this only after anything it sent before, so a late report would show here.
        EXPECT_EQ(host.Query(kQueryPluginReturns), 1);

        std::vector<std::string> expected = {ExpectedReport(kCurrentPathReport, c.current, "host")};
        if (!c.tree.empty())
            expected.push_back(ExpectedReport(kTreePathReport, c.tree, "host"));
        EXPECT_EQ(atReturn, expected) << "reports received before the request returned";
        EXPECT_EQ(DescribeReports(peer.received, senders), atReturn) << "reports received after it returned";
        EXPECT_EQ(std::string(answer.currentPath), c.current);
        EXPECT_EQ(answer.treePath, c.tree);
        EXPECT_EQ(answer.treeArrived, !c.tree.empty());
    }
}

// ---- The requester: RequestPaths with the report hook on a window of this process ----

// The relay, the target, reports a current path of its own inside the request, then makes a real host answer too:
// that host's reports reach the requester during the request, but come from a window that was not asked.
TEST_F(PathRequestTest, IgnoresReportsOfAnInstanceThatWasNotAsked)
{
    Desktop desktop({"別の窓\\"}, {On("foreign", "別の窓")});
    ASSERT_TRUE(Ready(desktop));
    const HostInstance &foreign = desktop.Host("foreign");
    const std::string foreignFolder = desktop.Path("別の窓"), relayFolder = "C:\\中継先";
    BusyInstance relay("relay");
    ASSERT_TRUE(relay.ok());
    relay.onRequest = [&] {
        SendTextReport(peer.hwnd, relay.hwnd(), kCurrentPathReport, relayFolder);
        SendCommand(foreign.hwnd, kVorpanCommand);
    };
    ASSERT_TRUE(peer.Activate());

    Request(relay.hwnd());

    EXPECT_EQ(std::string(answer.currentPath), relayFolder)
        << "the foreign current-path report came later and must not replace the target's";
    EXPECT_EQ(std::string(answer.treePath), "") << "the foreign tree-path report is not the target's";
    EXPECT_FALSE(answer.treeArrived) << "only the target's tree-path report ends the answer";
    // Passed on untouched: the window's own procedure saw all three, the foreign host's among them.
    const std::vector<std::string> expected = {
        ExpectedReport(kCurrentPathReport, relayFolder, "target"),
        ExpectedReport(kCurrentPathReport, foreignFolder, "foreign host"),
        ExpectedReport(kTreePathReport, foreignFolder + "\\", "foreign host"),
    };
    EXPECT_EQ(DescribeReports(peer.received, {{relay.hwnd(), "target"}, {foreign.hwnd, "foreign host"}}), expected);
}

}  // namespace
