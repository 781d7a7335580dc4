// What the main program costs the user while it waits in the tray: its private memory, how long
// it takes from start to its tray icon, and from "/u" until its process is gone. Printed as one
// table; speed never fails the test. The checks only make sure that each figure measured what it
// claims: the tray probe answers only while an icon exists, the memory was read from the running,
// hidden program with its icon in the tray, and the exit was the program's own clean one.
#include "app_fixture.h"

#include "test_process.h"
#include "test_windows.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace lumivex::appe2e;
namespace test = lumivex::test;

namespace {

constexpr int kRounds = 5;
constexpr double kMemoryGoalMb = 3.0;
// Long enough for the start-up's late work (the server's start, the first paint) to settle.
constexpr DWORD kIdleMs = 1500;

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool TrayHolds(HWND owner, UINT id = kTrayIconId) {
    return test::TrayHoldsIcon(owner, id);
}

struct Figures {
    std::vector<double> memoryMb, floorMb, trayMs, exitMs;
};

// The counter the memory figure came from, for the table.
const char* g_memoryCounter = "PrivateUsage";

// The process's private memory (commit charge) in MB. Windows reports it in PrivateUsage and,
// the same value, in PagefileUsage; Wine 8 leaves PrivateUsage 0 for another process, so there
// PagefileUsage stands in. Nothing when neither was read.
std::optional<double> CommitChargeMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof counters)) {
        ADD_FAILURE() << "K32GetProcessMemoryInfo: " << GetLastError();
        return std::nullopt;
    }
    SIZE_T bytes = counters.PrivateUsage;
    if (bytes == 0) {
        bytes = counters.PagefileUsage;
        g_memoryCounter = "PagefileUsage";
    }
    if (bytes == 0 || counters.WorkingSetSize == 0) {
        ADD_FAILURE() << "no commit charge read (working set " << counters.WorkingSetSize << ")";
        return std::nullopt;
    }
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

double Best(std::vector<double> values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void PrintRow(const char* what, const std::vector<double>& values, const char* goal) {
    std::printf("  %-44s %9.2f %9.2f   %s\n", what, Best(values), Median(values), goal);
}

class AppBench : public AppTest {
protected:
    // One run: start with "/m" until the icon is in the tray, idle, the memory, then "/u" until
    // the process is gone. False when a figure would not be what it claims.
    bool Round(Figures& figures) {
        test::ChildProcess app;
        const double start = Now();
        if (!app.Start(m_folder.program(), L"/m")) {
            ADD_FAILURE() << "cannot start " << test::Narrow(m_folder.program());
            return false;
        }
        HWND dialog = nullptr;
        const bool inTray = test::WaitUntil(
            [&] {
                if (!dialog) {
                    HWND found = FindMainDialog();
                    dialog = found && test::ProcessOf(found) == app.pid() ? found : nullptr;
                }
                return dialog && TrayHolds(dialog);
            },
            20000, 5);
        const double trayAt = Now();
        if (!inTray) {
            ADD_FAILURE() << (dialog ? "the icon never came into the tray"
                                     : "no dialog answered the instance query");
            return false;
        }

        Sleep(kIdleMs);
        const std::optional<double> memory = CommitChargeMb(app.handle());
        EXPECT_EQ(app.Wait(0), STILL_ACTIVE) << "the program ended while idle";
        EXPECT_FALSE(IsWindowVisible(dialog)) << "\"/m\" keeps the dialog hidden";
        EXPECT_TRUE(TrayHolds(dialog)) << "the icon left the tray while idle";

        const double quit = Now();
        const DWORD quitter = test::RunProgram(m_folder.program(), L"/u", 20000);
        const DWORD code = app.Wait(20000);
        const double goneAt = Now();
        EXPECT_EQ(quitter, 0u) << "the \"/u\" instance";
        EXPECT_EQ(code, 0u) << "the program's own exit, not a kill or a crash";
        EXPECT_FALSE(TrayHolds(dialog)) << "the icon left with the program";
        EXPECT_TRUE(WaitNoServer()) << "the server ended with the program";
        if (!memory || code != 0) {
            return false;
        }
        figures.memoryMb.push_back(*memory);
        figures.trayMs.push_back((trayAt - start) * 1000);
        figures.exitMs.push_back((goneAt - quit) * 1000);
        return true;
    }

    // The same reading of a bare window program after the same idle time.
    bool Floor(Figures& figures) {
        test::ChildProcess idle;
        if (!idle.Start(test::ProgramDir() + L"\\app_bench_idle.exe", L"") ||
            WaitForInputIdle(idle.handle(), 20000) != 0) {
            ADD_FAILURE() << "the bare window program did not start";
            return false;
        }
        Sleep(kIdleMs);
        const std::optional<double> memory = CommitChargeMb(idle.handle());
        EXPECT_EQ(idle.Wait(0), STILL_ACTIVE) << "the bare window program ended by itself";
        if (!memory) {
            return false;
        }
        figures.floorMb.push_back(*memory);
        return true;
    }
};

// The probe the start-up figure polls: under Wine as under Windows, NIM_MODIFY succeeds only
// for an icon the tray holds, and only for its owner and id.
TEST_F(AppBench, TrayProbeAnswersOnlyWhileTheIconExists) {
    lumivex::UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10,
                                                nullptr, nullptr, GetModuleHandleW(nullptr),
                                                nullptr));
    ASSERT_TRUE(owner);
    EXPECT_FALSE(TrayHolds(owner.get())) << "before the icon was added";
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = owner.get();
    data.uID = kTrayIconId;
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpyW(data.szTip, L"probe");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_TRUE(TrayHolds(owner.get()));
    EXPECT_FALSE(TrayHolds(owner.get(), kTrayIconId + 1)) << "another id of the same owner";
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(TrayHolds(owner.get())) << "after the icon was deleted";
}

TEST_F(AppBench, MemoryStartAndExitOfTheTrayProgram) {
    Figures figures;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(Round(figures));
        ASSERT_TRUE(Floor(figures));
    }
    std::vector<double> above;
    for (size_t i = 0; i < figures.memoryMb.size(); ++i) {
        above.push_back(figures.memoryMb[i] - figures.floorMb[i]);
    }
    std::printf("\nMain program Lumivex.exe, 32-bit, %d rounds (memory: %s)\n", kRounds,
                g_memoryCounter);
    std::printf("  %-44s %9s %9s   %s\n", "", "best", "median", "goal");
    char goal[32];
    std::snprintf(goal, sizeof goal, "<= %.0f MB", kMemoryGoalMb);
    PrintRow("private memory, idle in the tray (MB)", figures.memoryMb, goal);
    PrintRow("  a bare window program, the same way (MB)", figures.floorMb,
             "(the platform's floor)");
    PrintRow("  the program above that floor (MB)", above, "");
    PrintRow("start (\"/m\") to icon in the tray (ms)", figures.trayMs, "");
    PrintRow("\"/u\" to process gone (ms)", figures.exitMs, "");
    std::fflush(stdout);
}

} // namespace
