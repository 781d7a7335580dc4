#include "hooklib/window_trampoline.h"

#include "support/proc_address.h"

#include <cstring>

// The code each architecture's file defines under these names.
extern "C" const unsigned char lumivexTrampolineCode[] asm("lumivex_trampoline_code");
extern "C" const unsigned char lumivexTrampolineConstants[] asm("lumivex_trampoline_constants");
extern "C" const unsigned char lumivexTrampolineEnd[] asm("lumivex_trampoline_end");

namespace lumivex::hook {

namespace {

// What the trampoline reads and writes while it runs; lives on a page of its own that stays
// writable.
struct TrampolineState {
    volatile LONG inLibrary; // threads inside `before` or `after`
    volatile LONG alive;     // 0 once the library is unloading
};

// The constants block at the end of the copied code, in the order the code reads it.
struct ConstantsLayout {
    void* before;
    void* after;
    void* callWindowProc;
    void* freeLibrary;
    void* defaultProc;
    TrampolineState* state;
};

constexpr std::size_t kPage = 4096;

TrampolineState* g_state = nullptr;

WNDPROC MakeTrampoline(BeforeMessageFn before, AfterMessageFn after) {
    const std::size_t codeSize =
        static_cast<std::size_t>(lumivexTrampolineEnd - lumivexTrampolineCode);
    const std::size_t constantsOffset =
        static_cast<std::size_t>(lumivexTrampolineConstants - lumivexTrampolineCode);
    if (codeSize > kPage / 2 || constantsOffset + sizeof(ConstantsLayout) > codeSize) {
        return nullptr;
    }
    // Never freed: frames of it may be live after the library is gone.
    auto* page = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, 2 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!page) {
        return nullptr;
    }
    std::memcpy(page, lumivexTrampolineCode, codeSize);
    auto* state = reinterpret_cast<TrampolineState*>(page + kPage);
    state->inLibrary = 0;
    state->alive = 1;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    ConstantsLayout constants = {
        reinterpret_cast<void*>(before),
        reinterpret_cast<void*>(after),
        // The system libraries' own entry points, not this library's import stubs: the
        // trampoline calls them after the library may be gone.
        reinterpret_cast<void*>(ProcAddress<decltype(&CallWindowProcW)>(user32, "CallWindowProcW")),
        reinterpret_cast<void*>(ProcAddress<decltype(&FreeLibrary)>(kernel32, "FreeLibrary")),
        reinterpret_cast<void*>(ProcAddress<decltype(&DefWindowProcW)>(user32, "DefWindowProcW")),
        state,
    };
    const bool ready = constants.callWindowProc && constants.freeLibrary && constants.defaultProc;
    if (ready) {
        std::memcpy(page + constantsOffset, &constants, sizeof constants);
    }
    DWORD old = 0;
    if (!ready || !VirtualProtect(page, kPage, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(page, 0, MEM_RELEASE);
        return nullptr;
    }
    // Registered last: a registration cannot be taken back safely once anything may unwind.
    if (!detail::RegisterArchUnwindData(page, codeSize, page + kPage + sizeof(TrampolineState))) {
        return nullptr; // the page stays: it is registered with nobody, but may be half set up
    }
    FlushInstructionCache(GetCurrentProcess(), page, codeSize);
    g_state = state;
    return reinterpret_cast<WNDPROC>(page);
}

} // namespace

WNDPROC WindowTrampoline(BeforeMessageFn before, AfterMessageFn after) {
    static const WNDPROC trampoline = MakeTrampoline(before, after);
    return trampoline;
}

void WindowTrampolineLibraryGone() {
    TrampolineState* state = g_state;
    if (!state) {
        return;
    }
    InterlockedExchange(&state->alive, 0);
    // A thread that entered a half just before stays in it only briefly (the halves run no
    // loops of their own but the prompt's, which holds a reference, so no unload happens then).
    for (int waited = 0; InterlockedCompareExchange(&state->inLibrary, 0, 0) != 0 && waited < 2000;
         ++waited) {
        Sleep(1);
    }
}

} // namespace lumivex::hook
