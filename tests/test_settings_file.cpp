// The settings file beside a loaded VORPAN.DLL: first run, stored flags, hand edits and folders whose
// names hold a trail byte 0x5C.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "support/test_support.h"

namespace {

// A copy of VORPAN.DLL loaded from a new folder of that name, so that the settings go there.
struct LoadedCopy {
    explicit LoadedCopy(const std::string &name) : scratch({name + "\\"}), folder(scratch.Path(name))
    {
        CopyFileA((ProgramFolder() + "VORPAN.DLL").c_str(), (folder + "\\VORPAN.DLL").c_str(), FALSE);
        module = LoadLibraryA((folder + "\\VORPAN.DLL").c_str());
    }
    ~LoadedCopy()
    {
        if (module != nullptr)
            FreeLibrary(module);
    }
    ScratchFolder scratch;
    std::string folder;
    std::string ini = folder + "\\VORPAN.INI";
    HMODULE module;
};

TEST(SettingsFile, FirstRunWritesVersionThenStateBesideTheDll)
{
    LoadedCopy copy("ソフト\\表示");
    ASSERT_TRUE(copy.scratch.ok()) << copy.scratch.error;
    ASSERT_NE(copy.module, nullptr);

    Settings settings = LoadSettings();
    EXPECT_STREQ(settings.path, copy.ini.c_str());
    EXPECT_EQ(settings.stateFlags, 0);
    std::string content;
    ASSERT_TRUE(ReadFileText(copy.ini, &content));
    EXPECT_EQ(content.substr(0, content.find_last_not_of("\r\n") + 1), "[Behavior]\r\nVersion=200\r\nState=0");
}

TEST(SettingsFile, StoredFlagsAreReadAndOtherBitsSurviveASave)
{
    LoadedCopy copy("十能");
    ASSERT_NE(copy.module, nullptr);
    const std::pair<const char *, int> cases[] = {
        {"3", 3}, {"7", 7}, {"-5", -5}, {"000012", 12}, {"2147483647", 2147483647}};
    for (const auto &[stored, loaded] : cases) {
        SCOPED_TRACE(stored);
        WritePrivateProfileStringA("Behavior", "State", stored, copy.ini.c_str());
        Settings settings = LoadSettings();
        EXPECT_EQ(settings.stateFlags, loaded);
        SaveSettings(settings);
        EXPECT_EQ(ReadSetting(copy.folder, "State"), std::to_string(loaded));
    }
}

TEST(SettingsFile, ADeletedFileIsRecreatedWithDefaults)
{
    LoadedCopy copy("p");
    ASSERT_NE(copy.module, nullptr);
    WritePrivateProfileStringA("Behavior", "State", "3", copy.ini.c_str());
    EXPECT_EQ(LoadSettings().stateFlags, 3);
    ASSERT_TRUE(DeleteFileA(copy.ini.c_str()));
    EXPECT_EQ(LoadSettings().stateFlags, 0);
    EXPECT_EQ(ReadSetting(copy.folder, "Version"), "200");
    EXPECT_EQ(ReadSetting(copy.folder, "State"), "0");
}

TEST(SettingsFile, APathThatDoesNotFitIsWrittenNowhere)
{
    // A DLL whose full name passes 259 bytes comes back cut from GetModuleFileNameA; no settings file
    // may be written under a cut name. The ANSI functions cannot make such a folder: the wide ones
    // with the "\\?\\" prefix can.
    ScratchFolder scratch;
    std::wstring folder = L"\\\\?\\" + std::wstring(scratch.path.begin(), scratch.path.end());  // an ASCII name
    std::vector<std::wstring> made;
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
        made.push_back(folder);
    }
    std::wstring dll = folder + L"\\VORPAN.DLL";
    const std::string source = ProgramFolder() + "VORPAN.DLL";  // ASCII, as the build's folder is
    ASSERT_TRUE(CopyFileW(std::wstring(source.begin(), source.end()).c_str(), dll.c_str(), FALSE)) << GetLastError();
    HMODULE module = LoadLibraryW(dll.c_str());
    if (module != nullptr) {
        char path[kPathSize];
        EXPECT_FALSE(GetSettingsPath(path));
        EXPECT_STREQ(path, "");
        Settings settings = LoadSettings();
        EXPECT_EQ(settings.stateFlags, 0) << "the run goes on with the defaults";
        settings.stateFlags = 5;
        SaveSettings(settings);
        EXPECT_EQ(GetFileAttributesW((folder + L"\\VORPAN.INI").c_str()), INVALID_FILE_ATTRIBUTES);
        FreeLibrary(module);
    }
    DeleteFileW(dll.c_str());
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryW(it->c_str());
    if (module == nullptr)
        GTEST_SKIP() << "the platform does not load a DLL from a path this long";
}

}  // namespace
