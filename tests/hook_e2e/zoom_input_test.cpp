// Keys and wheel on a browser window the hook took over: which gestures zoom, by how much, in
// which order the browser is asked, and where the browser's range stops the steps.
#include "hook_fixture.h"

using namespace lumivex::e2e;
using lumivex::browserhost::Is;

namespace {

class ZoomInput : public HookTest {
protected:
    // A host with one browser, taken over by the hook and holding the focus.
    void StartFocused(const std::wstring& args) {
        InstallHook();
        ASSERT_TRUE(m_host.Start(args)) << m_host.error();
        ASSERT_TRUE(FocusAndSettle(m_host, 0)) << m_host.Transcript();
        ASSERT_TRUE(AnswersProbe(m_host.browser(0))) << "the hook did not take the browser";
    }

    // Ctrl + `vk` must reach the host and give exactly one zoom call with `level`, preceded by a
    // range query unless `reset`.
    void ExpectStep(WORD vk, int level, bool reset = false) {
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << vk);
        const Gesture step = PressKey(m_host, 0, vk);
        ASSERT_TRUE(step.delivered) << m_host.Transcript();
        EXPECT_EQ(step.message.Number("wparam"), vk) << "the key reaches the host unchanged";
        EXPECT_EQ(step.message.Number("ctrl"), 1);
        EXPECT_EQ(step.Levels(), std::vector<int>{level}) << m_host.Transcript();
        EXPECT_EQ(step.RangeQueries(), reset ? 0 : 1) << m_host.Transcript();
        if (!reset && step.execwb.size() == 2) {
            EXPECT_EQ(step.execwb[0].Number("cmd"), kCmdZoomRange) << "range first, then zoom";
        }
        for (const LogLine& call : step.execwb) {
            EXPECT_EQ(call.Number("opt"), 0) << "OLECMDEXECOPT_DODEFAULT";
            EXPECT_LT(call.seq, step.message.seq) << "zoomed before the host saw the key";
        }
    }

    void ExpectWheelStep(int distance, int level) {
        SCOPED_TRACE(testing::Message() << "wheel " << distance);
        const Gesture step = TurnWheel(m_host, 0, distance);
        ASSERT_TRUE(step.delivered) << m_host.Transcript();
        EXPECT_EQ(step.message.Number("delta"), distance) << "the wheel reaches the host unchanged";
        EXPECT_EQ(step.Levels(), std::vector<int>{level}) << m_host.Transcript();
        EXPECT_EQ(step.RangeQueries(), 1);
    }

    HostProcess m_host;
};

TEST_F(ZoomInput, CtrlWithPlusMinusAndZeroStepsOnRelease) {
    ASSERT_NO_FATAL_FAILURE(StartFocused(L""));
    EXPECT_EQ(Ask(m_host, L"refs 0"), 1) << "the library keeps the browser and nothing else";

    // The key-down alone does nothing, repeated as a held key repeats it; the release zooms once.
    std::size_t mark = m_host.Mark();
    ASSERT_TRUE(InjectKeyHalf(VK_CONTROL, false));
    for (int repeat = 0; repeat < 3; ++repeat) {
        ASSERT_TRUE(InjectKeyHalf(VK_OEM_PLUS, false));
    }
    ASSERT_TRUE(m_host.WaitForLine(
        [&](const LogLine& line) {
            return Is(line, "KEYDOWN", 0) && line.Number("vk") == VK_OEM_PLUS &&
                   m_host.Lines("KEYDOWN", 0, mark).size() == 4; // Ctrl and three of +
        },
        10000, mark))
        << m_host.Transcript();
    EXPECT_TRUE(m_host.Lines("EXECWB", 0, mark).empty()) << m_host.Transcript();
    mark = m_host.Mark();
    ASSERT_TRUE(InjectKeyHalf(VK_OEM_PLUS, true));
    ASSERT_TRUE(InjectKeyHalf(VK_CONTROL, true));
    ASSERT_TRUE(m_host.WaitForLine(
        [](const LogLine& line) { return Is(line, "KEYUP", 0) && line.Number("vk") == VK_CONTROL; },
        10000, mark))
        << m_host.Transcript();
    EXPECT_EQ(ZoomLevels(m_host, 0, mark), std::vector<int>{120}) << m_host.Transcript();

    ExpectStep(VK_ADD, 140);
    ExpectStep(VK_OEM_MINUS, 120);
    ExpectStep(VK_SUBTRACT, 100);
    ExpectStep(VK_SUBTRACT, 80);
    ExpectStep('0', 100, true);
    ExpectStep(VK_ADD, 120);
    ExpectStep(VK_NUMPAD0, 100, true);
    EXPECT_EQ(Ask(m_host, L"zoom 0"), 100);
    EXPECT_EQ(m_host.Quit(), 0u) << m_host.Transcript();
}

TEST_F(ZoomInput, KeysWithoutCtrlAndOtherKeysPassThroughWithoutZoom) {
    ASSERT_NO_FATAL_FAILURE(StartFocused(L""));
    for (WORD vk : {WORD(VK_OEM_PLUS), WORD(VK_ADD), WORD(VK_OEM_MINUS), WORD(VK_SUBTRACT),
                    WORD('0'), WORD(VK_NUMPAD0)}) {
        SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << vk);
        const Gesture press = PressKey(m_host, 0, vk, false);
        ASSERT_TRUE(press.delivered) << m_host.Transcript();
        EXPECT_EQ(press.message.Number("ctrl"), 0);
        EXPECT_TRUE(press.execwb.empty()) << m_host.Transcript();
    }
    for (WORD vk : {WORD('1'), WORD('A'), WORD(VK_MULTIPLY), WORD(VK_OEM_PERIOD)}) {
        SCOPED_TRACE(testing::Message() << "Ctrl + vk 0x" << std::hex << vk);
        const Gesture press = PressKey(m_host, 0, vk, true);
        ASSERT_TRUE(press.delivered) << m_host.Transcript();
        EXPECT_TRUE(press.execwb.empty()) << m_host.Transcript();
    }
    EXPECT_EQ(Ask(m_host, L"zoom 0"), 100);
}

TEST_F(ZoomInput, CtrlWheelStepsOncePerNotchInBothDirections) {
    ASSERT_NO_FATAL_FAILURE(StartFocused(L""));
    ASSERT_TRUE(m_host.PointAt(0)) << m_host.Transcript();
    ExpectWheelStep(WHEEL_DELTA, 120);
    ExpectWheelStep(3 * WHEEL_DELTA, 180); // three notches at once: one call, three steps
    ExpectWheelStep(-WHEEL_DELTA, 160);
    ExpectWheelStep(-2 * WHEEL_DELTA, 120);
    ExpectWheelStep(0, 100); // no distance counts as towards the user
    EXPECT_EQ(Ask(m_host, L"zoom 0"), 100);

    // A touchpad pinch: many small distances give one step per notch's worth, and what is left
    // over goes when the fingers turn.
    Gesture pinch = TurnWheelSeries(m_host, 0, 30, 9);
    ASSERT_TRUE(pinch.delivered) << m_host.Transcript();
    EXPECT_EQ(pinch.Levels(), (std::vector<int>{120, 140})) << m_host.Transcript();
    pinch = TurnWheelSeries(m_host, 0, -40, 3);
    ASSERT_TRUE(pinch.delivered) << m_host.Transcript();
    EXPECT_EQ(pinch.Levels(), std::vector<int>{120}) << m_host.Transcript();
    EXPECT_EQ(Ask(m_host, L"zoom 0"), 120);

    // Without Ctrl the wheel is the page's own.
    const Gesture plain = TurnWheel(m_host, 0, WHEEL_DELTA, false);
    ASSERT_TRUE(plain.delivered) << m_host.Transcript();
    EXPECT_EQ(plain.message.Number("keys").value_or(-1) & MK_CONTROL, 0);
    EXPECT_TRUE(plain.execwb.empty()) << m_host.Transcript();
}

TEST_F(ZoomInput, StepsStopAtTheBrowsersRangeInBothDirections) {
    ASSERT_NO_FATAL_FAILURE(StartFocused(L"--range=10,190"));
    for (int level : {120, 140, 160, 180, 190, 190}) {
        ExpectStep(VK_OEM_PLUS, level);
    }
    ExpectStep('0', 100, true);
    for (int level : {80, 60, 40, 20, 10, 10}) {
        ExpectStep(VK_OEM_MINUS, level);
    }
    ExpectStep(VK_ADD, 30); // off the 20-grid until reset
    EXPECT_EQ(Ask(m_host, L"zoom 0"), 30);
    for (const LogLine& call : m_host.Lines("EXECWB", 0)) {
        EXPECT_EQ(call.Number("hr"), 0) << "every level lay within the range\n"
                                        << m_host.Transcript();
    }
}

TEST_F(ZoomInput, TopOfTheCommonRangeIsReachedAndKept) {
    ASSERT_NO_FATAL_FAILURE(StartFocused(L"--range=10,1000"));
    for (int level = 120; level <= 980; level += 20) {
        const Gesture step = PressKey(m_host, 0, VK_ADD);
        ASSERT_TRUE(step.delivered) << m_host.Transcript();
        ASSERT_EQ(step.Levels(), std::vector<int>{level}) << m_host.Transcript();
    }
    ExpectStep(VK_ADD, 1000);
    ExpectStep(VK_ADD, 1000);
    EXPECT_EQ(Ask(m_host, L"zoom 0"), 1000);
}

// Asked every step, the browser answers the range four times and then fails: the steps keep
// to the last range it gave, not to the defaults of 10 and 1000.
TEST_F(ZoomInput, FailedRangeQueryKeepsTheLastKnownRange) {
    ASSERT_NO_FATAL_FAILURE(StartFocused(L"--range=30,190 --range-answers=4"));
    for (int level : {120, 140, 160, 180, 190, 190}) {
        ExpectStep(VK_OEM_PLUS, level);
    }
    ExpectStep(VK_NUMPAD0, 100, true);
    for (int level : {80, 60, 40, 30, 30}) {
        ExpectStep(VK_SUBTRACT, level);
    }
    int failed = 0;
    for (const LogLine& call : m_host.Lines("EXECWB", 0)) {
        if (call.Number("cmd") == kCmdZoomRange) {
            failed += call.Number("hr") != 0 ? 1 : 0;
        } else {
            EXPECT_EQ(call.Number("hr"), 0) << m_host.Transcript();
        }
    }
    EXPECT_EQ(failed, 7) << m_host.Transcript();
}

} // namespace
