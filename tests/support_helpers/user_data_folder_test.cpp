// The per-user data folder: where it lies, when it is made, and the caller's fallback.
#include "support/user_data_folder.h"

#include "test_files.h"

#include <gtest/gtest.h>

using lumivex::UserDataFolder;
using namespace lumivex::test;

namespace {

TEST(UserDataFolder, IsLumivexInTheApplicationDataMadeWhenMissingAndThenKept) {
    TempDir dir;
    UseTestAppData(dir.path());
    EXPECT_EQ(UserDataFolder(L"C:\\fallback\\", &TestAppData), dir / L"Lumivex");
    ASSERT_TRUE(DirExists(dir / L"Lumivex"));
    WriteFileBytes(dir / L"Lumivex\\browsers.ini", "kept");
    EXPECT_EQ(UserDataFolder(L"C:\\fallback\\", &TestAppData), dir / L"Lumivex");
    EXPECT_EQ(ReadFileBytes(dir / L"Lumivex\\browsers.ini"), "kept");

    // One level only: a missing application-data folder stays missing.
    UseTestAppData(dir / L"missing");
    EXPECT_EQ(UserDataFolder(L"C:\\fallback\\", &TestAppData), dir / L"missing\\Lumivex");
    EXPECT_FALSE(DirExists(dir / L"missing"));
}

TEST(UserDataFolder, WithoutApplicationDataTheCallersFallbackStands) {
    TempDir dir;
    EXPECT_EQ(UserDataFolder(dir.path() + L"\\", &NoAppData), dir.path() + L"\\");
    EXPECT_EQ(UserDataFolder(L"", &NoAppData), L"");
    EXPECT_TRUE(ListFiles(dir.path()).empty());

    // An empty answer counts as none, rather than a folder at the root of the current drive.
    const bool rootFolderBefore = DirExists(L"\\Lumivex");
    UseTestAppData(L"");
    EXPECT_EQ(UserDataFolder(L"fallback", &TestAppData), L"fallback");
    if (!rootFolderBefore) {
        EXPECT_FALSE(DirExists(L"\\Lumivex"));
    }
}

TEST(UserDataFolder, ByDefaultTheShellGivesTheApplicationDataFolder) {
    ResetPerUserState();
    ASSERT_FALSE(DirExists(AppDataDir() + L"\\Lumivex"));
    EXPECT_EQ(UserDataFolder(L"unused"), AppDataDir() + L"\\Lumivex");
    EXPECT_TRUE(DirExists(AppDataDir() + L"\\Lumivex"));
    ResetPerUserState();
}

} // namespace
