// The browser host as the end-to-end tests will use it: its windows, its objects as a zoom
// client reaches them, its event log, and its control channel.
#include "host_client.h"
#include "host_options.h"

#include "test_files.h"
#include "test_process.h"

#include <gtest/gtest.h>

#include <climits>

using namespace lumivex::browserhost;
using lumivex::test::Narrow;
using lumivex::test::ProgramDir;
using lumivex::test::TempDir;

namespace {

constexpr std::intptr_t kNoReply = INTPTR_MIN;
constexpr bool kIs32Bit = sizeof(void*) == 4;
constexpr long long kVtI4 = 3; // VT_I4

std::intptr_t Ask(HostProcess& host, const std::wstring& text, HWND frame = nullptr) {
    return host.Send(frame ? frame : host.frame(), text).value_or(kNoReply);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TitleOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// The first line of `kind` for browser `index` (any when -1) after `from` that also passes `more`.
std::optional<LogLine> WaitFor(HostProcess& host, const char* kind, int index = -1, size_t from = 0,
                               std::function<bool(const LogLine&)> more = {},
                               DWORD timeoutMs = 5000) {
    return host.WaitForLine(
        [&](const LogLine& line) { return Is(line, kind, index) && (!more || more(line)); },
        timeoutMs, from);
}

std::function<bool(const LogLine&)> Field(const char* key, long long value) {
    return [key, value](const LogLine& line) { return line.Number(key) == value; };
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

} // namespace

TEST(BrowserHost, ReadyListsEveryBrowserWindowOfItsFrame) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=3 --invisible=1 \"--title=Ready test host\""))
        << host.error();
    ASSERT_EQ(host.browsers().size(), 3u) << host.Transcript();
    EXPECT_EQ(host.secondFrame(), nullptr);
    EXPECT_EQ(host.ready().Text("bits"), kIs32Bit ? "32" : "64");
    EXPECT_EQ(ClassOf(host.frame()), kFrameClassName);
    EXPECT_EQ(TitleOf(host.frame()), L"Ready test host");
    EXPECT_EQ(FindWindowW(kFrameClassName, L"Ready test host"), host.frame());
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        HWND browser = host.browser(index);
        ASSERT_TRUE(IsWindow(browser));
        EXPECT_EQ(ClassOf(browser), L"Internet Explorer_Server");
        EXPECT_EQ(GetAncestor(browser, GA_ROOT), host.frame());
        EXPECT_NE(GetParent(browser), host.frame()) << "nested below the top-level window";
        EXPECT_EQ(IsWindowVisible(browser) != FALSE, index != 1);
        EXPECT_EQ(Ask(host, L"wndproc " + std::to_wstring(index)), 1);
        EXPECT_EQ(Ask(host, L"refs " + std::to_wstring(index)), 0);
        EXPECT_EQ(Ask(host, L"zoom " + std::to_wstring(index)), 100);
    }
    EXPECT_EQ(Ask(host, L"ping"), 1);
    EXPECT_EQ(Ask(host, L"jump 0"), kReplyBadCommand);
    EXPECT_EQ(Ask(host, L"focus 3"), kReplyNoBrowser);
    std::optional<LogLine> refused = WaitFor(host, "COMMAND", -1, 0, [](const LogLine& line) {
        return line.Text("text") == "jump 0" && !line.Text("error").empty();
    });
    EXPECT_TRUE(refused.has_value()) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    EXPECT_TRUE(WaitFor(host, "EXIT", -1, 0, Field("client_refs", 0)).has_value());
}

TEST(BrowserHost, SelfTestZoomsAndGivesEveryReferenceBack) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2")) << host.error();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const size_t mark = host.Mark();
        ASSERT_EQ(Ask(host, L"selftest 0"), 1) << host.Transcript();
        std::optional<LogLine> range = WaitFor(host, "EXECWB", 0, mark, Field("cmd", 64));
        ASSERT_TRUE(range.has_value()) << host.Transcript();
        EXPECT_EQ(range->Number("opt"), 0);
        EXPECT_EQ(range->Text("in_vt"), "null");
        EXPECT_EQ(range->Number("out_vt"), kVtI4);
        EXPECT_EQ(range->Number("out_value"), MAKELONG(10, 1000));
        std::optional<LogLine> zoom = WaitFor(host, "EXECWB", 0, mark, Field("cmd", 63));
        ASSERT_TRUE(zoom.has_value()) << host.Transcript();
        EXPECT_EQ(zoom->Number("in_vt"), kVtI4);
        EXPECT_EQ(zoom->Number("in_value"), 150);
        EXPECT_EQ(zoom->Number("hr"), 0);
        EXPECT_EQ(Ask(host, L"refs 0"), 0) << host.Transcript();
    }
    EXPECT_EQ(Ask(host, L"zoom 0"), 150);
    EXPECT_EQ(Ask(host, L"zoom 1"), 100) << "the other browser keeps its own level";
    EXPECT_TRUE(WaitFor(host, "PAINT", 0, 0, Field("zoom", 150)).has_value())
        << "the page was not repainted at the new zoom\n"
        << host.Transcript();

    // A reference nobody gives back is what a leaking client looks like.
    EXPECT_EQ(Ask(host, L"leak 0"), 1);
    EXPECT_EQ(Ask(host, L"refs 0"), 1);
    EXPECT_EQ(Ask(host, L"refs 1"), 0);
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    EXPECT_TRUE(WaitFor(host, "EXIT", -1, 0, Field("client_refs", 1)).has_value())
        << host.Transcript();
    EXPECT_TRUE(host.Lines("UNEXPECTED").empty()) << host.Transcript();
}

TEST(BrowserHost, ConfiguredRangeAndClassNameTakeEffect) {
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"--range=25,300 \"--class=internet explorer_server\""))
            << host.error();
        EXPECT_EQ(ClassOf(host.browser(0)), L"internet explorer_server");
        ASSERT_EQ(Ask(host, L"selftest 0"), 1) << host.Transcript();
        std::optional<LogLine> range = WaitFor(host, "EXECWB", 0, 0, Field("cmd", 64));
        ASSERT_TRUE(range.has_value());
        EXPECT_EQ(range->Number("out_value"), MAKELONG(25, 300));
    }
    // Zoom 150 lies outside this range: refused, and the page keeps its level.
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--range=10,120")) << host.error();
    EXPECT_EQ(Ask(host, L"selftest 0"), 0);
    std::optional<LogLine> zoom = WaitFor(host, "EXECWB", 0, 0, Field("cmd", 63));
    ASSERT_TRUE(zoom.has_value()) << host.Transcript();
    EXPECT_EQ(zoom->Number("hr"), static_cast<long long>(static_cast<unsigned long>(E_INVALIDARG)));
    EXPECT_EQ(Ask(host, L"zoom 0"), 100);
    EXPECT_EQ(Ask(host, L"refs 0"), 0) << "a failed self-test still releases everything";
}

TEST(BrowserHost, DestroyedWindowKeepsItsObjectsCountable) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2")) << host.error();
    HWND doomed = host.browser(1);
    ASSERT_EQ(Ask(host, L"leak 1"), 1);
    ASSERT_EQ(Ask(host, L"destroy 1"), 1);
    std::optional<LogLine> destroyed = WaitFor(host, "DESTROYED", 1);
    ASSERT_TRUE(destroyed.has_value()) << host.Transcript();
    EXPECT_EQ(destroyed->Number("hwnd"),
              static_cast<long long>(reinterpret_cast<std::uintptr_t>(doomed)));
    EXPECT_FALSE(IsWindow(doomed));
    // The host let go of its own references; the leaked one keeps the browser object alive.
    auto freed = [&](const char* object) {
        return WaitFor(
                   host, "FREED", 1, 0,
                   [object](const LogLine& line) { return line.Text("object") == object; }, 1000)
            .has_value();
    };
    EXPECT_TRUE(freed("document")) << host.Transcript();
    EXPECT_TRUE(freed("window")) << host.Transcript();
    EXPECT_FALSE(freed("browser")) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 1"), 1);
    EXPECT_EQ(Ask(host, L"focus 1"), kReplyNoBrowser);
    EXPECT_EQ(Ask(host, L"selftest 1"), kReplyNoBrowser);
    EXPECT_EQ(Ask(host, L"destroy 1"), kReplyNoBrowser);
    EXPECT_EQ(Ask(host, L"selftest 0"), 1) << "the other browser still works";
    EXPECT_EQ(host.Quit(), 0u);
}

TEST(BrowserHost, InjectedKeysAndWheelReachTheBrowsersOwnProcedure) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2")) << host.error();
    size_t mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus 0"), 1) << host.Transcript();
    EXPECT_TRUE(WaitFor(host, "SETFOCUS", 0, mark).has_value()) << host.Transcript();
    ASSERT_EQ(GetForegroundWindow(), host.frame());

    mark = host.Mark();
    ASSERT_TRUE(InjectKey(VK_OEM_PLUS, true));
    std::optional<LogLine> down = WaitFor(host, "KEYDOWN", 0, mark, Field("vk", VK_OEM_PLUS));
    std::optional<LogLine> up = WaitFor(host, "KEYUP", 0, mark, Field("vk", VK_OEM_PLUS));
    ASSERT_TRUE(down && up) << host.Transcript();
    EXPECT_EQ(down->Number("ctrl"), 1);
    EXPECT_EQ(up->Number("ctrl"), 1);
    EXPECT_EQ(up->Number("wparam"), VK_OEM_PLUS);

    mark = host.Mark();
    ASSERT_TRUE(host.PointAt(0)) << host.Transcript();
    ASSERT_TRUE(InjectCtrlWheel(-WHEEL_DELTA));
    std::optional<LogLine> wheel = WaitFor(host, "WHEEL", 0, mark);
    ASSERT_TRUE(wheel.has_value()) << host.Transcript();
    EXPECT_EQ(wheel->Number("delta"), -WHEEL_DELTA);
    EXPECT_EQ(wheel->Number("keys").value_or(0) & MK_CONTROL, MK_CONTROL);

    // Keys follow the focus to the other browser; without Ctrl they say so.
    mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus 1"), 1);
    ASSERT_TRUE(InjectKey(VK_SUBTRACT, false));
    up = WaitFor(host, "KEYUP", 1, mark, Field("vk", VK_SUBTRACT));
    ASSERT_TRUE(up.has_value()) << host.Transcript();
    EXPECT_EQ(up->Number("ctrl"), 0);
    EXPECT_TRUE(host.Lines("KEYUP", 0, mark).empty()) << host.Transcript();

    // "focus" on the browser that has the focus is still a focus change, as a hook needs one.
    mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus 1"), 1);
    EXPECT_TRUE(WaitFor(host, "KILLFOCUS", 1, mark).has_value()) << host.Transcript();
    EXPECT_TRUE(WaitFor(host, "SETFOCUS", 1, mark).has_value()) << host.Transcript();
    mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus-frame"), 1);
    EXPECT_TRUE(WaitFor(host, "KILLFOCUS", 1, mark).has_value()) << host.Transcript();
    ASSERT_TRUE(InjectKey(VK_OEM_MINUS, true));
    Sleep(300);
    EXPECT_TRUE(host.Lines("KEYUP", -1, mark).empty()) << "the edit field has the keys now\n"
                                                       << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u);
}

// Made one after another as the soak test makes them: each in the pane a destroyed one left, on
// the frame it was asked of, with an index past every other.
TEST(BrowserHost, CreatedBrowsersTakeOverFreedPanesOnTheirOwnFrame) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--second-thread")) << host.error();
    const auto children = [&]() {
        int count = 0;
        EnumChildWindows(host.frame(), &CountWindow, reinterpret_cast<LPARAM>(&count));
        return count;
    };
    const int before = children();
    std::optional<int> first = host.CreateBrowser();
    ASSERT_EQ(first, 101) << host.Transcript();
    HWND window = host.browser(101);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(ClassOf(window), L"Internet Explorer_Server");
    EXPECT_EQ(GetAncestor(window, GA_ROOT), host.frame());
    EXPECT_EQ(children(), before + 2) << "a pane and its browser";
    RECT place = {};
    GetClientRect(window, &place);
    EXPECT_GT(place.right, 100) << "laid out beside browser 0";
    EXPECT_EQ(host.SendFor(101, L"selftest"), 1) << host.Transcript();
    EXPECT_EQ(host.SendFor(101, L"refs"), 0);

    HWND pane = GetParent(window);
    ASSERT_EQ(host.SendFor(101, L"destroy"), 1);
    std::optional<int> second = host.CreateBrowser();
    ASSERT_EQ(second, 102) << host.Transcript();
    EXPECT_EQ(GetParent(host.browser(102)), pane);
    EXPECT_EQ(children(), before + 2);
    EXPECT_EQ(host.SendFor(101, L"refs"), 0) << "the dead one is still asked about";

    std::optional<int> other = host.CreateBrowser(host.secondFrame());
    ASSERT_EQ(other, 103) << host.Transcript();
    EXPECT_EQ(GetAncestor(host.browser(103), GA_ROOT), host.secondFrame());
    EXPECT_EQ(GetWindowThreadProcessId(host.browser(103), nullptr),
              GetWindowThreadProcessId(host.secondFrame(), nullptr));
    EXPECT_EQ(host.SendFor(103, L"selftest"), 1) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 103"), kReplyNoBrowser) << "not the main frame's";
    EXPECT_EQ(host.Quit(), 0u);
}

// "wheel" sends to the window's procedure; without anybody's subclass in front the host's own
// sees every message and nothing zooms.
TEST(BrowserHost, WheelVerbSendsCtrlWheelMessagesBothWays) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2")) << host.error();
    size_t mark = host.Mark();
    EXPECT_EQ(Ask(host, L"wheel 1 3"), 100);
    std::vector<LogLine> wheels = host.Lines("WHEEL", 1, mark);
    ASSERT_EQ(wheels.size(), 3u) << host.Transcript();
    for (const LogLine& wheel : wheels) {
        EXPECT_EQ(wheel.Number("delta"), WHEEL_DELTA);
        EXPECT_EQ(wheel.Number("keys"), MK_CONTROL);
    }
    mark = host.Mark();
    EXPECT_EQ(Ask(host, L"wheel 1 -2"), 100);
    wheels = host.Lines("WHEEL", 1, mark);
    ASSERT_EQ(wheels.size(), 2u) << host.Transcript();
    EXPECT_EQ(wheels[0].Number("delta"), -WHEEL_DELTA);
    EXPECT_TRUE(host.Lines("WHEEL", 0, mark).empty());
    EXPECT_TRUE(host.Lines("EXECWB", -1).empty());
    ASSERT_EQ(Ask(host, L"destroy 1"), 1);
    EXPECT_EQ(Ask(host, L"wheel 1 1"), kReplyNoBrowser);
    EXPECT_EQ(host.Quit(), 0u);
}

TEST(BrowserHost, SecondThreadHasItsOwnFrameAndBrowser) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--second-thread")) << host.error();
    HWND second = host.secondFrame();
    ASSERT_TRUE(IsWindow(second)) << host.Transcript();
    EXPECT_NE(GetWindowThreadProcessId(second, nullptr),
              GetWindowThreadProcessId(host.frame(), nullptr));
    HWND browser = host.browser(kSecondThreadBrowserIndex);
    ASSERT_TRUE(IsWindow(browser)) << host.Transcript();
    EXPECT_EQ(GetAncestor(browser, GA_ROOT), second);
    EXPECT_EQ(GetWindowThreadProcessId(browser, nullptr),
              GetWindowThreadProcessId(second, nullptr));

    // Commands for a browser go to the frame of its thread.
    EXPECT_EQ(Ask(host, L"selftest 100"), kReplyNoBrowser);
    EXPECT_EQ(host.SendFor(kSecondThreadBrowserIndex, L"selftest").value_or(kNoReply), 1)
        << host.Transcript();
    EXPECT_TRUE(WaitFor(host, "EXECWB", kSecondThreadBrowserIndex, 0, Field("cmd", 63)).has_value())
        << host.Transcript();
    EXPECT_EQ(host.SendFor(kSecondThreadBrowserIndex, L"refs").value_or(kNoReply), 0);
    EXPECT_EQ(host.SendFor(0, L"zoom").value_or(kNoReply), 100);

    size_t mark = host.Mark();
    ASSERT_EQ(host.SendFor(kSecondThreadBrowserIndex, L"focus").value_or(kNoReply), 1);
    ASSERT_TRUE(InjectKey(VK_ADD, true));
    std::optional<LogLine> up =
        WaitFor(host, "KEYUP", kSecondThreadBrowserIndex, mark, Field("vk", VK_ADD));
    ASSERT_TRUE(up.has_value()) << host.Transcript();
    EXPECT_EQ(up->Number("ctrl"), 1);

    // "quit" on the second thread's frame ends the whole host.
    ASSERT_EQ(Ask(host, L"quit", second), 1);
    EXPECT_EQ(host.WaitForExit(10000), 0u) << host.Transcript();
    EXPECT_TRUE(WaitFor(host, "DESTROYED", kSecondThreadBrowserIndex).has_value());
}

TEST(BrowserHost, RunsUnderAnotherNameFromAnotherFolder) {
    TempDir dir;
    const std::wstring copy = dir / L"hh.exe";
    ASSERT_TRUE(CopyFileW((ProgramDir() + L"\\browser_host.exe").c_str(), copy.c_str(), FALSE));
    {
        HostProcess host;
        ASSERT_TRUE(host.Start(L"--browsers=2", copy)) << host.error();
        std::optional<LogLine> start = WaitFor(host, "START", -1);
        ASSERT_TRUE(start.has_value());
        EXPECT_NE(start->Text("exe").find("\\hh.exe"), std::string::npos) << start->Text("exe");
        EXPECT_EQ(Ask(host, L"selftest 1"), 1) << host.Transcript();
        EXPECT_EQ(host.Quit(), 0u);
    }
}

TEST(BrowserHost, SlowDocumentHoldsItsThreadForThatLong) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2 --slow-document=1500,1")) << host.error();
    DWORD start = GetTickCount();
    EXPECT_EQ(Ask(host, L"selftest 1"), 1) << host.Transcript();
    const DWORD slow = GetTickCount() - start;
    start = GetTickCount();
    EXPECT_EQ(Ask(host, L"selftest 0"), 1) << host.Transcript();
    const DWORD fast = GetTickCount() - start;
    EXPECT_GE(slow, 1400u);
    EXPECT_LT(fast, 1000u);
    EXPECT_TRUE(WaitFor(host, "GETOBJECT_WAIT", 1, 0, Field("ms", 1500)).has_value());
    EXPECT_TRUE(host.Lines("GETOBJECT_WAIT", 0).empty());
}

TEST(BrowserHost, LoadedLibraryIsInitializedAndFreedOnRequest) {
    const std::wstring probe = ProgramDir() + L"\\browser_host_probe.dll";
    HostProcess host;
    ASSERT_TRUE(host.Start(L"\"--load=" + probe + L"\"")) << host.error();
    EXPECT_TRUE(WaitFor(host, "LOADED").has_value()) << host.Transcript();
    // The probe answers a + 10 * b, plus 1000 for a pointer: every argument arrived in place.
    EXPECT_EQ(Ask(host, L"initialize 0 5 0 7"), 75);
    EXPECT_EQ(Ask(host, L"initialize 0 -3 1 2"), 1017);
    EXPECT_EQ(Ask(host, L"wndproc 0"), 0) << "the probe subclassed the window";
    EXPECT_EQ(Ask(host, L"selftest 0"), 1) << "the document message passes the subclass";
    EXPECT_EQ(Ask(host, L"freelib"), 1);
    std::optional<LogLine> freed = WaitFor(host, "FREELIB");
    ASSERT_TRUE(freed.has_value());
    EXPECT_EQ(freed->Number("still_mapped"), 0);
    EXPECT_EQ(Ask(host, L"wndproc 0"), 1) << "unloading gave the window its procedure back";
    EXPECT_EQ(Ask(host, L"initialize 0"), kReplyNoLibrary);
    EXPECT_EQ(Ask(host, L"freelib"), 0);
    EXPECT_EQ(Ask(host, L"load kernel32.dll"), 1);
    EXPECT_EQ(Ask(host, L"initialize 0"), kReplyNoExport);
    EXPECT_EQ(Ask(host, L"load " + probe), 1);
    EXPECT_EQ(Ask(host, L"initialize 0"), 0);
    EXPECT_EQ(host.Quit(), 0u);
    // Unloaded at the end, after the windows.
    std::vector<LogLine> destroyed = host.Lines("DESTROYED", 0);
    std::vector<LogLine> unloads = host.Lines("FREELIB");
    ASSERT_EQ(destroyed.size(), 1u) << host.Transcript();
    ASSERT_EQ(unloads.size(), 2u) << host.Transcript();
    EXPECT_GT(unloads[1].seq, destroyed[0].seq);
}

TEST(BrowserHost, MissingLibraryIsReported) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--load=C:\\nowhere\\missing.dll")) << host.error();
    EXPECT_TRUE(WaitFor(host, "ERROR").has_value()) << host.Transcript();
    EXPECT_EQ(Ask(host, L"initialize 0"), kReplyNoLibrary);
}

TEST(BrowserHost, UnimplementedSlotFailsLoudly) {
    HostProcess host;
    ASSERT_TRUE(host.Start(L"")) << host.error();
    const std::intptr_t reply = Ask(host, L"unexpected 0", nullptr);
    std::optional<LogLine> line = WaitFor(host, "UNEXPECTED", 0);
    ASSERT_TRUE(line.has_value()) << host.Transcript();
    EXPECT_EQ(line->Text("interface"), "IWebBrowser2");
    EXPECT_EQ(line->Number("slot"), 9) << "GoHome follows IDispatch, GoBack and GoForward";
    if (kIs32Bit) {
        EXPECT_EQ(host.WaitForExit(10000), kUnexpectedSlotExitCode);
    } else {
        EXPECT_EQ(reply, static_cast<std::intptr_t>(E_NOTIMPL));
        EXPECT_EQ(Ask(host, L"ping"), 1);
    }
}

TEST(BrowserHost, BadSwitchEndsTheHostWithAnError) {
    HostProcess host;
    EXPECT_FALSE(host.Start(L"--range=300,10", L"", 5000));
    EXPECT_EQ(host.WaitForExit(5000), 2u);
    EXPECT_TRUE(WaitFor(host, "ERROR").has_value()) << host.Transcript();
}
