// The guard on x86_64: a thunk whose unwind data names our handler, and a throw trampoline with
// unwind data of its own, so the system unwinder and the C++ one walk through both.
#include "support/arch/seh_guard_common.h"

#if !defined(__GNUC__) || !defined(__x86_64__)
#error "the guard's stubs are written for GCC on x86_64; an MSVC build would use __try/__except"
#endif

extern "C" void SehGuardCall(void (*fn)(void*), void* context,
                             void* frame) __asm__("lumivex_seh_guard_call");

// lumivex_seh_guard_call(fn, context, frame): calls fn(context) with lumivex_seh_frame_handler as
// the frame's exception handler; frame is kept at [establisher frame + 32] for the handler.
// lumivex_seh_resume_stub: entered by the handler's redirection with rcx = frame; pushes the
// resume address as a return address and enters the throw trampoline, which is a normal function
// called "from" the faulting instruction, so the unwinder continues into the faulting frame.
__asm__(".text\n"
        ".p2align 4\n"
        ".globl lumivex_seh_guard_call\n"
        ".def lumivex_seh_guard_call; .scl 2; .type 32; .endef\n"
        "lumivex_seh_guard_call:\n"
        ".seh_proc lumivex_seh_guard_call\n"
        ".seh_handler lumivex_seh_frame_handler, @except\n"
        "    subq $56, %rsp\n"
        ".seh_stackalloc 56\n"
        ".seh_endprologue\n"
        "    movq %r8, 32(%rsp)\n"
        "    movq %rcx, %rax\n"
        "    movq %rdx, %rcx\n"
        "    call *%rax\n"
        "    nop\n"
        "    addq $56, %rsp\n"
        "    ret\n"
        ".seh_endproc\n"
        ".p2align 4\n"
        "lumivex_seh_resume_stub:\n"
        "    pushq (%rcx)\n"
        "    jmp lumivex_seh_throw_trampoline\n"
        ".p2align 4\n"
        ".def lumivex_seh_throw_trampoline; .scl 3; .type 32; .endef\n"
        "lumivex_seh_throw_trampoline:\n"
        ".seh_proc lumivex_seh_throw_trampoline\n"
        "    pushq %rbp\n"
        ".seh_pushreg %rbp\n"
        "    movq %rsp, %rbp\n"
        ".seh_setframe %rbp, 0\n"
        ".seh_endprologue\n"
        "    andq $-16, %rsp\n"
        "    subq $32, %rsp\n"
        "    call lumivex_seh_throw_from_fault\n"
        "    int3\n"
        ".seh_endproc\n");

namespace lumivex::detail {
namespace {

// See seh_guard_common.h for the bits.
void ResetFloatState(CONTEXT& context, bool floatFault) {
    const unsigned clear = X87StatusToClear(floatFault);
    context.FltSave.StatusWord = static_cast<WORD>(context.FltSave.StatusWord & ~clear);
    context.FltSave.TagWord = 0; // abridged form: all empty
    if (floatFault) {
        context.MxCsr &= ~kSseFlags;
        context.FltSave.MxCsr &= ~kSseFlags;
    }
}

// Lets the faulting thread go on in `stub`, with rcx holding the guard's frame.
EXCEPTION_DISPOSITION ResumeIn(CONTEXT& context, GuardState& frame, void (*stub)()) {
    context.Rcx = reinterpret_cast<DWORD64>(&frame);
    context.Rip = reinterpret_cast<DWORD64>(stub);
    return ExceptionContinueExecution;
}

EXCEPTION_DISPOSITION HandleFault(GuardState& frame, EXCEPTION_RECORD& record, CONTEXT& context) {
    if (ClaimFault(frame, record) != FaultClaim::Convert) {
        return ExceptionContinueSearch;
    }
    ResetFloatState(context, IsFloatCode(record.ExceptionCode));
    frame.resumeAddress = context.Rip + 1;
    return ResumeIn(context, frame, &SehResumeStub);
}

} // namespace

void CallGuarded(void (*fn)(void*), void* context) {
    GuardState frame;
    frame.converting = false;
    SehGuardCall(fn, context, &frame);
}

} // namespace lumivex::detail

extern "C" EXCEPTION_DISPOSITION SehFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                                 CONTEXT* context, void*) {
    auto* frame =
        *reinterpret_cast<lumivex::detail::GuardState**>(static_cast<char*>(establisherFrame) + 32);
    return lumivex::detail::HandleFault(*frame, *record, *context);
}

extern "C" void SehThrowFromFault(void* frameAddress) {
    lumivex::detail::ThrowClaimedFault(*static_cast<lumivex::detail::GuardState*>(frameAddress));
}
