// Reads and writes the flag word in VORPAN.INI, through the profile functions only.
#include "settings/settings_file.h"

#include "common/text.h"

namespace {

const char kSection[] = "Behavior";
const char kVersionKey[] = "Version";
const char kStateKey[] = "State";
const char kFileName[] = "VORPAN.INI";

bool WriteNumber(const char *path, const char *key, int value)
{
    char text[16];
    wsprintfA(text, "%d", value);
    return WritePrivateProfileStringA(kSection, key, text, path) != 0;
}

// Anything of that name counts, a folder too. Its attributes are one look at the file system, where a
// search opens and closes a listing of the folder: under Wine about a hundredth of the time.
bool FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
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
    char *keep = path + ((path[0] != '\0' && path[1] == ':') ? 2 : 0);
    for (char *p = keep; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/')
            keep = p + 1;
    }
    *keep = '\0';
    if (!AppendText(path, kPathSize, kFileName)) {
        path[0] = '\0';
        return false;
    }
    return true;
}

Settings LoadSettings()
{
    Settings settings;
    settings.stateFlags = 0;
    // A path that does not fit is written nowhere: the run goes on with the defaults.
    if (!GetSettingsPath(settings.path))
        return settings;
    if (!FileExists(settings.path)) {
        WriteNumber(settings.path, kVersionKey, kSettingsVersion);
        WriteNumber(settings.path, kStateKey, settings.stateFlags);
    } else {
        settings.stateFlags = static_cast<int>(GetPrivateProfileIntA(kSection, kStateKey, 0, settings.path));
    }
    return settings;
}

bool SaveSettings(const Settings &settings)
{
    // An empty path would make the profile functions write into the Windows folder.
    return settings.path[0] != '\0' && WriteNumber(settings.path, kStateKey, settings.stateFlags);
}
