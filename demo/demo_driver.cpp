// Drives the demo under Wine's X11 driver: sample folders, stand-in host instances with VORPAN.DLL, one
// two-pane copy as a user makes it, and screenshot requests to the script that runs it.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "harness/console_text.h"
#include "host_protocol.h"
#include "harness/harness.h"

namespace {

// A window manager-less X server and a loaded machine make Wine slower than the tests' null driver.
constexpr DWORD kStepTimeoutMs = 20000;
// The script polls for requests and may have to capture the screen a few times until it is still.
constexpr DWORD kShotTimeoutMs = 30000;

constexpr char kRoot[] = "C:\\デモ";
constexpr char kSource[] = "C:\\デモ\\作業";
constexpr char kTarget[] = "C:\\デモ\\ソフト\\表示";
constexpr char kSecondTarget[] = "C:\\デモ\\資料\\保存";
constexpr char kPlugins[] = "C:\\デモ\\プラグイン";

struct SampleFile {
    const char *name;
    const char *content;
    bool selected;
};

// One file stays unselected, so the copy visibly takes the selection and not the whole folder.
const SampleFile kSourceFiles[] = {
    {"報告書.txt", "第3四半期の報告書です。\r\n", true},
    {"予定表.txt", "12月の予定表です。\r\n", true},
    {"memo.txt", "memo: 会議は金曜日\r\n", true},
    {"下書き.txt", "まだ出さない下書きです。\r\n", false},
};
const char kTargetFile[] = "画面設定.txt";  // the target is not empty, as a real folder would not be

std::string shotFolder;  // where the script watches for screenshot requests, as a Windows path

void Say(const std::string &cp932)
{
    PrintText(cp932 + "\n");
}

bool Fail(const std::string &what)
{
    Say("demo: FAILED: " + what);
    return false;
}

// Makes folder and its parents below the drive; the script has removed any earlier demo's folders.
bool MakeFolders(const std::string &folder)
{
    for (size_t i = 3; i <= folder.size(); ++i) {
        if (i < folder.size() && IsDBCSLeadByte(BYTE(folder[i]))) {
            ++i;  // the trail byte may be 0x5C (ソ), which is no separator
            continue;
        }
        if (i == folder.size() || folder[i] == '\\') {
            std::string part = folder.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return Fail("CreateDirectoryA " + part + ", error " + std::to_string(GetLastError()));
        }
    }
    return true;
}

bool MakeSamples(bool chooser)
{
    if (!MakeFolders(kSource) || !MakeFolders(kTarget) || !MakeFolders(kPlugins) ||
        (chooser && !MakeFolders(kSecondTarget)))
        return false;
    for (const SampleFile &file : kSourceFiles) {
        if (!WriteTextFile(std::string(kSource) + "\\" + file.name, file.content))
            return Fail(std::string("writing ") + file.name);
    }
    if (!WriteTextFile(std::string(kTarget) + "\\" + kTargetFile, "表示の設定です。\r\n"))
        return Fail("writing the target's file");
    std::string dll = ProgramFolder() + "VORPAN.DLL";
    if (!CopyFileA(dll.c_str(), (std::string(kPlugins) + "\\VORPAN.DLL").c_str(), FALSE))
        return Fail("copying " + dll);
    if (chooser) {
        // As the settings dialog leaves it with 「選択する」 chosen and no notices.
        WriteState(kPlugins, state_flag::kChooseTarget);
    }
    Say(std::string("demo: sample folders under ") + kRoot + ", VORPAN.DLL in " + kPlugins +
        (chooser ? " with " + std::string(kSettingsFileName) + " [Behavior] State=" +
                       std::to_string(state_flag::kChooseTarget) + " (ChooseTarget)"
                 : ""));
    return true;
}

std::string SelectOption()
{
    std::string option = "/select=";
    for (const SampleFile &file : kSourceFiles) {
        if (!file.selected)
            continue;
        if (option.back() != '=')
            option += "|";
        option += file.name;
    }
    return option;
}

std::vector<std::string> HostOptions(const char *folder, const char *pos)
{
    return {std::string("/path=") + folder, std::string("/plugins=") + kPlugins, std::string("/pos=") + pos};
}

struct PaintCheck {
    const std::vector<DWORD> *pids;
    bool pending;
};

BOOL CALLBACK CheckChildPainted(HWND hwnd, LPARAM param)
{
    PaintCheck *check = reinterpret_cast<PaintCheck *>(param);
    if (IsWindowVisible(hwnd) && GetUpdateRect(hwnd, nullptr, FALSE))
        check->pending = true;
    return !check->pending;
}

BOOL CALLBACK CheckTopLevelPainted(HWND hwnd, LPARAM param)
{
    PaintCheck *check = reinterpret_cast<PaintCheck *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    bool ours = false;
    for (DWORD p : *check->pids)
        ours = ours || p == pid;
    if (!ours || !IsWindowVisible(hwnd))
        return TRUE;
    if (GetUpdateRect(hwnd, nullptr, FALSE))
        check->pending = true;
    else
        EnumChildWindows(hwnd, CheckChildPainted, param);
    return !check->pending;
}

// True once no visible window of the hosts waits for WM_PAINT and every host thread has come back to
// its message loop, where Wine hands the painted surfaces to the X server.
bool HostsPainted(const std::vector<const HostInstance *> &hosts)
{
    std::vector<DWORD> pids;
    for (const HostInstance *host : hosts)
        pids.push_back(host->pid);
    PaintCheck check = {&pids, false};
    EnumWindows(CheckTopLevelPainted, reinterpret_cast<LPARAM>(&check));
    return !check.pending && Settle(hosts);
}

// Asks the script for a screenshot named name.png once the hosts have painted, and waits until it
// says the picture is taken.
bool Screenshot(const std::vector<const HostInstance *> &hosts, const std::string &name, const std::string &what)
{
    if (!PumpUntil([&] { return HostsPainted(hosts); }, kStepTimeoutMs))
        return Fail("the windows did not finish painting before " + name);
    std::string request = shotFolder + "\\" + name + ".want";
    std::string done = shotFolder + "\\" + name + ".done";
    DeleteFileA(done.c_str());
    if (!WriteTextFile(request, what))
        return Fail("cannot write the screenshot request " + request);
    if (!PumpUntil([&] { return FileExists(done); }, kShotTimeoutMs))
        return Fail("no screenshot " + name + ".png within " + std::to_string(kShotTimeoutMs / 1000) + " s");
    Say("demo: screenshot " + name + ".png: " + what);
    return true;
}

// Activates source and chooses the command once every host has handled the activation. Chosen sooner,
// Wine's X11 driver may still raise the source's main window in the X stacking order after the chooser
// menu opened, and the menu, on top in Windows' own order, is hidden behind it.
bool ChooseWhenSettled(const HostInstance &source, const std::vector<const HostInstance *> &hosts)
{
    if (!Activate(source.hwnd, kStepTimeoutMs))
        return Fail("the source instance could not be activated");
    if (!PumpUntil([&] { return HostsPainted(hosts); }, kStepTimeoutMs))
        return Fail("the hosts did not settle after the activation");
    return PostMessageA(source.hwnd, WM_COMMAND, kVorpanCommand, 0) || Fail("the command could not be posted");
}

int ItemCount(HWND list)
{
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &count))
        return -1;
    return int(count);
}

// From the filled confirmation dialog to the files in the target's list, the part both demos share.
bool ConfirmAndShowArrival(const HostInstance &source, const HostInstance &target, const char *targetPath,
                           const std::vector<const HostInstance *> &all, const std::string &prefix)
{
    HWND dialog = WaitForConfirmDialog(source, kFilledTitle, kStepTimeoutMs);
    if (!dialog)
        return Fail(std::string("no dialog titled 「") + kFilledTitle + "」");
    ConfirmView view = ReadConfirmDialog(dialog);
    Say("demo: the dialog 「" + view.title + "」 opened in the source instance");
    Say("demo:   destination field: " + view.destination);
    Say("demo:   selected in its folder tree: " + view.treePath);
    if (view.destination != targetPath)
        return Fail(std::string("the destination is not ") + targetPath);
    if (!Screenshot(all, prefix + "dialog", "the filled confirmation dialog over the source instance"))
        return false;

    PressButton(dialog, IDOK);
    Say("demo: OK pressed");
    if (!WaitForRunEnd(source, kStepTimeoutMs))
        return Fail("the plug-in's run did not end");
    LRESULT copied = source.Query(kQueryCopiedFiles);
    int expected = 0;
    for (const SampleFile &file : kSourceFiles) {
        if (!file.selected)
            continue;
        ++expected;
        std::string arrived = std::string(targetPath) + "\\" + file.name;
        if (!FileExists(arrived))
            return Fail(arrived + " did not arrive");
        Say("demo:   copied " + arrived);
    }
    Say("demo: the host copied " + std::to_string(copied) + " files into " + targetPath);
    if (copied != expected)
        return Fail("expected " + std::to_string(expected) + " copied files");

    // Its own F5 command and an activation, as the user would switch to the other pane.
    int before = ItemCount(target.FileList());
    PostMessageA(target.hwnd, WM_COMMAND, kHostCmdRefresh, 0);
    if (!Activate(target.hwnd, kStepTimeoutMs))
        return Fail("the target instance could not be activated");
    int listed = before;
    if (!PumpUntil([&] { return (listed = ItemCount(target.FileList())) == before + expected; }, kStepTimeoutMs))
        return Fail("the target lists " + std::to_string(listed) + " files, not " + std::to_string(before + expected));
    Say("demo: the target instance, refreshed and active, lists " + std::to_string(listed) + " files");
    return Screenshot(all, prefix + "files-arrived", "the target instance listing the copied files");
}

bool RunTwoPane()
{
    // The source on the left, the target on the right, as in a two-pane filer.
    HostInstance target(HostOptions(kTarget, "640,0,640,760"), kStepTimeoutMs);
    std::vector<std::string> sourceOptions = HostOptions(kSource, "0,0,640,760");
    sourceOptions.push_back(SelectOption());
    HostInstance source(sourceOptions, kStepTimeoutMs);
    if (!target.ok() || !source.ok())
        return Fail("a stand-in host did not start: " + target.error + source.error);
    Say("demo: two instances: the source on " + std::string(kSource) + " (left), the target on " + kTarget +
        " (right)");

    if (!Activate(target.hwnd, kStepTimeoutMs) || !Activate(source.hwnd, kStepTimeoutMs))
        return Fail("the instances could not be activated");
    Say("demo: the target activated first, then the source, where " + SelectOption() + " is selected");
    if (!Screenshot({&source, &target}, "two-pane-before", "the selected files in the active source instance"))
        return false;
    Say("demo: command " + std::to_string(kVorpanCommand) + " (" + kPluginCaption + ") chosen in the source");
    if (!ChooseWhenSettled(source, {&source, &target}))
        return false;
    return ConfirmAndShowArrival(source, target, kTarget, {&source, &target}, "two-pane-");
}

bool RunChooser()
{
    // The source on the left, two possible targets stacked on the right.
    HostInstance first(HostOptions(kTarget, "640,0,640,380"), kStepTimeoutMs);
    HostInstance second(HostOptions(kSecondTarget, "640,380,640,380"), kStepTimeoutMs);
    std::vector<std::string> sourceOptions = HostOptions(kSource, "0,0,640,760");
    sourceOptions.push_back(SelectOption());
    HostInstance source(sourceOptions, kStepTimeoutMs);
    if (!first.ok() || !second.ok() || !source.ok())
        return Fail("a stand-in host did not start: " + first.error + second.error + source.error);
    Say("demo: three instances: the source on " + std::string(kSource) + ", the others on " + kTarget + " and " +
        kSecondTarget);
    std::vector<const HostInstance *> all = {&source, &first, &second};

    // Activation order makes the menu order: the most recently active other instance comes first.
    if (!Activate(second.hwnd, kStepTimeoutMs) || !Activate(first.hwnd, kStepTimeoutMs))
        return Fail("the target instances could not be activated");
    Say("demo: command " + std::to_string(kVorpanCommand) + " chosen in the source");
    if (!ChooseWhenSettled(source, all))
        return false;
    HWND menu = WaitForMenu(source.pid, kStepTimeoutMs);
    if (!menu)
        return Fail("no chooser menu");
    Say("demo: the chooser menu opened; its items should read " + std::string(kTarget) + ", " + kSecondTarget +
        ", " + kSource + " (this instance)");
    if (!Screenshot(all, "chooser-menu", "the chooser menu listing the instances' folders")) {
        TypeKeys({VK_ESCAPE});
        return false;
    }

    // Home, Down: the second item whatever the plug-in's own Down key highlighted; Enter picks it.
    TypeKeys({VK_HOME, VK_DOWN, VK_RETURN});
    Say("demo: picked the second item, " + std::string(kSecondTarget) + ", with the keyboard");
    return ConfirmAndShowArrival(source, second, kSecondTarget, all, "chooser-");
}

}  // namespace

int main(int argc, char **argv)
{
    bool chooser = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--chooser") {
            chooser = true;
        } else if (arg.rfind("--shots=", 0) == 0) {
            shotFolder = arg.substr(8);
        } else {
            Fail("unknown argument " + arg + "; usage: demo_driver --shots=<folder> [--chooser]");
            return 2;
        }
    }
    if (shotFolder.empty() || !FolderExists(shotFolder)) {
        Fail("--shots=<folder> must name an existing folder");
        return 2;
    }
    if (GetACP() != 932) {
        Fail("the ANSI code page is " + std::to_string(GetACP()) + ", not 932: run with LC_ALL=ja_JP.UTF-8");
        return 2;
    }
    bool done = MakeSamples(chooser) && (chooser ? RunChooser() : RunTwoPane());
    Say(done ? "demo: done" : "demo: stopped");
    return done ? 0 : 1;
}
