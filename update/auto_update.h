// The once-per-run update check, as the main dialog sees it: timer 2 starts it, and its worker
// reports back with the two messages below. The check itself comes with the download; until
// then both entry points leave everything as it is.
#pragma once

#include <windows.h>

namespace lumivex {

// Posted by the update worker to the main dialog.
inline constexpr UINT WM_UPDATE_AVAILABLE = WM_USER + 2000;
inline constexpr UINT WM_UPDATE_INFO = WM_USER + 2001;

// The one-shot timer of the main dialog that starts the check, and its delay.
inline constexpr UINT_PTR kUpdateTimerId = 2;
inline constexpr UINT kUpdateDelayMs = 60000;

class CAutoUpdate {
public:
    // Timer 2 has fired (once per run): the check starts here.
    void OnCheckTimer(HWND mainDialog);
    // WM_UPDATE_AVAILABLE reached the main dialog: the user is told here.
    void OnUpdateAvailable(HWND mainDialog, WPARAM wParam, LPARAM lParam);
    // The main program ends: a running check is stopped here.
    void Stop();
};

// The program's one update check.
CAutoUpdate& GetAutoUpdate();

} // namespace lumivex
