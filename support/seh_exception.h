// Structured (hardware) exceptions as C++ exceptions, for the first clause of every guarded
// operation.
//
// How a fault reaches that clause: the guard runs its body below a frame-based structured
// exception handler of its own (on i686 a registration on the thread's handler chain, on x86_64 a
// small thunk with a language handler in its unwind data). Nothing process-wide is installed, so
// a hook library inside someone else's program leaves no trace once the guard returns, handlers
// of system code called by the body still see their own faults first, and the innermost guard is
// the one that catches. For a hardware fault the handler copies the exception record and resumes
// the faulting thread in a stub that throws `seh_exception` as if called from the faulting
// instruction, so the C++ unwinder runs the destructors between the fault and the guard.
//
// What is covered:
// - x86_64: every fault in code with standard unwind data (ours, system DLLs, leaf functions),
//   including callbacks that system code calls.
// - i686: faults whose frames up to the guard all carry DWARF unwind data of this module are
//   thrown as above. When a frame without it stands in between (a fault inside a system DLL, or
//   in a callback called by one), the guard instead unwinds the system frames' own handlers and
//   resumes at its recovery point: the guard still reports the fault and returns its failure
//   value, but destructors of our objects in the abandoned frames do not run. x87
//   floating-point faults (only possible once someone unmasks them) always take this path,
//   because the processor reports them at the next x87 instruction, not at the faulting one.
// What is not: stack overflow (no stack left to run on), breakpoints, debugger and C++
// exceptions (passed on untouched), software-raised non-continuable exceptions; and, ending the
// program through std::terminate as any C++ exception would there: faults inside noexcept code
// (destructors included), and faults at instructions of prebuilt code compiled without
// -fnon-call-exceptions (the C++ runtime's own functions) when that function has cleanups.
#pragma once

#include <windows.h>

#include <string>

namespace lumivex {

// Stands for a structured exception caught by a guarded operation.
class seh_exception_base {
public:
    virtual ~seh_exception_base() = default;
    virtual const char* GetReason() const = 0;             // readable name of the code
    virtual DWORD GetCode() const = 0;                     // the exception code
    virtual const EXCEPTION_RECORD& GetRecord() const = 0; // ExceptionAddress = faulting address
};

// The one the guard throws: a copy of the platform's record (nested record pointer cleared).
class seh_exception final : public seh_exception_base {
public:
    explicit seh_exception(const EXCEPTION_RECORD& record) noexcept;
    const char* GetReason() const override;
    DWORD GetCode() const override;
    const EXCEPTION_RECORD& GetRecord() const override;

private:
    EXCEPTION_RECORD m_record;
};

// Readable name of an exception code, "Structured exception" for codes without one.
const char* SehReasonText(DWORD code) noexcept;

// Whether a guard turns this code into seh_exception: the processor's own faults that leave the
// thread able to run on.
bool IsGuardedHardwareCode(DWORD code) noexcept;

// "Caught SEH_Exception. Reason: %s; Erro Code: %x\n; Address: %0x": code and address in lower-case
// hexadecimal without padding, the address with all its significant digits (so 64-bit addresses
// are not cut). Converted with the ANSI code page; empty when that fails.
std::wstring FormatSehException(const seh_exception_base& e);

namespace detail {
// Calls fn(context) under the guard's structured exception handler. A hardware fault inside
// leaves as seh_exception; C++ exceptions pass through unchanged.
void CallGuarded(void (*fn)(void*), void* context);
} // namespace detail

} // namespace lumivex
