// The library leaving a live host, windows dying under it, hosts ending while windows are taken,
// and a browser that is slow to give its document.
#include "hook_fixture.h"
#include "host_options.h"

using namespace lumivex::e2e;
using lumivex::browserhost::Is;

namespace {

std::function<bool(const LogLine&)> Kind(const char* kind, int index = -1) {
    return [kind, index](const LogLine& line) { return Is(line, kind, index); };
}

constexpr int kSecond = lumivex::browserhost::kSecondThreadBrowserIndex;

// "initialize N" in a host that loaded the library itself, and a wait for the attach.
bool InitializeAndAttach(HostProcess& host, int index) {
    const std::size_t mark = host.Mark();
    if (host.SendFor(index, L"initialize").value_or(kNoReply) != 1) {
        return false;
    }
    return host
        .WaitForLine(
            [index](const LogLine& line) {
                return Is(line, "PRIVATE", index) && line.Number("msg") == kAttachMessage;
            },
            10000, mark)
        .has_value();
}

TEST_F(HookTest, FreeLibraryInTheHostGivesTheWindowsTheirProceduresBack) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--second-thread \"--load=" + HookLibraryPath() + L"\""))
        << host.error();
    ASSERT_TRUE(host.WaitForLine(Kind("LOADED"), 10000)) << host.Transcript();
    for (int index : {0, kSecond}) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(InitializeAndAttach(host, index)) << host.Transcript();
        EXPECT_EQ(host.SendFor(index, L"wndproc").value_or(kNoReply), 0);
        EXPECT_TRUE(AnswersProbe(host.browser(index)));
        EXPECT_EQ(host.SendFor(index, L"refs").value_or(kNoReply), 1) << host.Transcript();
    }
    ASSERT_EQ(Ask(host, L"focus 0"), 1);
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{120}) << host.Transcript();

    // Freed on the main thread: the second thread's window is given back as well.
    ASSERT_EQ(Ask(host, L"freelib"), 1) << host.Transcript();
    std::optional<LogLine> freed = host.WaitForLine(Kind("FREELIB"), 10000);
    ASSERT_TRUE(freed.has_value()) << host.Transcript();
    EXPECT_EQ(freed->Number("still_mapped"), 0) << host.Transcript();
    for (int index : {0, kSecond}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(host.SendFor(index, L"wndproc").value_or(kNoReply), 1)
            << "the window has its own procedure back";
        EXPECT_FALSE(AnswersProbe(host.browser(index)));
        EXPECT_EQ(host.SendFor(index, L"refs").value_or(kNoReply), 0)
            << "the browser reference went with the library";
    }
    const Gesture press = PressKey(host, 0, VK_ADD);
    ASSERT_TRUE(press.delivered) << host.Transcript();
    EXPECT_TRUE(press.execwb.empty()) << host.Transcript();

    // Loaded again, the library starts afresh.
    ASSERT_EQ(Ask(host, L"load " + HookLibraryPath()), 1) << host.Transcript();
    ASSERT_TRUE(InitializeAndAttach(host, 0)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{120}) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    EXPECT_TRUE(host.Lines("ERROR").empty()) << host.Transcript();
}

// A loop in the host's own window procedure (a context menu, a message box) entered through the
// library's subclass: the host frees the library inside it, and leaving the loop must not return
// into the library's unmapped code.
TEST_F(HookTest, HostFreesTheLibraryInsideItsOwnModalLoop) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"\"--load=" + HookLibraryPath() + L"\"")) << host.error();
    ASSERT_TRUE(host.WaitForLine(Kind("LOADED"), 10000)) << host.Transcript();
    ASSERT_TRUE(InitializeAndAttach(host, 0)) << host.Transcript();
    const std::size_t mark = host.Mark();
    ASSERT_EQ(Ask(host, L"modal 0"), 1);
    ASSERT_TRUE(host.WaitForLine(
        [](const LogLine& l) { return Is(l, "MODAL", 0) && l.Text("state") == "enter"; }, 10000,
        mark))
        << host.Transcript();

    ASSERT_EQ(Ask(host, L"freelib"), 1) << host.Transcript();
    EXPECT_EQ(Ask(host, L"mapped"), 0) << "nothing of the library is on the stack: it goes at once";
    EXPECT_EQ(host.SendFor(0, L"wndproc").value_or(kNoReply), 1) << host.Transcript();

    ASSERT_EQ(Ask(host, L"endmodal"), 1);
    EXPECT_TRUE(host.WaitForLine(
        [](const LogLine& l) { return Is(l, "MODAL", 0) && l.Text("state") == "leave"; }, 10000,
        mark))
        << host.Transcript();
    EXPECT_EQ(Ask(host, L"ping"), 1) << "the host died leaving its loop" << host.Transcript();
    ASSERT_EQ(Ask(host, L"focus 0"), 1);
    const Gesture press = PressKey(host, 0, VK_ADD);
    EXPECT_TRUE(press.delivered) << host.Transcript();
    EXPECT_TRUE(press.execwb.empty()) << "zoom after the library left" << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

// The host's own exception leaves its window procedure through the library's subclass and is
// caught around the sending call, as without the library: the subclass unwinds like any frame.
TEST_F(HookTest, HostExceptionPassesThroughTheSubclass) {
    if (sizeof(void*) == 4) {
        GTEST_SKIP() << "on i686 this runtime's exceptions cannot cross the system's own "
                        "window-procedure frames at all, with or without the library";
    }
    HostProcess host;
    ASSERT_TRUE(host.Start(L"\"--load=" + HookLibraryPath() + L"\"")) << host.error();
    ASSERT_EQ(Ask(host, L"throw 0"), 1) << "caught without the library" << host.Transcript();
    ASSERT_TRUE(InitializeAndAttach(host, 0)) << host.Transcript();
    EXPECT_EQ(host.SendFor(0, L"wndproc").value_or(kNoReply), 0);
    EXPECT_EQ(Ask(host, L"throw 0"), 1) << host.Transcript();
    EXPECT_EQ(Ask(host, L"ping"), 1) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

TEST_F(HookTest, DestroyedWindowIsReleasedAndTheRestKeepWorking) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2")) << host.error();
    ASSERT_TRUE(FocusAndSettle(host, 1)) << host.Transcript();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    ASSERT_EQ(Ask(host, L"refs 1"), 1);

    ASSERT_EQ(Ask(host, L"destroy 1"), 1) << host.Transcript();
    EXPECT_TRUE(host.WaitForLine(Kind("DESTROYED", 1), 10000)) << host.Transcript();
    EXPECT_EQ(Ask(host, L"ping"), 1);
    EXPECT_EQ(Ask(host, L"refs 1"), 0) << "the library let go of the dead window's browser";
    EXPECT_TRUE(host.WaitForLine(
        [](const LogLine& line) {
            return Is(line, "FREED", 1) && line.Text("object") == "browser";
        },
        10000))
        << host.Transcript();
    EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{120}) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    EXPECT_TRUE(host.Lines("ERROR").empty()) << host.Transcript();
}

TEST_F(HookTest, HostEndsWhileItsWindowsAreTaken) {
    InstallHook();
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"--browsers=2 --second-thread")) << host.error();
        for (int index : {lumivex::browserhost::kSecondThreadBrowserIndex, 0, 1}) {
            ASSERT_TRUE(FocusAndSettle(host, index)) << host.Transcript();
        }
        EXPECT_EQ(PressKey(host, 1, VK_ADD).Levels(), std::vector<int>{120});
        EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
        std::optional<LogLine> exit = host.WaitForLine(Kind("EXIT"), 1000);
        ASSERT_TRUE(exit.has_value()) << host.Transcript();
        EXPECT_EQ(exit->Number("client_refs"), 0) << host.Transcript();
    }
    // Ending by itself, with the library loaded by the program as well.
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--exit-after=5000 \"--load=" + HookLibraryPath() + L"\""))
        << host.error();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_EQ(host.WaitForExit(20000), 0u) << host.Transcript();
    EXPECT_TRUE(host.WaitForLine(Kind("EXIT"), 1000)) << host.Transcript();
}

// The browser holds its thread for 2 seconds before it gives its document: more than the
// library's one second, so the window gets no zoom, and the library adds no wait of its own.
TEST_F(HookTest, SlowDocumentGivesNoZoomAndNoFurtherStall) {
    constexpr unsigned long long kSlowMs = 2000;
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2 --slow-document=2000,0")) << host.error();
    const std::size_t mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus 0"), 1);
    ASSERT_TRUE(host.WaitForLine(Kind("GETOBJECT_WAIT", 0), 10000, mark)) << host.Transcript();
    const unsigned long long asked = NowMs();
    EXPECT_EQ(Ask(host, L"ping"), 1);
    const unsigned long long stalled = NowMs() - asked;
    RecordProperty("stalled_ms", static_cast<int>(stalled));
    EXPECT_LE(stalled, kSlowMs + 800) << "the host was held longer than its browser held it";
    ASSERT_TRUE(host.WaitForLine(
        [](const LogLine& line) {
            return Is(line, "PRIVATE", 0) && line.Number("msg") == kAttachMessage;
        },
        10000, mark))
        << host.Transcript();

    EXPECT_TRUE(AnswersProbe(host.browser(0))) << "the window stays taken";
    EXPECT_EQ(Ask(host, L"refs 0"), 0) << "a late answer leaves no reference behind";
    const Gesture press = PressKey(host, 0, VK_ADD);
    ASSERT_TRUE(press.delivered) << host.Transcript();
    EXPECT_TRUE(press.execwb.empty()) << host.Transcript();

    // Later focus changes do not ask again, so they are not held by the browser's delay.
    for (int round = 0; round < 2; ++round) {
        const unsigned long long start = NowMs();
        ASSERT_EQ(Ask(host, L"focus 0"), 1);
        EXPECT_EQ(Ask(host, L"ping"), 1);
        EXPECT_LT(NowMs() - start, kSlowMs);
    }
    EXPECT_EQ(host.Lines("GETOBJECT_WAIT", 0).size(), 1u) << host.Transcript();

    // The other browser of the same program answers at once and zooms.
    ASSERT_TRUE(FocusAndSettle(host, 1)) << host.Transcript();
    EXPECT_EQ(PressKey(host, 1, VK_ADD).Levels(), std::vector<int>{120}) << host.Transcript();
}

} // namespace
