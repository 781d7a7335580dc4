#include "support/seh_exception.h"

#include "support/arch/seh_guard_common.h"

namespace lumivex {

namespace {

struct CodeName {
    DWORD code;
    const char* name;
};

// The processor's faults after which the thread can still run (so not stack overflow).
constexpr CodeName kHardwareCodes[] = {
    {EXCEPTION_ACCESS_VIOLATION, "Access violation"},
    {EXCEPTION_IN_PAGE_ERROR, "In-page error"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "Integer divide by zero"},
    {EXCEPTION_INT_OVERFLOW, "Integer overflow"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "Illegal instruction"},
    {EXCEPTION_PRIV_INSTRUCTION, "Privileged instruction"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "Array bounds exceeded"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "Datatype misalignment"},
    {EXCEPTION_FLT_DENORMAL_OPERAND, "Floating-point denormal operand"},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, "Floating-point divide by zero"},
    {EXCEPTION_FLT_INEXACT_RESULT, "Floating-point inexact result"},
    {EXCEPTION_FLT_INVALID_OPERATION, "Floating-point invalid operation"},
    {EXCEPTION_FLT_OVERFLOW, "Floating-point overflow"},
    {EXCEPTION_FLT_STACK_CHECK, "Floating-point stack check"},
    {EXCEPTION_FLT_UNDERFLOW, "Floating-point underflow"},
    {detail::kFloatMultipleFaults, "Floating-point multiple faults"},
    {detail::kFloatMultipleTraps, "Floating-point multiple traps"},
};

std::string Hex(unsigned long long value) {
    static const char kDigits[] = "0123456789abcdef";
    char buffer[2 * sizeof value];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
        *--p = kDigits[value & 0xF];
        value >>= 4;
    } while (value);
    return std::string(p, end);
}

} // namespace

const char* SehReasonText(DWORD code) noexcept {
    for (const CodeName& entry : kHardwareCodes) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return "Structured exception";
}

bool IsGuardedHardwareCode(DWORD code) noexcept {
    for (const CodeName& entry : kHardwareCodes) {
        if (entry.code == code) {
            return true;
        }
    }
    return false;
}

seh_exception::seh_exception(const EXCEPTION_RECORD& record) noexcept : m_record(record) {
    m_record.ExceptionRecord = nullptr; // may point into a dispatch frame that is gone
}

const char* seh_exception::GetReason() const {
    return SehReasonText(m_record.ExceptionCode);
}

DWORD seh_exception::GetCode() const {
    return m_record.ExceptionCode;
}

const EXCEPTION_RECORD& seh_exception::GetRecord() const {
    return m_record;
}

std::wstring FormatSehException(const seh_exception_base& e) {
    const char* reason = e.GetReason();
    std::string text = "Caught SEH_Exception. Reason: ";
    text += reason ? reason : "";
    text += "; Erro Code: ";
    text += Hex(e.GetCode());
    text += "\n; Address: ";
    text += Hex(reinterpret_cast<ULONG_PTR>(e.GetRecord().ExceptionAddress));
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength) !=
        wideLength) {
        return {};
    }
    return wide;
}

} // namespace lumivex
