// What the guard's handler and stubs share on every architecture: the state of one guarded call,
// the decision whether a fault is converted, and the floating-point bits a conversion clears. Each
// architecture's file (chosen by the build) adds the handler registration, the stubs and the
// register access.
#pragma once

#include "support/seh_exception.h"

#include <cstddef>

// Assembly names, so each architecture's stubs can refer to them.
extern "C" {
void SehResumeStub() __asm__("lumivex_seh_resume_stub");
[[noreturn]] __attribute__((used)) void
SehThrowFromFault(void* frame) __asm__("lumivex_seh_throw_from_fault");
__attribute__((used)) EXCEPTION_DISPOSITION
SehFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                void* dispatcher) __asm__("lumivex_seh_frame_handler");
}

namespace lumivex::detail {

constexpr DWORD kUnwindFlags = EXCEPTION_UNWINDING | 0x4; // 0x4: EXCEPTION_EXIT_UNWIND

// State of one guarded call, at the start of the guard's frame: the resume stub reads
// resumeAddress at offset 0.
struct GuardState {
    // Faulting instruction + 1. The unwinder looks up the caller's frame at return address - 1,
    // so returning to the byte after the fault start makes it see the faulting instruction
    // itself. The stub pushes this address: the handler never writes to the faulting stack, where
    // the dispatcher's own data may lie.
    ULONG_PTR resumeAddress;
    bool converting; // between the redirection and the throw
    EXCEPTION_RECORD record;
};
static_assert(offsetof(GuardState, resumeAddress) == 0, "the resume stub reads offset 0");

// Codes of SSE floating-point faults.
constexpr DWORD kFloatMultipleFaults = 0xC00002B4; // STATUS_FLOAT_MULTIPLE_FAULTS
constexpr DWORD kFloatMultipleTraps = 0xC00002B5;  // STATUS_FLOAT_MULTIPLE_TRAPS

// Whether the code is one of the floating-point faults (x87 or SSE).
constexpr bool IsFloatCode(DWORD code) {
    return (code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW) ||
           code == kFloatMultipleFaults || code == kFloatMultipleTraps;
}

enum class FaultClaim {
    Pass,    // not ours: the search goes on
    Again,   // faulted again before the first fault was thrown: do not try the unwinder again
    Convert, // recorded; the architecture's handler redirects the thread
};

inline FaultClaim ClaimFault(GuardState& state, const EXCEPTION_RECORD& record) {
    if ((record.ExceptionFlags & (EXCEPTION_NONCONTINUABLE | kUnwindFlags)) ||
        !IsGuardedHardwareCode(record.ExceptionCode)) {
        return FaultClaim::Pass;
    }
    if (state.converting) {
        return FaultClaim::Again;
    }
    state.converting = true;
    state.record = record;
    state.record.ExceptionRecord = nullptr;
    return FaultClaim::Convert;
}

// Called "from" the faulting instruction: the C++ unwinder takes it from there to the guard.
[[noreturn]] inline void ThrowClaimedFault(GuardState& state) {
    state.converting = false;
    throw seh_exception(state.record);
}

// The faulting expression is abandoned: values it left on the x87 register stack are dead, and
// the code we resume expects the empty stack it finds at every call. For floating-point faults
// the pending exception flags go too; they would fault again at the next x87 or SSE instruction.
// Each architecture's ResetFloatState clears these bits in its own saved-state layout.
constexpr unsigned kX87StackTop = 0x3800; // x87 status word: stack top
constexpr unsigned kX87Flags = 0x80FF;    // x87 status word: busy, summary, exceptions
constexpr unsigned kSseFlags = 0x3F;      // MXCSR exception flags

constexpr unsigned X87StatusToClear(bool floatFault) {
    return floatFault ? kX87StackTop | kX87Flags : kX87StackTop;
}

} // namespace lumivex::detail
