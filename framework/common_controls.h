// The common controls library, bound at first use instead of imported. A module that needs it
// only now and then, such as the hook library that is mapped into every program on the desktop,
// then does not make each of those programs load it at once (under Wine that load alone costs
// more than everything else the hook library does at start-up).
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace lumivex::fw::comctl {

// Each is the library's function of the same name; false (or the platform's default) when the
// library cannot be bound. The library stays loaded once bound: windows subclassed through it
// and classes it registered may outlive whoever asked.
bool InitCommonControls(DWORD classes);
bool SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
bool RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace lumivex::fw::comctl
