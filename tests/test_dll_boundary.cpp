// Checks the library's two exports as the host sees them: loaded from disk, called through pointers,
// with guard bytes around every buffer it writes; and that the host cannot unload it from under a
// window that may still hold a procedure of it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/host_record.h"
#include "support/test_support.h"

namespace {

typedef int(WINAPI *GetFunctionInfoProc)(char *description, char *copyright, WORD *version);

// The record as the host lays it out, written from the documented offsets rather than taken from the
// plug-in's headers, so a layout fault on the plug-in's side shows.
struct Record {
    HWND hwndMain;
    DWORD hostReserved;
    HWND hwndFileList;
    HWND *instanceWindows;
    int instanceCount;
    const char *currentPath;
};
// One slot of pointer size per field: on 32-bit the documented offsets 12 and 20.
static_assert(offsetof(Record, instanceWindows) == 3 * sizeof(void *) &&
                  offsetof(Record, currentPath) == 5 * sizeof(void *),
              "host layout");

#if defined(__i386__)
// Calls function with three 32-bit arguments and returns how many of their bytes the callee removed
// from the stack: the Windows API convention removes its own, a C convention none. The host crashes
// on the difference, while a call through a correctly typed pointer here would hide it.
int BytesRemovedByCallee(void *function, const void *first, const void *second, const void *third, int *result)
{
    struct {
        void *function;
        const void *arguments[3];
    } call = {function, {first, second, third}};
    int left = 0, returned = 0;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "pushl 12(%%ebx)\n\t"
        "pushl 8(%%ebx)\n\t"
        "pushl 4(%%ebx)\n\t"
        "call *(%%ebx)\n\t"
        "movl %%esi, %%ecx\n\t"
        "subl %%esp, %%ecx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(returned), "=c"(left)
        : "b"(&call)
        : "edx", "esi", "memory", "cc");
    *result = returned;
    return 12 - left;
}
#define SKIP_UNLESS_CALLEE_CLEANS_UP()
#else
// x86-64 has one calling convention, in which the caller removes the arguments: nothing to check.
#define SKIP_UNLESS_CALLEE_CLEANS_UP() \
    GTEST_SKIP() << "stack cleanup by the callee exists only on 32-bit x86; checked in the i686 DLL's code"
int BytesRemovedByCallee(void *, const void *, const void *, const void *, int *) { return -1; }
#endif

// The description the host splits at the line feed: its menu label follows it.
const char kExpectedDescription[] =
    "コピー先を前回アクティブだった「RiloFile2」のパスにします。\n２画面ファイラー風ファイルコピー(&C)";
static_assert(sizeof kExpectedDescription == 97, "the description is 96 bytes in code page 932 and a NUL");

constexpr unsigned char kGuard = 0xA5;
constexpr size_t kBufferSize = 1024;  // far more than any text; what lies past the text must stay

class DllBoundary : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string file = ProgramFolder() + "VORPAN.DLL";
        module_ = LoadLibraryA(file.c_str());
        ASSERT_NE(nullptr, module_) << file << ": error " << GetLastError();
        getFunctionInfoExport_ = GetProcAddress(module_, "GetFunctionInfo");
        doProcessExport_ = GetProcAddress(module_, "DoProcess");
        ASSERT_TRUE(getFunctionInfoExport_ != nullptr && doProcessExport_ != nullptr);
        // GetProcAddress knows no signatures; these are the documented ones.
        getFunctionInfo_ = reinterpret_cast<GetFunctionInfoProc>(reinterpret_cast<void *>(getFunctionInfoExport_));
        std::memset(description_, kGuard, sizeof description_);
        std::memset(copyright_, kGuard, sizeof copyright_);
        std::memset(version_, kGuard, sizeof version_);
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }

    int CallGetFunctionInfo()
    {
        return getFunctionInfo_(description_, copyright_, reinterpret_cast<WORD *>(version_));
    }

    // Offset of the first byte from `from` on that is not the guard pattern, or -1.
    static int FirstChangedByte(const char *buffer, size_t from)
    {
        for (size_t i = from; i < kBufferSize; ++i)
            if (static_cast<unsigned char>(buffer[i]) != kGuard)
                return static_cast<int>(i);
        return -1;
    }

    HMODULE module_ = nullptr;
    FARPROC getFunctionInfoExport_ = nullptr, doProcessExport_ = nullptr;
    GetFunctionInfoProc getFunctionInfo_ = nullptr;
    char description_[kBufferSize];
    char copyright_[kBufferSize];
    alignas(WORD) unsigned char version_[8];
};

TEST_F(DllBoundary, GetFunctionInfoReturnsThree)
{
    EXPECT_EQ(3, CallGetFunctionInfo());
}

TEST_F(DllBoundary, DescriptionIsExactlyTheDocumentedBytes)
{
    CallGetFunctionInfo();
    EXPECT_EQ(std::string(kExpectedDescription, 96), std::string(description_, 96));
    EXPECT_EQ('\0', description_[96]);
    EXPECT_EQ(-1, FirstChangedByte(description_, 97)) << "written past the description's NUL";
}

TEST_F(DllBoundary, CopyrightIsOneTerminatedLine)
{
    CallGetFunctionInfo();
    const void *end = std::memchr(copyright_, '\0', kBufferSize);
    ASSERT_NE(nullptr, end) << "no NUL in the copyright text";
    const std::string copyright(copyright_);
    EXPECT_FALSE(copyright.empty());
    EXPECT_EQ(std::string::npos, copyright.find_first_of("\r\n")) << copyright;
    EXPECT_EQ(-1, FirstChangedByte(copyright_, copyright.size() + 1)) << "written past the copyright's NUL";
}

TEST_F(DllBoundary, VersionIsA16BitStoreOf200)
{
    CallGetFunctionInfo();
    WORD version = 0;
    std::memcpy(&version, version_, sizeof version);
    EXPECT_EQ(expected::kPluginVersion, version);
    for (size_t i = sizeof(WORD); i < sizeof version_; ++i)
        EXPECT_EQ(kGuard, version_[i]) << "byte " << i << " after the version word changed";
}

TEST_F(DllBoundary, OrdinalsOneAndTwoAreTheNamedExports)
{
    EXPECT_EQ(getFunctionInfoExport_, GetProcAddress(module_, MAKEINTRESOURCEA(1)));
    EXPECT_EQ(doProcessExport_, GetProcAddress(module_, MAKEINTRESOURCEA(2)));
}

TEST_F(DllBoundary, GetFunctionInfoRemovesItsArguments)
{
    SKIP_UNLESS_CALLEE_CLEANS_UP();
    int result = 0;
    EXPECT_EQ(12, BytesRemovedByCallee(reinterpret_cast<void *>(getFunctionInfoExport_), description_, copyright_,
                                       version_, &result));
    EXPECT_EQ(3, result);
}

// A hidden main window is never the active window, so the call takes the responder role, which
// only reports to instanceWindows[0]: here a window of this thread.
TEST_F(DllBoundary, DoProcessRemovesItsArgumentAndReturnsOne)
{
    SKIP_UNLESS_CALLEE_CLEANS_UP();
    HWND main = CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(main != nullptr && other != nullptr);
    HWND instances[] = {other, main};
    char currentPath[] = "C:\\";
    Record record = {main, 0, nullptr, instances, 2, currentPath};
    ASSERT_NE(main, GetActiveWindow());

    int result = 0;
    EXPECT_EQ(4, BytesRemovedByCallee(reinterpret_cast<void *>(doProcessExport_), &record, nullptr, nullptr, &result));
    EXPECT_EQ(1, result);
    DestroyWindow(other);
    DestroyWindow(main);
}

// What a call keeps of the record the host passes, as a host may pass it: a list longer than any desktop
// runs keeps its last entry, this instance, last; a current path longer than a folder's is no folder,
// never the folder its first bytes name.
TEST(HostRecordCopy, KeepsThisInstanceLastAndNoPathCut)
{
    HWND self = reinterpret_cast<HWND>(0x5E1F);
    auto other = [](int i) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x100 + i)); };
    const std::string path259 = "C:\\" + std::string(expected::kLongestPath - 3, 'p');
    struct Case {
        const char *name;
        int others;        // before this instance in the host's list; -1: no list at all
        std::string path;  // the host's current path
        int keptOthers;
        std::string keptPath;
    };
    const Case cases[] = {
        {"a list of 64", 63, "C:\\作業", 63, "C:\\作業"},
        {"a list of 70: the first 63 others and this instance", 69, "C:\\作業", 63, "C:\\作業"},
        {"no list: this instance alone", -1, "C:\\作業", 0, "C:\\作業"},
        {"a path of 259 bytes", 1, path259, 1, path259},
        {"a path of 260 bytes: no folder", 1, path259 + "p", 1, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HWND> windows;
        for (int i = 0; i < c.others; ++i)
            windows.push_back(other(i));
        windows.push_back(self);
        HostRecord from = {self, 0, nullptr, c.others < 0 ? nullptr : windows.data(),
                           c.others < 0 ? 0 : static_cast<int>(windows.size()), c.path.c_str()};
        RecordCopy copy;
        CopyHostRecord(from, &copy);
        ASSERT_EQ(copy.record.instanceCount, c.keptOthers + 1);
        for (int i = 0; i < c.keptOthers; ++i)
            EXPECT_EQ(copy.record.instanceWindows[i], other(i)) << "entry " << i;
        EXPECT_EQ(copy.record.instanceWindows[c.keptOthers], self) << "this instance is not the last entry";
        EXPECT_EQ(std::string(copy.record.currentPath), c.keptPath);
        EXPECT_EQ(copy.currentPathTooLong, c.keptPath != c.path) << "a path not kept is told as too long";
    }
}

// A host instance's main window for a requester run in this process: a menu bar with our item, itself
// as its file list with one file selected, and commands that do nothing (no other plug-in answers, and
// the copy shows no dialog).
LRESULT CALLBACK QuietHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LVM_GETSELECTEDCOUNT)
        return 1;
    if (message == WM_COMMAND)
        return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

typedef int(WINAPI *DoProcessProc)(Record *record);

// One round: the library loaded from a plug-in folder of its own (the settings file the run writes goes
// beside it), called as the requester, whose report hook goes on the main window, then freed as the
// host frees it. What went wrong, or nothing.
std::string RunAsRequesterThenFree()
{
    PluginFolder plugins;
    HMODULE module = LoadLibraryA((plugins.path + "\\VORPAN.DLL").c_str());
    DoProcessProc doProcess =
        module ? reinterpret_cast<DoProcessProc>(reinterpret_cast<void *>(GetProcAddress(module, "DoProcess")))
               : nullptr;
    if (doProcess == nullptr)
        return "VORPAN.DLL could not be loaded from a plug-in folder: " + plugins.error;
    auto quietHost = [] {
        return MakeMenuWindow("VorpanQuietHost", QuietHostProc, "quiet host", {kPluginMenuLabel}, kPluginMenuText,
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    };
    HWND main = quietHost(), other = quietHost();
    if (main == nullptr || other == nullptr || !Activate(main))
        return "the quiet hosts could not be made and activated";
    HWND instances[] = {other, main};
    char currentPath[] = "C:\\";
    Record record = {main, 0, main, instances, 2, currentPath};
    if (doProcess(&record) != 1)
        return "DoProcess did not return 1";
    if (!FileExists(plugins.IniPath()))
        return "the call did not run as the requester";
    FreeLibrary(module);
    return GetModuleHandleA("VORPAN.DLL") == nullptr ? "the library was unloaded" : "";
}

[[noreturn]] void ExitWith(const std::string &fault)
{
    std::fputs(fault.c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(fault.empty() ? 0 : 1);
}

// A window may keep a procedure of ours below another module's subclass for as long as it lives, so the
// host must not be able to unload the library once a hook was put on. The pin lasts as long as the
// process, so the round runs in a process of its own (a death test's): in this one a second round would
// find the first's library. Its temporary folder lies in this one's scratch folder, removed here once it
// has ended and no longer holds the library.
TEST(DllLifetime, StaysLoadedWhenTheHostFreesItOnceAHookWasPutOn)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.ok()) << scratch.error;
    char temporary[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("TMP", temporary, MAX_PATH);
    ASSERT_LT(length, DWORD(MAX_PATH));
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", scratch.path.c_str()));
    EXPECT_EXIT(ExitWith(RunAsRequesterThenFree()), testing::ExitedWithCode(0), "");
    SetEnvironmentVariableA("TMP", length > 0 ? temporary : nullptr);
}

}  // namespace
