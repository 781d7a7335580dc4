// What the controller does when used before bInitialize has completed.
#include "controller/core_assist.h"

#include <gtest/gtest.h>

using namespace lumivex;

namespace {

int g_saves = 0;
int g_loads = 0;

OptionLoad CountLoad(CCoreAssist&) {
    ++g_loads;
    return OptionLoad::kLoaded;
}

void CountSave(CCoreAssist&) {
    ++g_saves;
}

} // namespace

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
