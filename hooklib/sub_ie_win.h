// One subclassed browser window: its zoom level, its browser object and its previous window
// procedure. Everything here runs on the thread that owns the window.
#pragma once

#include "support/owners.h"
#include "hooklib/hook_rules.h"

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>

#include <atomic>

namespace lumivex::hook {

class CSubIEWin {
public:
    CSubIEWin() = default;
    CSubIEWin(const CSubIEWin&) = delete;
    CSubIEWin& operator=(const CSubIEWin&) = delete;

    // Installs SubIEWinProc and posts the attach message; false when the window refused.
    bool bSubclassWin(HWND hWnd);
    // Gives the window its previous procedure back, or, under a later subclass, leaves ours
    // forwarding to it (KeepForwarding); always true.
    bool bUnSubclassWin();

    // Reaches the browser and, once reached, shows the first-use prompt; answers a reference on
    // the library that the caller must release from outside it (null when none was taken).
    HMODULE OnAttachBrowser();
    // Reports to the table that the browser was reached, which starts the first-use prompt if it
    // is due; answers the reference the prompt held (see CFirstUsePrompt::Run).
    HMODULE ShowFirstUsePrompt();
    // After the window's own procedure handled WM_TIMER: the prompt's frame ticks.
    void OnTimer(WPARAM timerId);
    LRESULT OnKeyUp(WPARAM virtualKey);
    void OnMouseWheel(WPARAM wParam);

    void ZoomIn();
    void ZoomOut();
    void ZoomReset();

    // Drops the browser reference with a Release call.
    void ReleaseBrowser() { m_pBrowser.reset(); }

    HWND Window() const { return m_hWnd; }
    WNDPROC OldProc() const { return m_pfnOldProc.load(); }

private:
    void Apply(ZoomAction action);
    // `count` steps one way, with one range query and one zoom call.
    void Step(ZoomAction action, int count = 1);
    // The program's own starting level ("Zoom" in browsers.ini), when it has one.
    void StartAtDefaultZoom();
    void QueryRange();
    // Tells the main program's label the new level, unless this program has it off.
    void PostZoomLabel() const;
    // Tells the main program, once per load of the library, that this program has a browser.
    static void AnnounceProgram();
    void SendZoom();

    int m_nZoom = kZoomDefault;
    int m_nMinZoom = kZoomMinDefault;
    int m_nMaxZoom = kZoomMaxDefault;
    int m_nDefaultZoom = kZoomDefault;
    bool m_bShowLabel = false;
    WheelSteps m_wheelSteps;
    ComPtr<IWebBrowser2> m_pBrowser;
    HWND m_hWnd = nullptr;
    // Read by the window procedure, cleared on unsubclassing, possibly from another thread at
    // library unload.
    std::atomic<WNDPROC> m_pfnOldProc{nullptr};
};

// Reaches the browser behind a browser window (by way of its document, script and window
// objects); `browser` receives a reference the caller owns, or stays empty.
void OnGetDocInterface(HWND hWnd, ComPtr<IWebBrowser2>& browser);

// The window procedure installed into every subclassed window: the library's trampoline
// (window_trampoline.h), made at the first call; null when it could not be made, and then no
// window is subclassed.
WNDPROC SubIEWinProc();

} // namespace lumivex::hook
