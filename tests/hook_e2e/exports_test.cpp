// The exports as loaders and hosts call them, the probe message, which windows the hook takes,
// and what the window procedure does with windows it does not track.
#include "hook_fixture.h"

#include "test_files.h"
#include "test_process.h"

using namespace lumivex::e2e;
using lumivex::browserhost::Is;
namespace test = lumivex::test;

namespace {

// Probe lines that reached the host's own procedure since `from`.
std::size_t ProbesSeenByHost(HostProcess& host, int index, std::size_t from) {
    std::size_t count = 0;
    for (const LogLine& line : host.Lines("PRIVATE", index, from)) {
        count += line.Number("msg") == kProbeMessage ? 1 : 0;
    }
    return count;
}

TEST_F(HookTest, ProbeIsAnsweredByTheSubclassAndNeverReachesTheHost) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"")) << host.error();
    std::size_t mark = host.Mark();
    EXPECT_FALSE(AnswersProbe(host.browser(0))) << "not taken before its first focus";
    EXPECT_TRUE(host.WaitForLine(
        [](const LogLine& line) {
            return Is(line, "PRIVATE", 0) && line.Number("msg") == kProbeMessage;
        },
        10000, mark))
        << host.Transcript();

    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    mark = host.Mark();
    DWORD_PTR reply = 0;
    ASSERT_TRUE(SendMessageTimeoutW(host.browser(0), kProbeMessage, 12, 34, SMTO_ABORTIFHUNG, 10000,
                                    &reply));
    EXPECT_EQ(reply, static_cast<DWORD_PTR>(kProbeReply));
    EXPECT_EQ(Ask(host, L"ping"), 1); // anything the probe caused is in the log by now
    EXPECT_EQ(ProbesSeenByHost(host, 0, mark), 0u) << host.Transcript();
    EXPECT_EQ(Ask(host, L"wndproc 0"), 0);
}

TEST_F(HookTest, ClassNameInOtherLetterCaseIsSubclassedButGetsNoZoom) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"\"--class=internet explorer_SERVER\"")) << host.error();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_TRUE(AnswersProbe(host.browser(0)));
    EXPECT_TRUE(host.Lines("GETOBJECT", 0).empty()) << "no browser is asked for\n"
                                                    << host.Transcript();
    const Gesture press = PressKey(host, 0, VK_ADD);
    ASSERT_TRUE(press.delivered) << host.Transcript();
    EXPECT_TRUE(press.execwb.empty()) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 0"), 0);
}

TEST_F(HookTest, OtherClassNamesAreLeftAlone) {
    InstallHook();
    for (const wchar_t* name :
         {L"Internet Explorer_Server2", L"Internet Explorer", L"Shell DocObject View"}) {
        SCOPED_TRACE(test::Narrow(name));
        HostProcess host;
        ASSERT_TRUE(host.Start(L"\"--class=" + std::wstring(name) + L"\"")) << host.error();
        ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
        EXPECT_FALSE(AnswersProbe(host.browser(0)));
        EXPECT_EQ(Ask(host, L"wndproc 0"), 1);
    }
}

TEST_F(HookTest, SecondSetIecbtInstallsNoSecondHook) {
    EXPECT_EQ(m_hook.ClearIECBT(), FALSE) << "no hook yet";
    ASSERT_EQ(m_hook.SetIECBT(), TRUE);
    ASSERT_EQ(m_hook.SetIECBT(), TRUE);
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"")) << host.error();
        ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
        EXPECT_EQ(PressKey(host, 0, VK_ADD).Levels(), std::vector<int>{120}) << host.Transcript();
        EXPECT_EQ(host.Lines("GETOBJECT", 0).size(), 1u) << host.Transcript();
    }
    // One removal leaves no hook behind: a program started now is not taken.
    EXPECT_NE(m_hook.ClearIECBT(), FALSE);
    EXPECT_EQ(m_hook.ClearIECBT(), FALSE) << "already removed";
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"")) << host.error();
        ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
        EXPECT_FALSE(AnswersProbe(host.browser(0)));
        EXPECT_EQ(Ask(host, L"wndproc 0"), 1);
        const Gesture press = PressKey(host, 0, VK_ADD);
        ASSERT_TRUE(press.delivered) << host.Transcript();
        EXPECT_TRUE(press.execwb.empty()) << host.Transcript();
    }
    // And the hook can be installed again.
    ASSERT_EQ(m_hook.SetIECBT(), TRUE);
    HostProcess host;
    ASSERT_TRUE(host.Start(L"")) << host.error();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    EXPECT_TRUE(AnswersProbe(host.browser(0)));
}

TEST_F(HookTest, InitializeRefusesAWindowOfAnotherProcess) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"")) << host.error();
    int value = 0;
    EXPECT_EQ(m_hook.Initialize(host.browser(0), 3, &value, 4), 0);
    EXPECT_EQ(m_hook.Initialize(host.frame(), 0, nullptr, 0), 0);
    EXPECT_EQ(Ask(host, L"ping"), 1);
    EXPECT_EQ(Ask(host, L"wndproc 0"), 1);
    EXPECT_FALSE(AnswersProbe(host.browser(0)));
    EXPECT_TRUE(host.Lines("GETOBJECT").empty()) << host.Transcript();
}

// A window of this process, counting what reaches its own procedure.
struct CountedWindow {
    static inline int s_userMessages = 0;
    static inline int s_attachMessages = 0;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_USER + 7) {
            ++s_userMessages;
            return 77;
        }
        if (message == kAttachMessage) {
            ++s_attachMessages;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    CountedWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumivexE2ECounted";
        RegisterClassW(&wc); // a second registration fails harmlessly
        window = CreateWindowExW(0, wc.lpszClassName, L"counted", WS_OVERLAPPED, 0, 0, 50, 50,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        s_userMessages = s_attachMessages = 0;
    }
    ~CountedWindow() {
        if (window) {
            DestroyWindow(window);
        }
    }
    WNDPROC proc() const {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    }

    HWND window = nullptr;
};

TEST_F(HookTest, InitializeTakesOwnWindowWithoutZoomAndUnloadGivesItBack) {
    CountedWindow own;
    ASSERT_TRUE(own.window);
    const WNDPROC original = own.proc();
    EXPECT_EQ(m_hook.Initialize(own.window, 1, nullptr, 2), 1);
    EXPECT_EQ(m_hook.Initialize(own.window, 1, nullptr, 2), 1) << "already taken: still 1";
    EXPECT_NE(own.proc(), original);
    EXPECT_TRUE(AnswersProbe(own.window));
    // The attach message is posted and passed on once handled; no browser lies behind it.
    EXPECT_TRUE(test::WaitUntil([] { return CountedWindow::s_attachMessages == 1; }, 5000));
    EXPECT_EQ(SendMessageW(own.window, WM_USER + 7, 0, 0), 77);
    EXPECT_EQ(CountedWindow::s_userMessages, 1);

    m_hook.Unload();
    EXPECT_EQ(own.proc(), original) << "unloading gave the window its own procedure back";
    EXPECT_NE(static_cast<DWORD_PTR>(SendMessageW(own.window, kProbeMessage, 0, 0)),
              static_cast<DWORD_PTR>(kProbeReply));
}

TEST_F(HookTest, WindowNotInTheTableGoesToTheDefaultProcedure) {
    CountedWindow taken;
    CountedWindow other;
    ASSERT_TRUE(taken.window && other.window);
    ASSERT_EQ(m_hook.Initialize(taken.window, 0, nullptr, 0), 1);
    // What another subclasser forwarding to the library's procedure would reach.
    const WNDPROC libraryProc = taken.proc();
    ASSERT_NE(libraryProc, &CountedWindow::Proc);

    EXPECT_EQ(CallWindowProcW(libraryProc, other.window, WM_USER + 7, 0, 0), 0);
    EXPECT_EQ(CountedWindow::s_userMessages, 0) << "not passed to a procedure it never saw";
    wchar_t text[32] = {};
    EXPECT_EQ(
        CallWindowProcW(libraryProc, other.window, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)),
        7);
    EXPECT_STREQ(text, L"counted");
    EXPECT_EQ(
        static_cast<DWORD_PTR>(CallWindowProcW(libraryProc, other.window, kProbeMessage, 0, 0)),
        static_cast<DWORD_PTR>(kProbeReply))
        << "the probe is answered whether or not the window is tracked";
    EXPECT_EQ(CallWindowProcW(libraryProc, taken.window, WM_USER + 7, 0, 0), 77);
    EXPECT_EQ(CountedWindow::s_userMessages, 1);
}

TEST_F(HookTest, StartUpRunsAtFirstUseNotAtLoad) {
    m_hook.Unload();
    ASSERT_EQ(GetModuleHandleW(HookLibraryPath().c_str()), nullptr) << "left loaded by a test";
    test::ResetPerUserState();
    const std::wstring folder = test::AppDataDir() + L"\\Lumivex";
    std::string error;
    ASSERT_TRUE(m_hook.Load(error)) << error;
    EXPECT_FALSE(test::DirExists(folder)) << "start-up ran while the library was loading";
    EXPECT_EQ(m_hook.Initialize(nullptr, 0, nullptr, 0), 0);
    EXPECT_TRUE(test::DirExists(folder)) << "start-up creates the per-user folder";
}

} // namespace
