// The hook library's window-free rules: configuration values, program names, the prompt marker
// and zoom stepping.
#include "hooklib/hook_rules.h"
#include "hooklib/pass_on_index.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

using namespace lumivex::hook;

TEST(HookRules, BrowsersValueSuppressesPromptOnlyWhenItReadsAsZero) {
    EXPECT_TRUE(PromptSuppressedBy(L"0"));
    EXPECT_TRUE(PromptSuppressedBy(L"00"));
    EXPECT_TRUE(PromptSuppressedBy(L"no"));
    EXPECT_TRUE(PromptSuppressedBy(L"  -0x"));
    EXPECT_FALSE(PromptSuppressedBy(L"1"));
    EXPECT_FALSE(PromptSuppressedBy(L"2x"));
    EXPECT_FALSE(PromptSuppressedBy(L" +7"));
    EXPECT_FALSE(PromptSuppressedBy(L"-3"));
    // Nothing read is no refusal: the prompt is shown.
    EXPECT_FALSE(PromptSuppressedBy(L""));
    // Long digit runs saturate instead of overflowing back to zero.
    EXPECT_FALSE(PromptSuppressedBy(L"4294967296"));
    EXPECT_FALSE(PromptSuppressedBy(std::wstring(63, L'9')));
}

TEST(HookRules, LeadingIntegerStopsAtFirstOtherCharacter) {
    EXPECT_EQ(ReadLeadingInteger(L"12ab3"), 12);
    EXPECT_EQ(ReadLeadingInteger(L"\t 42"), 42);
    EXPECT_EQ(ReadLeadingInteger(L"-15"), -15);
    EXPECT_EQ(ReadLeadingInteger(L"+"), 0);
    EXPECT_EQ(ReadLeadingInteger(L"x1"), 0);
}

TEST(HookRules, ProgramNamesAreLowerCasedInAsciiOnly) {
    EXPECT_EQ(LowerAsciiLetters(L"HH.EXE"), L"hh.exe");
    EXPECT_EQ(LowerAsciiLetters(L"\u00C4Bc.Exe"), L"\u00C4bc.exe");
    EXPECT_EQ(FileNameOf(L"C:\\Windows\\HH.EXE"), L"HH.EXE");
    EXPECT_EQ(FileNameOf(L"reader.exe"), L"reader.exe");
    EXPECT_EQ(FileNameOf(L"C:\\dir\\"), L"");
}

TEST(HookRules, ClassNameComparisonIgnoresOnlyAsciiCase) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"internet explorer_server", L"Internet Explorer_Server"));
    EXPECT_FALSE(
        EqualsIgnoringAsciiCase(L"Internet Explorer_Server ", L"Internet Explorer_Server"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"\u00E4", L"\u00C4"));
}

TEST(HookRules, PromptMarkerNamesTheProcessInEightHexDigits) {
    EXPECT_EQ(PromptMarkerName(1234), L"Local\\LumivexDllIsAlreadyPrompt_PID_000004D2");
    EXPECT_EQ(PromptMarkerName(0xDEADBEEF), L"Local\\LumivexDllIsAlreadyPrompt_PID_DEADBEEF");
}

TEST(HookRules, ZoomKeys) {
    EXPECT_EQ(ZoomActionForKey(0x30), ZoomAction::Reset);
    EXPECT_EQ(ZoomActionForKey(0x60), ZoomAction::Reset);
    EXPECT_EQ(ZoomActionForKey(0x6B), ZoomAction::In);
    EXPECT_EQ(ZoomActionForKey(0xBB), ZoomAction::In);
    EXPECT_EQ(ZoomActionForKey(0x6D), ZoomAction::Out);
    EXPECT_EQ(ZoomActionForKey(0xBD), ZoomAction::Out);
    EXPECT_EQ(ZoomActionForKey(0x31), ZoomAction::None);
    EXPECT_EQ(ZoomActionForKey(0x11), ZoomAction::None);
}

TEST(HookRules, WheelZoomsOnlyWithControlAndZeroDistanceZoomsOut) {
    constexpr std::uintptr_t ctrl = 0x0008;
    EXPECT_EQ(ZoomActionForWheel(ctrl | (120u << 16)), ZoomAction::In);
    EXPECT_EQ(ZoomActionForWheel(ctrl | (0xFF88u << 16)), ZoomAction::Out); // -120
    EXPECT_EQ(ZoomActionForWheel(ctrl), ZoomAction::Out);
    EXPECT_EQ(ZoomActionForWheel(120u << 16), ZoomAction::None);
    EXPECT_EQ(ZoomActionForWheel(0x0004 | (120u << 16)), ZoomAction::None); // Shift only
}

TEST(WheelSteps, AClassicWheelStepsOncePerNotchAsBefore) {
    WheelSteps wheel;
    std::uint32_t now = 1000;
    for (int distance : {120, 120, -120, 120, -120, -120}) {
        EXPECT_EQ(wheel.Add(distance, now += 50), distance > 0 ? 1 : -1) << distance;
    }
    EXPECT_EQ(wheel.Add(0, now += 50), -1) << "no distance still counts as towards the user";
    EXPECT_EQ(WheelDistance(0x0008 | (0xFF88u << 16)), -120);
}

TEST(WheelSteps, SmallDistancesGatherToOneStepPerNotchInEitherDirection) {
    WheelSteps wheel;
    std::uint32_t now = 5000;
    std::vector<int> steps;
    for (int i = 0; i < 9; ++i) {
        steps.push_back(wheel.Add(30, now += 8)); // a pinch: many small distances
    }
    EXPECT_EQ(steps, (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
    // A turn drops the 30 left over instead of cancelling against it.
    EXPECT_EQ(wheel.Add(-90, now += 8), 0);
    EXPECT_EQ(wheel.Add(-30, now += 8), -1);
    // Several notches in one message are as many steps; a flood stops at the widest range.
    EXPECT_EQ(wheel.Add(360, now += 8), 3);
    EXPECT_EQ(wheel.Add(-32768, now += 8), -kMaxWheelSteps);
}

TEST(WheelSteps, APauseDropsWhatWasGatheredAlsoAcrossTheTickCountsWrap) {
    WheelSteps wheel;
    std::uint32_t now = 0xFFFFFF00u;
    EXPECT_EQ(wheel.Add(100, now), 0);
    EXPECT_EQ(wheel.Add(10, now += kWheelPauseMs - 1), 0); // wraps: 0x000000F3
    EXPECT_EQ(wheel.Add(10, now += 1), 1) << "just inside the pause: still one gesture";
    EXPECT_EQ(wheel.Add(100, now += 10), 0);
    EXPECT_EQ(wheel.Add(100, now += kWheelPauseMs), 0) << "after a pause the 100 went";
    EXPECT_EQ(wheel.Add(20, now += 10), 1);
}

TEST(HookRules, AProgramsOwnLevelIsAPositiveNumberElseTheUsual100) {
    EXPECT_EQ(DefaultZoomFromValue(L"140"), 140);
    EXPECT_EQ(DefaultZoomFromValue(L" 150 %"), 150);
    EXPECT_EQ(DefaultZoomFromValue(L"5"), 5) << "the browser's range limits it, not the reading";
    for (const wchar_t* value : {L"", L"0", L"-40", L"big", L"%150"}) {
        EXPECT_EQ(DefaultZoomFromValue(value), kZoomDefault) << value;
    }
    EXPECT_EQ(DefaultZoomFromValue(L"99999999999999999999"), 100000);
    const ZoomRange range{10, 190};
    EXPECT_EQ(ClampZoom(150, range), 150);
    EXPECT_EQ(ClampZoom(400, range), 190);
    EXPECT_EQ(ClampZoom(5, range), 10);
}

TEST(HookRules, AValueReadingAsZeroHidesAProgramsZoomLabel) {
    for (const wchar_t* value : {L"", L"1", L"2"}) {
        EXPECT_TRUE(LabelShownFor(value)) << value;
    }
    for (const wchar_t* value : {L"0", L"00", L" 0", L"no", L"off"}) {
        EXPECT_FALSE(LabelShownFor(value)) << value;
    }
}

TEST(HookRules, ZoomStepsClampAtTheBrowserRange) {
    const ZoomRange common = UnpackZoomRange((1000u << 16) | 10u);
    EXPECT_EQ(common.minimum, 10);
    EXPECT_EQ(common.maximum, 1000);

    int level = 100;
    for (int i = 0; i < 5; ++i) {
        level = StepZoom(level, ZoomAction::In, common);
    }
    EXPECT_EQ(level, 200);

    EXPECT_EQ(StepZoom(980, ZoomAction::In, common), 1000);
    EXPECT_EQ(StepZoom(1000, ZoomAction::In, common), 1000);

    level = 100;
    const int expected[] = {80, 60, 40, 20, 10, 10};
    for (int want : expected) {
        level = StepZoom(level, ZoomAction::Out, common);
        EXPECT_EQ(level, want);
    }
    EXPECT_EQ(StepZoom(level, ZoomAction::In, common), 30);
    EXPECT_EQ(StepZoom(730, ZoomAction::Reset, common), 100);
    EXPECT_EQ(StepZoom(730, ZoomAction::None, common), 730);
}

// The lock-free index of where windows' messages go on to.
namespace {

HWND Handle(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

LRESULT CALLBACK FirstProc(HWND, UINT, WPARAM, LPARAM) {
    return 1;
}

LRESULT CALLBACK SecondProc(HWND, UINT, WPARAM, LPARAM) {
    return 2;
}

} // namespace

TEST(PassOnIndex, FindsWhatWasSetUntilClearedAndReusesFreedSlots) {
    CPassOnIndex index;
    EXPECT_EQ(index.Find(Handle(0x10010)), nullptr);
    ASSERT_TRUE(index.Set(Handle(0x10010), &FirstProc));
    ASSERT_TRUE(index.Set(Handle(0x10012), &SecondProc));
    EXPECT_EQ(index.Find(Handle(0x10010)), &FirstProc);
    EXPECT_EQ(index.Find(Handle(0x10012)), &SecondProc);
    ASSERT_TRUE(index.Set(Handle(0x10010), &SecondProc)) << "set again: replaced, not doubled";
    EXPECT_EQ(index.Find(Handle(0x10010)), &SecondProc);

    index.Clear(Handle(0x10010));
    EXPECT_EQ(index.Find(Handle(0x10010)), nullptr);
    EXPECT_EQ(index.Find(Handle(0x10012)), &SecondProc) << "a cleared slot keeps later ones found";
    index.ClearAll();
    EXPECT_EQ(index.Find(Handle(0x10012)), nullptr);

    // Freed slots are used again: the table never fills up with windows long gone.
    for (std::uintptr_t round = 0; round < 4 * CPassOnIndex::kSlots; ++round) {
        ASSERT_TRUE(index.Set(Handle(0x20000 + 2 * round), &FirstProc)) << round;
        index.Clear(Handle(0x20000 + 2 * round));
    }
}

TEST(PassOnIndex, FullTableRefusesAndStillAnswersMisses) {
    CPassOnIndex index;
    for (std::uintptr_t i = 0; i < CPassOnIndex::kSlots; ++i) {
        ASSERT_TRUE(index.Set(Handle(0x30000 + 4 * i), &FirstProc)) << i;
    }
    EXPECT_FALSE(index.Set(Handle(0x90000), &SecondProc));
    EXPECT_EQ(index.Find(Handle(0x90000)), nullptr);
    EXPECT_EQ(index.Find(Handle(0x30000 + 4 * 17)), &FirstProc);
}

// Readers on other threads see a window's procedure or nothing, never another window's.
TEST(PassOnIndex, ReadersDuringWritesSeeTheRightProcedureOrNone) {
    CPassOnIndex index;
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!done.load()) {
                for (std::uintptr_t i = 0; i < 64; ++i) {
                    const WNDPROC found = index.Find(Handle(0x40000 + 2 * i));
                    const WNDPROC expected = (i % 2) ? &SecondProc : &FirstProc;
                    if (found && found != expected) {
                        ++wrong;
                    }
                }
            }
        });
    }
    for (int round = 0; round < 2000; ++round) {
        for (std::uintptr_t i = 0; i < 64; ++i) {
            index.Set(Handle(0x40000 + 2 * i), (i % 2) ? &SecondProc : &FirstProc);
        }
        for (std::uintptr_t i = 0; i < 64; i += 1 + round % 3) {
            index.Clear(Handle(0x40000 + 2 * i));
        }
    }
    done = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}
