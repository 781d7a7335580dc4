// What the hook library costs the programs it enters, measured side by side in one run and
// printed as one table for this bitness. Speed never fails the test; the checks only make sure
// that each figure measured what it claims (the window really was subclassed, the hook really
// was installed, the child really loaded the library).
#include "test_files.h"
#include "test_process.h"

#include "support/owners.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace test = lumivex::test;

namespace {

constexpr bool k64 = sizeof(void*) == 8;
constexpr UINT kProbeMessage = 0x81F4;
constexpr LRESULT kProbeReply = static_cast<LRESULT>(0xAF2891FAu);
constexpr UINT kPlainMessage = WM_USER + 77;
constexpr int kRounds = 15;

std::wstring LibraryName() {
    return k64 ? L"LumivexDll64.dll" : L"LumivexDll.dll";
}

std::wstring LibraryPath() {
    return test::ProgramDir() + L"\\" + LibraryName();
}

double SecondsPerTick() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1.0 / static_cast<double>(frequency.QuadPart);
}

// Seconds `count` calls of `step` take.
double Time(int count, const std::function<void(int)>& step) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) {
        step(i);
    }
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * SecondsPerTick();
}

// The best of several runs stands for the cost: other work on the machine only ever adds.
double Best(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// Without against with the library, the same work alternating round by round so that drift of
// the machine hits both; the best round of each stands for it.
struct SideBySide {
    double without = 1e30;
    double with = 1e30;
    double ratio() const { return without > 0 ? with / without : 0; }
};

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPlainMessage || message == WM_KEYUP) {
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The least any subclass costs: a procedure that only forwards to the previous one.
WNDPROC g_forwardTo = nullptr;

LRESULT CALLBACK ForwardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(g_forwardTo, window, message, wParam, lParam);
}

// The least any CBT hook costs: one that only passes the event on.
LRESULT CALLBACK PassOnHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The library loaded into this process by full path, with the three exports.
struct Library {
    Library() {
        module.reset(LoadLibraryW(LibraryPath().c_str()));
        if (module) {
            set = reinterpret_cast<HookFunction>(
                reinterpret_cast<void*>(GetProcAddress(module.get(), "SetIECBT")));
            clear = reinterpret_cast<HookFunction>(
                reinterpret_cast<void*>(GetProcAddress(module.get(), "ClearIECBT")));
            initialize = reinterpret_cast<InitializeFunction>(
                reinterpret_cast<void*>(GetProcAddress(module.get(), "Initialize")));
        }
    }
    bool ok() const { return module && set && clear && initialize; }

    using HookFunction = BOOL(WINAPI*)();
    using InitializeFunction = int(WINAPI*)(HWND, int, void*, int);
    lumivex::UniqueModule module;
    HookFunction set = nullptr;
    HookFunction clear = nullptr;
    InitializeFunction initialize = nullptr;
};

// Figures of fresh processes, one entry per run.
struct StartUp {
    std::vector<double> load, first, next;
    std::vector<int> mapped; // the library was in the process after its first focus change
};

class HookBench : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &PlainProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Internet Explorer_Server";
        RegisterClassW(&wc);
        wc.lpszClassName = L"LumivexBenchPlain";
        RegisterClassW(&wc);
        // The configuration a first run of the main program writes, and no prompt here.
        const std::wstring folder = test::AppDataDir() + L"\\Lumivex";
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring ini = folder + L"\\browsers.ini";
        for (const wchar_t* name : {L"iexplore.exe", L"maxthon.exe", L"avant.exe", L"deepnet.exe",
                                    L"sbrowser.exe", L"greenbrowser.exe", L"outlook.exe"}) {
            WritePrivateProfileStringW(L"Processes", name, L"0", ini.c_str());
        }
        for (const wchar_t* name : {L"hook_bench.exe", L"hook_bench_startup.exe"}) {
            WritePrivateProfileStringW(L"Browsers", name, L"0", ini.c_str());
        }
    }

    void TearDown() override { test::ResetPerUserState(); }

    static HWND Create(const wchar_t* className, HWND parent) {
        return CreateWindowExW(0, className, L"", parent ? WS_CHILD | WS_VISIBLE : WS_POPUP, 0, 0,
                               100, 100, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    // Message cost: a browser window subclassed through Initialize against its unsubclassed
    // twin; `floor` gets a third twin behind a subclass that only forwards.
    SideBySide Messages(Library& library, UINT message, WPARAM wParam, int count,
                        SideBySide& floor) {
        lumivex::UniqueWindow taken(Create(L"Internet Explorer_Server", nullptr));
        lumivex::UniqueWindow twin(Create(L"Internet Explorer_Server", nullptr));
        lumivex::UniqueWindow forwarded(Create(L"Internet Explorer_Server", nullptr));
        EXPECT_EQ(library.initialize(taken.get(), 0, nullptr, 0), 1);
        test::PumpMessages(); // the attach message: no browser answers, so no zoom and no prompt
        EXPECT_EQ(SendMessageW(taken.get(), kProbeMessage, 0, 0), kProbeReply);
        EXPECT_NE(SendMessageW(twin.get(), kProbeMessage, 0, 0), kProbeReply);
        g_forwardTo = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            forwarded.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForwardProc)));
        EXPECT_EQ(g_forwardTo, &PlainProc);
        const auto send = [&](HWND window) {
            return Time(count, [&](int) { SendMessageW(window, message, wParam, 0); }) / count;
        };
        SideBySide result;
        floor = SideBySide();
        for (int round = 0; round < kRounds; ++round) {
            result.without = std::min(result.without, send(twin.get()));
            result.with = std::min(result.with, send(taken.get()));
            floor.with = std::min(floor.with, send(forwarded.get()));
        }
        floor.without = result.without;
        return result;
    }

    // Focus cost: SetFocus between two child windows of `className`, without the hook and with
    // it installed by this process (its hook procedure then runs in this process directly);
    // `floor` gets the same under a hook of this thread that only passes the events on.
    SideBySide FocusChanges(Library& library, const wchar_t* className, int count,
                            SideBySide& floor) {
        lumivex::UniqueWindow frame(
            CreateWindowExW(0, L"LumivexBenchPlain", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                            0, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        HWND pair[2] = {Create(className, frame.get()), Create(className, frame.get())};
        SetForegroundWindow(frame.get());
        SetFocus(frame.get());
        const auto pingPong = [&](int i) { SetFocus(pair[i & 1]); };
        SideBySide result;
        floor = SideBySide();
        for (int round = 0; round < kRounds; ++round) {
            result.without = std::min(result.without, Time(count, pingPong) / count);
            EXPECT_EQ(library.set(), TRUE);
            result.with = std::min(result.with, Time(count, pingPong) / count);
            EXPECT_EQ(library.clear(), TRUE);
            HHOOK passOn = SetWindowsHookExW(WH_CBT, &PassOnHook, nullptr, GetCurrentThreadId());
            EXPECT_TRUE(passOn);
            floor.with = std::min(floor.with, Time(count, pingPong) / count);
            UnhookWindowsHookEx(passOn);
            test::PumpMessages();
        }
        floor.without = result.without;
        EXPECT_EQ(GetFocus(), pair[(count - 1) & 1]) << "the focus did move";
        return result;
    }

    // A fresh program without browser windows that never loads the library itself, run by turns
    // with the hook installed here (the hook maps the library into it) and without any hook.
    void EnteredProcesses(Library& library, int runs, StartUp& entered, StartUp& plain) {
        for (int run = 0; run < runs; ++run) {
            EXPECT_EQ(library.set(), TRUE);
            Append(entered, FreshProcesses(L"enter", L"bare", 1));
            EXPECT_EQ(library.clear(), TRUE);
            Append(plain, FreshProcesses(L"enter", L"bare", 1));
        }
        for (int mapped : entered.mapped) {
            EXPECT_EQ(mapped, 1) << "the hook did not bring the library into the program";
        }
        for (int mapped : plain.mapped) {
            EXPECT_EQ(mapped, 0) << "the library was there without the hook";
        }
    }

    static void Append(StartUp& to, const StartUp& from) {
        to.load.insert(to.load.end(), from.load.begin(), from.load.end());
        to.first.insert(to.first.end(), from.first.begin(), from.first.end());
        to.next.insert(to.next.end(), from.next.begin(), from.next.end());
        to.mapped.insert(to.mapped.end(), from.mapped.begin(), from.mapped.end());
    }

    // Fresh processes timing the library from the inside; each run is a new process.
    StartUp FreshProcesses(const wchar_t* mode, const wchar_t* kind, int runs) {
        StartUp result;
        test::TempDir dir;
        for (int run = 0; run < runs; ++run) {
            const std::wstring out = dir / L"startup.txt";
            DeleteFileW(out.c_str());
            const DWORD code = test::RunProgram(test::ProgramDir() + L"\\hook_bench_startup.exe",
                                                L"\"" + LibraryPath() + L"\" " + mode + L" " +
                                                    kind + L" \"" + out + L"\"");
            EXPECT_EQ(code, 0u) << test::Narrow(mode) << " run " << run;
            double load = 0, first = 0, next = 0;
            int mapped = 0;
            const std::string text = test::ReadFileBytes(out);
            if (std::sscanf(text.c_str(), "load=%lf first=%lf next=%lf mapped=%d", &load, &first,
                            &next, &mapped) == 4) {
                result.load.push_back(load);
                result.first.push_back(first);
                result.next.push_back(next);
                result.mapped.push_back(mapped);
            } else {
                ADD_FAILURE() << "no figures from the child: \"" << text << "\"";
            }
        }
        return result;
    }
};

void PrintRow(const char* what, const char* unit, double scale, const SideBySide& figures,
              const char* target) {
    std::printf("  %-44s %9.2f %9.2f %7.2f   %s\n", (std::string(what) + " (" + unit + ")").c_str(),
                figures.without * scale, figures.with * scale, figures.ratio(), target);
}

// `subject` against `reference`, two figures of this run that are not a without/with pair.
void PrintAgainst(const char* what, const char* unit, double scale, double reference,
                  double subject, const char* target) {
    PrintRow(what, unit, scale, SideBySide{reference, subject}, target);
}

// Each run's windows and first focus change together, in ms, sorted.
std::vector<double> Entries(const StartUp& runs) {
    std::vector<double> sums;
    for (size_t i = 0; i < runs.load.size() && i < runs.first.size(); ++i) {
        sums.push_back((runs.load[i] + runs.first[i]) / 1000);
    }
    std::sort(sums.begin(), sums.end());
    return sums;
}

// The best run can be a lucky one on a busy machine; the median shows whether it was.
double Median(const std::vector<double>& sorted) {
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
}

void PrintEntered(const StartUp& entered, const StartUp& plain) {
    std::printf(
        "  fresh process without browser windows, the library brought by the hook (ms, best "
        "of %zu runs)\n",
        entered.load.size());
    std::printf("      %-40s %9s %9s\n", "", "no hook", "hook");
    std::printf("      %-40s %9.3f %9.3f\n", "making its first windows", Best(plain.load) / 1000,
                Best(entered.load) / 1000);
    std::printf("      %-40s %9.3f %9.3f\n", "first focus change", Best(plain.first) / 1000,
                Best(entered.first) / 1000);
    const std::vector<double> plainSums = Entries(plain), enteredSums = Entries(entered);
    std::printf("      %-40s %9.3f %9.3f\n", "windows + first focus change", Best(plainSums),
                Best(enteredSums));
    std::printf("      %-40s %9.3f   <= 1 ms\n", "difference", Best(enteredSums) - Best(plainSums));
    std::printf("      %-40s %9.3f %9.3f\n", "  the same, median run", Median(plainSums),
                Median(enteredSums));
    std::printf("      %-40s %9.3f\n", "  difference of the medians",
                Median(enteredSums) - Median(plainSums));
}

void PrintStartUp(const char* kind, const StartUp& initialize, const StartUp& hooked) {
    const double load = Best(initialize.load) / 1000, first = Best(initialize.first) / 1000;
    const double hookLoad = Best(hooked.load) / 1000, hookFirst = Best(hooked.first) / 1000;
    std::printf("  fresh process, %s (ms, best of %zu runs)\n", kind, initialize.load.size());
    std::printf("    through Initialize:\n");
    std::printf("      %-40s %9.3f\n", "LoadLibraryW", load);
    std::printf("      %-40s %9.3f\n", "first Initialize (start-up, subclass)", first);
    std::printf("      %-40s %9.3f   < 5 ms\n", "load + first use", load + first);
    std::printf("      %-40s %9.3f\n", "then the attach message (no browser)",
                Best(initialize.next) / 1000);
    std::printf("    through the hook (SetIECBT, then SetFocus):\n");
    std::printf("      %-40s %9.3f\n", "LoadLibraryW", hookLoad);
    std::printf("      %-40s %9.3f\n", "first focus change (start-up, decision)", hookFirst);
    std::printf("      %-40s %9.3f   < 5 ms\n", "load + first focus change", hookLoad + hookFirst);
    std::printf("      %-40s %9.3f\n", "second focus change", Best(hooked.next) / 1000);
}

TEST_F(HookBench, FiguresForThisBitness) {
    Library library;
    ASSERT_TRUE(library.ok()) << "cannot load " << test::Narrow(LibraryPath());

    LARGE_INTEGER phase[4];
    QueryPerformanceCounter(&phase[0]);
    SideBySide plainFloor, keyUpFloor;
    const SideBySide plainMessage = Messages(library, kPlainMessage, 0, 10000, plainFloor);
    const SideBySide keyUp = Messages(library, WM_KEYUP, 'A', 10000, keyUpFloor);
    SideBySide keyState;
    keyState.without = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        keyState.without =
            std::min(keyState.without, Time(400, [](int) { GetKeyState(VK_CONTROL); }) / 400);
    }
    QueryPerformanceCounter(&phase[1]);
    SideBySide plainFocusFloor, browserFocusFloor;
    const SideBySide plainFocus = FocusChanges(library, L"LumivexBenchPlain", 50, plainFocusFloor);
    const SideBySide browserFocus =
        FocusChanges(library, L"Internet Explorer_Server", 50, browserFocusFloor);
    QueryPerformanceCounter(&phase[2]);
    const StartUp bareInitialize = FreshProcesses(L"initialize", L"bare", 3);
    const StartUp bareHooked = FreshProcesses(L"hook", L"bare", 3);
    const StartUp hostInitialize = FreshProcesses(L"initialize", L"host", 3);
    const StartUp hostHooked = FreshProcesses(L"hook", L"host", 3);
    StartUp entered, plain;
    EnteredProcesses(library, 12, entered, plain);
    QueryPerformanceCounter(&phase[3]);

    WIN32_FILE_ATTRIBUTE_DATA file = {};
    ASSERT_TRUE(GetFileAttributesExW(LibraryPath().c_str(), GetFileExInfoStandard, &file));

    std::printf("\nHook library, %d-bit (%s)\n", k64 ? 64 : 32,
                test::Narrow(LibraryName()).c_str());
    std::printf("  %-44s %9s %9s %7s   %s\n", "per message / focus change", "without", "with",
                "ratio", "target");
    std::printf("  %-44s\n", "(\"vs\" rows: the reference first, then the subject)");
    PrintRow("message WM_USER+77", "ns", 1e9, plainMessage, "<= 1.3");
    PrintRow("  same, forwarding-only subclass", "ns", 1e9, plainFloor,
             "(least any subclass costs)");
    PrintAgainst("  ours vs forwarding-only, both with", "ns", 1e9, plainFloor.with,
                 plainMessage.with, "<= 1.05");
    PrintRow("message WM_KEYUP 'A', no Ctrl", "ns", 1e9, keyUp, "<= 1.3");
    PrintRow("  same, forwarding-only subclass", "ns", 1e9, keyUpFloor, "");
    PrintAgainst("  ours vs forwarding-only, both with", "ns", 1e9, keyUpFloor.with, keyUp.with,
                 "<= 1.05");
    std::printf("  %-44s %9.2f\n", "  GetKeyState(VK_CONTROL) alone (ns)", keyState.without * 1e9);
    PrintRow("focus change, plain windows", "us", 1e6, plainFocus, "<= 1.5");
    PrintRow("  same, pass-on-only hook of this thread", "us", 1e6, plainFocusFloor,
             "(least any hook costs)");
    PrintRow("focus change, browser windows", "us", 1e6, browserFocus, "<= 1.5");
    PrintRow("  same, pass-on-only hook of this thread", "us", 1e6, browserFocusFloor, "");
    PrintAgainst("browser vs plain focus change, both hooked", "us", 1e6, plainFocus.with,
                 browserFocus.with, "<= 1.5");
    PrintStartUp("bare (a small window program)", bareInitialize, bareHooked);
    PrintStartUp("with the libraries every browser host has loaded", hostInitialize, hostHooked);
    PrintEntered(entered, plain);
    std::printf("  %-44s %9.1f   <= 100 KB\n", "library file (KB)",
                static_cast<double>(file.nFileSizeLow) / 1024.0);
    const auto seconds = [&](int from) {
        return static_cast<double>(phase[from + 1].QuadPart - phase[from].QuadPart) *
               SecondsPerTick();
    };
    std::printf("  (measured in %.1f s: messages %.1f s, focus changes %.1f s, processes %.1f s)\n",
                seconds(0) + seconds(1) + seconds(2), seconds(0), seconds(1), seconds(2));
    std::fflush(stdout);
}

} // namespace
