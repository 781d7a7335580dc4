// The pages and the texts: the autostart box and the value it writes, the About page with its
// bold version label and the links it opens, and the texts a language file gives.
#include "app_fixture.h"

#include "test_names.h"
#include "test_registry.h"
#include "test_windows.h"

#include <gtest/gtest.h>

using namespace lumivex::appe2e;
namespace test = lumivex::test;
using test::Narrow;

namespace {

using AppPages = AppTest;

std::optional<test::RegistryValue> AutostartValue() {
    return test::ReadRegistryValue(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue);
}

// The autostart value names `expected`, as REG_SZ with the terminator counted.
void ExpectAutostart(const std::wstring& expected) {
    const std::optional<test::RegistryValue> value = AutostartValue();
    ASSERT_TRUE(value) << "no autostart value";
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->bytes.size(), (expected.size() + 1) * sizeof(wchar_t));
    // The folder's spelling is the platform's; its case does not matter.
    EXPECT_EQ(CompareStringOrdinal(value->Text().c_str(), -1, expected.c_str(), -1, TRUE),
              CSTR_EQUAL)
        << Narrow(value->Text()) << " instead of " << Narrow(expected);
}

std::wstring ProfileText(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t text[512] = {};
    GetPrivateProfileStringW(section, key, L"", text, 512, file.c_str());
    return text;
}

TEST_F(AppPages, AutostartBoxWritesAndDeletesTheRunValue) {
    // An empty value does not count as set.
    ASSERT_TRUE(
        test::WriteRegistryText(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue, L""));
    ASSERT_TRUE(m_app.Start(m_folder));
    EXPECT_FALSE(m_app.Checked(kAutostartBox));
    const std::wstring expected = m_folder / L"Lumivex.exe /m";
    for (int click = 1; click <= 3; ++click) {
        SCOPED_TRACE("click " + std::to_string(click));
        ASSERT_TRUE(m_app.Click(kAutostartBox));
        EXPECT_EQ(m_app.Checked(kAutostartBox), click != 2);
        if (click == 2) {
            EXPECT_FALSE(AutostartValue()) << "clearing the box keeps the value";
        } else {
            ExpectAutostart(expected);
        }
    }
}

TEST_F(AppPages, AutostartQuotesAFolderWithABlankAndAlwaysNamesLumivexExe) {
    AppFolder folder(L"Lumi Vex", L"Zoomer.exe");
    LumivexRun app;
    ASSERT_TRUE(app.Start(folder));
    ASSERT_TRUE(app.Click(kAutostartBox));
    ExpectAutostart(L"\"" + folder.path() + L"\\Lumivex.exe\" /m");
    app.End();

    // A value that another copy wrote counts as set at the next start.
    ASSERT_TRUE(test::WriteRegistryText(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue,
                                        L"C:\\elsewhere\\Lumivex.exe /m"));
    ASSERT_TRUE(app.Start(folder));
    EXPECT_TRUE(app.Checked(kAutostartBox));
}

TEST_F(AppPages, AboutPageShowsABoldVersionAndItsLinksOpenTheirAddresses) {
    UrlRecorder recorder;
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    ASSERT_TRUE(m_app.ChooseTrayItem(kMenuAbout));
    ASSERT_TRUE(m_app.WaitVisible(true));
    HWND home = m_app.PageControl(kHomePageLink);
    HWND support = m_app.PageControl(kSupportLink);
    ASSERT_TRUE(home && support);
    ASSERT_TRUE(test::WaitUntil([&] { return IsWindowVisible(home) != FALSE; }, 3000));
    SetForegroundWindow(m_app.dialog());

    // The same text, bold on the dialog and plain on the page: the bold one has more ink.
    HWND bold = GetDlgItem(m_app.dialog(), kVersionLabel);
    HWND plain = test::FindDescendant(GetParent(home), kVersionLabel);
    ASSERT_EQ(test::WindowText(bold), test::WindowText(plain));
    int boldInk = 0;
    int plainInk = 0;
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            boldInk = test::InkPixels(bold);
            plainInk = test::InkPixels(plain);
            return plainInk > 0 && boldInk * 100 > plainInk * 130;
        },
        3000, 100))
        << "ink of the dialog's label " << boldInk << ", of the page's " << plainInk;

    const std::wstring homeAddress = test::WindowText(home);
    const std::wstring supportAddress = test::WindowText(support);
    ASSERT_EQ(homeAddress.rfind(L"http", 0), 0u) << Narrow(homeAddress);
    ASSERT_EQ(supportAddress.rfind(L"mailto:", 0), 0u) << Narrow(supportAddress);
    ASSERT_TRUE(test::ClickMiddle(home));
    ASSERT_TRUE(recorder.WaitForOpened(1)) << "the home page link opened nothing";
    ASSERT_TRUE(test::ClickMiddle(support));
    ASSERT_TRUE(recorder.WaitForOpened(2)) << "the support link opened nothing";
    EXPECT_EQ(recorder.Opened(), (std::vector<std::wstring>{homeAddress, supportAddress}));
}

TEST_F(AppPages, LanguageChosenInConfigIniReplacesTheTexts) {
    const std::wstring german = m_folder / L"Language\\German.lng";
    ASSERT_EQ(GetPrivateProfileIntW(L"Language", L"Language", 0, german.c_str()), 1031u);
    const std::wstring hide = ProfileText(german, L"317", L"1");
    const std::wstring exit = ProfileText(german, L"317", L"1254");
    const std::wstring zoomTitle = ProfileText(german, L"Text", L"15");
    const std::wstring aboutTitle = ProfileText(german, L"Text", L"17");
    const std::wstring programsTitle = ProfileText(german, L"Text", L"30");
    ASSERT_FALSE(hide.empty() || exit.empty() || zoomTitle.empty() || aboutTitle.empty() ||
                 programsTitle.empty());
    ASSERT_NE(hide, L"&Hide");
    ASSERT_NE(zoomTitle, L"Full Page Zoom");

    ASSERT_TRUE(CreateDirectoryW(DataDir().c_str(), nullptr));
    ASSERT_TRUE(WritePrivateProfileStringW(
        L"Main", L"Language", L"1031", (DataDir() + L"\\" + test::kLanguageConfigName).c_str()));
    ASSERT_TRUE(m_app.Start(m_folder));
    EXPECT_EQ(m_app.Text(kHideButton), hide);
    EXPECT_EQ(m_app.Text(kExitButton), exit);
    EXPECT_EQ(m_app.TabTitles(), (std::vector<std::wstring>{zoomTitle, programsTitle, aboutTitle}));
    // What the file does not give stays as built in.
    EXPECT_EQ(m_app.Text(kVersionLabel), kVersionText);
}

} // namespace
