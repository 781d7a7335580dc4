// Checks the private Wine world itself: a desktop with windows, a per-user folder, temp folders.
#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

using namespace lumivex::test;

TEST(Harness, WindowsCanBeCreatedAndShown) {
    HWND window = CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                  200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(window));
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(desktop.right - desktop.left, 1280) << "the virtual desktop is not in use";
    DestroyWindow(window);
}

TEST(Harness, TempDirIsCreatedAndRemoved) {
    std::wstring path;
    {
        TempDir dir;
        path = dir.path();
        ASSERT_TRUE(DirExists(path));
        WriteFileBytes(dir / L"a.txt", "abc");
        EXPECT_EQ(ReadFileBytes(dir / L"a.txt"), "abc");
    }
    EXPECT_FALSE(DirExists(path));
}

TEST(Harness, PerUserFolderResetRemovesLumivexData) {
    const std::wstring folder = AppDataDir() + L"\\Lumivex";
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteFileBytes(folder + L"\\browsers.ini", "x");
    ResetPerUserState();
    EXPECT_FALSE(DirExists(folder));
}
