// Reads and writes the flag word in VORPAN.INI, through the profile functions only.
#include "settings/settings_file.h"

#include "plugin/bounded_text.h"
#include "plugin/link_state.h"

namespace {

const char kSection[] = "Behavior";
const char kVersionKey[] = "Version";
const char kStateKey[] = "State";
const char kFileName[] = "VORPAN.INI";

void WriteNumber(const char *key, int value)
{
    char text[16];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA(kSection, key, text, linkState.settingsPath);
}

bool FileExists(const char *path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

}  // namespace

bool GetSettingsPath(char *path)
{
    // Looked up by name, not by our module handle: when the name is not loaded the platform gives
    // the host program's own file name, and the settings then lie beside the host.
    DWORD length = GetModuleFileNameA(GetModuleHandleA("VORPAN.DLL"), path, kPathSize);
    if (length == 0 || length >= static_cast<DWORD>(kPathSize)) {
        // Nothing, or a name cut at the buffer's end (possibly without its NUL).
        path[0] = '\0';
        return false;
    }
    int keep = (path[0] != '\0' && path[1] == ':') ? 2 : 0;
    for (int i = keep; path[i] != '\0'; ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
            if (path[i + 1] == '\0')
                break;
            ++i;  // a trail byte (0x5C in ソ) is never a separator
            continue;
        }
        if (path[i] == '\\' || path[i] == '/')
            keep = i + 1;
    }
    path[keep] = '\0';
    if (!AppendText(path, kPathSize, kFileName)) {
        path[0] = '\0';
        return false;
    }
    return true;
}

void LoadSettings()
{
    linkState.settingsVersion = kSettingsVersion;
    linkState.stateFlags = 0;
    // A path that does not fit is written nowhere: the run goes on with the defaults.
    if (!GetSettingsPath(linkState.settingsPath))
        return;
    if (!FileExists(linkState.settingsPath)) {
        WriteNumber(kVersionKey, linkState.settingsVersion);
        WriteNumber(kStateKey, linkState.stateFlags);
    } else {
        linkState.stateFlags = static_cast<int>(
            GetPrivateProfileIntA(kSection, kStateKey, 0, linkState.settingsPath));
    }
}

void SaveSettings()
{
    // An empty path would make the profile functions write into the Windows folder.
    if (linkState.settingsPath[0] != '\0')
        WriteNumber(kStateKey, linkState.stateFlags);
}
