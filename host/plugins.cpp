// Loading the plug-in DLLs, their menu items, and the DoProcess calls with the record of this instance.
#include "host.h"
#include "host_protocol.h"
#include "timing.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// The host's own definition of the record, independent of the plug-in's headers, so that a layout
// fault on either side shows up instead of being shared.
struct HostRecord {
    HWND hwndMain;
    DWORD reserved;
    HWND hwndFileList;
    HWND *instanceWindows;
    int instanceCount;
    const char *currentPath;
};
// One slot of pointer size per field: on 32-bit the documented offsets 0, 4, 8, 12, 16 and 20.
constexpr size_t kSlot = sizeof(void *);
static_assert(offsetof(HostRecord, hwndMain) == 0 * kSlot && offsetof(HostRecord, reserved) == 1 * kSlot &&
                  offsetof(HostRecord, hwndFileList) == 2 * kSlot &&
                  offsetof(HostRecord, instanceWindows) == 3 * kSlot &&
                  offsetof(HostRecord, instanceCount) == 4 * kSlot &&
                  offsetof(HostRecord, currentPath) == 5 * kSlot && sizeof(HostRecord) == 6 * kSlot,
              "record layout");

typedef int(WINAPI *GetFunctionInfoProc)(char *description, char *copyright, WORD *version);
typedef int(WINAPI *DoProcessProc)(HostRecord *record);

enum : int { kInfoTextSize = 512 };

struct Plugin {
    HMODULE module;
    DoProcessProc doProcess;
    char description[kInfoTextSize];  // one-line description, "\n", menu label
    char copyright[kInfoTextSize];
    WORD version;
};

Plugin plugins[kMaxPlugins];
int pluginCount;

struct InstanceList {
    HWND self;
    HWND windows[kMaxInstances];
    int count;
};

// Top-level windows of the last walk, each with whether it is an instance's main window. Under Wine,
// asking another process's window for its class is a call to the server each time: asking every window
// on every plug-in call made each request cost more with every window of every program running. A
// window's class never changes, so each window is asked once while it exists.
enum : int { kMaxSightings = 512 };
struct Sighting {
    HWND hwnd;
    bool instance;
};
Sighting known[kMaxSightings], seen[kMaxSightings];
int knownCount, seenCount, nextKnown;

bool IsInstanceWindow(HWND hwnd)
{
    // The order seldom changes between walks: the search goes on from where the last one matched.
    for (int n = 0; n < knownCount; ++n) {
        int i = (nextKnown + n) % knownCount;
        if (known[i].hwnd == hwnd) {
            nextKnown = i + 1;
            return known[i].instance;
        }
    }
    char className[64];
    return GetClassNameA(hwnd, className, sizeof className) && lstrcmpiA(className, HOST_WINDOW_CLASS) == 0;
}

// Z order, top first: the most recently active instance leads.
BOOL CALLBACK CollectInstance(HWND hwnd, LPARAM param)
{
    InstanceList *list = reinterpret_cast<InstanceList *>(param);
    bool instance = IsInstanceWindow(hwnd);
    if (seenCount < kMaxSightings)
        seen[seenCount++] = {hwnd, instance};
    if (instance && hwnd != list->self && list->count < kMaxInstances - 1)
        list->windows[list->count++] = hwnd;
    return TRUE;
}

// EnumDesktopWindows, not EnumWindows: under Wine the latter asks the server about each window again
// before calling back, the former calls back from the one list it got. Windows gone from the list are
// forgotten, so that a handle value handed out again later is asked afresh.
void CollectInstances(InstanceList *list)
{
    seenCount = 0;
    nextKnown = 0;
    EnumDesktopWindows(nullptr, CollectInstance, reinterpret_cast<LPARAM>(list));
    std::copy(seen, seen + seenCount, known);
    knownCount = seenCount;
}

// GetProcAddress knows no signatures; void (*)() is the type GCC accepts as "any function" here.
template <typename Proc>
Proc ExportedFunction(HMODULE module, const char *name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool LoadPlugin(const char *path, Plugin *plugin)
{
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        return false;
    auto getInfo = ExportedFunction<GetFunctionInfoProc>(module, "GetFunctionInfo");
    auto doProcess = ExportedFunction<DoProcessProc>(module, "DoProcess");
    if (!getInfo || !doProcess) {
        FreeLibrary(module);
        return false;
    }
    *plugin = Plugin{};
    plugin->module = module;
    plugin->doProcess = doProcess;
    getInfo(plugin->description, plugin->copyright, &plugin->version);
    // The plug-in gets no sizes; whatever it wrote, our copies end inside the buffers.
    plugin->description[kInfoTextSize - 1] = '\0';
    plugin->copyright[kInfoTextSize - 1] = '\0';
    if (host.options.timing)
        TimeRequests(module);
    return true;
}

const char *MenuLabel(const Plugin &plugin)
{
    const char *lineFeed = strchr(plugin.description, '\n');
    return lineFeed ? lineFeed + 1 : plugin.description;
}

}  // namespace

void LoadPlugins(const char *folder)
{
    for (const std::string &name : ListFolder(folder, "*.dll", false)) {
        char path[kPathSize];
        if (pluginCount == kMaxPlugins)
            break;
        if (JoinPath(path, sizeof path, folder, name.c_str()) && LoadPlugin(path, &plugins[pluginCount]))
            ++pluginCount;
    }
}

// The plug-in items run without separators directly below one, numbered in menu order.
void AppendPluginMenuItems(HMENU pluginMenu)
{
    if (pluginCount == 0)
        return;
    AppendMenuA(pluginMenu, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < pluginCount; ++i)
        AppendMenuA(pluginMenu, MF_STRING, kHostCmdFirstPlugin + i, MenuLabel(plugins[i]));
}

bool IsPluginCommand(UINT id)
{
    return id >= kHostCmdFirstPlugin && id < kHostCmdFirstPlugin + UINT(pluginCount);
}

// Record, window list and path live on this call's stack: a plug-in waiting inside SendMessageA may
// be called again re-entrantly, and the waiting call's record must stay as it was.
void CallPlugin(UINT id)
{
    Stamp(Step::kPluginCommand);
    Plugin &plugin = plugins[id - kHostCmdFirstPlugin];
    InstanceList list = {};
    list.self = host.hwndMain;
    CollectInstances(&list);
    if (host.listAlso != nullptr && list.count < kMaxInstances - 1) {
        int at = std::min(std::max(host.listAlsoAt, 0), list.count);
        std::copy_backward(list.windows + at, list.windows + list.count, list.windows + list.count + 1);
        list.windows[at] = host.listAlso;
        ++list.count;
    }
    list.windows[list.count++] = host.hwndMain;

    char path[2 * kPathSize];
    CopyText(path, sizeof path, host.currentPath);
    while (host.options.longPath && path[0] != '\0' && strlen(path) < kPathSize)
        strcat(path, "\\.");
    HostRecord record = {host.hwndMain, 0, host.hwndList, list.windows, list.count, path};
    ++host.pluginCalls;
    host.roleAtLastCall = (GetActiveWindow() == host.hwndMain ? LRESULT(kSeenActive) : 0) |
                          (GetForegroundWindow() == host.hwndMain ? LRESULT(kSeenForeground) : 0);
    Stamp(Step::kPluginCalled);
    host.lastPluginResult = plugin.doProcess(&record);
    Stamp(Step::kPluginReturned);
    ++host.pluginReturns;
}

void ShowAboutPlugins(HWND owner)
{
    std::string text;
    for (int i = 0; i < pluginCount; ++i) {
        if (i > 0)
            text += "\n\n";
        text += plugins[i].description;
        text += "\n";
        text += plugins[i].copyright;
        text += "\nバージョン " + std::to_string(plugins[i].version);
    }
    if (pluginCount == 0)
        text = "プラグインは読み込まれていません。";
    MessageBoxA(owner, text.c_str(), "プラグインについて", MB_OK | MB_ICONINFORMATION);
}

void FreePlugins()
{
    for (int i = 0; i < pluginCount; ++i)
        FreeLibrary(plugins[i].module);
    pluginCount = 0;
}
