#include "support/file_assist.h"

#include <gtest/gtest.h>

#include <string>

using lumivex::CFFileAssist;
using lumivex::JoinWithin;
using lumivex::SPLIT_DIR;
using lumivex::SPLIT_DRIVE;
using lumivex::SPLIT_EXT;
using lumivex::SPLIT_NAME;

namespace {

const wchar_t kProgram[] = L"C:\\Program Files\\Lumivex\\Lumivex.exe";

TEST(JoinWithin, TakesWhatFitsWithItsTerminatorAndRefusesOneMore) {
    // 5 + 4 characters and the terminator fill 10 exactly.
    EXPECT_EQ(JoinWithin(L"C:\\a\\", L"b.xy", 10), std::optional<std::wstring>(L"C:\\a\\b.xy"));
    EXPECT_EQ(JoinWithin(L"C:\\a\\", L"bc.xy", 10), std::nullopt);
    EXPECT_EQ(JoinWithin(L"C:\\abcdefgh\\", L"x", 10), std::nullopt) << "folder alone too long";
    EXPECT_EQ(JoinWithin(L"", L"", 1), std::optional<std::wstring>(L""));
    EXPECT_EQ(JoinWithin(L"", L"", 0), std::nullopt);
}

TEST(SplitPath, GivesTheChosenPartsInPathOrder) {
    const CFFileAssist files;
    EXPECT_EQ(L"C:\\Program Files\\Lumivex\\", files.SplitPath(kProgram, SPLIT_DRIVE | SPLIT_DIR));
    EXPECT_EQ(L"Lumivex.exe", files.SplitPath(std::wstring(kProgram), SPLIT_NAME | SPLIT_EXT));
    EXPECT_EQ(L"C:.exe", files.SplitPath(kProgram, SPLIT_EXT | SPLIT_DRIVE));
    EXPECT_EQ(L"", files.SplitPath(kProgram, 0));
}

TEST(SplitPath, PathsWithoutTheChosenPartsGiveEmptyResults) {
    const CFFileAssist files;
    EXPECT_EQ(L"", files.SplitPath(L"LumivexDll.dll", SPLIT_DRIVE | SPLIT_DIR));
    EXPECT_EQ(L"LumivexDll", files.SplitPath(L"LumivexDll.dll", SPLIT_DRIVE | SPLIT_NAME));
    EXPECT_EQ(L"", files.SplitPath(L"", SPLIT_DRIVE | SPLIT_DIR | SPLIT_NAME | SPLIT_EXT));
    EXPECT_EQ(L"", files.SplitPath(static_cast<const wchar_t*>(nullptr), SPLIT_NAME));
}

// Parts are limited to 799 characters; a longer one refuses the whole path, whichever parts are
// asked for, instead of overflowing or being cut.
TEST(SplitPath, APartTooLongForItsBufferRefusesThePath) {
    const CFFileAssist files;
    const std::wstring folder799 = L"\\" + std::wstring(797, L'f') + L"\\";
    EXPECT_EQ(L"C:" + folder799,
              files.SplitPath(L"C:" + folder799 + L"x.txt", SPLIT_DRIVE | SPLIT_DIR));

    const std::wstring folder800 = L"\\" + std::wstring(798, L'f') + L"\\";
    EXPECT_EQ(L"", files.SplitPath(L"C:" + folder800 + L"x.txt", SPLIT_DRIVE | SPLIT_NAME));
    EXPECT_EQ(L"", files.SplitPath(L"C:\\dir\\" + std::wstring(800, L'n') + L".txt", SPLIT_EXT));

    // A path longer than one part is fine while every part fits.
    const std::wstring name = std::wstring(500, L'n');
    const std::wstring longPath = L"C:\\" + std::wstring(600, L'f') + L"\\" + name + L".txt";
    EXPECT_EQ(name + L".txt", files.SplitPath(longPath, SPLIT_NAME | SPLIT_EXT));
}

} // namespace
