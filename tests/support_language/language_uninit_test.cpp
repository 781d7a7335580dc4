// The service as the hook library meets it: InitLanguage never ran in this process.
#include "support/language.h"

#include "language_test_util.h"

#include <gtest/gtest.h>

namespace lumivex {
namespace {

TEST(LanguageUninitialisedTest, EveryOperationKeepsTheBuiltInTexts) {
    EXPECT_EQ(LanguageDialogFont(), nullptr);
    EXPECT_EQ(GetLangText(L"20", L"Built~in`"), L"Built~in`");
    EXPECT_EQ(GetLangMessage(L"21", L"Built~in`\\n"), L"Built~in`\\n");
    EXPECT_EQ(GetLangMessage(nullptr, nullptr), L"");

    UniqueWindow dialog = test::CreateTestDialog();
    ASSERT_TRUE(dialog);
    HWND button = GetDlgItem(dialog.get(), IDC_LANG_BUTTON);
    const HFONT templateFont = test::FontOf(button);
    ASSERT_NE(templateFont, nullptr);
    TranslateDialog(dialog.get(), IDD_LANG_TEST);
    EXPECT_EQ(test::WindowText(dialog.get()), L"Built-in caption");
    EXPECT_EQ(test::WindowText(button), L"Built-in button");
    EXPECT_EQ(test::FontOf(button), templateFont);

    UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LANG_TEST)));
    ASSERT_TRUE(menu);
    TranslateMenu(menu.get(), IDM_LANG_TEST);
    EXPECT_EQ(test::MenuText(menu.get(), 0), L"Open");

    // Strings still come from this module's own string table.
    EXPECT_EQ(LoadLangString(IDS_LANG_IN_BOTH), L"From resources");
    EXPECT_EQ(LoadLangString(IDS_LANG_RESOURCE_ONLY), L"Resource\nsecond line");
}

} // namespace
} // namespace lumivex
