// Starting the 64-bit hook server with one command at a time. Each command is a process of its
// own; one that started after a later one had ended the resident server would find none and stay
// on as a new resident server, so each waits for the one before to settle.
#pragma once

#include "support/owners.h"

#include <windows.h>

#include <string>

namespace lumivex {

// How long the controller waits in all for one server process to settle or to end.
constexpr DWORD kServerWaitMs = 5000;

// Starts `program` with `parameters`, working folder `folder`, through the shell: no owner
// window, no error boxes of the shell's. The started process, or an empty owner.
UniqueHandle StartServerProcess(const std::wstring& program, const wchar_t* parameters,
                                const std::wstring& folder);

enum class ServerSettled {
    kEnded,            // a messenger has passed its command on and ended
    kEndedOrInputIdle, // or it became the resident server, which waits for input and never ends
};

// Waits at most `timeoutMs` for `process` (null: nothing to wait for) to reach `settled`. Messages
// that other processes send to this thread's windows are answered meanwhile (a messenger asks
// every top-level window); posted ones stay queued.
void AwaitServerProcess(HANDLE process, ServerSettled settled, DWORD timeoutMs);

} // namespace lumivex
