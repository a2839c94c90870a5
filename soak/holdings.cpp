// What a host process holds (handles, windows, USER and GDI objects, its main window's procedure), which
// growth between two moments counts as a leak, and the soak's report of both.
#include "holdings.h"

#include <vector>

#include "harness/plugin_facts.h"
#include "host_protocol.h"

namespace {

// Growth a host may show between the warm-up and the end without counting as a leak. Measured: after
// the warm-up no count moves at all over a thousand runs, while the first copy of a host takes two
// handles for good (the warm-up takes them). The allowance leaves room for one more such pair; the
// smallest leak the short soak must show, one handle in each of its six dismissed chooser runs, is
// above it.
constexpr int kGrowthAllowance = 2;  // handles, and USER and GDI objects where they are counted
// A window that outlives its run (a dialog, a menu window, a message box) is a leak at once.
constexpr int kWindowAllowance = 0;

struct WindowCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowCount *>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM param)
{
    WindowCount *windows = reinterpret_cast<WindowCount *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == windows->pid) {
        ++windows->count;
        EnumChildWindows(hwnd, CountChild, param);
    }
    return TRUE;
}

// One entry of the system's handle list (SystemHandleInformation), as Windows and Wine lay it out.
struct SystemHandle {
    ULONG pid;
    BYTE type;
    BYTE flags;
    USHORT handle;
    void *object;
    ACCESS_MASK access;
};
struct SystemHandleList {
    ULONG count;
    SystemHandle handles[1];
};

// The handles of process pid, counted in the system's list: Wine's GetProcessHandleCount answers 0.
DWORD HandlesInSystemList(DWORD pid)
{
    typedef LONG(WINAPI * QueryProc)(ULONG, void *, ULONG, ULONG *);
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    auto query = reinterpret_cast<QueryProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return 0;
    std::vector<char> buffer(64 * 1024);
    ULONG length = 0;
    LONG status;
    while ((status = query(kSystemHandleInformation, buffer.data(), ULONG(buffer.size()), &length)) ==
           kInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    const auto *list = reinterpret_cast<const SystemHandleList *>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < list->count; ++i) {
        if (list->handles[i].pid == pid)
            ++count;
    }
    return count;
}

// A process with windows holds USER objects; none at all means that the platform does not count them.
bool GuiCounted(const HostHoldings &holdings)
{
    return holdings.userObjects != 0 || holdings.gdiObjects != 0;
}

std::string Growth(const SoakHostRow &row, const char *what, long long before, long long after, int allowance)
{
    return after - before > allowance ? row.name + ": " + what + " " + std::to_string(before) + " -> " +
                                            std::to_string(after) + " (allowance +" + std::to_string(allowance) + ")"
                                      : std::string();
}

std::string Cell(const HostHoldings &before, const HostHoldings &after, DWORD HostHoldings::*field)
{
    if (!GuiCounted(before) || !GuiCounted(after))
        return "not counted by Wine";
    return std::to_string(before.*field) + " -> " + std::to_string(after.*field);
}

}  // namespace

HostHoldings Holdings(const HostInstance &host)
{
    HostHoldings holdings;
    if (!GetProcessHandleCount(host.process, &holdings.handles) || holdings.handles == 0)
        holdings.handles = HandlesInSystemList(host.pid);
    WindowCount windows = {host.pid, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    holdings.windows = windows.count;
    holdings.userObjects = GetGuiResources(host.process, GR_USEROBJECTS);
    holdings.gdiObjects = GetGuiResources(host.process, GR_GDIOBJECTS);
    holdings.mainProcOwn = host.Query(kQueryMainProcIsOwn);
    return holdings;
}

void FindLeaks(SoakResult &result)
{
    for (const SoakHostRow &row : result.hosts) {
        std::string grown[] = {
            Growth(row, "handles", row.before.handles, row.after.handles, kGrowthAllowance),
            Growth(row, "windows", row.before.windows, row.after.windows, kWindowAllowance),
            Growth(row, "USER objects", row.before.userObjects, row.after.userObjects, kGrowthAllowance),
            Growth(row, "GDI objects", row.before.gdiObjects, row.after.gdiObjects, kGrowthAllowance),
        };
        for (const std::string &leak : grown) {
            if (!leak.empty())
                result.leaks.push_back(leak);
        }
        if (row.after.mainProcOwn != 1)
            result.leaks.push_back(row.name + ": the main window keeps another procedure");
    }
    if (!result.eventClosed)
        result.leaks.push_back(std::string("the named event ") + kPathEventName);
}

std::string SoakResult::Table() const
{
    std::string md = "| Host | Handles | Windows | USER objects | GDI objects | Main window procedure after |\n"
                     "|---|---:|---:|---:|---:|---|\n";
    for (const SoakHostRow &row : hosts) {
        md += "| " + row.name + " | " + std::to_string(row.before.handles) + " -> " +
              std::to_string(row.after.handles) + " | " + std::to_string(row.before.windows) + " -> " +
              std::to_string(row.after.windows) + " | " +
              Cell(row.before, row.after, &HostHoldings::userObjects) + " | " +
              Cell(row.before, row.after, &HostHoldings::gdiObjects) + " | " +
              (row.after.mainProcOwn == 1 ? "the host's own" : "**another**") + " |\n";
    }
    md += "\nRuns: " + std::to_string(plan.copies) + " two-pane copies between A and B, " +
          std::to_string(plan.chooserRuns) + " chooser runs with four instances (every second one dismissed), " +
          std::to_string(plan.responderRequests) + " requests answered as responder, and " + std::to_string(warmUps) +
          " warm-up runs before them (each kind once per instance). Before: after the warm-up; after: the last "
          "run. Windows: the process's top-level and child windows; USER and GDI objects: GetGuiResources, "
          "which Wine does not implement. The named event earlier versions used, after the last run: " +
          std::string(eventClosed ? "held by no process" : "**held**") +
          ". Allowances: handles, USER and GDI objects +" + std::to_string(kGrowthAllowance) + ", windows +" +
          std::to_string(kWindowAllowance) + ".\n";
    for (const std::string &failure : failures)
        md += "\n- failed: " + failure;
    if (!failures.empty())
        md += "\n";
    return md;
}

std::string SoakResult::Summary() const
{
    std::string leaked;
    for (const std::string &leak : leaks)
        leaked += (leaked.empty() ? "" : "; ") + leak;
    return "soak: " + std::to_string(runs) + " runs, " + std::to_string(failed) + " failed, leaked: " +
           (leaked.empty() ? "none" : leaked);
}
