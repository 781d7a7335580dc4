// What the user gets from the program: browser hosts zoom while it runs, and hosts started after
// its "E&xit" are left alone, with no server left behind.
#include "app_fixture.h"
#include "host_zoom.h"

#include "test_windows.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace lumivex::appe2e;
using namespace lumivex::browserhost;
namespace test = lumivex::test;

namespace {

class AppZoom : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // The hook library's first-use prompt stays quiet for the host.
        CreateDirectoryW(DataDir().c_str(), nullptr);
        ASSERT_TRUE(WritePrivateProfileStringW(L"Browsers", L"browser_host.exe", L"0",
                                               (DataDir() + L"\\browsers.ini").c_str()));
    }

    void ExitByTrayMenu(LumivexRun& app) {
        ASSERT_TRUE(app.ChooseTrayItem(kMenuExit));
        ASSERT_NE(app.WaitForExit(), STILL_ACTIVE);
        EXPECT_TRUE(WaitNoServer()) << "a LumivexServer.exe is still running";
    }

    const std::wstring m_host32 = DefaultHostProgram();
    const std::wstring m_host64 = Tree64Dir() + L"\\browser_host.exe";
};

// Wine 8 offers a process every global hook, whatever its library's bitness, and a library that
// cannot be loaded there ends the hook chain: only the hook installed last is seen by programs
// of its bitness, and the other bitness gets none. With the server's hook on top, 32-bit hosts
// see no hook at all. So the program's own 32-bit hook is seen from a folder without the server
// (which the program must take in its stride), the server's with the folder as it ships.
TEST_F(AppZoom, OwnHookZoomsA32BitHostAndLeavesItAloneAfterExit) {
    ASSERT_TRUE(DeleteFileW((m_folder / kServerProgram).c_str()));
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    EXPECT_EQ(ServerProcesses(), 0);
    ExpectZooms(m_host32);
    ExitByTrayMenu(m_app);
    ExpectLeftAlone(m_host32);
}

TEST_F(AppZoom, ServerZoomsA64BitHostAndNoHostIsTakenAfterExit) {
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    ExpectZooms(m_host64);
    ExitByTrayMenu(m_app);
    for (const std::wstring& host : {m_host32, m_host64}) {
        SCOPED_TRACE(test::Narrow(host));
        ExpectLeftAlone(host);
    }
}

// The zoom level on screen: after a step, a label over the stepped browser window with the new
// level, which takes neither the focus nor clicks and goes after about a second; off by the
// options page's box, and off for a program listed in browsers.ini.
TEST_F(AppZoom, LabelShowsTheNewLevelOverTheBrowserWithoutFocusOrClicksAndGoes) {
    ASSERT_TRUE(m_app.Start(m_folder));
    const HWND label = FindWindowW(kZoomLabelClass, nullptr);
    ASSERT_NE(label, nullptr) << "the program made no label window";
    EXPECT_FALSE(IsWindowVisible(label));
    const LONG_PTR exStyle = GetWindowLongPtrW(label, GWL_EXSTYLE);
    for (LONG_PTR flag : std::initializer_list<LONG_PTR>{WS_EX_LAYERED, WS_EX_TRANSPARENT,
                                                         WS_EX_NOACTIVATE, WS_EX_TOPMOST}) {
        EXPECT_EQ(exStyle & flag, flag) << std::hex << flag;
    }
    EXPECT_TRUE(m_app.Checked(kZoomLabelBox)) << "on by default";

    HostProcess host;
    ASSERT_TRUE(host.Start(L"", m_host64)) << host.error();
    ASSERT_TRUE(FocusUntilTaken(host)) << host.Transcript();
    const HWND browser = host.browser(0);
    const HWND frame = GetAncestor(browser, GA_ROOT);
    ASSERT_TRUE(PressCtrlPlus(host)) << host.Transcript();
    ASSERT_TRUE(test::WaitUntil([&] { return IsWindowVisible(label) != FALSE; }, 5000, 20))
        << "no label after a step";
    wchar_t text[32] = {};
    GetWindowTextW(label, text, 32);
    EXPECT_STREQ(text, L"120 %");
    RECT over = {};
    RECT under = {};
    ASSERT_TRUE(GetWindowRect(label, &over) && GetWindowRect(browser, &under));
    EXPECT_GE(over.top, under.top);
    EXPECT_LT(over.bottom, under.bottom);
    EXPECT_NEAR((over.left + over.right) / 2, (under.left + under.right) / 2, 2)
        << "centred across the browser window";
    EXPECT_EQ(GetForegroundWindow(), frame) << "the label took the focus";
    const POINT middle{(over.left + over.right) / 2, (over.top + over.bottom) / 2};
    EXPECT_NE(WindowFromPoint(middle), label) << "a click there would hit the label";
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindowVisible(label); }, 5000, 20))
        << "the label stayed";

    // Off by the box: saved for the next run, and a step shows nothing.
    ASSERT_TRUE(m_app.Click(kZoomLabelBox));
    EXPECT_EQ(
        GetPrivateProfileIntW(L"Main", L"ZoomLabel", -1, (DataDir() + L"\\Config.ini").c_str()), 0);
    ASSERT_EQ(host.Send(L"focus 0").value_or(0), 1);
    ASSERT_TRUE(PressCtrlPlus(host)) << host.Transcript();
    EXPECT_FALSE(test::WaitUntil([&] { return IsWindowVisible(label) != FALSE; }, 1500, 20));
    ASSERT_TRUE(m_app.Click(kZoomLabelBox));
    EXPECT_EQ(host.Quit(), 0u);

    // Off for a program in browsers.ini, from its next window on.
    ASSERT_TRUE(WritePrivateProfileStringW(L"Label", L"browser_host.exe", L"0",
                                           (DataDir() + L"\\browsers.ini").c_str()));
    HostProcess quiet;
    ASSERT_TRUE(quiet.Start(L"", m_host64)) << quiet.error();
    ASSERT_TRUE(FocusUntilTaken(quiet)) << quiet.Transcript();
    ASSERT_TRUE(PressCtrlPlus(quiet)) << quiet.Transcript();
    EXPECT_EQ(quiet.Lines("EXECWB", 0).empty(), false) << "the step itself still zooms";
    EXPECT_FALSE(test::WaitUntil([&] { return IsWindowVisible(label) != FALSE; }, 1500, 20));
    EXPECT_EQ(quiet.Quit(), 0u);
}

} // namespace
