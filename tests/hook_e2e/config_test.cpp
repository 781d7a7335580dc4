// The per-program exclusion in browsers.ini, with the host copied under another program's name:
// counted at the next focus change, never for windows already taken; and start-up only where a
// browser window got the focus.
#include "hook_fixture.h"

#include "test_files.h"

using namespace lumivex::e2e;
namespace test = lumivex::test;

namespace {

class ProgramConfig : public HookTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(HookTest::SetUp());
        m_helpViewer = m_dir / L"hh.exe";
        ASSERT_TRUE(CopyFileW((test::ProgramDir() + L"\\browser_host.exe").c_str(),
                              m_helpViewer.c_str(), FALSE));
        InstallHook();
    }

    // Whether browser `index` of `host` zooms now: it has the focus and Ctrl + zooms in.
    static bool Zooms(HostProcess& host, int index) {
        const Gesture press = PressKey(host, index, VK_ADD);
        EXPECT_TRUE(press.delivered) << host.Transcript();
        return !press.Levels().empty();
    }

    test::TempDir m_dir;
    std::wstring m_helpViewer;
};

TEST_F(ProgramConfig, ListedProgramIsNeverSubclassed) {
    ASSERT_TRUE(WriteConfig(L"Processes", L"hh.exe", L"0"));
    HostProcess viewer;
    ASSERT_TRUE(viewer.Start(L"--browsers=2", m_helpViewer)) << viewer.error();
    for (int index : {0, 1, 0}) {
        ASSERT_TRUE(FocusAndSettle(viewer, index)) << viewer.Transcript();
        EXPECT_FALSE(AnswersProbe(viewer.browser(index)));
        EXPECT_EQ(Ask(viewer, L"wndproc " + std::to_wstring(index)), 1);
        EXPECT_FALSE(Zooms(viewer, index)) << viewer.Transcript();
    }
    EXPECT_TRUE(viewer.Lines("GETOBJECT").empty()) << viewer.Transcript();

    // The same file lets a program it does not list through.
    HostProcess other;
    ASSERT_TRUE(other.Start(L"")) << other.error();
    ASSERT_TRUE(FocusAndSettle(other, 0)) << other.Transcript();
    EXPECT_TRUE(Zooms(other, 0)) << other.Transcript();
}

TEST_F(ProgramConfig, OwnStartingLevelIsAppliedAtAttachAndStepsAndResetKeepToIt) {
    ASSERT_TRUE(WriteConfig(L"Zoom", L"hh.exe", L"150"));
    HostProcess viewer;
    ASSERT_TRUE(viewer.Start(L"--range=10,500", m_helpViewer)) << viewer.error();
    ASSERT_TRUE(FocusAndSettle(viewer, 0)) << viewer.Transcript();
    EXPECT_EQ(ZoomLevels(viewer, 0), std::vector<int>{150}) << viewer.Transcript();
    EXPECT_EQ(PressKey(viewer, 0, VK_ADD).Levels(), std::vector<int>{170});
    EXPECT_EQ(PressKey(viewer, 0, '0').Levels(), std::vector<int>{150}) << "reset to its own";
    EXPECT_EQ(PressKey(viewer, 0, VK_SUBTRACT).Levels(), std::vector<int>{130});
    EXPECT_EQ(Ask(viewer, L"zoom 0"), 130) << viewer.Transcript();

    // Beyond the browser's range it starts at the range's end.
    ASSERT_TRUE(WriteConfig(L"Zoom", L"hh.exe", L"900"));
    HostProcess narrow;
    ASSERT_TRUE(narrow.Start(L"--range=10,190", m_helpViewer)) << narrow.error();
    ASSERT_TRUE(FocusAndSettle(narrow, 0)) << narrow.Transcript();
    EXPECT_EQ(ZoomLevels(narrow, 0), std::vector<int>{190}) << narrow.Transcript();

    // A program without a level of its own starts as before: no zoom call at all.
    HostProcess other;
    ASSERT_TRUE(other.Start(L"")) << other.error();
    ASSERT_TRUE(FocusAndSettle(other, 0)) << other.Transcript();
    EXPECT_TRUE(other.Lines("EXECWB", 0).empty()) << other.Transcript();
    EXPECT_EQ(PressKey(other, 0, '0').Levels(), std::vector<int>{100});
}

TEST_F(ProgramConfig, EmptyValueDoesNotExclude) {
    ASSERT_TRUE(WriteConfig(L"Processes", L"hh.exe", L""));
    ASSERT_NE(test::ReadFileBytes(ConfigFilePath()).size(), 0u);
    HostProcess viewer;
    ASSERT_TRUE(viewer.Start(L"", m_helpViewer)) << viewer.error();
    ASSERT_TRUE(FocusAndSettle(viewer, 0)) << viewer.Transcript();
    EXPECT_TRUE(AnswersProbe(viewer.browser(0)));
    EXPECT_TRUE(Zooms(viewer, 0)) << viewer.Transcript();
}

TEST_F(ProgramConfig, StartUpWaitsForAFocusChangeIntoABrowserWindow) {
    // A started program copies this one's token: earlier start-ups in this process enabled the
    // privilege here, so it is switched off first.
    ASSERT_TRUE(DisableOwnDebugPrivilege());
    HostProcess plain;
    ASSERT_TRUE(plain.Start(L"--browsers=2 --class=Plain_Pane")) << plain.error();
    ASSERT_TRUE(FocusAndSettle(plain, 0)) << plain.Transcript();
    ASSERT_TRUE(FocusAndSettle(plain, 1)) << plain.Transcript();
    EXPECT_EQ(DebugPrivilegeEnabled(plain.pid()), std::optional<bool>(false))
        << "a program without a browser window took the start-up step";

    // The same reading shows the step where a browser window got the focus.
    HostProcess browser;
    ASSERT_TRUE(browser.Start(L"--browsers=1")) << browser.error();
    ASSERT_TRUE(FocusAndSettle(browser, 0)) << browser.Transcript();
    EXPECT_TRUE(AnswersProbe(browser.browser(0)));
    EXPECT_EQ(DebugPrivilegeEnabled(browser.pid()), std::optional<bool>(true));
    EXPECT_EQ(plain.Quit(), 0u) << plain.Transcript();
    EXPECT_EQ(browser.Quit(), 0u) << browser.Transcript();
}

TEST_F(ProgramConfig, EditWhileRunningCountsAtTheNextFocusChangeOnly) {
    HostProcess viewer;
    ASSERT_TRUE(viewer.Start(L"--browsers=3", m_helpViewer)) << viewer.error();
    ASSERT_TRUE(FocusAndSettle(viewer, 0)) << viewer.Transcript();
    ASSERT_TRUE(Zooms(viewer, 0)) << viewer.Transcript(); // 120

    ASSERT_TRUE(WriteConfig(L"Processes", L"hh.exe", L"0"));
    ASSERT_TRUE(FocusAndSettle(viewer, 1)) << viewer.Transcript();
    EXPECT_FALSE(AnswersProbe(viewer.browser(1))) << "the edit counts at once";
    EXPECT_FALSE(Zooms(viewer, 1)) << viewer.Transcript();

    // The window taken before the edit keeps its zoom and its level.
    ASSERT_TRUE(FocusAndSettle(viewer, 0)) << viewer.Transcript();
    EXPECT_EQ(PressKey(viewer, 0, VK_ADD).Levels(), std::vector<int>{140}) << viewer.Transcript();

    ASSERT_TRUE(RemoveConfig(L"Processes", L"hh.exe"));
    ASSERT_TRUE(FocusAndSettle(viewer, 2)) << viewer.Transcript();
    EXPECT_TRUE(Zooms(viewer, 2)) << viewer.Transcript();
    ASSERT_TRUE(FocusAndSettle(viewer, 1)) << viewer.Transcript();
    EXPECT_TRUE(AnswersProbe(viewer.browser(1))) << "refused once, taken at a later focus change";
    EXPECT_TRUE(Zooms(viewer, 1)) << viewer.Transcript();
    EXPECT_EQ(viewer.Quit(), 0u) << viewer.Transcript();
}

} // namespace
