// The main dialog and its tray icon: hiding never ends the program, the tray brings the dialog
// back and carries the menu, the tray box adds and removes the icon and is saved, and "E&xit"
// ends everything the program started.
#include "app_fixture.h"

#include "test_names.h"
#include "test_windows.h"

#include <gtest/gtest.h>

using namespace lumivex::appe2e;
namespace test = lumivex::test;

namespace {

using AppDialog = AppTest;

// The program has ended and taken its hooks, server and icon with it, its options saved.
void ExpectEndedCleanly(LumivexRun& app, int trayFlag) {
    EXPECT_NE(app.WaitForExit(), STILL_ACTIVE) << "the program did not end";
    EXPECT_FALSE(app.TrayIcon()) << "the icon stayed";
    EXPECT_TRUE(WaitNoServer()) << "the server was not told to exit";
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, test::kMainInstanceName);
    EXPECT_EQ(mutex, nullptr) << "the single-instance mutex is still there";
    if (mutex) {
        CloseHandle(mutex);
    }
    EXPECT_EQ(test::ReadFileBytes(OptionFilePath()).size(), kDefaultOptionFileSize);
    EXPECT_EQ(SavedTrayFlag(), trayFlag);
}

TEST_F(AppDialog, HidingKeepsItRunningAndTheTrayIconBringsItBack) {
    ASSERT_TRUE(m_app.Start(m_folder));
    ASSERT_TRUE(m_app.WaitVisible(true));
    HWND dialog = m_app.dialog();
    SetForegroundWindow(dialog);
    ASSERT_TRUE(test::WaitUntil([&] { return GetForegroundWindow() == dialog; }, 3000));

    // Escape and Enter on its own controls do nothing; Alt+F4, the close box's command, hides.
    ASSERT_TRUE(test::PressKey(VK_ESCAPE) && test::PressKey(VK_RETURN));
    EXPECT_TRUE(m_app.StaysVisible(true)) << "Escape or Enter hid the dialog";
    ASSERT_TRUE(test::PressKey(VK_F4, true));
    EXPECT_TRUE(m_app.WaitVisible(false)) << "Alt+F4 did not hide the dialog";
    EXPECT_EQ(m_app.WaitForExit(500), STILL_ACTIVE);

    // Only the program's own icon counts.
    ASSERT_TRUE(m_app.TrayEvent(WM_LBUTTONDOWN, kTrayIconId + 1));
    EXPECT_TRUE(m_app.StaysVisible(false));
    ASSERT_TRUE(m_app.TrayEvent(WM_LBUTTONDOWN));
    EXPECT_TRUE(m_app.WaitVisible(true));
    EXPECT_TRUE(test::WaitUntil([&] { return GetForegroundWindow() == dialog; }, 3000));

    ASSERT_TRUE(m_app.Click(kHideButton));
    EXPECT_TRUE(m_app.WaitVisible(false)) << "\"&Hide\" did not hide the dialog";
    EXPECT_EQ(m_app.WaitForExit(500), STILL_ACTIVE);
    ASSERT_TRUE(m_app.TrayEvent(WM_LBUTTONDBLCLK));
    EXPECT_TRUE(m_app.WaitVisible(true));

    DWORD_PTR answer = 0;
    ASSERT_TRUE(
        SendMessageTimeoutW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_TRUE(m_app.WaitVisible(false)) << "the close box did not hide the dialog";
    EXPECT_EQ(m_app.WaitForExit(500), STILL_ACTIVE) << "the close box ended the program";
}

TEST_F(AppDialog, TrayMenuOpensAtTheCursorAndItsItemsWork) {
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    ASSERT_TRUE(m_app.WaitTrayIcon(true));
    ASSERT_TRUE(m_app.WaitVisible(false));

    // Right-aligned to the cursor; Escape closes it and nothing else happens.
    const POINT at = {700, 400};
    HWND menu = m_app.OpenTrayMenu(at);
    ASSERT_NE(menu, nullptr) << "no menu on a right click";
    RECT rect;
    ASSERT_TRUE(GetWindowRect(menu, &rect));
    EXPECT_EQ(rect.right, at.x);
    EXPECT_EQ(rect.top, at.y);
    ASSERT_TRUE(test::PressKey(VK_ESCAPE));
    EXPECT_TRUE(test::WaitUntil(
        [&] { return test::VisibleTopLevelWindows(m_app.pid(), L"#32768").empty(); }, 3000));
    EXPECT_TRUE(m_app.StaysVisible(false));

    ASSERT_TRUE(m_app.TrayEvent(WM_RBUTTONUP, kTrayIconId + 1));
    EXPECT_FALSE(test::WaitUntil(
        [&] { return !test::VisibleTopLevelWindows(m_app.pid(), L"#32768").empty(); }, 700))
        << "a menu for another icon";

    ASSERT_TRUE(m_app.ChooseTrayItem(kMenuOpen));
    EXPECT_TRUE(m_app.WaitVisible(true)) << "\"&Open Lumivex\"";
    EXPECT_EQ(m_app.SelectedTab(), 0);
    ASSERT_TRUE(m_app.Click(kHideButton));
    ASSERT_TRUE(m_app.WaitVisible(false));

    ASSERT_TRUE(m_app.ChooseTrayItem(kMenuAbout));
    EXPECT_TRUE(m_app.WaitVisible(true)) << "\"&About Lumivex...\"";
    EXPECT_EQ(m_app.SelectedTab(), kAboutPage);
    EXPECT_TRUE(IsWindowVisible(GetParent(m_app.PageControl(kHomePageLink))));
    EXPECT_FALSE(IsWindowVisible(GetParent(m_app.PageControl(kAutostartBox))));
    ASSERT_TRUE(m_app.Click(kHideButton));
    ASSERT_TRUE(m_app.WaitVisible(false));

    // "E&xit" while hidden ends the program without showing the dialog on the way.
    DeleteFileW(OptionFilePath().c_str());
    test::VisibilityWatch watch(m_app.dialog());
    ASSERT_TRUE(m_app.ChooseTrayItem(kMenuExit));
    EXPECT_NE(m_app.WaitForExit(), STILL_ACTIVE);
    EXPECT_FALSE(watch.SeenVisible()) << "the dialog showed while the program ended";
    ExpectEndedCleanly(m_app, 1);
}

TEST_F(AppDialog, ExitButtonEndsHooksServerAndIcon) {
    ASSERT_TRUE(m_app.Start(m_folder));
    ASSERT_TRUE(m_app.WaitTrayIcon(true));
    ASSERT_TRUE(test::WaitUntil([] { return FindResidentServer() != nullptr; }, 10000));
    DeleteFileW(OptionFilePath().c_str());
    ASSERT_TRUE(m_app.Click(kExitButton));
    // The click is handled when BM_CLICK returns, while the program still ends: Wine takes the
    // icons of destroyed windows away by itself, so only now can a forgotten icon be seen.
    EXPECT_FALSE(m_app.TrayIcon()) << "the icon stayed after \"E&xit\"";
    ExpectEndedCleanly(m_app, 1);
}

TEST_F(AppDialog, TrayBoxTakesTheIconAwayAndBackAtOnceAndIsSaved) {
    ASSERT_TRUE(m_app.Start(m_folder));
    ASSERT_TRUE(m_app.WaitTrayIcon(true));
    for (int flag : {0, 1, 0}) {
        SCOPED_TRACE(flag ? "set" : "cleared");
        ASSERT_TRUE(m_app.Click(kShowTrayBox));
        EXPECT_EQ(m_app.Checked(kShowTrayBox), flag == 1);
        // The click is handled when BM_CLICK returns: icon and file have changed by then.
        EXPECT_EQ(m_app.TrayIcon(), flag == 1);
        EXPECT_EQ(test::ReadFileBytes(OptionFilePath()).size(), kDefaultOptionFileSize);
        EXPECT_EQ(SavedTrayFlag(), flag);
    }
    ASSERT_TRUE(m_app.Click(kExitButton));
    ExpectEndedCleanly(m_app, 0);

    // Hidden and without an icon there is nothing to see; a second start shows the dialog.
    ASSERT_TRUE(m_app.Start(m_folder, L"-m"));
    EXPECT_TRUE(m_app.WaitVisible(false));
    EXPECT_FALSE(m_app.Checked(kShowTrayBox));
    EXPECT_FALSE(m_app.TrayIcon());
    EXPECT_NE(test::RunProgram(m_folder.program(), L"", 10000), STILL_ACTIVE);
    EXPECT_TRUE(m_app.WaitVisible(true));
    EXPECT_FALSE(m_app.TrayIcon());
}

} // namespace
