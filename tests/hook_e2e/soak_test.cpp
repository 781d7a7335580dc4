// A long run in one browser host: thousands of zoom steps on one taken window and a thousand
// browser windows made, taken over and destroyed, while the host's handles, window-manager and
// graphics objects and the browser objects' references are counted. What the library keeps per
// step or per window would show here as growth.
#include "hook_fixture.h"

#include <cstdio>
#include <vector>

using namespace lumivex::e2e;
using lumivex::UniqueHandle;
using lumivex::browserhost::FormatLogLine;

namespace {

constexpr int kZoomSteps = 10000;
// Real input first, timed: it shows why the rest goes through the host's "wheel" verb.
constexpr int kInjectedSteps = 100;
constexpr int kWheelRun = 50; // steps one way, then as many back: from one end of the range to
                              // the other (10 to 1000 takes 50 steps of 20)
constexpr int kCycles = 1000;
constexpr int kWarmUpCycles = 20; // before the baseline: what the platform makes once
// Growth tolerated from what the platform caches on its own: far below one per cycle.
constexpr long kHandleSlack = 16;
constexpr long kGuiObjectSlack = 8;

struct Resources {
    long handles = 0;     // GetProcessHandleCount
    long listed = 0;      // the host's entries in the system's handle list
    long gdiObjects = 0;  // GetGuiResources
    long userObjects = 0; // GetGuiResources
    long windows = 0;     // the host's windows, top-level and child
};

// Wine answers GetProcessHandleCount and GetGuiResources with 0 (checked): there the handles
// are counted in the system's handle list, and the windows stand in for the USER objects.
// Neither has a stand-in for the GDI objects under Wine.
long ListedHandles(DWORD pid) {
    struct Entry {
        void* object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct List {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using QuerySystem = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) {
        return -1;
    }
    std::vector<ULONG_PTR> buffer(1 << 16);
    LONG status = kLengthMismatch;
    while (status == kLengthMismatch && buffer.size() < (1u << 26)) {
        ULONG needed = 0;
        status = query(kExtendedHandleInformation, buffer.data(),
                       static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)), &needed);
        if (status == kLengthMismatch) {
            buffer.resize(buffer.size() * 2);
        }
    }
    if (status != 0) {
        return -1;
    }
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    long count = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i) {
        count += list->entries[i].process == pid ? 1 : 0;
    }
    return count;
}

struct WindowCount {
    DWORD pid = 0;
    long count = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    auto* counting = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == counting->pid) {
        ++counting->count;
        EnumChildWindows(window, &CountChild, param);
    }
    return TRUE;
}

long Windows(DWORD pid) {
    WindowCount counting{pid, 0};
    EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&counting));
    return counting.count;
}

std::optional<Resources> Count(HANDLE process, DWORD pid) {
    DWORD handles = 0;
    if (!GetProcessHandleCount(process, &handles)) {
        return std::nullopt;
    }
    return Resources{static_cast<long>(handles), ListedHandles(pid),
                     static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS)),
                     static_cast<long>(GetGuiResources(process, GR_USEROBJECTS)), Windows(pid)};
}

void Report(const char* what, const Resources& figures) {
    std::printf("[ figure ] host %-9s handles %ld (in the system's list %ld), GDI objects %ld, "
                "USER objects %ld, windows %ld\n",
                what, figures.handles, figures.listed, figures.gdiObjects, figures.userObjects,
                figures.windows);
}

// The host's lines from `from` on: a failure late in the run needs no transcript of thousands.
std::string LinesSince(HostProcess& host, size_t from) {
    std::string text;
    const std::vector<LogLine>& lines = host.ReadLines();
    for (size_t i = from; i < lines.size(); ++i) {
        const LogLine& line = lines[i];
        text += "  " + FormatLogLine(line.seq, line.pid, line.kind, line.fields) + "\n";
    }
    return text;
}

// A new browser window, taken over by the hook on its first focus change, then destroyed; its
// index goes to `index`. Empty, or what went wrong.
std::string Cycle(HostProcess& host, int& index) {
    const size_t mark = host.Mark();
    const std::optional<int> created = host.CreateBrowser();
    std::string failure;
    if (!created) {
        failure = "no browser made";
    } else if (index = *created;
               !FocusAndSettle(host, index) || !AnswersProbe(host.browser(index))) {
        failure = "not taken";
    } else if (host.SendFor(index, L"refs").value_or(kNoReply) != 1) {
        failure = "the library does not hold the browser alone";
    } else if (host.SendFor(index, L"destroy").value_or(kNoReply) != 1) {
        failure = "not destroyed";
    }
    return failure.empty() ? failure : failure + "\n" + LinesSince(host, mark);
}

TEST_F(HookTest, SoakLeavesTheHostsHandlesObjectsAndReferencesLevel) {
    InstallHook();
    HostProcess host;
    ASSERT_TRUE(host.Start(L"")) << host.error();
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, host.pid()));
    ASSERT_TRUE(process) << "error " << GetLastError();
    ASSERT_TRUE(FocusAndSettle(host, 0)) << host.Transcript();
    ASSERT_TRUE(AnswersProbe(host.browser(0))) << "the hook did not take the browser";
    const std::optional<Resources> start = Count(process.get(), host.pid());
    ASSERT_TRUE(start.has_value()) << "error " << GetLastError();
    Report("start", *start);

    unsigned long long begun = NowMs();
    for (int step = 0; step < kInjectedSteps; ++step) {
        const bool in = step % 2 == 0;
        const Gesture gesture = PressKey(host, 0, in ? VK_ADD : VK_SUBTRACT);
        ASSERT_TRUE(gesture.delivered) << "step " << step << "\n" << host.Transcript();
        ASSERT_EQ(gesture.Levels(), std::vector<int>{in ? 120 : 100}) << "step " << step;
    }
    const unsigned long long injectedMs = NowMs() - begun;

    std::vector<int> dead;
    begun = NowMs();
    for (int cycle = 0; cycle < kWarmUpCycles; ++cycle) {
        int index = -1;
        const std::string failure = Cycle(host, index);
        ASSERT_EQ(failure, "") << "cycle " << cycle;
        dead.push_back(index);
    }
    const std::optional<Resources> baseline = Count(process.get(), host.pid());
    ASSERT_TRUE(baseline.has_value());
    Report("baseline", *baseline);

    // The zoom runs and the remaining cycles interleaved, so the windows come and go while one
    // window keeps zooming. The level goes from 100 to the top of the range (1000) and down to
    // its bottom (10), and from then on from end to end.
    constexpr int kRuns = (kZoomSteps - kInjectedSteps) / (2 * kWheelRun);
    static_assert(kRuns * 2 * kWheelRun + kInjectedSteps == kZoomSteps);
    unsigned long long wheelMs = 0;
    int cycle = kWarmUpCycles;
    for (int run = 0; run < kRuns; ++run) {
        const unsigned long long wheelStart = NowMs();
        ASSERT_EQ(Ask(host, L"wheel 0 " + std::to_wstring(kWheelRun)), 1000) << "run " << run;
        ASSERT_EQ(Ask(host, L"wheel 0 -" + std::to_wstring(kWheelRun)), 10) << "run " << run;
        wheelMs += NowMs() - wheelStart;
        for (const int until = kWarmUpCycles + (kCycles - kWarmUpCycles) * (run + 1) / kRuns;
             cycle < until; ++cycle) {
            int index = -1;
            const std::string failure = Cycle(host, index);
            ASSERT_EQ(failure, "") << "cycle " << cycle;
            dead.push_back(index);
        }
    }
    const unsigned long long cyclesMs = NowMs() - begun - wheelMs;
    ASSERT_EQ(cycle, kCycles);
    ASSERT_EQ(dead.size(), static_cast<size_t>(kCycles));

    const std::optional<Resources> end = Count(process.get(), host.pid());
    ASSERT_TRUE(end.has_value());
    Report("end", *end);
    std::printf("[ figure ] %d injected key steps: %.1f ms each (%.0f s for %d steps)\n",
                kInjectedSteps, static_cast<double>(injectedMs) / kInjectedSteps,
                static_cast<double>(injectedMs) * kZoomSteps / kInjectedSteps / 1000, kZoomSteps);
    std::printf("[ figure ] %d wheel steps through the host: %.3f ms each\n",
                kZoomSteps - kInjectedSteps,
                static_cast<double>(wheelMs) / (kZoomSteps - kInjectedSteps));
    std::printf("[ figure ] %d attach/detach cycles: %.1f ms each, %.0f s in all\n", kCycles,
                static_cast<double>(cyclesMs) / kCycles, static_cast<double>(cyclesMs) / 1000);
    RecordProperty("handles_growth", static_cast<int>(end->handles - baseline->handles));
    RecordProperty("listed_handles_growth", static_cast<int>(end->listed - baseline->listed));
    RecordProperty("gdi_growth", static_cast<int>(end->gdiObjects - baseline->gdiObjects));
    RecordProperty("user_growth", static_cast<int>(end->userObjects - baseline->userObjects));
    RecordProperty("windows_growth", static_cast<int>(end->windows - baseline->windows));
    RecordProperty("cycle_ms", static_cast<int>(cyclesMs / kCycles));
    EXPECT_GT(baseline->listed, 0) << "the host's handles are not in the system's list";
    EXPECT_GT(baseline->windows, 0);
    EXPECT_LE(end->handles, baseline->handles + kHandleSlack);
    EXPECT_LE(end->listed, baseline->listed + kHandleSlack);
    EXPECT_LE(end->gdiObjects, baseline->gdiObjects + kGuiObjectSlack);
    EXPECT_LE(end->userObjects, baseline->userObjects + kGuiObjectSlack);
    EXPECT_LE(end->windows, baseline->windows + kGuiObjectSlack);

    // Every wheel message reached the host's own procedure after the library's.
    EXPECT_EQ(host.Lines("WHEEL", 0).size(), static_cast<size_t>(kZoomSteps - kInjectedSteps));
    EXPECT_EQ(Ask(host, L"zoom 0"), 10);
    EXPECT_EQ(Ask(host, L"refs 0"), 1) << "the library holds the live browser once";
    int held = 0;
    for (int index : dead) {
        held += Ask(host, L"refs " + std::to_wstring(index)) != 0 ? 1 : 0;
    }
    EXPECT_EQ(held, 0) << "destroyed browsers whose objects are still referenced";
    const size_t beforeQuit = host.Mark();
    EXPECT_EQ(host.Quit(), 0u) << LinesSince(host, beforeQuit);
    const std::optional<LogLine> exit = host.WaitForLine(
        [](const LogLine& line) { return lumivex::browserhost::Is(line, "EXIT"); }, 1000);
    ASSERT_TRUE(exit.has_value()) << LinesSince(host, beforeQuit);
    EXPECT_EQ(exit->Number("client_refs"), 0);
    for (const LogLine& line : host.Lines("ERROR")) {
        ADD_FAILURE() << FormatLogLine(line.seq, line.pid, line.kind, line.fields);
    }
}

} // namespace
