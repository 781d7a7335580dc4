// How hardware faults reach a guard: through our frames, system libraries and callbacks, nested
// guards and threads, while everything that is not a processor fault passes untouched.
#include "log_test_support.h"
#include "support/guarded.h"
#include "test_files.h"

#include <float.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace lumivex::test {
namespace {

class GuardedFaultTest : public WriterFixture {};

int g_destroyed = 0;
struct Counted {
    ~Counted() { ++g_destroyed; }
};

[[gnu::noinline]] void FaultWithLocal() {
    Counted local;
    WriteThroughNull();
}

[[gnu::noinline]] int FaultTwoFramesDown() {
    Counted local;
    FaultWithLocal();
    return 0;
}

[[gnu::noinline]] size_t LengthKeepingALocal(size_t (*length)(const wchar_t*)) {
    Counted local;
    return length(nullptr);
}

void* HandlerChainHead() { // i686 only: the thread's chain of frame-based handlers
    void* head = nullptr;
#if defined(__i386__)
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
#endif
    return head;
}

DWORD g_filterSaw = 0;
LONG WINAPI ContinueFilter(EXCEPTION_POINTERS* pointers) {
    g_filterSaw = pointers->ExceptionRecord->ExceptionCode;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Raises `code` inside a guard; the process's last-chance filter resumes it. 1: the body went on.
int RaiseInsideGuard(DWORD code) {
    g_filterSaw = 0;
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(&ContinueFilter);
    const int result = Guarded(L"C", L"Raise", 0, [code] {
        RaiseException(code, 0, 0, nullptr);
        return 1;
    });
    SetUnhandledExceptionFilter(previous);
    return result;
}

LRESULT CALLBACK FaultingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        WriteThroughNull();
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(GuardedFaultTest, DestructorsBetweenTheFaultAndTheGuardRun) {
    g_destroyed = 0;
    EXPECT_EQ(Guarded(L"C", L"Op", 3,
                      [] {
                          Counted inBody;
                          return FaultTwoFramesDown() + 1;
                      }),
              3);
    EXPECT_EQ(g_destroyed, 3);
    EXPECT_EQ(CountRecords(Log()), 1u);
}

TEST_F(GuardedFaultTest, FaultsInsideSystemCodeAndInItsCallbacksAreCaught) {
    const HMODULE msvcrt = GetModuleHandleW(L"msvcrt.dll");
    auto length = reinterpret_cast<size_t (*)(const wchar_t*)>(
        reinterpret_cast<void*>(GetProcAddress(msvcrt, "wcslen")));
    ASSERT_NE(length, nullptr);
    void* const chainBefore = HandlerChainHead();

    g_destroyed = 0;
    EXPECT_EQ(Guarded(L"C", L"Length", size_t{99}, [&] { return LengthKeepingALocal(length); }),
              99u);
#ifdef _WIN64
    EXPECT_EQ(g_destroyed, 1) << "system frames have unwind data on x86_64";
#endif

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &FaultingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"LumivexFaultingWindow";
    ASSERT_TRUE(RegisterClassW(&windowClass));
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Guarded(L"CSubIEWin", L"WindowProc", LRESULT{-1},
                      [&] { return SendMessageW(window, WM_APP, 0, 0); }),
              -1);
    EXPECT_EQ(SendMessageW(window, WM_NULL, 0, 0), 0) << "the window still works";
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);

    const std::string log = Log();
    const std::vector<ULONG_PTR> addresses = RecordAddresses(log);
    ASSERT_EQ(addresses.size(), 2u) << log;
    EXPECT_TRUE(InModule(addresses[0], msvcrt)) << std::hex << addresses[0];
    EXPECT_TRUE(InModule(addresses[1], GetModuleHandleW(nullptr))) << std::hex << addresses[1];
    EXPECT_EQ(HandlerChainHead(), chainBefore);
    EXPECT_EQ(RaiseInsideGuard(0xE0004C56), 1) << "exception dispatch still works afterwards";
    EXPECT_EQ(g_filterSaw, 0xE0004C56u);
}

TEST_F(GuardedFaultTest, WhatIsNoProcessorFaultOrIsHandledBelowPassesUntouched) {
    for (DWORD code : {DWORD{0xE0001234}, DWORD{0x40010006}, DWORD{0xE06D7363}}) {
        EXPECT_EQ(RaiseInsideGuard(code), 1) << std::hex << code;
        EXPECT_EQ(g_filterSaw, code);
    }
    EXPECT_EQ(Guarded(L"C", L"Probe", 0,
                      [] {
                          OutputDebugStringW(L"guarded debugger output\n");
                          return lstrlenW(reinterpret_cast<LPCWSTR>(1)) == 0 &&
                                 IsBadReadPtr(nullptr, 4);
                      }),
              1)
        << "system code keeps handling its own faults";
    EXPECT_EQ(Log(), "");
}

TEST_F(GuardedFaultTest, TheInnermostHandlerCatches) {
    int inner = 0;
    EXPECT_EQ(Guarded(L"COuter", L"Run", 1,
                      [&] {
                          inner =
                              Guarded(L"CInner", L"Run", 2, [] { return FaultTwoFramesDown(); });
                          return 10;
                      }),
              10);
    EXPECT_EQ(inner, 2);
    bool caughtInBody = false;
    EXPECT_EQ(Guarded(L"COuter", L"Catch", 1,
                      [&] {
                          try {
                              WriteThroughNull();
                          } catch (const seh_exception_base& e) {
                              caughtInBody = e.GetCode() == EXCEPTION_ACCESS_VIOLATION;
                          }
                          return 10;
                      }),
              10);
    EXPECT_TRUE(caughtInBody);
    const std::string log = Log();
    EXPECT_EQ(CountRecords(log), 1u) << log;
    EXPECT_NE(log.find("[Exception]CInner::Run=Caught"), std::string::npos) << log;
}

void IllegalInstruction() {
    __asm__ __volatile__("ud2");
}
void PrivilegedInstruction() {
    __asm__ __volatile__("hlt");
}
void FloatDivideByZero() {
    _controlfp(_controlfp(0, 0) & ~static_cast<unsigned>(_EM_ZERODIVIDE), _MCW_EM);
    volatile double zero = 0.0;
    volatile double quotient = 1.0 / zero;
    (void)quotient;
}

// x87 tag word: 0xFFFF when the register stack is empty, as code expects at every call.
unsigned X87TagWord() {
    unsigned short environment[14];
    __asm__ __volatile__("fnstenv %0\n\tfldenv %0" : "=m"(environment));
    return environment[4];
}

// A fault in the middle of an x87 expression, with a partial result on the register stack.
volatile long double g_factor = 3.0;
long double* volatile g_nowhereLong = nullptr;
[[gnu::noinline]] long double FaultMidExpression() {
    return g_factor * g_factor + *g_nowhereLong;
}

TEST_F(GuardedFaultTest, OtherProcessorFaultsCarryTheirCodeAndLeaveTheFpuClean) {
    const struct {
        void (*fault)();
        const char* text;
    } cases[] = {
        {&DivideByZero, "Reason: Integer divide by zero; Erro Code: c0000094\r\n"},
        {&IllegalInstruction, "Reason: Illegal instruction; Erro Code: c000001d\r\n"},
        {&PrivilegedInstruction, "Reason: Privileged instruction; Erro Code: c0000096\r\n"},
        {&FloatDivideByZero, "Reason: Floating-point divide by zero; Erro Code: c000008e\r\n"},
    };
    const unsigned control = _controlfp(0, 0);
    for (const auto& c : cases) {
        EXPECT_EQ(Guarded(L"C", L"Op", FALSE,
                          [&] {
                              c.fault();
                              return TRUE;
                          }),
                  FALSE);
        _clearfp();
        _controlfp(control, _MCW_EM);
        EXPECT_NE(Log().find(c.text), std::string::npos) << c.text << " in\n" << Log();
        EXPECT_EQ(X87TagWord(), 0xFFFFu) << c.text;
    }
    EXPECT_EQ(Guarded(L"C", L"Op", 0.0L, [] { return FaultMidExpression(); }), 0.0L);
    EXPECT_EQ(X87TagWord(), 0xFFFFu) << "x87 registers left behind by a fault mid-expression";
    EXPECT_EQ(CountRecords(Log()), 5u);
}

TEST(GuardedThreads, EachThreadsGuardCatchesItsOwnFaults) {
    ASSERT_EQ(GetCurrentLogWriter(), nullptr);
    constexpr int kThreads = 4, kFaults = 300;
    std::vector<int> caught(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&caught, t] {
            for (int i = 0; i < kFaults; ++i) {
                caught[t] += Guarded(L"", L"", 1, [i] {
                    i % 2 ? WriteThroughNull() : DivideByZero();
                    return 0;
                });
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(caught, std::vector<int>(kThreads, kFaults));
}

} // namespace
} // namespace lumivex::test
