// The process's table of subclassed browser windows. Several interface threads may use it at
// once, so it has a lock; the lock is never held while calling a window procedure, the browser
// or a dialog. Objects are shared, so a handler that lets its window be destroyed still holds a
// live object and finds out from the table whether the window is still tracked.
#pragma once

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
    std::size_t Count() const;

private:
    std::shared_ptr<CSubIEWin> Take(HWND hWnd);

    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    std::map<HWND, std::shared_ptr<CSubIEWin>> m_map;
};

// Windows that another subclass took over after ours: ours cannot leave their chain without
// cutting the later one off, so it stays and only passes every message on to `previous`, and the
// library stays loaded for the rest of the process (the later subclass may call it any time).
void KeepForwarding(HWND hWnd, WNDPROC previous);
// The procedure such a window's messages go on to; null for any other window.
WNDPROC ForwardingProc(HWND hWnd);

// The one table of this process. It is never destroyed: at process end its objects must not
// call into browsers whose libraries may be gone, and at unload RemoveAllSubWin has emptied it.
CSubWinTable& SubWinTable();

} // namespace lumivex::hook
