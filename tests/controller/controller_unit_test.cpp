// The controller's path rules, and what it does when used before bInitialize has completed.
#include "controller/core_assist.h"
#include "controller/core_paths.h"

#include <gtest/gtest.h>

using namespace lumivex;

namespace {

int g_saves = 0;
int g_loads = 0;

void CountLoad(CCoreAssist&) {
    ++g_loads;
}

void CountSave(CCoreAssist&) {
    ++g_saves;
}

} // namespace

TEST(JoinWithin, TakesWhatFitsWithItsTerminatorAndRefusesOneMore) {
    // 5 + 4 characters and the terminator fill 10 exactly.
    EXPECT_EQ(JoinWithin(L"C:\\a\\", L"b.xy", 10), std::optional<std::wstring>(L"C:\\a\\b.xy"));
    EXPECT_EQ(JoinWithin(L"C:\\a\\", L"bc.xy", 10), std::nullopt);
    EXPECT_EQ(JoinWithin(L"C:\\abcdefgh\\", L"x", 10), std::nullopt) << "folder alone too long";
    EXPECT_EQ(JoinWithin(L"", L"", 1), std::optional<std::wstring>(L""));
    EXPECT_EQ(JoinWithin(L"", L"", 0), std::nullopt);
}

TEST(CoreAssist, BeforeInitializeItLoadsNothingAndSavesNothing) {
    CCoreAssist controller;
    g_loads = g_saves = 0;
    controller.SetOptionFileCalls({&CountLoad, &CountSave});

    // In the 32-bit build the real hook library lies beside this program, where a load by bare
    // name would find it.
    EXPECT_EQ(controller.InstallHook(), 0);
    controller.EnableZoom();
    EXPECT_EQ(g_hHookLib, nullptr);
    EXPECT_EQ(controller.DisableZoom(false), 1);
    EXPECT_EQ(controller.DisableZoom(true), 1);
    EXPECT_EQ(controller.RemoveHook(), 1);
    EXPECT_EQ(controller.bUninitialize(), TRUE);
    EXPECT_EQ(g_saves, 0) << "an option file without a folder would land at the drive's root";
    EXPECT_EQ(g_loads, 0);
}
