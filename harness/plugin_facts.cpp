// The plug-in's settings file as the settings dialog would leave it; see plugin_facts.h.
#include "harness/plugin_facts.h"

#include "harness/folders.h"

namespace {

std::string SettingsFile(const std::string &pluginFolder)
{
    return pluginFolder + "\\" + kSettingsFileName;
}

}  // namespace

void WriteState(const std::string &pluginFolder, const std::string &state)
{
    std::string ini = SettingsFile(pluginFolder);
    WritePrivateProfileStringA("Behavior", "Version", "200", ini.c_str());
    WritePrivateProfileStringA("Behavior", "State", state.c_str(), ini.c_str());
}

void WriteState(const std::string &pluginFolder, int state)
{
    WriteState(pluginFolder, std::to_string(state));
}

void WriteState(const PluginFolder &plugins, int state)
{
    WriteState(plugins.path, state);
}

std::string ReadSetting(const std::string &pluginFolder, const char *key)
{
    char value[64] = {};
    GetPrivateProfileStringA("Behavior", key, "", value, sizeof value, SettingsFile(pluginFolder).c_str());
    return value;
}

std::string ReadState(const PluginFolder &plugins)
{
    return ReadSetting(plugins.path, "State");
}
