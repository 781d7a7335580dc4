// The window-free rules of the update check: the version it compares, where and when it looks,
// and which address a notice may open.
#include "update/update_rules.h"

#include <gtest/gtest.h>

namespace lumivex {
namespace {

TEST(UpdateRules, CurrentVersionTakesTheFirstThreeFieldsOnly) {
    EXPECT_EQ(CurrentVersionFrom({L"1", L"2", L"0", L"0"}), L"V1.2.0");
    EXPECT_EQ(CurrentVersionFrom({L"10", L"0", L"7"}), L"V10.0.7");
    EXPECT_EQ(CurrentVersionFrom({L"1", L"2"}), L"") << "two fields cannot be compared";
}

TEST(UpdateRules, EnvironmentOverridesOnlyWhenSetAndValid) {
    EXPECT_EQ(UpdateUrlFrom(L"http://127.0.0.1:8080/u.ini", L"http://build/"),
              L"http://127.0.0.1:8080/u.ini");
    EXPECT_EQ(UpdateUrlFrom(L"", L"http://build/"), L"http://build/");
    EXPECT_EQ(UpdateUrlFrom(nullptr, L"http://build/"), L"http://build/");

    EXPECT_EQ(UpdateDelayFrom(L"1", 60000), 1000u);
    EXPECT_EQ(UpdateDelayFrom(L"0", 60000), 0u);
    EXPECT_EQ(UpdateDelayFrom(L"86400", 60000), 86400000u);
    for (const wchar_t* bad : {L"", L"-1", L"1.5", L" 1", L"1s", L"86401", L"99999999999999"}) {
        EXPECT_EQ(UpdateDelayFrom(bad, 60000), 60000u) << bad;
    }
    EXPECT_EQ(UpdateDelayFrom(nullptr, 60000), 60000u);
}

TEST(UpdateRules, NoticeOpensOnlyAWebAddressFromTheDescription) {
    const std::wstring home = L"http://www.lumivex.example/";
    for (const wchar_t* web : {L"http://a.example/new", L"HTTPS://a.example/x?y=1"}) {
        EXPECT_EQ(NoticeAddress(web, home), web);
    }
    for (const wchar_t* hostile :
         {L"", L"file:///C:/Windows/notepad.exe", L"C:\\evil.exe", L"\\\\server\\share\\x.exe",
          L"javascript:alert(1)", L"http://", L"httpx://a", L" http://a.example/",
          L"http://a.example/\" --flag", L"http://a.example/ x", L"http://a\texample/",
          L"mailto:a@b.example", L"ftp://a.example/"}) {
        EXPECT_EQ(NoticeAddress(hostile, home), home) << hostile;
    }
}

} // namespace
} // namespace lumivex
