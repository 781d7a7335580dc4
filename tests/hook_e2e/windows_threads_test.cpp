// Several browser windows in one program, on one interface thread or on two: each window keeps
// its own level, and two threads use the library at the same time.
#include "hook_fixture.h"
#include "host_options.h"

#include <thread>

using namespace lumivex::e2e;

namespace {

constexpr int kSecond = lumivex::browserhost::kSecondThreadBrowserIndex;

TEST_F(HookTest, TwoBrowserWindowsKeepSeparateLevels) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2")) << host.error();

    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{120}) << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{140}) << host.Transcript();

    ASSERT_TRUE(FocusAndSettle(host, 1)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 1, VK_SUBTRACT).Levels(), std::vector<int>{80})
        << "the second window starts at 100\n"
        << host.Transcript();

    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{160}) << host.Transcript();
    EXPECT_EQ(Ask(host, L"zoom 0"), 160);
    EXPECT_EQ(Ask(host, L"zoom 1"), 80);

    // The second focus change onto window 0 did not take it again.
    EXPECT_EQ(host.Lines("GETOBJECT", 0).size(), 1u) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 0"), 1) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 1"), 1) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

TEST_F(HookTest, ZoomSetByOtherMeansIsNotSeen) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"")) << host.error();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{120});
    // The host's self-test zooms the page to 150 through its own road to the browser.
    ASSERT_EQ(Ask(host, L"selftest 0"), 1) << host.Transcript();
    ASSERT_EQ(Ask(host, L"zoom 0"), 150);
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{140}) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 0"), 1) << host.Transcript();
}

TEST_F(HookTest, TwoInterfaceThreadsEachZoomTheirOwnBrowser) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--second-thread")) << host.error();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    ASSERT_TRUE(FocusAndSettle(host, kSecond)) << host.Transcript();
    ASSERT_TRUE(AnswersProbe(host.browser(0)));
    ASSERT_TRUE(AnswersProbe(host.browser(kSecond)));

    EXPECT_EQ(PressKey(host, kSecond, VK_OEM_PLUS).Levels(), std::vector<int>{120})
        << host.Transcript();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_OEM_MINUS).Levels(), std::vector<int>{80}) << host.Transcript();

    // Both threads handle zoom messages at the same moment: each window's steps stay its own.
    constexpr int kSteps = 20;
    const std::size_t mark = host.Mark();
    auto turn = [](HWND window, int distance) {
        for (int i = 0; i < kSteps; ++i) {
            SendMessageTimeoutW(window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, distance),
                                MAKELPARAM(10, 10), SMTO_ABORTIFHUNG, 10000, nullptr);
        }
    };
    std::thread first(turn, host.browser(0), WHEEL_DELTA);
    std::thread second(turn, host.browser(kSecond), -WHEEL_DELTA);
    first.join();
    second.join();

    std::vector<int> up;
    std::vector<int> down;
    for (int i = 1; i <= kSteps; ++i) {
        up.push_back(80 + 20 * i);
        down.push_back(i < 6 ? 120 - 20 * i : 10);
    }
    EXPECT_EQ(ZoomLevels(host, 0, mark), up) << host.Transcript();
    EXPECT_EQ(ZoomLevels(host, kSecond, mark), down) << host.Transcript();
    EXPECT_EQ(Ask(host, L"zoom 0"), 480);
    EXPECT_EQ(host.SendFor(kSecond, L"zoom").value_or(kNoReply), 10);
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

} // namespace
