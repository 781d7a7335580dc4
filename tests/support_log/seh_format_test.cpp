#include "support/seh_exception.h"

#include <gtest/gtest.h>

namespace lumivex {
namespace {

EXCEPTION_RECORD Record(DWORD code, ULONG_PTR address) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = code;
    record.ExceptionAddress = reinterpret_cast<void*>(address);
    return record;
}

class NamedSeh : public seh_exception_base {
public:
    explicit NamedSeh(const char* reason) : m_reason(reason), m_record(Record(0x1F, 0xABC)) {}
    const char* GetReason() const override { return m_reason; }
    DWORD GetCode() const override { return m_record.ExceptionCode; }
    const EXCEPTION_RECORD& GetRecord() const override { return m_record; }

private:
    const char* m_reason;
    EXCEPTION_RECORD m_record;
};

TEST(FormatSehException, ReasonCodeAndAddressInLowerCaseHexAnyLength) {
    EXPECT_EQ(FormatSehException(seh_exception(Record(EXCEPTION_ACCESS_VIOLATION, 0x4012AB))),
              L"Caught SEH_Exception. Reason: Access violation; Erro Code: c0000005\n"
              L"; Address: 4012ab");
    EXPECT_EQ(FormatSehException(seh_exception(Record(0xE0000001, 0))),
              L"Caught SEH_Exception. Reason: Structured exception; Erro Code: e0000001\n"
              L"; Address: 0");
#ifdef _WIN64
    EXPECT_EQ(FormatSehException(
                  seh_exception(Record(EXCEPTION_PRIV_INSTRUCTION, 0x7ff6123456789abcull))),
              L"Caught SEH_Exception. Reason: Privileged instruction; Erro Code: c0000096\n"
              L"; Address: 7ff6123456789abc")
        << "64-bit addresses keep every digit";
#endif
    EXPECT_EQ(FormatSehException(NamedSeh(std::string(3000, 'r').c_str())),
              L"Caught SEH_Exception. Reason: " + std::wstring(3000, L'r') +
                  L"; Erro Code: 1f\n; Address: abc");
    EXPECT_EQ(FormatSehException(NamedSeh(nullptr)),
              L"Caught SEH_Exception. Reason: ; Erro Code: 1f\n; Address: abc");
}

} // namespace
} // namespace lumivex
