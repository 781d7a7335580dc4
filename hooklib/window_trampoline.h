// The window procedure the library installs: a few instructions in memory of their own, never
// freed, which call into the library before and after passing a message on. The library's code
// is therefore never on a stack below a host's window procedure: a host that frees the library,
// or a hook removal that unloads it, while one of its own procedures runs a modal loop (a context
// menu, a message box, drag and drop) returns into memory that is still there, and the call after
// is skipped once the library is gone.
#pragma once

#include <windows.h>

#include <cstddef>

namespace lumivex::hook {

// One message as the trampoline hands it to the library; every field has the size of a pointer,
// as the trampoline lays them out on its stack.
struct MessageFrame {
    HWND hWnd;
    UINT_PTR message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;     // the answer when `before` returns null
    UINT_PTR callAfter; // non-zero: `after` runs once the previous procedure returned
    // A reference on the library that the trampoline releases once `before` returned: the last
    // reference may unmap the library, which only code outside it can survive.
    HMODULE release;
};

// The library's halves of a message. `before` answers the procedure to pass the message on to,
// or null when `result` holds the answer; `after` gets the passed-on message's result and answers
// the result to return.
using BeforeMessageFn = WNDPROC(WINAPI*)(MessageFrame* frame);
using AfterMessageFn = LRESULT(WINAPI*)(MessageFrame* frame, LRESULT result);

// The trampoline, made at the first call and kept for the life of the process; null when it
// could not be made.
WNDPROC WindowTrampoline(BeforeMessageFn before, AfterMessageFn after);

// From the library's unload: later messages skip the library; waits (bounded) until no thread is
// inside one of its halves any more.
void WindowTrampolineLibraryGone();

namespace detail {
// Each architecture's file holds the code to copy, between the symbols lumivex_trampoline_code
// and lumivex_trampoline_end, with the constants block (ConstantsLayout) at
// lumivex_trampoline_constants, and this: registers what the platform needs to unwind through
// the copy at the start of `page` (x86_64: unwind data, written to `spare`, 64 bytes on the
// writable page that follows); false when that failed.
bool RegisterArchUnwindData(unsigned char* page, std::size_t codeSize, unsigned char* spare);
} // namespace detail

} // namespace lumivex::hook
