// What the programs around VORPAN.DLL must know of it to drive it, stated once and apart from the product's
// own headers, so that a value the product got wrong there cannot pass by being read from there too.
#pragma once

#include <windows.h>

#include <string>

class PluginFolder;

constexpr UINT kVorpanCommand = 33100;  // in a host whose plug-in folder holds only VORPAN.DLL
constexpr char kPluginCaption[] = "２画面ファイラー風ファイルコピー";  // of its message boxes
constexpr char kPluginMenuLabel[] = "２画面ファイラー風ファイルコピー(&C)";  // its item in a host's plug-in menu
constexpr char kFilledTitle[] = "ファイルの操作の確認 - ２画面ファイラー風";  // of the dialog it fills in
constexpr char kSettingsTitle[] = "２画面ファイラー風ファイルコピーの設定";
// The notice before the normal copy when the target shows no folder, answers nothing, or did not answer.
constexpr char kVirtualTargetNotice[] = "対象が仮想フォルダなので通常動作にします。";
constexpr char kPathEventName[] = "RiloFilePluginGetPathEvent";  // named by earlier versions
// A path report's dwData: the current path comes first, the folder tree's path ends the answer.
constexpr ULONG_PTR kCurrentPathReport = 0;
constexpr ULONG_PTR kTreePathReport = 1;

// The settings file beside the DLL, and the flags of its State word as the settings dialog stores them
// (in a namespace: the product's settings header, which tests include too, names its own).
constexpr char kSettingsFileName[] = "VORPAN.INI";
namespace state_flag {
constexpr int kNotifyFallback = 1;  // a notice before every fallback to the normal copy
constexpr int kChooseTarget = 2;    // with three or more instances the target is chosen from a menu
}  // namespace state_flag

// The State word in the plug-in folder's settings file as the settings dialog would leave it; or as text, as a
// hand edit may ("013" reads as 13, and only a save writes "13").
void WriteState(const std::string &pluginFolder, const std::string &state);
void WriteState(const std::string &pluginFolder, int state);
void WriteState(const PluginFolder &plugins, int state);
// A stored value of the settings file as text, "" when there is no file or key.
std::string ReadSetting(const std::string &pluginFolder, const char *key);
std::string ReadState(const PluginFolder &plugins);
