// The settings file beside a loaded VORPAN.DLL: first run, stored flags, hand edits and folders whose
// names hold a trail byte 0x5C.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "support/test_support.h"

namespace {

// A copy of VORPAN.DLL loaded from a folder of the test's choosing, so that the settings go there.
class LoadedCopy {
public:
    explicit LoadedCopy(const std::string &folder)
    {
        std::string dll = folder + "\\VORPAN.DLL";
        CopyFileA((ProgramFolder() + "VORPAN.DLL").c_str(), dll.c_str(), FALSE);
        module = LoadLibraryA(dll.c_str());
    }
    ~LoadedCopy()
    {
        if (module != nullptr)
            FreeLibrary(module);
    }
    HMODULE module;
};

TEST(SettingsFile, FirstRunWritesVersionThenStateBesideTheDll)
{
    ScratchFolder scratch({"ソフト\\表示\\"});
    ASSERT_TRUE(scratch.ok()) << scratch.error;
    std::string folder = scratch.Path("ソフト\\表示");
    LoadedCopy copy(folder);
    ASSERT_NE(copy.module, nullptr);

    Settings settings = LoadSettings();
    std::string ini = folder + "\\VORPAN.INI";
    EXPECT_STREQ(settings.path, ini.c_str());
    EXPECT_EQ(settings.stateFlags, 0);
    std::string content;
    ASSERT_TRUE(ReadFileText(ini, &content));
    EXPECT_EQ(content.substr(0, content.find_last_not_of("\r\n") + 1),
              "[Behavior]\r\nVersion=200\r\nState=0");
}

TEST(SettingsFile, StoredFlagsAreReadAndOtherBitsSurviveASave)
{
    ScratchFolder scratch({"十能\\"});
    std::string folder = scratch.Path("十能");
    LoadedCopy copy(folder);
    std::string ini = folder + "\\VORPAN.INI";
    const struct {
        const char *stored;
        int loaded;
        const char *saved;
    } cases[] = {
        {"3", 3, "3"}, {"7", 7, "7"}, {"-5", -5, "-5"}, {"000012", 12, "12"},
        {"2147483647", 2147483647, "2147483647"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        WritePrivateProfileStringA("Behavior", "State", c.stored, ini.c_str());
        Settings settings = LoadSettings();
        EXPECT_EQ(settings.stateFlags, c.loaded);
        SaveSettings(settings);
        EXPECT_EQ(ReadSetting(folder, "State"), c.saved);
    }
}

TEST(SettingsFile, ADeletedFileIsRecreatedWithDefaults)
{
    ScratchFolder scratch({"p\\"});
    std::string folder = scratch.Path("p");
    LoadedCopy copy(folder);
    std::string ini = folder + "\\VORPAN.INI";
    WritePrivateProfileStringA("Behavior", "State", "3", ini.c_str());
    EXPECT_EQ(LoadSettings().stateFlags, 3);
    ASSERT_TRUE(DeleteFileA(ini.c_str()));
    EXPECT_EQ(LoadSettings().stateFlags, 0);
    EXPECT_EQ(ReadSetting(folder, "Version"), "200");
    EXPECT_EQ(ReadSetting(folder, "State"), "0");
}

TEST(SettingsFile, APathThatDoesNotFitIsWrittenNowhere)
{
    // A DLL whose full name passes 259 bytes comes back cut from GetModuleFileNameA; no settings file
    // may be written under a cut name. The ANSI functions cannot make such a folder: the wide ones
    // with the "\\?\\" prefix can.
    ScratchFolder scratch;
    std::wstring folder = L"\\\\?\\";
    for (char c : scratch.path)
        folder += static_cast<wchar_t>(c);  // the scratch folder's own name is ASCII
    const std::wstring segment(60, L'd');
    std::vector<std::wstring> made;
    while (folder.size() < 300) {
        folder += L"\\" + segment;
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
        made.push_back(folder);
    }
    std::wstring dll = folder + L"\\VORPAN.DLL";
    std::wstring source;
    for (char c : ProgramFolder() + "VORPAN.DLL")
        source += static_cast<wchar_t>(static_cast<unsigned char>(c));
    ASSERT_TRUE(CopyFileW(source.c_str(), dll.c_str(), FALSE)) << GetLastError();
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
