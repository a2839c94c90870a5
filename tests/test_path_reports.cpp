// The report hook against well-formed, forged and malformed path reports: it never reads past what the
// sender delivered, never overruns its buffers and never keeps a cut path.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "link/path_exchange.h"
#include "plugin/link_state.h"

namespace {

int copyDataSeen;  // WM_COPYDATA messages that reached the window's own procedure

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        ++copyDataSeen;
        return TRUE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Text placed so that its last byte is the last readable byte before an inaccessible page: a read
// past cbData faults.
class GuardedText {
public:
    explicit GuardedText(const std::string &bytes)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size_t pages = bytes.size() / info.dwPageSize + 2;
        base = static_cast<char *>(VirtualAlloc(nullptr, pages * info.dwPageSize, MEM_COMMIT | MEM_RESERVE,
                                                PAGE_READWRITE));
        char *guard = base + (pages - 1) * info.dwPageSize;
        DWORD old;
        VirtualProtect(guard, info.dwPageSize, PAGE_NOACCESS, &old);
        data = guard - bytes.size();
        memcpy(data, bytes.data(), bytes.size());
    }
    ~GuardedText() { VirtualFree(base, 0, MEM_RELEASE); }
    char *base;
    char *data;
};

class PathReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = MainProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PathReportTestMain";
        RegisterClassA(&windowClass);
        main = CreateWindowExA(0, "PathReportTestMain", "main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        target = CreateWindowExA(0, "PathReportTestMain", "target", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        linkState.pathEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        linkState.savedMainProc = GetWindowProc(main);
        SubclassWindow(main, PathReportHook);
        linkState.targetWindow = target;
        linkState.otherPath[0] = '\0';
        linkState.treePath[0] = '\0';
        copyDataSeen = 0;
    }
    void TearDown() override
    {
        SubclassWindow(main, linkState.savedMainProc);
        CloseHandle(linkState.pathEvent);
        linkState.pathEvent = nullptr;
        DestroyWindow(main);
        DestroyWindow(target);
    }

    void Report(HWND sender, ULONG_PTR kind, void *data, DWORD size)
    {
        COPYDATASTRUCT report = {kind, size, data};
        SendMessageA(main, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&report));
    }
    void ReportText(ULONG_PTR kind, const std::string &text)
    {
        GuardedText guarded(text + '\0');
        Report(target, kind, guarded.data, static_cast<DWORD>(text.size() + 1));
    }
    bool EventSet() const { return WaitForSingleObject(linkState.pathEvent, 0) == WAIT_OBJECT_0; }

    HWND main = nullptr;
    HWND target = nullptr;
};

TEST_F(PathReportTest, TakesBothReportsOfTheTargetAndPassesThemOn)
{
    ReportText(kPathReportCurrent, "C:\\作業\\ソフト");
    EXPECT_STREQ(linkState.otherPath, "C:\\作業\\ソフト");
    EXPECT_FALSE(EventSet()) << "the current-path report does not end the answer";
    ReportText(kPathReportTree, "C:\\作業\\ソフト\\");
    EXPECT_STREQ(linkState.treePath, "C:\\作業\\ソフト\\");
    EXPECT_TRUE(EventSet());
    EXPECT_EQ(copyDataSeen, 2);
}

TEST_F(PathReportTest, IgnoresReportsFromOtherWindows)
{
    GuardedText text("C:\\other");
    Report(main, kPathReportCurrent, text.data, 9);
    Report(nullptr, kPathReportTree, text.data, 9);
    EXPECT_STREQ(linkState.otherPath, "");
    EXPECT_STREQ(linkState.treePath, "");
    EXPECT_FALSE(EventSet());
    EXPECT_EQ(copyDataSeen, 2) << "passed on untouched";
}

struct BadReport {
    const char *name;
    ULONG_PTR kind;
    std::string bytes;  // exactly what the sender delivers, NULs included
    bool nullData;
    const char *expectedOther;
    const char *expectedTree;
    bool expectedEvent;
};

TEST_F(PathReportTest, MalformedReportsNeverOverrunOrLeaveACutPath)
{
    const std::string other259(259, 'o'), tree519(519, 't');
    const std::vector<BadReport> cases = {
        {"null data, current", kPathReportCurrent, "", true, "", "", false},
        {"null data, tree", kPathReportTree, "", true, "", "", true},
        {"zero size", kPathReportCurrent, "", false, "", "", false},
        {"no NUL within the size", kPathReportCurrent, "C:\\abc", false, "C:\\abc", "", false},
        {"stops at the first NUL", kPathReportCurrent, std::string("C:\\a\0C:\\b", 9), false, "C:\\a", "", false},
        {"259 bytes fit", kPathReportCurrent, other259 + '\0', false, other259.c_str(), "", false},
        {"260 bytes are dropped", kPathReportCurrent, other259 + "o" + '\0', false, "", "", false},
        {"260 bytes without NUL are dropped", kPathReportCurrent, other259 + "o", false, "", "", false},
        {"519 bytes fit", kPathReportTree, tree519 + '\0', false, "", tree519.c_str(), true},
        {"520 bytes are dropped", kPathReportTree, tree519 + "t" + '\0', false, "", "", true},
        {"2000 bytes, current", kPathReportCurrent, std::string(2000, 'x') + '\0', false, "", "", false},
        {"2000 bytes, tree", kPathReportTree, std::string(2000, 'x') + '\0', false, "", "", true},
        {"unknown kind", 7, "C:\\x", false, "", "", false},
    };
    for (const BadReport &c : cases) {
        SCOPED_TRACE(c.name);
        // A path from an earlier report must not survive a dropped one.
        lstrcpyA(linkState.otherPath, "C:\\earlier");
        lstrcpyA(linkState.treePath, "C:\\earlier\\");
        if (c.kind != kPathReportCurrent && c.kind != kPathReportTree) {
            linkState.otherPath[0] = '\0';
            linkState.treePath[0] = '\0';
        } else if (c.kind == kPathReportCurrent) {
            linkState.treePath[0] = '\0';
        } else {
            linkState.otherPath[0] = '\0';
        }
        ResetEvent(linkState.pathEvent);
        GuardedText guarded(c.bytes);
        Report(target, c.kind, c.nullData ? nullptr : guarded.data, static_cast<DWORD>(c.bytes.size()));
        EXPECT_STREQ(linkState.otherPath, c.expectedOther);
        EXPECT_STREQ(linkState.treePath, c.expectedTree);
        EXPECT_EQ(EventSet(), c.expectedEvent);
    }
    // A null-data report with a non-zero size is read as empty too.
    Report(target, kPathReportCurrent, nullptr, 40);
    EXPECT_STREQ(linkState.otherPath, "");
}

}  // namespace
