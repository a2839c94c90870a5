// What the tests expect of VORPAN.DLL and of the host contract, written once and on purpose apart from the
// product's own headers; the facts the harness needs itself are stated in harness/plugin_facts.h.
#pragma once

#include <windows.h>

#include <cstddef>

#include "harness/plugin_facts.h"

namespace expected {

// The version word GetFunctionInfo gives the host: 2.00.
constexpr WORD kPluginVersion = 200;

// The State flag word in VORPAN.INI, as the settings dialog stores it.
constexpr int kNotifyFallback = state_flag::kNotifyFallback;
constexpr int kChooseTarget = state_flag::kChooseTarget;

// The notices of a fallback, and the message of a host whose plug-in command cannot be found.
constexpr char kSingleInstanceText[] = "複数起動していないので通常動作にします。";
inline constexpr auto &kVirtualTargetText = kVirtualTargetNotice;
constexpr char kTargetIsSelfText[] = "対象が自分なので通常動作にします。";
constexpr char kSourceTooLongText[] = "コピー元のパスが長すぎるので通常動作にします。";
constexpr char kCommandNotFoundText[] = "エラー";
// The first line of the box that tells the settings could not be saved; the second is the file's path.
constexpr char kSaveFailedText[] = "設定を保存できませんでした。";

// The settings dialog: its title, its resource and its buttons.
inline constexpr auto &kSettingsTitle = ::kSettingsTitle;
constexpr int kSettingsDialogId = 101;
enum : int {
    kNotifyBox = 1000,      // check box: notices before a fallback
    kPreviousRadio = 1001,  // the previously active instance is the target
    kChooseRadio = 1002,    // the target is chosen from a menu
};

// The chooser menu: item ids from this one in menu order, and the item of an instance without a folder.
constexpr UINT kFirstItemId = 100;
constexpr char kVirtualFolderItem[] = "仮想フォルダ";

// The host contract: the copy command, its confirmation dialog's own title, and a main window's title.
constexpr UINT kHostCopyCommand = 32781;
constexpr char kConfirmTitle[] = "ファイルの操作の確認";
constexpr char kHostTitlePrefix[] = "RiloFile2 - ";

// The longest paths a path report may carry, in bytes without the NUL; one more is dropped whole.
constexpr size_t kLongestPath = 259;
constexpr size_t kLongestTreePath = 519;

// How long the plug-in waits for another instance to take one message: a request or one of its reports.
// The chooser's round, however many instances stall, ends by the same bound after its first request.
constexpr DWORD kPeerSendBoundMs = 3000;
// What a loaded machine may add to a bound the plug-in promises, measured where the host recorded the
// plug-in's sends or its call (HostTiming), not by the test's clock: a bound checked with this much room
// still fails when the plug-in waits a second bound of its own.
constexpr DWORD kMachineSlackMs = 2000;
constexpr DWORD kBoundedSendMs = kPeerSendBoundMs + kMachineSlackMs;

}  // namespace expected
