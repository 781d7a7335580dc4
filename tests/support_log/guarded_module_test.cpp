// Guards in a library beside those of the program, and faults the guards must leave alone.
#include "guarded_library.h"
#include "log_test_support.h"
#include "support/guarded.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <thread>

namespace lumivex::test {
namespace {

TEST(GuardedModules, LibraryAndProgramGuardsEachCatchWhatHappensInside) {
    SetTestNow(2026, 12, 7, 9, 5, 3);
    TempDir dir;
    TestWriter writer(dir.path());
    ASSERT_TRUE(writer.bInitialize());
    EXPECT_EQ(LibraryHasLogWriter(), 0) << "the library's copy of the writer pointer is its own";

    EXPECT_EQ(GuardedFaultInLibrary(), -1);
    EXPECT_EQ(GuardedCallFromLibrary([] { return 5; }), 5);
    EXPECT_EQ(GuardedCallFromLibrary([] {
                  WriteThroughNull();
                  return 5;
              }),
              -2)
        << "a fault in the program's code under the library's guard";
    int inner = 0;
    EXPECT_EQ(Guarded(L"C", L"Outer", 1,
                      [&] {
                          inner = GuardedFaultInLibrary();
                          return 10;
                      }),
              10);
    EXPECT_EQ(inner, -1) << "the library's guard is the innermost";
    EXPECT_EQ(CountRecords(TestLogOf(dir.path())), 0u) << "the library has no writer";

    EXPECT_EQ(Guarded(L"C", L"Unguarded", 1, [] { return UnguardedFaultInLibrary(); }), 1);
    const std::string log = TestLogOf(dir.path());
    EXPECT_EQ(CountRecords(log), 1u) << log;
    const std::vector<ULONG_PTR> addresses = RecordAddresses(log);
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_TRUE(InModule(addresses[0], GetModuleHandleW(L"support_guarded_library.dll")))
        << std::hex << addresses[0];
}

// A fault whose handling the test controls: the process's last-chance filter skips it.
extern "C" void UnguardedFault() __asm__("lumivex_test_unguarded_fault");
extern "C" char UnguardedFaultInstruction __asm__("lumivex_test_unguarded_fault_insn");
extern "C" char UnguardedFaultResume __asm__("lumivex_test_unguarded_fault_resume");
#if defined(__x86_64__)
__asm__(".text\nlumivex_test_unguarded_fault:\n    xorl %eax, %eax\n"
        "lumivex_test_unguarded_fault_insn:\n    movl $1, (%rax)\n"
        "lumivex_test_unguarded_fault_resume:\n    ret\n");
#else
__asm__(".text\nlumivex_test_unguarded_fault:\n    xorl %eax, %eax\n"
        "lumivex_test_unguarded_fault_insn:\n    movl $1, (%eax)\n"
        "lumivex_test_unguarded_fault_resume:\n    ret\n");
#endif

LONG g_skipped = 0;
LONG WINAPI SkipUnguardedFault(EXCEPTION_POINTERS* pointers) {
    if (pointers->ExceptionRecord->ExceptionAddress != &UnguardedFaultInstruction) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    ++g_skipped;
#if defined(__x86_64__)
    pointers->ContextRecord->Rip = reinterpret_cast<DWORD64>(&UnguardedFaultResume);
#else
    pointers->ContextRecord->Eip = reinterpret_cast<DWORD>(&UnguardedFaultResume);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(GuardedThreads, AFaultOnAThreadWithoutGuardIsNotTouched) {
    SetTestNow(2026, 12, 7, 9, 5, 3);
    TempDir dir;
    TestWriter writer(dir.path());
    ASSERT_TRUE(writer.bInitialize());
    HANDLE faulted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(faulted, nullptr);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(&SkipUnguardedFault);
    g_skipped = 0;

    const int result = Guarded(L"C", L"Waiting", 0, [&] {
        std::thread unguarded([&] {
            UnguardedFault();
            SetEvent(faulted);
        });
        const DWORD waited = WaitForSingleObject(faulted, 10000);
        unguarded.join();
        return waited == WAIT_OBJECT_0 ? 1 : 2;
    });
    SetUnhandledExceptionFilter(previous);
    CloseHandle(faulted);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(g_skipped, 1) << "the other thread's fault went its own way";
    EXPECT_EQ(TestLogOf(dir.path()), "");
}

} // namespace
} // namespace lumivex::test
