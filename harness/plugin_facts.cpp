// The plug-in's settings file as the settings dialog would leave it; see plugin_facts.h.
#include "harness/plugin_facts.h"

#include "harness/folders.h"

namespace {

std::string SettingsFile(const std::string &pluginFolder)
{
    return pluginFolder + "\\" + kSettingsFileName;
}

}  // namespace

void WriteState(const std::string &pluginFolder, int state)
{
    std::string ini = SettingsFile(pluginFolder);
    WritePrivateProfileStringA("Behavior", "Version", "200", ini.c_str());
    WritePrivateProfileStringA("Behavior", "State", std::to_string(state).c_str(), ini.c_str());
}

void WriteState(const PluginFolder &plugins, int state)
{
    WriteState(plugins.path, state);
}

std::string ReadState(const PluginFolder &plugins)
{
    char value[64] = {};
    GetPrivateProfileStringA("Behavior", "State", "", value, sizeof value, plugins.IniPath().c_str());
    return value;
}
