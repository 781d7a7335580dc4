// The first-use prompt: shown once per run of a program, over the first browser window whose
// browser was reached, while that window's edge flashes. The table starts one when a window
// reports that it reached its browser; it owns the frame's pen and the flash timer.
#pragma once

#include "support/owners.h"

#include <windows.h>

namespace lumivex::hook {

class CFirstUsePrompt {
public:
    explicit CFirstUsePrompt(HWND window) noexcept : m_hWnd(window) {}
    CFirstUsePrompt(const CFirstUsePrompt&) = delete;
    CFirstUsePrompt& operator=(const CFirstUsePrompt&) = delete;

    // Shows the prompt when it is due and stores the answer. While the dialog is open the library
    // holds a reference on itself, which this answers (null when none was taken): the dialog's
    // procedure is the library's, so a host that frees it meanwhile must not unmap it, and only
    // code outside the library can let go of that reference.
    HMODULE Run();
    // A tick of the flash timer on the window: the frame toggles.
    void OnTick();

    HWND Window() const noexcept { return m_hWnd; }

private:
    HWND m_hWnd;
    UniquePen m_pen; // made only where a prompt is shown, not in every process
};

} // namespace lumivex::hook
