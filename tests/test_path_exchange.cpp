// The path exchange between processes: the reports a responding plug-in sends to the most recently
// active instance, and what a requester makes of real hosts, foreign senders, vanished and hung targets.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host_protocol.h"
#include "common/window.h"
#include "link/path_exchange.h"
#include "support/test_support.h"

namespace {

// ---- The responder, seen from the instance it reports to ----

struct ResponderCase {
    const char *name;
    std::vector<std::string> options;   // besides the plug-in folder
    std::vector<std::string> expected;  // the reports, in order
};

TEST(PathExchangeResponder, ReportsCurrentPathThenTreePathToTheMostRecentlyActiveInstance)
{
    TestBed bed({"ソフト\\表示\\"});
    PeerInstanceWindow peer;
    ASSERT_TRUE(peer.ok()) << peer.error;
    const std::string folder = bed.Path("ソフト\\表示");

    const std::vector<ResponderCase> cases = {
        {"a folder with a Japanese name", {"/path=" + folder}, ExpectedAnswer(folder, "host")},
        {"the virtual folder", {"/virtual"},
         {ExpectedReport(kCurrentPathReport, "", "host"), ExpectedReport(kTreePathReport, HOST_VIRTUAL_ROOT "\\", "host")}},
        {"a host without a folder tree", {"/path=" + folder, "/notree"},
         {ExpectedReport(kCurrentPathReport, folder, "host")}},
        {"a drive root", {"/path=C:\\"},
         {ExpectedReport(kCurrentPathReport, "C:\\", "host"), ExpectedReport(kTreePathReport, "C:\\", "host")}},
    };
    for (const ResponderCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options = c.options;
        options.push_back(bed.plugins.HostOption());
        HostInstance host(options);
        ASSERT_TRUE(host.ok()) << host.error;
        ASSERT_TRUE(peer.Activate());
        peer.received.clear();

        ASSERT_TRUE(SendCommand(host.hwnd, kVorpanCommand));
        const SenderNames senders = {{host.hwnd, "host"}};
        const std::vector<std::string> atReturn = DescribeReports(peer.received, senders);
        // The host answers this only after anything it sent before, so a late report would show here.
        EXPECT_EQ(host.Query(kQueryPluginReturns), 1);

        EXPECT_EQ(atReturn, c.expected) << "reports received before the command returned";
        EXPECT_EQ(DescribeReports(peer.received, senders), atReturn) << "reports received after it returned";
    }
}

// ---- The requester: RequestPaths with the report hook on a window of this process ----

// What a previous request left behind; every request starts from empty buffers.
const char kStaleOther[] = "C:\\前回のパス";
const char kStaleTree[] = "C:\\前回のパス\\";

// The peer window plays the requester's main window: the report hook sits on it during a request as
// on hwndMain, and its own procedure behind the hook records what is passed on.
class PathRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok()) << peer.error;
        lstrcpyA(answer.currentPath, kStaleOther);
        lstrcpyA(answer.treePath, kStaleTree);
        answer.treeArrived = true;
    }
    void TearDown() override
    {
        EXPECT_EQ(GetWindowProc(peer.hwnd), peerProc) << "the report hook stayed on the window";
    }

    void Request(HWND target) { RequestPaths(peer.hwnd, target, kVorpanCommand, &answer); }

    PeerInstanceWindow peer;
    WNDPROC peerProc = GetWindowProc(peer.hwnd);
    PathAnswer answer;
};

// A real host on a Japanese folder, with a folder tree or without: the hook takes what it reports and
// passes every report on to the window's own procedure.
TEST_F(PathRequestTest, TakesThePathsARealHostReports)
{
    TestBed bed({"ソフト\\表示\\"});
    const std::string folder = bed.Path("ソフト\\表示");
    for (bool tree : {true, false}) {
        SCOPED_TRACE(tree ? "with a folder tree" : "without a folder tree: the current path only");
        HostInstance &target = bed.Start(tree ? std::vector<std::string>{"/path=" + folder}
                                              : std::vector<std::string>{"/path=" + folder, "/notree"});
        ASSERT_TRUE(bed.Ready());
        ASSERT_TRUE(peer.Activate());
        peer.received.clear();

        Request(target.hwnd);

        EXPECT_EQ(std::string(answer.currentPath), folder);
        EXPECT_EQ(std::string(answer.treePath), tree ? folder + "\\" : "");
        EXPECT_EQ(answer.treeArrived, tree);
        std::vector<std::string> reports = ExpectedAnswer(folder, "host");
        if (!tree)
            reports.pop_back();
        EXPECT_EQ(DescribeReports(peer.received, {{target.hwnd, "host"}}), reports);
    }
}

// The relay is the target of the request. Inside the request it reports a current path of its own,
// then makes a real host answer too; that host's reports reach the requester during the request, but
// come from a window that was not asked.
TEST_F(PathRequestTest, IgnoresReportsOfAnInstanceThatWasNotAsked)
{
    TestBed bed({"別の窓\\"});
    const std::string foreignFolder = bed.Path("別の窓"), relayFolder = "C:\\中継先";
    HostInstance &foreign = bed.Start({"/path=" + foreignFolder});
    ASSERT_TRUE(bed.Ready());
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

// A target that is no window any more, or whose thread is held: both paths empty, within the request's
// bound.
TEST_F(PathRequestTest, ATargetThatIsNoWindowOrHungGivesNothingWithinTheBound)
{
    HWND vanished = nullptr;
    {
        ThreadWindow window(DefWindowProcA);
        vanished = window.hwnd;
        ASSERT_NE(vanished, nullptr);
    }
    ThreadWindow blocked(DefWindowProcA);
    ASSERT_TRUE(!IsWindow(vanished) && blocked.hwnd != nullptr && blocked.Hang());
    ASSERT_TRUE(peer.Activate());
    for (HWND target : {vanished, blocked.hwnd}) {
        SCOPED_TRACE(target == vanished ? "no window" : "a hung thread");
        const DWORD start = GetTickCount();
        Request(target);
        EXPECT_LT(GetTickCount() - start, expected::kBoundedSendMs) << "the request waited for more than its bound";
        EXPECT_EQ(std::string(answer.currentPath), "");
        EXPECT_EQ(std::string(answer.treePath), "");
        EXPECT_FALSE(answer.treeArrived);
    }
    blocked.Release();
    EXPECT_TRUE(peer.received.empty());
}

}  // namespace
