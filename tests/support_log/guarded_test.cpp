// The exception convention as later code sees it: clause texts, records, debugger output, and
// the case without a log writer (the hook library).
#include "log_test_support.h"
#include "support/guarded.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace lumivex::test {
namespace {

class GuardedTest : public WriterFixture {};

class EmptyReason : public std::exception {
public:
    const char* what() const noexcept override { return ""; }
};

TEST_F(GuardedTest, AHardwareFaultGivesOneRecordAndTheFailureValue) {
    const int result = Guarded(L"CAboutLumivex", L"OnInitDialog", -7, [] {
        WriteThroughNull();
        return 1;
    });
    EXPECT_EQ(result, -7);

    const std::string log = Log();
    const std::string head =
        "09:05:03 [Exception]CAboutLumivex::OnInitDialog=Caught SEH_Exception. "
        "Reason: Access violation; Erro Code: c0000005\r\n; Address: ";
    EXPECT_EQ(log.substr(0, head.size()), head);
    EXPECT_EQ(CountRecords(log), 1u) << log;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    const std::vector<ULONG_PTR> addresses = RecordAddresses(log);
    ASSERT_EQ(addresses.size(), 1u);
    const auto function = reinterpret_cast<ULONG_PTR>(&WriteThroughNull);
    EXPECT_TRUE(addresses[0] >= function && addresses[0] < function + 64)
        << std::hex << "fault at " << addresses[0] << ", WriteThroughNull at " << function;
}

TEST_F(GuardedTest, StandardAndOtherExceptionsHaveTheirOwnTexts) {
    EXPECT_EQ(Guarded(L"CTest", L"Run", FALSE,
                      []() -> BOOL { throw std::runtime_error("disk on fire"); }),
              FALSE);
    EXPECT_EQ(Guarded(L"", L"bInitialize", 5, []() -> int { throw std::bad_alloc(); }), 5);
    Guarded(L"CAboutLumivex", L"OnInitDialog", [] { throw 42; });
    EXPECT_EQ(Guarded(nullptr, nullptr, 0u, []() -> unsigned { throw EmptyReason(); }), 0u);
    EXPECT_EQ(Log(), "09:05:03 [Exception]=Exception Reason: disk on fire; At: CTest::Run\r\n\r\n"
                     "09:05:03 [Exception]=Exception Reason: std::bad_alloc; At: ::bInitialize"
                     "\r\n\r\n"
                     "09:05:03 [Exception]=Exception At: CAboutLumivex::OnInitDialog\r\n\r\n"
                     "09:05:03 [Exception]=Exception Reason: ; At: ::\r\n\r\n");
}

TEST_F(GuardedTest, ASucceedingBodyGivesItsValueAndLeavesNoTrace) {
    EXPECT_EQ(Guarded(L"C", L"Op", FALSE, [] { return TRUE; }), TRUE);
    int calls = 0;
    Guarded(L"C", L"Op", [&] { ++calls; });
    EXPECT_EQ(calls, 1);
    std::wstring text = L"moved";
    EXPECT_EQ(Guarded(L"C", L"Op", std::wstring(), [&] { return std::move(text); }), L"moved");
    EXPECT_FALSE(DirExists(m_dir / L"Log"));
}

TEST_F(GuardedTest, EveryClauseAlsoSendsItsTextToTheDebugger) {
    DebugOutputCapture capture;
    Guarded(L"C", L"Seh", [] { WriteThroughNull(); });
    Guarded(L"C", L"Std", [] { throw std::logic_error("bad"); });
    Guarded(L"C", L"Other", [] { throw 1; });
    ASSERT_EQ(capture.texts.size(), 3u);
    EXPECT_EQ(capture.texts[0].substr(0, 70),
              L"Caught SEH_Exception. Reason: Access violation; Erro Code: c0000005\n; ");
    EXPECT_EQ(capture.texts[1], L"Exception Reason: bad; At: C::Std\n");
    EXPECT_EQ(capture.texts[2], L"Exception At: C::Other\n");
}

TEST(GuardedWithoutWriter, FailuresAreDroppedWithoutAnyOutput) {
    ASSERT_EQ(GetCurrentLogWriter(), nullptr);
    DebugOutputCapture capture;
    EXPECT_EQ(Guarded(L"CSubIEWin", L"bSubclassWin", false,
                      [] {
                          WriteThroughNull();
                          return true;
                      }),
              false);
    EXPECT_EQ(Guarded(L"", L"", 1, []() -> int { throw std::runtime_error("x"); }), 1);
    Guarded(L"", L"", [] { throw 3; });
    EXPECT_EQ(Guarded(L"", L"bGetAllConfigs", TRUE, [] { return FALSE; }), FALSE);
    EXPECT_TRUE(capture.texts.empty()) << Narrow(capture.texts.front());
}

} // namespace
} // namespace lumivex::test
