// The programs page's window-free rules: which programs it lists and how, the platform's key
// lists, and how a typed starting level is taken and written.
#include "app/program_rules.h"

#include <gtest/gtest.h>

using namespace lumivex::app;

namespace {

ProgramRow Row(const wchar_t* name, bool zoomed, int level) {
    return ProgramRow{name, zoomed, level};
}

} // namespace

TEST(ProgramRows, MetAndConfiguredProgramsOnceEachSortedAndReadAsTheLibraryReadsThem) {
    const std::vector<ProgramRow> rows =
        ProgramRowsFrom({L"hh.exe", L"Reader.EXE", L"hh.exe", L""},
                        {{L"iexplore.exe", L"0"}, {L"HH.exe", L""}, {L"mail.exe", L"yes"}},
                        {{L"reader.exe", L"140"},
                         {L"mail.exe", L"0"},
                         {L"big.exe", L"5000"},
                         {L"tiny.exe", L"3"},
                         {L"odd.exe", L"abc"}},
                        {L"prompted.exe"});
    const std::vector<ProgramRow> expected = {
        Row(L"big.exe", true, 1000), // beyond every range: shown as the highest level
        Row(L"hh.exe", true, 100),   // an empty value zooms
        Row(L"iexplore.exe", false, 100),
        Row(L"mail.exe", false, 100), // any non-empty value excludes; 0 is no level
        Row(L"odd.exe", true, 100),
        Row(L"prompted.exe", true, 100),
        Row(L"reader.exe", true, 140), // met under another spelling: one row
        Row(L"tiny.exe", true, 10),
    };
    EXPECT_EQ(rows, expected);
}

TEST(ProgramRows, TheFirstOfTwoLinesForOneProgramCounts) {
    const std::vector<ProgramRow> rows = ProgramRowsFrom(
        {}, {{L"hh.exe", L"0"}, {L"HH.EXE", L""}}, {{L"hh.exe", L"150"}, {L"hh.exe", L"200"}}, {});
    EXPECT_EQ(rows, (std::vector<ProgramRow>{Row(L"hh.exe", false, 150)}));
}

TEST(ProgramRows, KeyListsEndAtTheDoubleZeroAndDropANameCutShort) {
    using namespace std::string_view_literals;
    EXPECT_EQ(KeysFromList(L"a.exe\0b.exe\0\0"sv), (std::vector<std::wstring>{L"a.exe", L"b.exe"}));
    EXPECT_EQ(KeysFromList(L"\0"sv), std::vector<std::wstring>{});
    EXPECT_EQ(KeysFromList(L""sv), std::vector<std::wstring>{});
    EXPECT_EQ(KeysFromList(L"a.exe\0b.e"sv), std::vector<std::wstring>{L"a.exe"});
    EXPECT_EQ(KeysFromList(L"a.exe\0\0junk\0"sv), std::vector<std::wstring>{L"a.exe"});
}

TEST(StartLevel, TypedLevelsAreBroughtIntoRangeAndOnlyNumbersCount) {
    EXPECT_EQ(StartLevelFromTyped(L"150"), 150);
    EXPECT_EQ(StartLevelFromTyped(L" 150 % "), 150);
    EXPECT_EQ(StartLevelFromTyped(L"150%"), 150);
    EXPECT_EQ(StartLevelFromTyped(L""), 100) << "nothing typed is the platform's level";
    EXPECT_EQ(StartLevelFromTyped(L"  "), 100);
    EXPECT_EQ(StartLevelFromTyped(L"0"), 10);
    EXPECT_EQ(StartLevelFromTyped(L"5"), 10);
    EXPECT_EQ(StartLevelFromTyped(L"1001"), 1000);
    EXPECT_EQ(StartLevelFromTyped(L"99999999999999999999"), 1000) << "no overflow";
    EXPECT_EQ(StartLevelFromTyped(L"-20"), std::nullopt);
    EXPECT_EQ(StartLevelFromTyped(L"1 50"), std::nullopt);
    EXPECT_EQ(StartLevelFromTyped(L"%"), std::nullopt);
    EXPECT_EQ(StartLevelFromTyped(L"12a"), std::nullopt);
}

TEST(StartLevel, OneHundredIsWrittenAsNoLineAndTheNameIsTheLibrarys) {
    EXPECT_EQ(ZoomValueFor(100), L"");
    EXPECT_EQ(ZoomValueFor(150), L"150");
    EXPECT_EQ(ZoomValueFor(10), L"10");
    EXPECT_EQ(ProgramNameOf(L"C:\\Program Files\\Help\\HH.EXE"), L"hh.exe");
    EXPECT_EQ(ProgramNameOf(L"\\\\?\\D:\\Tools\\Ä-Reader.Exe"), L"Ä-reader.exe")
        << "only A to Z are lower-cased, as the library does";
    EXPECT_EQ(ProgramNameOf(L"viewer.exe"), L"viewer.exe");
}
