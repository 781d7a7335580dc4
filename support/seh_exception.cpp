#include "support/seh_exception.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__GNUC__) && defined(__i386__)
#include <unwind.h>
#endif

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
    {0xC00002B4, "Floating-point multiple faults"}, // STATUS_FLOAT_MULTIPLE_FAULTS (SSE)
    {0xC00002B5, "Floating-point multiple traps"},  // STATUS_FLOAT_MULTIPLE_TRAPS (SSE)
};

bool IsFloatCode(DWORD code) {
    return (code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW) ||
           code == 0xC00002B4 || code == 0xC00002B5;
}

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

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))

namespace {

constexpr DWORD kUnwindFlags = EXCEPTION_UNWINDING | 0x4; // 0x4: EXCEPTION_EXIT_UNWIND

#if defined(__i386__)
struct SehRegistration {
    SehRegistration* next;
    void* handler;
};
#endif

// State of one guarded call, in the frame of CallGuarded. The resume stub reads resumeAddress
// at offset 0.
struct GuardFrame {
    ULONG_PTR resumeAddress; // faulting instruction + 1: see HandleFault
    bool converting;         // between the redirection and the throw
    EXCEPTION_RECORD record;
#if defined(__i386__)
    SehRegistration registration;
    void* recovery[5]; // __builtin_setjmp buffer
#endif
};
static_assert(offsetof(GuardFrame, resumeAddress) == 0, "the resume stub reads offset 0");

// The faulting expression is abandoned: values it left on the x87 register stack are dead, and
// the code we resume expects the empty stack it finds at every call. For floating-point faults
// the pending exception flags go too; they would fault again at the next x87 or SSE instruction.
void ResetFloatState(CONTEXT& context, bool floatFault) {
    constexpr unsigned kTop = 0x3800;    // x87 status word: stack top
    constexpr unsigned kFlags = 0x80FF;  // x87 status word: busy, summary, exceptions
    constexpr unsigned kSseFlags = 0x3F; // MXCSR exception flags
    const unsigned clear = floatFault ? kTop | kFlags : kTop;
#if defined(__x86_64__)
    context.FltSave.StatusWord = static_cast<WORD>(context.FltSave.StatusWord & ~clear);
    context.FltSave.TagWord = 0; // abridged form: all empty
    if (floatFault) {
        context.MxCsr &= ~kSseFlags;
        context.FltSave.MxCsr &= ~kSseFlags;
    }
#else
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
#endif
}

} // namespace

// Assembly names, so the stubs below can refer to them on both bitnesses.
extern "C" {
void SehResumeStub() __asm__("lumivex_seh_resume_stub");
[[noreturn]] __attribute__((used)) void
SehThrowFromFault(void* frame) __asm__("lumivex_seh_throw_from_fault");
__attribute__((used)) EXCEPTION_DISPOSITION
SehFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                void* dispatcher) __asm__("lumivex_seh_frame_handler");
#if defined(__x86_64__)
void SehGuardCall(void (*fn)(void*), void* context, void* frame) __asm__("lumivex_seh_guard_call");
#else
void SehRecoverStub() __asm__("lumivex_seh_recover_stub");
[[noreturn]] __attribute__((used)) void SehRecover(void* frame) __asm__("lumivex_seh_recover");
#endif
}

#if defined(__x86_64__)
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
#else
// i686: same stubs with DWARF call frame information for the trampoline; the recover stub runs
// SehRecover on an aligned stack (no unwinding passes through it).
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
#endif

namespace {

// Lets the faulting thread go on in `stub`, with rcx/ecx holding the guard's frame.
EXCEPTION_DISPOSITION ResumeIn(CONTEXT& context, GuardFrame& frame, void (*stub)()) {
#if defined(__x86_64__)
    context.Rcx = reinterpret_cast<DWORD64>(&frame);
    context.Rip = reinterpret_cast<DWORD64>(stub);
#else
    context.Ecx = reinterpret_cast<DWORD>(&frame);
    context.Eip = reinterpret_cast<DWORD>(stub);
#endif
    return ExceptionContinueExecution;
}

EXCEPTION_DISPOSITION HandleFault(GuardFrame& frame, EXCEPTION_RECORD& record, CONTEXT& context) {
    if ((record.ExceptionFlags & (EXCEPTION_NONCONTINUABLE | kUnwindFlags)) ||
        !lumivex::IsGuardedHardwareCode(record.ExceptionCode)) {
        return ExceptionContinueSearch;
    }
    if (frame.converting) {
        // Faulted again before the first fault was thrown: do not try the unwinder again.
#if defined(__x86_64__)
        return ExceptionContinueSearch;
#else
        return ResumeIn(context, frame, &SehRecoverStub);
#endif
    }
    frame.converting = true;
    frame.record = record;
    frame.record.ExceptionRecord = nullptr;
    const bool floatFault = lumivex::IsFloatCode(record.ExceptionCode);
    ResetFloatState(context, floatFault);
#if defined(__i386__)
    if (floatFault) {
        // An x87 fault is raised at the next x87 instruction, which need not be one the compiler
        // expects to throw (a store to a local), so the C++ unwinder would give up there.
        return ResumeIn(context, frame, &SehRecoverStub);
    }
#endif
    // The unwinder looks up the caller's frame at return address - 1, so returning to the byte
    // after the fault start makes it see the faulting instruction itself. The stub pushes this
    // address: the handler never writes to the faulting stack, where the dispatcher's own data
    // may lie.
#if defined(__x86_64__)
    frame.resumeAddress = context.Rip + 1;
#else
    frame.resumeAddress = context.Eip + 1;
#endif
    return ResumeIn(context, frame, &SehResumeStub);
}

#if defined(__i386__)
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
    frame.converting = false;
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
#endif

} // namespace

extern "C" EXCEPTION_DISPOSITION SehFrameHandler(EXCEPTION_RECORD* record, void* establisherFrame,
                                                 CONTEXT* context, void*) {
#if defined(__x86_64__)
    GuardFrame* frame = *reinterpret_cast<GuardFrame**>(static_cast<char*>(establisherFrame) + 32);
#else
    GuardFrame* frame = reinterpret_cast<GuardFrame*>(static_cast<char*>(establisherFrame) -
                                                      offsetof(GuardFrame, registration));
#endif
    return HandleFault(*frame, *record, *context);
}

extern "C" void SehThrowFromFault(void* frameAddress) {
    GuardFrame& frame = *static_cast<GuardFrame*>(frameAddress);
#if defined(__i386__)
    if (!UnwinderReachesGuard(frame)) {
        RecoverAtGuard(frame);
    }
#endif
    frame.converting = false;
    throw lumivex::seh_exception(frame.record);
}

#if defined(__i386__)
extern "C" void SehRecover(void* frameAddress) {
    RecoverAtGuard(*static_cast<GuardFrame*>(frameAddress));
}
#endif

namespace lumivex::detail {

void CallGuarded(void (*fn)(void*), void* context) {
    GuardFrame frame;
    frame.converting = false;
#if defined(__x86_64__)
    SehGuardCall(fn, context, &frame);
#else
    HandlerChainScope chain(frame.registration);
    // The recovery restores only the frame and stack pointers; saving every callee-saved register
    // here (GCC leaves ebx out on its own) keeps our caller's registers intact.
    __asm__ __volatile__("" ::: "ebx", "esi", "edi");
    if (__builtin_setjmp(frame.recovery) == 0) {
        fn(context);
        return;
    }
    // Resumed by RecoverAtGuard.
    throw seh_exception(frame.record);
#endif
}

} // namespace lumivex::detail

#else
#error "the guard's stubs are written for GCC on x86; an MSVC build would use __try/__except"
#endif
