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

    void OnAttachBrowser();
    // The first-use prompt for this window, once the browser was reached; decides for itself
    // whether to show anything.
    void ShowFirstUsePrompt();
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
    int Zoom() const { return m_nZoom; }
    bool HasBrowser() const { return static_cast<bool>(m_pBrowser); }

private:
    void Step(ZoomAction action);
    void SendZoom();

    int m_nZoom = kZoomDefault;
    int m_nMinZoom = kZoomMinDefault;
    int m_nMaxZoom = kZoomMaxDefault;
    ComPtr<IWebBrowser2> m_pBrowser;
    HWND m_hWnd = nullptr;
    // Read by the window procedure, cleared on unsubclassing, possibly from another thread at
    // library unload.
    std::atomic<WNDPROC> m_pfnOldProc{nullptr};
};

// Reaches the document and the browser behind a browser window; each out value receives a
// reference the caller owns, or stays empty.
void OnGetDocInterface(HWND hWnd, ComPtr<IHTMLDocument>& document, ComPtr<IWebBrowser2>& browser);

// The window procedure of every subclassed window.
LRESULT CALLBACK SubIEWinProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace lumivex::hook
