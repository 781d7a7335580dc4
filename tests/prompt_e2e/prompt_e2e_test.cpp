// The first-use prompt in a real host program: when it shows, what it says, what its answers
// store, the flashing frame on the screen, and the host's browser window dying under it.
#include "prompt_test_support.h"

#include "test_process.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

using namespace prompttest;
using lumivex::browserhost::InjectKey;
using lumivex::browserhost::Is;
using lumivex::test::Narrow;
using lumivex::test::WaitUntil;

namespace {

constexpr std::intptr_t kNoReply = INTPTR_MIN;

std::intptr_t Ask(HostProcess& host, const std::wstring& text) {
    return host.Send(text).value_or(kNoReply);
}

class Prompt : public testing::Test {
protected:
    void SetUp() override { lumivex::test::ResetPerUserState(); }

    // Starts the host copy with `args` and moves the focus onto browser 0 with the hook set.
    HWND StartAndFocus(HostProcess& host, const HostCopy& copy, const std::wstring& args) {
        if (!host.Start(args, copy.path())) {
            ADD_FAILURE() << host.error();
            return nullptr;
        }
        if (Ask(host, L"focus 0") != 1) {
            ADD_FAILURE() << "focus 0 failed\n" << host.Transcript();
            return nullptr;
        }
        return WaitForPrompt(host);
    }

    // Real keys need the dialog to be the foreground window.
    static bool Keys(HWND dialog, std::initializer_list<WORD> keys) {
        if (!WaitUntil([&] { return GetForegroundWindow() == dialog; }, 5000)) {
            return false;
        }
        for (WORD key : keys) {
            if (!InjectKey(key, false)) {
                return false;
            }
        }
        return true;
    }

    // The dialog's window goes before its run has returned; the host answers a command only
    // once its thread is back in its own loop, after the answer was stored.
    static bool ClosedAndSettled(HostProcess& host, HWND dialog) {
        return WaitForClosed(dialog) && Ask(host, L"ping") == 1;
    }

    static bool Ticked(HWND dialog) {
        return SendDlgItemMessageW(dialog, kCheckId, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    GlobalHook hook_;
};

TEST_F(Prompt, FirstBrowserWindowOfARunPromptsOverItsDisabledOwnerAndTheSecondDoesNot) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"PromptHost.EXE");
    HostProcess host;
    HWND dialog = StartAndFocus(host, copy, L"--browsers=2");
    ASSERT_NE(dialog, nullptr) << "no prompt\n" << host.Transcript();

    EXPECT_EQ(Narrow(TextOf(dialog)), "Lumivex - prompthost.exe");
    EXPECT_EQ(Narrow(TextOf(GetDlgItem(dialog, kTextId))),
              "Page zoom functionality is added to this browser [prompthost.exe]by Lumivex. \r\n "
              "Press [CTRL +] or [CTRL Mousewheel up] to zoom in. Press [CTRL -] or [CTRL "
              "Mousewheel down] to zoom out. Reset zoom to 100% with Ctrl-0.");
    HWND check = GetDlgItem(dialog, kCheckId);
    EXPECT_EQ(Narrow(TextOf(check)), "Don't prompt again");
    EXPECT_TRUE(IsWindowVisible(check));
    EXPECT_FALSE(Ticked(dialog));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDCANCEL)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, kIconId)));
    EXPECT_NE(SendDlgItemMessageW(dialog, kIconId, STM_GETICON, 0, 0), 0) << "no icon set";
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), host.frame());
    RECT frame = {};
    RECT self = {};
    GetWindowRect(host.frame(), &frame);
    GetWindowRect(dialog, &self);
    EXPECT_NEAR((self.left + self.right) / 2, (frame.left + frame.right) / 2, 2);
    EXPECT_NEAR((self.top + self.bottom) / 2, (frame.top + frame.bottom) / 2, 2)
        << "centred on its owner";
    EXPECT_FALSE(IsWindowEnabled(host.frame())) << "the owner must be disabled while it is open";

    // Enter presses OK, the default button; nothing ticked, nothing stored.
    ASSERT_TRUE(Keys(dialog, {VK_RETURN}));
    ASSERT_TRUE(ClosedAndSettled(host, dialog)) << host.Transcript();
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(host.frame()) != FALSE; }, 5000));
    EXPECT_EQ(BrowsersValue(L"prompthost.exe"), std::nullopt);

    const size_t mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus 1"), 1);
    EXPECT_TRUE(NoPromptAfterAttach(host, 1, mark)) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

TEST_F(Prompt, TickAndOkByKeysStoresZeroAndTheNextRunStaysQuiet) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"hh.exe");
    {
        HostProcess host;
        HWND dialog = StartAndFocus(host, copy, L"");
        ASSERT_NE(dialog, nullptr) << host.Transcript();
        // The focus starts on OK; Tab reaches the checkbox, Space ticks it, Enter is OK.
        ASSERT_TRUE(Keys(dialog, {VK_TAB, VK_SPACE}));
        ASSERT_TRUE(WaitUntil([&] { return Ticked(dialog); }, 5000));
        ASSERT_TRUE(Keys(dialog, {VK_RETURN}));
        ASSERT_TRUE(ClosedAndSettled(host, dialog)) << host.Transcript();
        EXPECT_EQ(BrowsersValue(L"hh.exe"), L"0");
        EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    }
    HostProcess next;
    ASSERT_TRUE(next.Start(L"", copy.path())) << next.error();
    ASSERT_EQ(Ask(next, L"focus 0"), 1);
    EXPECT_TRUE(NoPromptAfterAttach(next, 0, 0)) << next.Transcript();
    EXPECT_EQ(next.Quit(), 0u) << next.Transcript();
}

TEST_F(Prompt, TickAndTheCaptionsCloseBoxStoresZero) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"reader.exe");
    HostProcess host;
    HWND dialog = StartAndFocus(host, copy, L"");
    ASSERT_NE(dialog, nullptr) << host.Transcript();
    SendDlgItemMessageW(dialog, kCheckId, BM_CLICK, 0, 0);
    ASSERT_TRUE(Ticked(dialog));
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(ClosedAndSettled(host, dialog)) << host.Transcript();
    EXPECT_EQ(BrowsersValue(L"reader.exe"), L"0");
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

TEST_F(Prompt, ClosingWithoutTheTickStoresNothingAndEveryRunPromptsAgain) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"reader.exe");
    // Closed by the close box, by Escape, by the OK button; the last run has "Browsers" = 1,
    // which is no refusal.
    const char* ways[] = {"close box", "Escape", "OK button"};
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(ways[run]);
        if (run == 2) {
            WriteBrowsersValue(L"reader.exe", L"1");
        }
        HostProcess host;
        HWND dialog = StartAndFocus(host, copy, L"");
        ASSERT_NE(dialog, nullptr) << host.Transcript();
        if (run == 0) {
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (run == 1) {
            ASSERT_TRUE(Keys(dialog, {VK_ESCAPE}));
        } else {
            SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
        }
        ASSERT_TRUE(ClosedAndSettled(host, dialog)) << host.Transcript();
        EXPECT_EQ(BrowsersValue(L"reader.exe"),
                  run == 2 ? std::optional<std::wstring>(L"1") : std::nullopt);
        EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    }
}

TEST_F(Prompt, BrowsersZeroGivesNoPromptAndNoFlashing) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"hh.exe");
    WriteBrowsersValue(L"hh.exe", L"0");
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2", copy.path())) << host.error();
    ASSERT_EQ(Ask(host, L"focus 0"), 1);
    EXPECT_TRUE(NoPromptAfterAttach(host, 0, 0)) << host.Transcript();
    EXPECT_FALSE(WaitForFlashTick(host, 0, 0, 1500).has_value()) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

// Attached while hidden: the run's one prompt is used up without a dialog.
TEST(PromptInvisible, HiddenBrowserWindowShowsNoPromptAndNoLaterWindowDoes) {
    lumivex::test::ResetPerUserState();
    HostCopy copy(L"hh.exe");
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2 --invisible=0 \"--load=" + HookLibraryPath() + L"\"",
                           copy.path()))
        << host.error();
    ASSERT_FALSE(IsWindowVisible(host.browser(0)));
    ASSERT_EQ(Ask(host, L"initialize 0"), 1);
    EXPECT_TRUE(NoPromptAfterAttach(host, 0, 0)) << host.Transcript();
    const size_t mark = host.Mark();
    ASSERT_EQ(Ask(host, L"initialize 1"), 1);
    EXPECT_TRUE(NoPromptAfterAttach(host, 1, mark)) << host.Transcript();
    EXPECT_FALSE(WaitForFlashTick(host, -1, 0, 1500).has_value()) << host.Transcript();
    EXPECT_EQ(BrowsersValue(L"hh.exe"), std::nullopt);
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

TEST_F(Prompt, FrameTogglesEachSecondAlongTheBrowsersEdgeAndIsGoneAfterwards) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"hh.exe");
    HostProcess host;
    ASSERT_TRUE(host.Start(L"--browsers=2", copy.path())) << host.error();
    ASSERT_TRUE(host.WaitForLine([](const LogLine& l) { return Is(l, "PAINT", 0); }, 5000))
        << host.Transcript();
    Sleep(300);
    RECT browser = {};
    GetWindowRect(host.browser(0), &browser);
    const int middleY = (browser.top + browser.bottom) / 2;
    // On the pen's inner half at the left and top edges, and one point well inside the page.
    const POINT edges[] = {{browser.left + 1, middleY}, {browser.left + 40, browser.top + 2}};
    const POINT inside = {browser.left + 12, middleY};
    COLORREF before[2] = {};
    for (int i = 0; i < 2; ++i) {
        before[i] = ScreenPixel(edges[i]);
    }
    const COLORREF insideBefore = ScreenPixel(inside);
    ASSERT_NE(before[0], CLR_INVALID) << "the screen cannot be read back";

    ASSERT_EQ(Ask(host, L"focus 0"), 1);
    HWND dialog = WaitForPrompt(host);
    ASSERT_NE(dialog, nullptr) << host.Transcript();
    RECT dialogRect = {};
    GetWindowRect(dialog, &dialogRect);
    for (const POINT& point : edges) {
        ASSERT_FALSE(PtInRect(&dialogRect, point)) << "the dialog covers a point read";
    }

    // Odd ticks draw, even ticks wipe. Read well after each tick and well before the next.
    size_t from = 0;
    for (int tick = 1; tick <= 3; ++tick) {
        SCOPED_TRACE(tick);
        std::optional<LogLine> line = WaitForFlashTick(host, 0, from, 3000);
        ASSERT_TRUE(line.has_value()) << host.Transcript();
        from = host.Mark();
        Sleep(350);
        for (int i = 0; i < 2; ++i) {
            const COLORREF expected = tick % 2 ? FramedPixel(before[i]) : before[i];
            EXPECT_EQ(ColourText(ScreenPixel(edges[i])), ColourText(expected)) << "edge " << i;
        }
        EXPECT_EQ(ColourText(ScreenPixel(inside)), ColourText(insideBefore))
            << "the frame is 5 pixels wide, not more";
        EXPECT_TRUE(WaitForFlashTick(host, 0, from, 0) == std::nullopt) << "read too late";
    }

    // Closed while the frame is drawn: the repaint wipes it and the timer stops.
    SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    ASSERT_TRUE(ClosedAndSettled(host, dialog)) << host.Transcript();
    Sleep(300);
    const size_t closed = host.Mark();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(ColourText(ScreenPixel(edges[i])), ColourText(before[i])) << "edge " << i;
        }
        Sleep(1200);
    }
    EXPECT_FALSE(WaitForFlashTick(host, 0, closed, 0).has_value()) << host.Transcript();
    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
}

TEST_F(Prompt, BrowserWindowDestroyedWhileTheDialogIsOpen) {
    ASSERT_TRUE(hook_.installed());
    HostCopy copy(L"hh.exe");
    HostProcess host;
    HWND dialog = StartAndFocus(host, copy, L"--browsers=2");
    ASSERT_NE(dialog, nullptr) << host.Transcript();
    ASSERT_TRUE(WaitForFlashTick(host, 0, 0).has_value()) << host.Transcript();

    ASSERT_EQ(Ask(host, L"destroy 0"), 1);
    ASSERT_TRUE(host.WaitForLine([](const LogLine& l) { return Is(l, "DESTROYED", 0); }))
        << host.Transcript();
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog belongs to the frame, not to the browser";
    Sleep(1500); // the timer went with the window: no tick may reach anything now

    SendDlgItemMessageW(dialog, kCheckId, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    ASSERT_TRUE(ClosedAndSettled(host, dialog)) << host.Transcript();
    EXPECT_EQ(BrowsersValue(L"hh.exe"), L"0") << "the answer still counts";
    EXPECT_EQ(Ask(host, L"ping"), 1) << host.Transcript();
    EXPECT_EQ(Ask(host, L"refs 0"), 0) << "the dead window's browser was given back";

    // The other browser window is reached (without a prompt) and zooms.
    size_t mark = host.Mark();
    ASSERT_EQ(Ask(host, L"focus 1"), 1);
    EXPECT_TRUE(NoPromptAfterAttach(host, 1, mark)) << host.Transcript();
    mark = host.Mark();
    ASSERT_TRUE(InjectKey(VK_OEM_PLUS, true));
    std::optional<LogLine> zoom = host.WaitForLine(
        [](const LogLine& l) { return Is(l, "EXECWB", 1) && l.Number("cmd") == 63; }, 5000, mark);
    ASSERT_TRUE(zoom.has_value()) << host.Transcript();
    EXPECT_EQ(zoom->Number("in_value"), 120);
    EXPECT_EQ(Ask(host, L"zoom 1"), 120);

    EXPECT_EQ(host.Quit(), 0u) << host.Transcript();
    EXPECT_TRUE(host.WaitForLine([](const LogLine& l) {
        return Is(l, "EXIT") && l.Number("client_refs") == 0;
    })) << host.Transcript();
    EXPECT_TRUE(host.Lines("UNEXPECTED").empty()) << host.Transcript();
}

// The host, copied as `name`, loads the library itself (no hook holds it), and the prompt is open.
class PromptInHostLoadedLibrary : public testing::Test {
protected:
    void SetUp() override { lumivex::test::ResetPerUserState(); }

    HWND StartWithPrompt(const wchar_t* name) {
        m_copy.emplace(name);
        if (!m_host.Start(L"\"--load=" + HookLibraryPath() + L"\"", m_copy->path())) {
            ADD_FAILURE() << m_host.error();
            return nullptr;
        }
        if (m_host.SendFor(0, L"initialize").value_or(kNoReply) != 1) {
            ADD_FAILURE() << "initialize failed\n" << m_host.Transcript();
            return nullptr;
        }
        HWND dialog = WaitForPrompt(m_host);
        EXPECT_NE(dialog, nullptr) << m_host.Transcript();
        return dialog;
    }

    std::optional<HostCopy> m_copy;
    HostProcess m_host;
};

// The dialog's procedure is the library's: freed under the open dialog, the library stays until
// the dialog is closed, then goes, and the host lives on.
TEST_F(PromptInHostLoadedLibrary, HostFreesTheLibraryWhileThePromptIsOpen) {
    HWND dialog = StartWithPrompt(L"UnloadHost.exe");
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(Ask(m_host, L"freelib"), 1) << m_host.Transcript();
    EXPECT_EQ(Ask(m_host, L"mapped"), 1) << "the library went while its dialog was open";
    EXPECT_TRUE(IsWindow(dialog));
    SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitForClosed(dialog)) << m_host.Transcript();
    EXPECT_EQ(Ask(m_host, L"ping"), 1) << "the host died after the dialog" << m_host.Transcript();
    EXPECT_TRUE(WaitUntil([&] { return Ask(m_host, L"mapped") == 0; }, 5000))
        << "the library stayed after its dialog closed";
    EXPECT_EQ(m_host.SendFor(0, L"wndproc").value_or(kNoReply), 1)
        << "the window has its own procedure back";
    EXPECT_EQ(m_host.Quit(), 0u) << m_host.Transcript();
}

// A fault in one of the host's own procedures while the prompt's loop runs is the host's: it
// reaches the host's handler, rather than being swallowed by the library and leaving the owner
// disabled.
TEST_F(PromptInHostLoadedLibrary, HostFaultDuringThePromptReachesTheHostsOwnHandler) {
    ASSERT_NE(StartWithPrompt(L"FaultHost.exe"), nullptr);
    ASSERT_EQ(Ask(m_host, L"fault"), 1) << m_host.Transcript();
    EXPECT_EQ(m_host.WaitForExit(20000), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION))
        << m_host.Transcript();
    std::optional<LogLine> fault =
        m_host.WaitForLine([](const LogLine& l) { return Is(l, "FAULT"); }, 5000);
    ASSERT_TRUE(fault.has_value()) << m_host.Transcript();
    EXPECT_EQ(fault->Number("code"), static_cast<long long>(EXCEPTION_ACCESS_VIOLATION));
}

} // namespace
