// The report hook against well-formed, forged and malformed path reports: it never reads past what the
// sender delivered, never overruns its buffers and never keeps a cut path.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "harness/peer_instance.h"
#include "link/path_exchange.h"
#include "support/expected.h"

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

// The report being tried, named when a read outside its bytes faults. Without it the fault would end
// in Wine's debugger, silently, at the test's time-out.
std::string reportInProgress;

LONG WINAPI ReportFault(EXCEPTION_POINTERS *exception)
{
    const EXCEPTION_RECORD *record = exception->ExceptionRecord;
    std::fprintf(stderr, "exception 0x%08lx at %p while the hook took %s\n", record->ExceptionCode,
                 record->NumberParameters > 1 ? reinterpret_cast<void *>(record->ExceptionInformation[1]) : nullptr,
                 reportInProgress.c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Pages between two inaccessible ones: a report's bytes are placed against one of them, so that a read
// of a byte before or after them faults.
class GuardedBytes {
public:
    GuardedBytes()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<char *>(
            VirtualAlloc(nullptr, (kPages + 2) * page_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_, page_, PAGE_NOACCESS, &old);
        VirtualProtect(base_ + (kPages + 1) * page_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;

    // The bytes, their last one followed by the guard page, or their first one preceded by it.
    char *AtEnd(const std::string &bytes) { return Place(base_ + (kPages + 1) * page_ - bytes.size(), bytes); }
    char *AtStart(const std::string &bytes) { return Place(base_ + page_, bytes); }

private:
    static constexpr size_t kPages = 2;  // room for the longest report the tests forge

    static char *Place(char *at, const std::string &bytes)
    {
        return static_cast<char *>(memcpy(at, bytes.data(), bytes.size()));
    }

    size_t page_ = 0;
    char *base_ = nullptr;
};

// What the hook left in the answer, in one line: the current path, the tree path, whether the answer ended.
std::string Held(const std::string &current, const std::string &tree, bool ended)
{
    return "current \"" + current + "\", tree \"" + tree + "\", " + (ended ? "ended" : "not ended");
}

class PathReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main = MakeMenuWindow("PathReportTestMain", MainProc, "main", {}, nullptr);
        target = MakeMenuWindow("PathReportTestMain", MainProc, "target", {}, nullptr);
        SetUnhandledExceptionFilter(ReportFault);
        reportInProgress = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        copyDataSeen = 0;
        ASSERT_TRUE(BeginPathRequest(&request, main, target, &answer));
    }
    void TearDown() override
    {
        EndPathRequest(&request);
        DestroyWindow(main);
        DestroyWindow(target);
    }

    std::string HeldNow() const { return Held(answer.currentPath, answer.treePath, answer.treeArrived); }
    void ReportText(ULONG_PTR kind, const std::string &text)
    {
        SendReport(main, target, kind, guarded.AtEnd(text + '\0'), static_cast<DWORD>(text.size() + 1));
    }
    // The reports forged from seed, one after another; fails at the first the hook got wrong.
    ::testing::AssertionResult TakesRandomReports(unsigned seed);

    GuardedBytes guarded;
    PathRequest request;
    PathAnswer answer;
    HWND main = nullptr, target = nullptr;
};

TEST_F(PathReportTest, TakesBothReportsOfTheTargetAndPassesThemOn)
{
    ReportText(kCurrentPathReport, "C:\\作業\\ソフト");
    EXPECT_EQ(HeldNow(), Held("C:\\作業\\ソフト", "", false)) << "the current-path report does not end the answer";
    ReportText(kTreePathReport, "C:\\作業\\ソフト\\");
    EXPECT_EQ(HeldNow(), Held("C:\\作業\\ソフト", "C:\\作業\\ソフト\\", true));
    EXPECT_EQ(copyDataSeen, 2);
}

// After the target's report, reports of windows that are not the target: the requester's own, none and
// a stranger's. Only the target's is taken, and every one is passed on.
TEST_F(PathReportTest, IgnoresReportsFromOtherWindows)
{
    HWND stranger = MakeMenuWindow("PathReportTestMain", MainProc, "stranger", {}, nullptr);
    ReportText(kCurrentPathReport, "C:\\作業");
    char *text = guarded.AtEnd(std::string("C:\\other") + '\0');
    for (HWND from : {main, static_cast<HWND>(nullptr), stranger}) {
        SendReport(main, from, kCurrentPathReport, text, 9);
        SendReport(main, from, kTreePathReport, text, 9);
    }
    EXPECT_EQ(HeldNow(), Held("C:\\作業", "", false));
    EXPECT_EQ(copyDataSeen, 7) << "passed on untouched";
    DestroyWindow(stranger);
}

struct BadReport {
    const char *name;
    ULONG_PTR kind;
    std::string bytes;  // exactly what the sender delivers, NULs included
    bool nullData;      // lpData null, while cbData still claims the bytes
    std::string expectedOther, expectedTree;
    bool expectedEnd;  // the report ends the answer
};

TEST_F(PathReportTest, MalformedReportsNeverOverrunOrLeaveACutPath)
{
    const std::string other259(expected::kLongestPath, 'o'), tree519(expected::kLongestTreePath, 't');
    const std::vector<BadReport> cases = {
        {"null data, current", kCurrentPathReport, std::string(40, 'x'), true, "", "", false},
        {"null data, tree", kTreePathReport, std::string(40, 'x'), true, "", "", true},
        {"zero size", kCurrentPathReport, "", false, "", "", false},
        {"no NUL within the size", kCurrentPathReport, "C:\\abc", false, "C:\\abc", "", false},
        {"stops at the first NUL", kCurrentPathReport, std::string("C:\\a\0", 5) + std::string(1500, 'w'), false,
         "C:\\a", "", false},
        {"259 bytes fit", kCurrentPathReport, other259 + '\0', false, other259, "", false},
        {"259 bytes without NUL fit", kCurrentPathReport, other259, false, other259, "", false},
        {"260 bytes are dropped", kCurrentPathReport, other259 + "o" + '\0', false, "", "", false},
        {"260 bytes without NUL are dropped", kCurrentPathReport, other259 + "o", false, "", "", false},
        {"519 bytes fit", kTreePathReport, tree519 + '\0', false, "", tree519, true},
        {"519 bytes without NUL fit", kTreePathReport, tree519, false, "", tree519, true},
        {"520 bytes are dropped", kTreePathReport, tree519 + "t" + '\0', false, "", "", true},
        {"2000 bytes, current", kCurrentPathReport, std::string(2000, 'x') + '\0', false, "", "", false},
        {"2000 bytes, tree", kTreePathReport, std::string(2000, 'x') + '\0', false, "", "", true},
        {"an unknown kind", 2, "C:\\x", false, "", "", false},
        {"the largest kind", static_cast<ULONG_PTR>(-1), "C:\\x", false, "", "", false},
    };
    for (const BadReport &c : cases) {
        SCOPED_TRACE(c.name);
        reportInProgress = c.name;
        // A path from an earlier report must not survive a dropped one.
        lstrcpyA(answer.currentPath, c.kind == kCurrentPathReport ? "C:\\earlier" : "");
        lstrcpyA(answer.treePath, c.kind == kTreePathReport ? "C:\\earlier\\" : "");
        answer.treeArrived = false;
        char *data = guarded.AtEnd(c.bytes);
        SendReport(main, target, c.kind, c.nullData ? nullptr : data, static_cast<DWORD>(c.bytes.size()));
        EXPECT_EQ(HeldNow(), Held(c.expectedOther, c.expectedTree, c.expectedEnd));
    }
}

// ---- Random reports ----

constexpr int kRandomReports = 10000;
constexpr DWORD kMaxForgedSize = 600;  // beyond both buffers, and beyond the bytes some reports carry

// The seeds every run tries, so that each tries the same reports; VORPAN_SEED=<n> tries that one
// instead, as scripts/soak does with one it draws.
std::vector<unsigned> Seeds()
{
    const char *given = std::getenv("VORPAN_SEED");
    if (given != nullptr && *given != '\0')
        return {static_cast<unsigned>(std::strtoul(given, nullptr, 10))};
    return {1, 20260611, 3735928559u};
}

// One forged report: who sends it, its kind, the bytes really there and the size it claims.
struct RandomReport {
    HWND sender;
    ULONG_PTR kind;
    bool nullData;
    std::string bytes;
    DWORD size;        // cbData: the bytes' length, or more when they hold a NUL
    bool guardBefore;  // the guard page lies before the bytes instead of after them
};

class ReportForger {
public:
    ReportForger(unsigned seed, HWND target, HWND other) : random_(seed), target_(target), other_(other) {}

    RandomReport Next()
    {
        RandomReport report;
        unsigned who = Below(10);
        report.sender = who < 6 ? target_ : who < 9 ? other_ : nullptr;
        unsigned kind = Below(10);
        report.kind = kind < 4 ? kCurrentPathReport : kind < 8 ? kTreePathReport : random_();
        report.nullData = Below(10) == 0;
        report.bytes = Text(Length());
        const unsigned end = Below(4);  // 0: without a NUL, 1: a NUL somewhere inside, bytes after it, else well-formed
        if (end == 1 && !report.bytes.empty())
            report.bytes[Below(unsigned(report.bytes.size()))] = '\0';
        else if (end > 1)
            report.bytes += '\0';
        if (report.bytes.size() > kMaxForgedSize)
            report.bytes.resize(kMaxForgedSize);
        report.size = static_cast<DWORD>(report.bytes.size());
        // Claiming more than is there is only safe to read up to a NUL: across processes the system
        // copies exactly cbData bytes, so a report without one never has fewer.
        if (report.bytes.find('\0') != std::string::npos && Below(4) == 0)
            report.size += Below(kMaxForgedSize - report.size + 1);
        if (report.nullData)
            report.size = Below(kMaxForgedSize + 1);
        report.guardBefore = Below(5) == 0;
        return report;
    }

private:
    unsigned Below(unsigned n) { return static_cast<unsigned>(random_() % n); }

    // Lengths around both buffers' limits come up often, others anywhere up to the largest size.
    size_t Length()
    {
        static const size_t kEdges[] = {0, 1, 258, 259, 260, 261, 518, 519, 520, 521};
        const unsigned pick = Below(3);
        return pick == 0 ? kEdges[Below(sizeof kEdges / sizeof kEdges[0])] : Below(pick == 1 ? 16 : kMaxForgedSize + 1);
    }

    // Path-like text of about length bytes: ASCII, "\", double-byte characters (some with the trail
    // byte 0x5C) and any other byte but NUL; its last byte is sometimes a lone lead byte or a 0x5C trail.
    std::string Text(size_t length)
    {
        std::string text;
        while (text.size() < length) {
            const unsigned kind = Below(5);
            if (kind == 0) {
                text += static_cast<char>('a' + Below(26));
            } else if (kind == 1) {
                text += '\\';
            } else if (kind == 4) {
                text += static_cast<char>(1 + Below(255));
            } else {  // a double-byte character, its trail byte "\" or another
                text += LeadByte();
                text += kind == 2 ? '\\' : static_cast<char>(0x40 + Below(0xBD));
            }
        }
        text.resize(length);
        if (length > 1 && Below(3) == 0) {
            text[length - 1] = LeadByte();
        } else if (length > 1 && Below(2) == 0) {
            text[length - 2] = LeadByte();
            text[length - 1] = '\\';
        }
        return text;
    }

    char LeadByte()
    {
        unsigned lead = Below(60);  // 0x81 to 0x9F, then 0xE0 to 0xFC
        return static_cast<char>(lead < 31 ? 0x81 + lead : 0xE0 + lead - 31);
    }

    std::mt19937 random_;
    HWND target_, other_;
};

// What the hook must make of report: for one of the target's, the text before the first NUL among the
// bytes it claims, if it fits the buffer with its NUL, else nothing.
std::string ExpectedText(const RandomReport &report, int bufferSize)
{
    if (report.nullData)
        return std::string();
    std::string text = report.bytes.substr(0, report.bytes.find('\0'));
    return static_cast<int>(text.size()) + 1 <= bufferSize ? text : std::string();
}

std::string Describe(const RandomReport &report, HWND target)
{
    return std::string("sender ") + (report.sender == target ? "target" : report.sender ? "other" : "null") +
           ", dwData " + std::to_string(report.kind) + ", cbData " + std::to_string(report.size) + ", " +
           (report.nullData ? "null data" : std::to_string(report.bytes.size()) + " bytes there") +
           (report.guardBefore ? ", guard before" : ", guard after");
}

::testing::AssertionResult PathReportTest::TakesRandomReports(unsigned seed)
{
    ReportForger forger(seed, target, main);
    std::string other, tree;  // what the buffers must hold
    answer.currentPath[0] = answer.treePath[0] = '\0';
    answer.treeArrived = false;
    copyDataSeen = 0;
    for (int tried = 0; tried < kRandomReports; ++tried) {
        const RandomReport report = forger.Next();
        reportInProgress = "report " + std::to_string(tried) + " of seed " + std::to_string(seed) + " (" +
                           Describe(report, target) + ")";
        char *data = report.guardBefore ? guarded.AtStart(report.bytes) : guarded.AtEnd(report.bytes);
        SendReport(main, report.sender, report.kind, report.nullData ? nullptr : data, report.size);

        bool fromTarget = report.sender == target;
        if (fromTarget && report.kind == kCurrentPathReport)
            other = ExpectedText(report, kPathSize);
        if (fromTarget && report.kind == kTreePathReport)
            tree = ExpectedText(report, kTreePathSize);
        const std::string held = HeldNow() + ", passed on " + std::to_string(copyDataSeen);
        const std::string expected = Held(other, tree, fromTarget && report.kind == kTreePathReport) +
                                     ", passed on " + std::to_string(tried + 1);
        if (held != expected)
            return ::testing::AssertionFailure() << reportInProgress << ":\n  held     " << held << "\n  expected "
                                                 << expected << "\n(VORPAN_SEED=" << seed << " repeats this run)";
        answer.treeArrived = false;
    }
    std::printf("random reports: %d tried, seed %u\n", kRandomReports, seed);
    return ::testing::AssertionSuccess();
}

// Reports forged at random, many thousands in a row from each seed: any sender, kind and size, null data or bytes
// against a guard page. None may make the hook read outside the bytes (the guard page would end the program), leave
// part of a text or a text of another sender in a buffer, or but for the target's tree-path report end the answer.
TEST_F(PathReportTest, RandomReportsNeverReadOutsideTheirBytesNorKeepPartOfOne)
{
    for (unsigned seed : Seeds())
        EXPECT_TRUE(TakesRandomReports(seed));
}

}  // namespace
