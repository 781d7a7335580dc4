// Start-up as the user and a second start meet it: what a plain start shows, which switches
// start hidden or end a running instance, and how a second start hands over to the first.
#include "app_fixture.h"

#include "test_names.h"
#include "test_registry.h"
#include "test_windows.h"

#include <gtest/gtest.h>

using namespace lumivex::appe2e;
namespace test = lumivex::test;
using test::Narrow;

namespace {

class AppStartup : public AppTest {
protected:
    // Starts the program from the test's folder as a second start would, and waits for its end:
    // it must end by itself and never show a window of its own.
    testing::AssertionResult EndsWithoutWindow(const std::wstring& args) {
        test::ChildProcess second;
        if (!second.Start(m_folder.program(), args)) {
            return testing::AssertionFailure() << "cannot start with " << Narrow(args);
        }
        bool shown = false;
        const bool ended = test::WaitUntil(
            [&] {
                shown = shown || !test::VisibleTopLevelWindows(second.pid(), nullptr).empty();
                return second.Wait(0) != STILL_ACTIVE;
            },
            10000, 5);
        if (!ended) {
            return testing::AssertionFailure() << "\"" << Narrow(args) << "\" still runs";
        }
        if (shown) {
            return testing::AssertionFailure() << "\"" << Narrow(args) << "\" showed a window";
        }
        return testing::AssertionSuccess();
    }

    // The running instance has quit: process gone, server gone, options saved.
    void ExpectQuit() {
        EXPECT_NE(m_app.WaitForExit(), STILL_ACTIVE) << "the running instance did not quit";
        EXPECT_FALSE(m_app.TrayIcon());
        EXPECT_TRUE(WaitNoServer()) << "its server did not end with it";
        EXPECT_EQ(SavedTrayFlag(), 1) << "its options were not saved";
    }
};

TEST_F(AppStartup, PlainStartShowsTheDialogItsPagesTrayIconAndServer) {
    ASSERT_NE(PRIMARYLANGID(GetUserDefaultLangID()), LANG_GERMAN) << "English texts are checked";
    ASSERT_TRUE(m_app.Start(m_folder));
    EXPECT_TRUE(m_app.WaitVisible(true));
    EXPECT_TRUE(m_app.WaitTrayIcon(true));
    // 64-bit programs are reached through the resident server.
    EXPECT_TRUE(test::WaitUntil([] { return FindResidentServer() != nullptr; }, 10000))
        << "no resident server";

    EXPECT_EQ(test::WindowText(m_app.dialog()), L"Lumivex");
    EXPECT_EQ(m_app.Text(kVersionLabel), kVersionText);
    EXPECT_EQ(m_app.Text(kDescription).rfind(L"Adds full page zoom functionality", 0), 0u);
    EXPECT_EQ(m_app.Text(kShowTrayBox), L"Show tray icon");
    EXPECT_TRUE(m_app.Checked(kShowTrayBox));
    EXPECT_EQ(m_app.Text(kHideButton), L"&Hide");
    EXPECT_EQ(m_app.Text(kExitButton), L"E&xit");

    EXPECT_EQ(m_app.TabTitles(),
              (std::vector<std::wstring>{L"Full Page Zoom", L"Programs", L"About"}));
    EXPECT_EQ(m_app.SelectedTab(), 0);
    HWND options = GetParent(m_app.PageControl(kAutostartBox));
    HWND about = GetParent(m_app.PageControl(kHomePageLink));
    ASSERT_TRUE(options && about && options != about);
    EXPECT_TRUE(IsWindowVisible(options));
    EXPECT_FALSE(IsWindowVisible(about));

    EXPECT_EQ(m_app.Text(kAutostartBox), L"Run Lumivex during &Windows logon");
    EXPECT_FALSE(m_app.Checked(kAutostartBox));
    EXPECT_EQ(m_app.Text(kHelpText),
              L"Full page zoom would be added to the browser-based application automatically "
              L"when you click on the page in them. \n\nYou can press [CTRL +] or [CTRL Mousewheel "
              L"up] to zoom in. Press [CTRL -] or [CTRL Mousewheel down] to zoom out. Reset zoom "
              L"to 100% with Ctrl-0.");

    EXPECT_EQ(test::WindowText(test::FindDescendant(about, kVersionLabel)), kVersionText);
    EXPECT_FALSE(test::WindowText(test::FindDescendant(about, kLegalNotice)).empty());
    EXPECT_EQ(m_app.Text(kHomePageLink).rfind(L"http", 0), 0u) << Narrow(m_app.Text(kHomePageLink));
    EXPECT_EQ(m_app.Text(kSupportLink).rfind(L"mailto:", 0), 0u)
        << Narrow(m_app.Text(kSupportLink));
}

TEST_F(AppStartup, FirstLetterOfTheFirstSwitchDecides) {
    const struct {
        const wchar_t* start;
        const wchar_t* quit;
    } runs[] = {{L"-m", L"/u"}, {L"/M", L"/uninstall"}, {L"/minimized", L"-U"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(Narrow(run.start) + " then " + Narrow(run.quit));
        ASSERT_TRUE(m_app.Start(m_folder, run.start));
        EXPECT_TRUE(m_app.WaitTrayIcon(true));
        EXPECT_TRUE(m_app.WaitVisible(false));
        EXPECT_TRUE(m_app.StaysVisible(false)) << "starts in the tray";
        DeleteFileW(OptionFilePath().c_str());
        EXPECT_TRUE(EndsWithoutWindow(run.quit));
        ExpectQuit();
    }

    // Only the first switch counts; "/clean" also takes the autostart value away.
    ASSERT_TRUE(
        test::WriteRegistryText(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue, L"x"));
    ASSERT_TRUE(m_app.Start(m_folder, L"/x /m"));
    EXPECT_TRUE(m_app.WaitVisible(true));
    DeleteFileW(OptionFilePath().c_str());
    EXPECT_TRUE(EndsWithoutWindow(L"/clean"));
    ExpectQuit();
    EXPECT_FALSE(test::ReadRegistryValue(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue));
}

TEST_F(AppStartup, UninstallAndCleanWithoutARunningInstanceJustEnd) {
    EXPECT_TRUE(EndsWithoutWindow(L"/u"));
    ASSERT_TRUE(test::WriteRegistryText(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue,
                                        L"C:\\elsewhere\\Lumivex.exe /m"));
    EXPECT_TRUE(EndsWithoutWindow(L"-CLEAN"));
    EXPECT_FALSE(test::ReadRegistryValue(HKEY_CURRENT_USER, test::kRunKey, test::kAutostartValue));
    EXPECT_EQ(FindMainDialog(), nullptr);
    EXPECT_TRUE(WaitNoServer());
}

TEST_F(AppStartup, SecondStartBringsTheFirstForward) {
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    ASSERT_TRUE(m_app.WaitVisible(false));
    EXPECT_TRUE(EndsWithoutWindow(L""));
    EXPECT_TRUE(m_app.WaitVisible(true)) << "the hidden first instance was not shown";
    EXPECT_FALSE(IsIconic(m_app.dialog()));
    EXPECT_TRUE(test::WaitUntil([&] { return GetForegroundWindow() == m_app.dialog(); }, 3000));

    // A minimised first instance is restored.
    ASSERT_TRUE(ShowWindowAsync(m_app.dialog(), SW_MINIMIZE));
    ASSERT_TRUE(test::WaitUntil([&] { return IsIconic(m_app.dialog()) != FALSE; }, 3000));
    EXPECT_TRUE(EndsWithoutWindow(L""));
    EXPECT_TRUE(test::WaitUntil([&] { return !IsIconic(m_app.dialog()); }, 3000));
    EXPECT_TRUE(m_app.Visible());
    EXPECT_TRUE(m_app.Running());
}

} // namespace
