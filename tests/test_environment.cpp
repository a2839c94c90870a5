// Fails loudly when the tests run in an environment that would make the rest pass for wrong reasons:
// a code page other than 932, literals not compiled to it, or a Wine that cannot map Japanese names.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(Environment, AnsiCodePageIsJapanese)
{
    EXPECT_EQ(932u, GetACP()) << "run the tests with LC_ALL=ja_JP.UTF-8 (source scripts/wine-env)";
    EXPECT_TRUE(IsDBCSLeadByte(0x83));
    EXPECT_FALSE(IsDBCSLeadByte('\\'));
}

TEST(Environment, LiteralsAreCodePage932)
{
    // ソ carries the trail byte 0x5C that path code must not take for a separator.
    EXPECT_EQ(std::string("ソ"), "\x83\x5C");
}

TEST(Environment, JapaneseFolderNamesReachTheFileSystem)
{
    ScratchFolder scratch;
    ASSERT_TRUE(scratch.ok());
    const std::string folder = scratch.Path("ソフト");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr))
        << "error " << GetLastError() << ": generate the glibc locale ja_JP.UTF-8 (scripts/install-deps)";
    EXPECT_TRUE(FolderExists(folder));

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(scratch.Path("*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    std::string name = found.cFileName;
    while ((name == "." || name == "..") && FindNextFileA(search, &found))
        name = found.cFileName;
    FindClose(search);
    EXPECT_EQ("ソフト", name);
}

TEST(Environment, ScratchFoldersHoldNestedJapanesePaths)
{
    std::string removed;
    {
        ScratchFolder scratch({"ソフト\\表示\\", "ソフト\\表示\\メモ.txt"});
        ASSERT_TRUE(scratch.ok()) << scratch.error;
        EXPECT_TRUE(FolderExists(scratch.Path("ソフト\\表示")));
        EXPECT_TRUE(FileHolds(scratch.Path("ソフト\\表示\\メモ.txt"), "ソフト\\表示\\メモ.txt"));
        removed = scratch.path;
    }
    EXPECT_FALSE(FolderExists(removed));
}
