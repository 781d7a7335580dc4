// Finding another process's window by a registered query message: the window that answers the
// message with its own number is the one asked for (the main program's first instance, the
// resident server).
#pragma once

#include "support/owners.h"

#include <windows.h>

namespace lumivex {

// How long one top-level window may take to answer before it is passed over.
constexpr UINT kQueryAnswerMs = 200;

// The first top-level window that answers `queryMessage` (wParam and lParam 0) with the message's
// own number within kQueryAnswerMs; hung windows are passed over. Null when none does, and for
// message 0 (a failed registration), which every window would seem to answer.
HWND FindWindowAnsweringQuery(UINT queryMessage);

// The single-instance rule of a program: its named mutex, held for the whole run, and whether
// another instance already held it (a mutex that exists but cannot be opened counts too).
struct InstanceCheck {
    UniqueHandle mutex;
    bool anotherRuns = false;
    HWND running = nullptr; // that instance's window, when it answered the query in time
};
InstanceCheck CheckSingleInstance(const wchar_t* mutexName, UINT queryMessage);

} // namespace lumivex
