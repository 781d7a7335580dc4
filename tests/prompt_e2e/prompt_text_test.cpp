// How the program's name goes into the prompt's texts, including texts a language file could
// bring.
#include "hooklib/prompt_text.h"

#include <gtest/gtest.h>

using lumivex::hook::FormatPromptText;

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
