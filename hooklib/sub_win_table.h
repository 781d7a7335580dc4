// The process's table of subclassed browser windows. Several interface threads may use it at
// once, so it has a lock; the lock is never held while calling a window procedure, the browser
// or a dialog. Objects are shared, so a handler that lets its window be destroyed still holds a
// live object and finds out from the table whether the window is still tracked.
#pragma once

#include "hooklib/first_use_prompt.h"
#include "hooklib/pass_on_index.h"
#include "hooklib/sub_ie_win.h"

#include <windows.h>

#include <map>
#include <memory>

namespace lumivex::hook {

class CSubWinTable {
public:
    CSubWinTable() = default;
    CSubWinTable(const CSubWinTable&) = delete;
    CSubWinTable& operator=(const CSubWinTable&) = delete;

    // 1 when the window was newly subclassed; 0 when already tracked or subclassing failed.
    BOOL AddSubWin(HWND hWnd);
    // 1 when the window was tracked and has its own procedure back.
    BOOL RemoveSubWin(HWND hWnd);
    // Gives every window its own procedure back and releases every browser; 1.
    BOOL RemoveAllSubWin();
    std::shared_ptr<CSubIEWin> FindSubWin(HWND hWnd) const;
    // Without a lock: the procedure after ours for a tracked window; null when not known so.
    WNDPROC FindPassOn(HWND hWnd) const noexcept { return m_passOn.Find(hWnd); }

    // A window reached its browser: the first-use prompt runs over it if due (on the window's
    // thread, for as long as the dialog is open). Answers the reference on the library the
    // prompt held, which the caller must release from outside the library (null: none).
    HMODULE OnBrowserReached(HWND hWnd);
    // A WM_TIMER of `hWnd` after its own procedure had it: the prompt's frame ticks.
    void OnWindowTimer(HWND hWnd, WPARAM timerId);

private:
    std::shared_ptr<CSubIEWin> Take(HWND hWnd);

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::map<HWND, std::shared_ptr<CSubIEWin>> m_map;
    CPassOnIndex m_passOn; // mirrors the previous procedures of m_map's windows
    // The prompt being shown, on its window's thread; one per run of the program.
    CFirstUsePrompt* m_prompt = nullptr;
};

// Windows that another subclass took over after ours: ours cannot leave their chain without
// cutting the later one off, so it stays and only passes every message on to `previous`, and the
// library stays loaded for the rest of the process (the later subclass may call it any time).
void KeepForwarding(HWND hWnd, WNDPROC previous);
// The procedure such a window's messages go on to; null for any other window.
WNDPROC ForwardingProc(HWND hWnd);
// Whether KeepForwarding ever ran, and so the library stays for the rest of the process.
bool LibraryPinned();
// At the window's WM_NCDESTROY: no more forwarding for it.
void DropForwarding(HWND hWnd);

// The one table of this process. It is never destroyed: at process end its objects must not
// call into browsers whose libraries may be gone, and at unload RemoveAllSubWin has emptied it.
CSubWinTable& SubWinTable();

} // namespace lumivex::hook
