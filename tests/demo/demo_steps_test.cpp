// The demo's steps against the real Lumivex.exe, run from a program folder laid out as it ships:
// each step must do what its name says, and a step whose effect did not come must say so, or
// the demo's pictures would show something else than the script claims.
#include "demo_steps.h"

#include "app_fixture.h"
#include "host_client.h"
#include "test_windows.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace lumivex::appe2e;
using namespace lumivex::demo;
using lumivex::browserhost::HostProcess;
using lumivex::browserhost::Is;
using lumivex::browserhost::LogLine;
namespace test = lumivex::test;

namespace {

constexpr long long kOpticalZoom = 63;

std::wstring Profile(const wchar_t* section, const wchar_t* key, const std::wstring& file) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(section, key, L"", value, 256, file.c_str());
    return value;
}

using DemoSteps = AppTest;

TEST_F(DemoSteps, DialogAboutPageTrayMenuAndExit) {
    ASSERT_TRUE(m_app.Start(m_folder));
    HWND dialog = WaitForMainDialog(10000, true);
    ASSERT_EQ(dialog, m_app.dialog());

    ASSERT_TRUE(ShowAboutPage(dialog));
    EXPECT_EQ(m_app.SelectedTab(), kAboutPage);

    const POINT at = {600, 400};
    HWND menu = OpenTrayMenu(dialog, at, 5000);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(test::ProcessOf(menu), m_app.pid());
    RECT rect = {};
    ASSERT_TRUE(GetWindowRect(menu, &rect));
    EXPECT_LE(std::abs(rect.right - at.x), 2) << "opened at the pointer the step placed";
    EXPECT_TRUE(CloseMenu(dialog, 5000));
    EXPECT_TRUE(test::VisibleTopLevelWindows(m_app.pid(), L"#32768").empty());
    EXPECT_TRUE(CloseMenu(dialog, 100)) << "no menu open is nothing to close";

    ASSERT_TRUE(PressExit(dialog));
    EXPECT_EQ(m_app.WaitForExit(), 0u) << "the E&xit button ends the program cleanly";
}

TEST_F(DemoSteps, LanguageChosenBeforeTheStartIsTheOneShown) {
    std::wstring file;
    ASSERT_TRUE(WriteLanguage(1031, file));
    EXPECT_EQ(file, DataDir() + L"\\Config.ini");
    EXPECT_EQ(GetPrivateProfileIntW(L"Main", L"Language", 0, file.c_str()), 1031u);

    ASSERT_TRUE(m_app.Start(m_folder));
    const std::wstring german = Profile(L"Text", L"15", m_folder / L"Language\\German.lng");
    ASSERT_NE(german, L"");
    ASSERT_FALSE(m_app.TabTitles().empty());
    EXPECT_EQ(m_app.TabTitles().front(), german);
}

// The 64-bit host: under Wine 8 the 32-bit one is not reached while the server's hook is set.
TEST_F(DemoSteps, HostLetThroughAndZoomedThreeStepsByKeys) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"", Tree64Dir() + L"\\browser_host.exe")) << host.error();
    ASSERT_EQ(WaitForHostFrame(5000), host.frame());

    // Without Lumivex nothing takes the page, and the steps say so.
    long long zoom = 0;
    EXPECT_FALSE(FocusPage(host.frame(), 1500));
    EXPECT_FALSE(ZoomIn(host.frame(), 1, 1000, zoom));
    EXPECT_EQ(zoom, 100);

    ASSERT_TRUE(m_app.Start(m_folder, L"/m"));
    std::wstring file;
    ASSERT_TRUE(SuppressPrompt(L"browser_host.exe", 5000, file));
    EXPECT_EQ(file, DataDir() + L"\\browsers.ini");
    EXPECT_EQ(Profile(L"Browsers", L"browser_host.exe", file), L"0");
    EXPECT_EQ(Profile(L"Processes", L"iexplore.exe", file), L"0") << "the first run's defaults";

    const size_t mark = host.Mark();
    ASSERT_TRUE(FocusPage(host.frame(), 15000)) << host.Transcript();
    ASSERT_TRUE(ZoomIn(host.frame(), 3, 5000, zoom)) << host.Transcript();
    EXPECT_EQ(zoom, 160);
    EXPECT_EQ(PageZoom(host.frame()), 160);
    std::vector<long long> levels;
    for (const LogLine& line : host.Lines("EXECWB", 0, mark)) {
        if (line.Number("cmd") == kOpticalZoom) {
            levels.push_back(line.Number("in_value").value_or(-1));
        }
    }
    EXPECT_EQ(levels, (std::vector<long long>{120, 140, 160})) << host.Transcript();
    EXPECT_TRUE(QuitHost(host.frame()));
    EXPECT_EQ(host.WaitForExit(10000), 0u);
}

} // namespace
