// A program that subclasses its browser window after the library did: when the library goes,
// the program's subclass keeps its place and its messages, and putting back the procedure it saved
// (the library's) later does not crash it.
#include "hook_fixture.h"
#include "host_options.h"

using namespace lumivex::e2e;
using lumivex::browserhost::Is;

namespace {

TEST_F(HookTest, LaterSubclassOfTheHostSurvivesTheLibraryLeaving) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"\"--load=" + HookLibraryPath() + L"\"")) << host.error();
    ASSERT_TRUE(host.WaitForLine([](const LogLine& l) { return Is(l, "LOADED"); }, 10000))
        << host.Transcript();
    const std::size_t mark = host.Mark();
    ASSERT_EQ(host.SendFor(0, L"initialize").value_or(kNoReply), 1) << host.Transcript();
    ASSERT_TRUE(host.WaitForLine(
        [](const LogLine& l) { return Is(l, "PRIVATE", 0) && l.Number("msg") == kAttachMessage; },
        10000, mark))
        << host.Transcript();
    ASSERT_EQ(Ask(host, L"subclass 0"), 1);

    ASSERT_EQ(Ask(host, L"freelib"), 1) << host.Transcript();
    std::optional<LogLine> freed =
        host.WaitForLine([](const LogLine& l) { return Is(l, "FREELIB"); }, 10000);
    ASSERT_TRUE(freed.has_value()) << host.Transcript();
    EXPECT_EQ(freed->Number("still_mapped"), 1)
        << "the library must stay while a later subclass may call it";

    // The host's subclass is still in front and passes messages on to the browser's own
    // procedure, through ours.
    EXPECT_EQ(host.SendFor(0, L"wndproc").value_or(kNoReply), 0);
    const std::intptr_t seenBefore = host.SendFor(0, L"seen").value_or(kNoReply);
    ASSERT_EQ(Ask(host, L"focus 0"), 1);
    const Gesture press = PressKey(host, 0, VK_ADD);
    EXPECT_TRUE(press.delivered) << "the browser's own procedure lost the key" << host.Transcript();
    EXPECT_TRUE(press.execwb.empty()) << "zoom after the library left" << host.Transcript();
    EXPECT_GT(host.SendFor(0, L"seen").value_or(kNoReply), seenBefore)
        << "the host's subclass was cut off";

    // The host puts back what it saved (the library's procedure): still no crash, still answered.
    ASSERT_EQ(Ask(host, L"unsubclass 0"), 1);
    EXPECT_TRUE(PressKey(host, 0, VK_ADD).delivered) << host.Transcript();
    EXPECT_FALSE(AnswersProbe(host.browser(0)));
    EXPECT_EQ(Ask(host, L"ping"), 1);
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    EXPECT_TRUE(host.Lines("ERROR").empty()) << host.Transcript();
}

} // namespace
