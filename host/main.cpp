// The stand-in host's program: command line, main window with folder tree and file list, commands and
// the query message the tests ask.
#include "host.h"
#include "host_protocol.h"
#include "host_resource.h"
#include "timing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(IDC_HOST_COPY == kHostCmdCopy && IDC_HOST_REFRESH == kHostCmdRefresh &&
                  IDC_HOST_EXIT == kHostCmdExit && IDC_HOST_ABOUT == kHostCmdAbout,
              "resource commands match the protocol");
static_assert(IDC_HOST_DLG_SOURCE == kHostDlgSource && IDC_HOST_DLG_DESTINATION == kHostDlgDestination &&
                  IDC_HOST_DLG_TREE == kHostDlgTree,
              "dialog controls match the protocol");

HostState host;

namespace {

const char kTitlePrefix[] = "RiloFile2 - ";
const int kTreeWidth = 240;
const int kExitBadCommandLine = 2;

// Case-insensitive prefix match of an ASCII option name; the value after it or null.
const char *OptionValue(const char *argument, const char *name)
{
    size_t length = strlen(name);
    return _strnicmp(argument, name, length) == 0 ? argument + length : nullptr;
}

// Relative folders are taken from the current directory, as a user's shortcut would.
bool AbsolutePath(const char *path, char *out, int outSize)
{
    DWORD length = GetFullPathNameA(path, outSize, out, nullptr);
    return length > 0 && int(length) < outSize;
}

bool ProgramFolder(char *out, int outSize)
{
    DWORD length = GetModuleFileNameA(nullptr, out, outSize);
    if (length == 0 || int(length) >= outSize)
        return false;
    char *lastSeparator = nullptr;
    for (char *p = out; *p; p = CharNextA(p)) {
        if (*p == '\\')
            lastSeparator = p;
    }
    if (lastSeparator)
        *lastSeparator = '\0';
    return true;
}

// Arguments come as the C runtime splits the ANSI command line, so quoted texts keep their spaces.
bool ParseCommandLine(int argc, char **argv, HostOptions *options)
{
    char current[kPathSize];
    if (!GetCurrentDirectoryA(sizeof current, current) || !CopyText(options->path, sizeof options->path, current) ||
        !ProgramFolder(options->pluginFolder, sizeof options->pluginFolder))
        return false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const char *value;
        if ((value = OptionValue(arg, "/path="))) {
            if (!AbsolutePath(value, options->path, sizeof options->path))
                return false;
        } else if (lstrcmpiA(arg, "/virtual") == 0) {
            options->virtualFolder = true;
        } else if ((value = OptionValue(arg, "/select="))) {
            options->select = SplitText(value, '|');
        } else if (lstrcmpiA(arg, "/selectall") == 0) {
            options->selectAll = true;
        } else if ((value = OptionValue(arg, "/plugins="))) {
            if (!AbsolutePath(value, options->pluginFolder, sizeof options->pluginFolder))
                return false;
        } else if (lstrcmpiA(arg, "/timing") == 0) {
            options->timing = true;
        } else if (lstrcmpiA(arg, "/notree") == 0) {
            options->noTree = true;
        } else if (lstrcmpiA(arg, "/longpath") == 0) {
            options->longPath = true;
        } else if ((value = OptionValue(arg, "/pluginmenu="))) {
            if (!CopyText(options->pluginMenuText, sizeof options->pluginMenuText, value))
                return false;
        } else if ((value = OptionValue(arg, "/filldialog="))) {
            std::vector<std::string> parts = SplitText(value, '|');
            if (parts.size() != 2 || !CopyText(options->fillTitle, sizeof options->fillTitle, parts[0].c_str()) ||
                !CopyText(options->fillFolder, sizeof options->fillFolder, parts[1].c_str()))
                return false;
        } else if ((value = OptionValue(arg, "/pos="))) {
            options->hasPos = sscanf(value, "%d,%d,%d,%d", &options->x, &options->y, &options->width,
                                     &options->height) == 4;
            if (!options->hasPos)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

// Without a tree the path is used as given, less a trailing separator that is not part of a root.
void NormalizeFolder(char *path)
{
    int length = lstrlenA(path);
    if (length > 3 && EndsWithBackslash(path))
        path[length - 1] = '\0';
}

void UpdateTitle()
{
    std::string title = kTitlePrefix;
    title += host.currentPath[0] ? host.currentPath : HOST_VIRTUAL_ROOT;
    SetWindowTextA(host.hwndMain, title.c_str());
}

std::string FileSizeText(const char *folder, const char *name)
{
    char path[kPathSize];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!JoinPath(path, sizeof path, folder, name) || !GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return std::string();
    return std::to_string((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool Contains(const std::vector<std::string> &names, const char *name)
{
    return std::any_of(names.begin(), names.end(),
                       [name](const std::string &n) { return lstrcmpiA(n.c_str(), name) == 0; });
}

// Re-reads the current folder; the files selected before stay selected, so refreshing on every
// activation does not undo the user's selection.
void ReloadFileList(const std::vector<std::string> &select, bool selectAll)
{
    SendMessageA(host.hwndList, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(host.hwndList);
    int row = 0;
    for (const std::string &name : ListFolder(host.currentPath, "*", false)) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_STATE;
        item.iItem = row;
        item.pszText = const_cast<char *>(name.c_str());
        if (selectAll || Contains(select, name.c_str())) {
            item.state = LVIS_SELECTED;
            item.stateMask = LVIS_SELECTED;
        }
        int index = ListView_InsertItem(host.hwndList, &item);
        if (index < 0)
            continue;
        std::string size = FileSizeText(host.currentPath, name.c_str());
        ListView_SetItemText(host.hwndList, index, 1, const_cast<char *>(size.c_str()));
        row = index + 1;
    }
    SendMessageA(host.hwndList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(host.hwndList, nullptr, TRUE);
}

void RefreshFileList()
{
    ReloadFileList(SelectedNames(), false);
}

void OnFolderSelected(HTREEITEM item)
{
    char path[kPathSize];
    if (!TreeItemPath(host.hwndTree, item, path, sizeof path))
        path[0] = '\0';
    CopyText(host.currentPath, sizeof host.currentPath, path);
    UpdateTitle();
    ReloadFileList({}, false);
}

void OpenStartFolder()
{
    const HostOptions &options = host.options;
    if (!host.hwndTree) {
        if (!options.virtualFolder) {
            CopyText(host.currentPath, sizeof host.currentPath, options.path);
            NormalizeFolder(host.currentPath);
        }
        UpdateTitle();
        ReloadFileList({}, false);
    } else {
        HTREEITEM item = options.virtualFolder ? FindVirtualRoot(host.hwndTree)
                                               : SelectTreePath(host.hwndTree, options.path);
        if (!item)
            item = TreeView_GetRoot(host.hwndTree);
        TreeView_SelectItem(host.hwndTree, item);
        OnFolderSelected(item);  // also when the item was selected already and no notification came
    }
    if (!options.select.empty() || options.selectAll)
        ReloadFileList(options.select, options.selectAll);
}

void CreateChildren(HWND hwnd)
{
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!host.options.noTree) {
        host.hwndTree = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                                            TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                        0, 0, 0, 0, hwnd, nullptr, host.instance, nullptr);
        SendMessageA(host.hwndTree, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        FillTreeRoots(host.hwndTree);
    }
    host.hwndList = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0,
                                    0, hwnd, nullptr, host.instance, nullptr);
    SendMessageA(host.hwndList, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = const_cast<char *>("名前");
    column.cx = 260;
    ListView_InsertColumn(host.hwndList, 0, &column);
    column.fmt = LVCFMT_RIGHT;
    column.pszText = const_cast<char *>("サイズ");
    column.cx = 100;
    ListView_InsertColumn(host.hwndList, 1, &column);
}

void OnSize(int width, int height)
{
    int listLeft = 0;
    if (host.hwndTree) {
        listLeft = std::min(kTreeWidth, width / 2);
        MoveWindow(host.hwndTree, 0, 0, listLeft, height, TRUE);
    }
    MoveWindow(host.hwndList, listLeft, 0, width - listLeft, height, TRUE);
}

LRESULT OnNotify(NMHDR *header)
{
    if (!host.hwndTree || header->hwndFrom != host.hwndTree)
        return 0;
    if (header->code == NM_CUSTOMDRAW)
        return PaintSelectionAlways(header);
    const NMTREEVIEWA *notify = reinterpret_cast<const NMTREEVIEWA *>(header);
    if (IsTreeExpanding(header->code) && (notify->action & TVE_EXPAND))
        FillTreeChildren(host.hwndTree, notify->itemNew.hItem);
    else if (IsTreeSelChanged(header->code))
        OnFolderSelected(notify->itemNew.hItem);
    return 0;
}

void OnCommand(UINT id)
{
    if (IsPluginCommand(id)) {
        if (host.busyWhenAskedMs > 0 && InSendMessage())
            Sleep(host.busyWhenAskedMs);
        if (host.foregroundWhenAsked && InSendMessage()) {
            SetWindowPos(host.hwndMain, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            SetForegroundWindow(host.hwndMain);
        }
        CallPlugin(id);
        return;
    }
    switch (id) {
    case kHostCmdCopy:
        RunCopyCommand();
        break;
    case kHostCmdRefresh:
        RefreshFileList();
        break;
    case kHostCmdExit:
        DestroyWindow(host.hwndMain);
        break;
    case kHostCmdAbout:
        ShowAboutPlugins(host.hwndMain);
        break;
    }
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT OnQuery(WPARAM query)
{
    switch (query) {
    case kQueryLastPluginResult:
        return host.lastPluginResult;
    case kQueryPluginCalls:
        return host.pluginCalls;
    case kQueryPluginReturns:
        return host.pluginReturns;
    case kQueryMainProcIsOwn:
        return GetWindowLongPtrA(host.hwndMain, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(MainWindowProc);
    case kQueryDialogProcRestored:
        return host.dialogProcRestored;
    case kQueryCopiedFiles:
        return host.copiedFiles;
    case kQueryCopyCommands:
        return host.copyCommands;
    case kQueryDialogOpen:
        return reinterpret_cast<LRESULT>(host.dialogOpen);
    case kQueryTiming:
        return reinterpret_cast<LRESULT>(TimingRecord());
    case kQueryRoleAtLastCall:
        return host.roleAtLastCall;
    case kQueryInputQueued:
        return HIWORD(GetQueueStatus(QS_INPUT)) != 0;
    }
    return 0;
}

LRESULT OnStage(WPARAM stage, LPARAM lParam)
{
    switch (stage) {
    case kStageActiveBehind:
        SetActiveWindow(host.hwndMain);
        return GetActiveWindow() == host.hwndMain;
    case kStageForegroundWhenAsked:
        host.foregroundWhenAsked = lParam != 0;
        return 1;
    case kStageListAlso:
        host.listAlso = reinterpret_cast<HWND>(lParam);
        return 1;
    case kStageListAt:
        host.listAlsoAt = static_cast<int>(lParam);
        return 1;
    case kStageBusyWhenAsked:
        host.busyWhenAskedMs = static_cast<DWORD>(lParam);
        return 1;
    case kStageFillDialog:
        host.fillDialog = lParam != 0 && host.options.fillFolder[0] != '\0';
        return host.fillDialog == (lParam != 0);
    case kStageDialogShape:
        host.dialogShape = lParam;
        return 1;
    }
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        host.hwndMain = hwnd;
        CreateChildren(hwnd);
        // The first WM_SIZE comes only when the window is shown; the tree must have its size before
        // the start folder is scrolled into view.
        RECT client;
        GetClientRect(hwnd, &client);
        OnSize(client.right, client.bottom);
        return 0;
    }
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_ACTIVATE:
        // Another instance may have copied into this folder while it was in the background.
        if (LOWORD(wParam) != WA_INACTIVE && host.hwndList) {
            RefreshFileList();
            if (!HIWORD(wParam))
                SetFocus(host.hwndList);
            return 0;
        }
        break;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR *>(lParam));
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_HOST_QUERY:
        return OnQuery(wParam);
    case WM_HOST_STAGE:
        return OnStage(wParam, lParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CreateMainWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = host.instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = HOST_WINDOW_CLASS;
    if (!RegisterClassA(&windowClass))
        return nullptr;

    HMENU menu = LoadMenuA(host.instance, MAKEINTRESOURCEA(IDM_HOST_MENU));
    AppendPluginMenuItems(GetSubMenu(menu, 1));
    if (host.options.pluginMenuText[0])
        ModifyMenuA(menu, 1, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(GetSubMenu(menu, 1)),
                    host.options.pluginMenuText);
    const HostOptions &options = host.options;
    int x = options.hasPos ? options.x : CW_USEDEFAULT;
    int y = options.hasPos ? options.y : CW_USEDEFAULT;
    int width = options.hasPos ? options.width : 720;
    int height = options.hasPos ? options.height : 480;
    return CreateWindowExA(0, HOST_WINDOW_CLASS, "RiloFile2", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y,
                           width, height, nullptr, menu, host.instance, nullptr);
}

}  // namespace

std::vector<std::string> SelectedNames()
{
    std::vector<std::string> names;
    char name[kPathSize];
    for (int i = ListView_GetNextItem(host.hwndList, -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(host.hwndList, i, LVNI_SELECTED)) {
        ListView_GetItemText(host.hwndList, i, 0, name, sizeof name);
        name[sizeof name - 1] = '\0';
        names.push_back(name);
    }
    return names;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    host.instance = instance;
    host.lastPluginResult = -1;
    host.dialogProcRestored = -1;
    host.copiedFiles = -1;
    if (!ParseCommandLine(__argc, __argv, &host.options)) {
        OutputDebugStringA("rilohost: bad command line\n");
        return kExitBadCommandLine;
    }

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    LoadPlugins(host.options.pluginFolder);
    if (!CreateMainWindow())
        return int(HOST_EXIT_NO_WINDOW + (GetLastError() & 0xFFFF));
    OpenStartFolder();
    ShowWindow(host.hwndMain, showCommand);
    UpdateWindow(host.hwndMain);

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_HOST_ACCEL));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(host.hwndMain, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    FreePlugins();
    return int(msg.wParam);
}
