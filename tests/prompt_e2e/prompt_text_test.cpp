// How the program's name goes into the prompt's texts, including texts a language file could
// bring.
#include "hooklib/prompt_text.h"

#include <gtest/gtest.h>

using lumivex::hook::EditControlLineBreaks;
using lumivex::hook::FormatPromptText;
using lumivex::hook::kPromptMessageText;

TEST(PromptText, NameReplacesEveryPlaceholderAndDoublePercentIsOne) {
    EXPECT_EQ(FormatPromptText(L"Lumivex - %s", L"hh.exe"), L"Lumivex - hh.exe");
    EXPECT_EQ(FormatPromptText(L"[%s] and [%s]", L"a.exe"), L"[a.exe] and [a.exe]");
    EXPECT_EQ(FormatPromptText(L"100%% with Ctrl-0", L"x"), L"100% with Ctrl-0");
    EXPECT_EQ(FormatPromptText(L"%%s", L"x"), L"%s") << "an escaped per-cent is no placeholder";
    EXPECT_EQ(FormatPromptText(L"%s%s", L""), L"");
    EXPECT_EQ(FormatPromptText(L"", L"x"), L"");
}

TEST(PromptText, OtherPerCentSequencesStandAsWritten) {
    // A translated text must not be able to make the formatting read what was never passed.
    EXPECT_EQ(FormatPromptText(L"%d %n %ls %S", L"x"), L"%d %n %ls %S");
    EXPECT_EQ(FormatPromptText(L"50%", L"x"), L"50%");
    EXPECT_EQ(FormatPromptText(L"%", L"x"), L"%");
    EXPECT_EQ(FormatPromptText(L"a%\nb", L"x"), L"a%\nb");
}

TEST(PromptText, EveryLineBreakReachesTheEditControlAsCrLf) {
    EXPECT_EQ(EditControlLineBreaks(L"a\nb\n"), L"a\r\nb\r\n");
    EXPECT_EQ(EditControlLineBreaks(L"\n\n"), L"\r\n\r\n");
    EXPECT_EQ(EditControlLineBreaks(L"a\r\nb"), L"a\r\nb") << "no second carriage return";
    EXPECT_EQ(EditControlLineBreaks(L"a\rb"), L"a\rb");
    const std::wstring shown = EditControlLineBreaks(FormatPromptText(kPromptMessageText, L"x"));
    EXPECT_NE(shown.find(L"[x]by Lumivex. \r\n Press"), std::wstring::npos);
    EXPECT_EQ(shown.find(L"\n", shown.find(L"\r\n") + 2), std::wstring::npos)
        << "the built-in text breaks once";
}
