// The trampoline's code for i686 (see window_trampoline.h): stdcall like every window procedure;
// ebx holds the address of .Ltrampoline_base, from which the constants block is reached, and the
// MessageFrame lies at esp.
#include "hooklib/window_trampoline.h"

asm(R"(
    .section .text$lumivex_trampoline,"x"
    .intel_syntax noprefix
    .globl lumivex_trampoline_code
    .globl lumivex_trampoline_constants
    .globl lumivex_trampoline_end
    .p2align 4
lumivex_trampoline_code:
    push ebp
    mov ebp, esp
    push ebx
    sub esp, 28
    call .Ltrampoline_base
.Ltrampoline_base:
    pop ebx
    mov eax, [ebp+8]
    mov [esp], eax
    mov eax, [ebp+12]
    mov [esp+4], eax
    mov eax, [ebp+16]
    mov [esp+8], eax
    mov eax, [ebp+20]
    mov [esp+12], eax
    xor eax, eax
    mov [esp+16], eax
    mov [esp+20], eax
    mov [esp+24], eax
    mov ecx, [ebx+(.Ltrampoline_state-.Ltrampoline_base)]
    lock inc dword ptr [ecx]
    cmp dword ptr [ecx+4], 0
    je .Ltrampoline_gone
    mov eax, esp
    push eax
    call [ebx+(.Ltrampoline_before-.Ltrampoline_base)]
    mov ecx, [ebx+(.Ltrampoline_state-.Ltrampoline_base)]
    lock dec dword ptr [ecx]
    mov ecx, [esp+24]
    test ecx, ecx
    jz .Ltrampoline_forward
    push eax
    push ecx
    call [ebx+(.Ltrampoline_free-.Ltrampoline_base)]
    pop eax
.Ltrampoline_forward:
    test eax, eax
    jz .Ltrampoline_answered
    push dword ptr [ebp+20]
    push dword ptr [ebp+16]
    push dword ptr [ebp+12]
    push dword ptr [ebp+8]
    push eax
    call [ebx+(.Ltrampoline_call-.Ltrampoline_base)]
    mov [esp+16], eax
    test byte ptr [esp+20], 1
    jz .Ltrampoline_answered
    mov ecx, [ebx+(.Ltrampoline_state-.Ltrampoline_base)]
    lock inc dword ptr [ecx]
    cmp dword ptr [ecx+4], 0
    je .Ltrampoline_after_done
    push eax
    lea ecx, [esp+4]
    push ecx
    call [ebx+(.Ltrampoline_after-.Ltrampoline_base)]
    mov [esp+16], eax
.Ltrampoline_after_done:
    mov ecx, [ebx+(.Ltrampoline_state-.Ltrampoline_base)]
    lock dec dword ptr [ecx]
.Ltrampoline_answered:
    mov eax, [esp+16]
    add esp, 28
    pop ebx
    pop ebp
    ret 16
.Ltrampoline_gone:
    lock dec dword ptr [ecx]
    push dword ptr [ebp+20]
    push dword ptr [ebp+16]
    push dword ptr [ebp+12]
    push dword ptr [ebp+8]
    call [ebx+(.Ltrampoline_default-.Ltrampoline_base)]
    add esp, 28
    pop ebx
    pop ebp
    ret 16
    .p2align 2
lumivex_trampoline_constants:
.Ltrampoline_before: .long 0
.Ltrampoline_after: .long 0
.Ltrampoline_call: .long 0
.Ltrampoline_free: .long 0
.Ltrampoline_default: .long 0
.Ltrampoline_state: .long 0
lumivex_trampoline_end:
    .att_syntax prefix
    .text
)");

namespace lumivex::hook::detail {

// Unwinding on i686 walks the thread's handler registrations, not the code: nothing to add.
bool RegisterArchUnwindData(unsigned char*, std::size_t, unsigned char*) {
    return true;
}

} // namespace lumivex::hook::detail
