// The trampoline's code for x86_64 (see window_trampoline.h). Stack frame: 0x20 home space and
// the fifth argument slot for the calls it makes, then the MessageFrame at rsp+0x28, then one
// spare slot; the constants block follows the code and is reached relative to rip.
#include "hooklib/window_trampoline.h"

#include <cstring>

asm(R"(
    .section .text$lumivex_trampoline,"x"
    .intel_syntax noprefix
    .globl lumivex_trampoline_code
    .globl lumivex_trampoline_constants
    .globl lumivex_trampoline_end
    .p2align 4
lumivex_trampoline_code:
    sub rsp, 0x68
    mov [rsp+0x28], rcx
    mov edx, edx
    mov [rsp+0x30], rdx
    mov [rsp+0x38], r8
    mov [rsp+0x40], r9
    xor eax, eax
    mov [rsp+0x48], rax
    mov [rsp+0x50], rax
    mov [rsp+0x58], rax
    mov r10, [rip+.Ltrampoline_state]
    lock inc dword ptr [r10]
    cmp dword ptr [r10+4], 0
    je .Ltrampoline_gone
    lea rcx, [rsp+0x28]
    call [rip+.Ltrampoline_before]
    mov r10, [rip+.Ltrampoline_state]
    lock dec dword ptr [r10]
    mov rcx, [rsp+0x58]
    test rcx, rcx
    jz .Ltrampoline_forward
    mov [rsp+0x60], rax
    call [rip+.Ltrampoline_free]
    mov rax, [rsp+0x60]
.Ltrampoline_forward:
    test rax, rax
    jz .Ltrampoline_answered
    mov rcx, rax
    mov rdx, [rsp+0x28]
    mov r8, [rsp+0x30]
    mov r9, [rsp+0x38]
    mov rax, [rsp+0x40]
    mov [rsp+0x20], rax
    call [rip+.Ltrampoline_call]
    mov [rsp+0x48], rax
    test byte ptr [rsp+0x50], 1
    jz .Ltrampoline_answered
    mov r10, [rip+.Ltrampoline_state]
    lock inc dword ptr [r10]
    cmp dword ptr [r10+4], 0
    je .Ltrampoline_after_done
    lea rcx, [rsp+0x28]
    mov rdx, rax
    call [rip+.Ltrampoline_after]
    mov [rsp+0x48], rax
.Ltrampoline_after_done:
    mov r10, [rip+.Ltrampoline_state]
    lock dec dword ptr [r10]
.Ltrampoline_answered:
    mov rax, [rsp+0x48]
    add rsp, 0x68
    ret
.Ltrampoline_gone:
    lock dec dword ptr [r10]
    mov rcx, [rsp+0x28]
    mov rdx, [rsp+0x30]
    mov r8, [rsp+0x38]
    mov r9, [rsp+0x40]
    add rsp, 0x68
    jmp [rip+.Ltrampoline_default]
    .p2align 3
lumivex_trampoline_constants:
.Ltrampoline_before: .quad 0
.Ltrampoline_after: .quad 0
.Ltrampoline_call: .quad 0
.Ltrampoline_free: .quad 0
.Ltrampoline_default: .quad 0
.Ltrampoline_state: .quad 0
lumivex_trampoline_end:
    .att_syntax prefix
    .text
)");

namespace lumivex::hook::detail {

namespace {

// The prologue is the one `sub rsp, 0x68` (4 bytes): one UWOP_ALLOC_SMALL code, padded to an
// even count.
constexpr unsigned kFrameSize = 0x68;
constexpr unsigned char kUnwindInfo[8] = {
    0x01,                               // version 1, no flags
    0x04,                               // size of the prologue
    0x01,                               // one unwind code
    0x00,                               // no frame register
    0x04,                               // the code's offset: end of the prologue
    0x02 | ((kFrameSize - 8) / 8) << 4, // UWOP_ALLOC_SMALL, (size - 8) / 8
    0x00,
    0x00, // padding slot
};

} // namespace

bool RegisterArchUnwindData(unsigned char* page, std::size_t codeSize, unsigned char* spare) {
    const auto base = reinterpret_cast<DWORD64>(page);
    std::memcpy(spare, kUnwindInfo, sizeof kUnwindInfo);
    auto* function = reinterpret_cast<RUNTIME_FUNCTION*>(spare + 16);
    function->BeginAddress = 0;
    function->EndAddress = static_cast<DWORD>(codeSize);
    function->UnwindData = static_cast<DWORD>(reinterpret_cast<DWORD64>(spare) - base);
    return RtlAddFunctionTable(function, 1, base) != FALSE;
}

} // namespace lumivex::hook::detail
