// The language service's text rules, without files or windows.
#include "support/language_text.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace lumivex {
namespace {

TEST(LangSectionTest, NumbersAndNamesWithinTheLimits) {
    EXPECT_STREQ(LangSection(0).c_str(), L"0");
    EXPECT_STREQ(LangSection(65535).c_str(), L"65535");
    EXPECT_STREQ(LangSection(static_cast<DWORD>(20102)).c_str(), L"20102");
    EXPECT_STREQ(LangSection(MAKEINTRESOURCEW(318)).c_str(), L"318");
    EXPECT_STREQ(LangSection(L"Prompt").c_str(), L"Prompt");

    const std::wstring longest(31, L'N');
    EXPECT_EQ(LangSection(longest.c_str()).c_str(), longest);
}

// A cut name could pick another section's texts, so anything out of range is refused whole.
TEST(LangSectionTest, RefusesWhatDoesNotFit) {
    const std::wstring tooLong = std::wstring(31, L'N') + L"X";
    EXPECT_FALSE(LangSection(tooLong.c_str()).valid());
    EXPECT_STREQ(LangSection(tooLong.c_str()).c_str(), L"");
    EXPECT_FALSE(LangSection(static_cast<const wchar_t*>(nullptr)).valid());
    EXPECT_FALSE(LangSection(L"").valid());
    EXPECT_FALSE(LangSection(65536).valid());
    EXPECT_FALSE(LangSection(-1).valid());
}

TEST(KeepsOwnTextTest, OnlyEditComboBoxAndListBoxInAnyCase) {
    for (const wchar_t* name :
         {L"Edit", L"EDIT", L"combobox", L"ComboBox", L"ListBox", L"LISTBOX"}) {
        EXPECT_TRUE(KeepsOwnText(name)) << test::Narrow(name);
    }
    for (const wchar_t* name :
         {L"Button", L"Static", L"RichEdit20W", L"Edi", L"Edits", L"ComboLBox", L"#32770", L""}) {
        EXPECT_FALSE(KeepsOwnText(name)) << test::Narrow(name);
    }
}

TEST(ProcessLangMessageTest, TildeGraveThenEscapes) {
    // Two words joined by "~", cut at the grave accent with the blanks after it.
    EXPECT_EQ(ProcessLangMessage(L"Zeile eins~Zeile zwei`   "), L"Zeile eins\nZeile zwei");
    EXPECT_EQ(ProcessLangMessage(L"a\\nb\\tc~d"), L"a\nb\tc\nd");
    // Escapes after the grave accent are gone before they are looked at.
    EXPECT_EQ(ProcessLangMessage(L"keep`\\n~drop"), L"keep");
    EXPECT_EQ(ProcessLangMessage(L"`all gone"), L"");
    // Only the exact pairs count; a doubled backslash keeps its first half.
    EXPECT_EQ(ProcessLangMessage(L"\\x \\\\n \\"), L"\\x \\\n \\");
    EXPECT_EQ(ProcessLangMessage(L"\\n\\n\\t\\t"), L"\n\n\t\t");
}

} // namespace
} // namespace lumivex
