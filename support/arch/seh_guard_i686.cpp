// The guard on i686: a registration on the thread's handler chain for the call, a throw
// trampoline with DWARF call frame information, and a recovery point for the faults the DWARF
// unwinder cannot take back to the guard.
#include "support/arch/seh_guard_common.h"

#include <unwind.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#if !defined(__GNUC__) || !defined(__i386__)
#error "the guard's stubs are written for GCC on i686; an MSVC build would use __try/__except"
#endif

extern "C" {
void SehRecoverStub() __asm__("lumivex_seh_recover_stub");
[[noreturn]] __attribute__((used)) void SehRecover(void* frame) __asm__("lumivex_seh_recover");
}

// Same stubs as on x86_64, with DWARF call frame information for the trampoline; the recover stub
// runs SehRecover on an aligned stack (no unwinding passes through it).
__asm__(".text\n"
        ".p2align 4\n"
        "lumivex_seh_resume_stub:\n"
        "    pushl (%ecx)\n"
        "    jmp lumivex_seh_throw_trampoline\n"
        ".p2align 4\n"
        "lumivex_seh_throw_trampoline:\n"
        ".cfi_startproc\n"
        "    pushl %ebp\n"
        ".cfi_def_cfa_offset 8\n"
        ".cfi_offset %ebp, -8\n"
        "    movl %esp, %ebp\n"
        ".cfi_def_cfa_register %ebp\n"
        "    andl $-16, %esp\n"
        "    subl $12, %esp\n"
        "    pushl %ecx\n"
        "    call lumivex_seh_throw_from_fault\n"
        "    ud2\n"
        ".cfi_endproc\n"
        ".p2align 4\n"
        "lumivex_seh_recover_stub:\n"
        "    andl $-16, %esp\n"
        "    subl $12, %esp\n"
        "    pushl %ecx\n"
        "    call lumivex_seh_recover\n"
        "    ud2\n");

namespace lumivex::detail {
namespace {

struct SehRegistration {
    SehRegistration* next;
    void* handler;
};

// The guard's frame: the shared state first (the stubs read it at offset 0), then the
// registration on the handler chain and the recovery point.
struct GuardFrame {
    GuardState state;
    SehRegistration registration;
    void* recovery[5]; // __builtin_setjmp buffer
};
static_assert(offsetof(GuardFrame, state) == 0, "the resume stub reads offset 0");

// See seh_guard_common.h for the bits.
void ResetFloatState(CONTEXT& context, bool floatFault) {
    const unsigned clear = X87StatusToClear(floatFault);
    context.FloatSave.StatusWord &= ~static_cast<DWORD>(clear);
    context.FloatSave.TagWord = 0xFFFF;
    if ((context.ContextFlags & CONTEXT_EXTENDED_REGISTERS) == CONTEXT_EXTENDED_REGISTERS) {
        // FXSAVE layout: status word at 2, abridged tag word at 4, MXCSR at 24.
        BYTE* area = context.ExtendedRegisters;
        WORD status;
        memcpy(&status, area + 2, sizeof status);
        status = static_cast<WORD>(status & ~clear);
        memcpy(area + 2, &status, sizeof status);
        area[4] = 0;
        if (floatFault) {
            DWORD mxcsr;
            memcpy(&mxcsr, area + 24, sizeof mxcsr);
            mxcsr &= ~kSseFlags;
            memcpy(area + 24, &mxcsr, sizeof mxcsr);
        }
    }
}

// Lets the faulting thread go on in `stub`, with ecx holding the guard's frame.
EXCEPTION_DISPOSITION ResumeIn(CONTEXT& context, GuardFrame& frame, void (*stub)()) {
    context.Ecx = reinterpret_cast<DWORD>(&frame);
    context.Eip = reinterpret_cast<DWORD>(stub);
    return ExceptionContinueExecution;
}

EXCEPTION_DISPOSITION HandleFault(GuardFrame& frame, EXCEPTION_RECORD& record, CONTEXT& context) {
    switch (ClaimFault(frame.state, record)) {
    case FaultClaim::Pass:
        return ExceptionContinueSearch;
    case FaultClaim::Again:
        return ResumeIn(context, frame, &SehRecoverStub);
    case FaultClaim::Convert:
        break;
    }
    const bool floatFault = IsFloatCode(record.ExceptionCode);
    ResetFloatState(context, floatFault);
    if (floatFault) {
        // An x87 fault is raised at the next x87 instruction, which need not be one the compiler
        // expects to throw (a store to a local), so the C++ unwinder would give up there.
        return ResumeIn(context, frame, &SehRecoverStub);
    }
    frame.state.resumeAddress = context.Eip + 1;
    return ResumeIn(context, frame, &SehResumeStub);
}

struct ReachState {
    uintptr_t limit;
    bool reached;
};

_Unwind_Reason_Code ReachTrace(_Unwind_Context* context, void* argument) {
    ReachState& state = *static_cast<ReachState*>(argument);
    if (_Unwind_GetCFA(context) > state.limit) {
        state.reached = true;
        return _URC_END_OF_STACK;
    }
    return _URC_NO_REASON;
}

// Whether DWARF unwinding from here gets back to the guard's frame: a frame without unwind data
// (system code) ends the walk early.
bool UnwinderReachesGuard(GuardFrame& frame) {
    ReachState state{reinterpret_cast<uintptr_t>(&frame.registration), false};
    _Unwind_Backtrace(&ReachTrace, &state);
    return state.reached;
}

// Runs and removes the handlers that frames below the guard registered, then resumes the guard.
[[noreturn]] void RecoverAtGuard(GuardFrame& frame) {
    RtlUnwind(&frame.registration, nullptr, nullptr, nullptr);
    frame.state.converting = false;
    __builtin_longjmp(frame.recovery, 1);
}

void* ChainHead() {
    void* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(void* head) {
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// Puts the guard's registration at the head of the thread's handler chain for the scope.
class HandlerChainScope {
public:
    explicit HandlerChainScope(SehRegistration& registration) : m_previous(ChainHead()) {
        registration.next = static_cast<SehRegistration*>(m_previous);
        registration.handler = reinterpret_cast<void*>(&SehFrameHandler);
        SetChainHead(&registration);
    }
    ~HandlerChainScope() { SetChainHead(m_previous); }
    HandlerChainScope(const HandlerChainScope&) = delete;
    HandlerChainScope& operator=(const HandlerChainScope&) = delete;

private:
    void* m_previous;
};

} // namespace

void CallGuarded(void (*fn)(void*), void* context) {
    GuardFrame frame;
    frame.state.converting = false;
    HandlerChainScope chain(frame.registration);
    // The recovery restores only the frame and stack pointers; saving every callee-saved register
    // here (GCC leaves ebx out on its own) keeps our caller's registers intact.
    __asm__ __volatile__("" ::: "ebx", "esi", "edi");
    if (__builtin_setjmp(frame.recovery) == 0) {
        fn(context);
        return;
    }
    // Resumed by RecoverAtGuard.
    throw seh_exception(frame.state.record);
}

} // namespace lumivex::detail

extern "C" EXCEPTION_DISPOSITION SehFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                                 CONTEXT* context, void*) {
    auto* frame = reinterpret_cast<lumivex::detail::GuardFrame*>(
        static_cast<char*>(establisherFrame) - offsetof(lumivex::detail::GuardFrame, registration));
    return lumivex::detail::HandleFault(*frame, *record, *context);
}

extern "C" void SehThrowFromFault(void* frameAddress) {
    auto& frame = *static_cast<lumivex::detail::GuardFrame*>(frameAddress);
    if (!lumivex::detail::UnwinderReachesGuard(frame)) {
        lumivex::detail::RecoverAtGuard(frame);
    }
    lumivex::detail::ThrowClaimedFault(frame.state);
}

extern "C" void SehRecover(void* frameAddress) {
    lumivex::detail::RecoverAtGuard(*static_cast<lumivex::detail::GuardFrame*>(frameAddress));
}
