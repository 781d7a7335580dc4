#include "hooklib/sub_win_table.h"

#include "hooklib/browser_ids.h"
#include "support/guarded.h"

#include <new>

namespace lumivex::hook {

namespace {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

class SharedLock {
public:
    explicit SharedLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockShared(&m_lock); }
    ~SharedLock() { ReleaseSRWLockShared(&m_lock); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    SRWLOCK& m_lock;
};

void Discard(const std::shared_ptr<CSubIEWin>& window) {
    window->bUnSubclassWin();
    window->ReleaseBrowser();
}

// The forwarding windows: never destroyed, as the library is never unloaded once there is one.
struct Forwarding {
    SRWLOCK lock = SRWLOCK_INIT;
    std::map<HWND, WNDPROC> previous;
};

Forwarding& ForwardingWindows() {
    alignas(Forwarding) static unsigned char storage[sizeof(Forwarding)];
    static Forwarding* forwarding = new (storage) Forwarding();
    return *forwarding;
}

} // namespace

void KeepForwarding(HWND hWnd, WNDPROC previous) {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&SubIEWinProc), &self);
    Forwarding& forwarding = ForwardingWindows();
    ExclusiveLock lock(forwarding.lock);
    forwarding.previous[hWnd] = previous;
}

WNDPROC ForwardingProc(HWND hWnd) {
    Forwarding& forwarding = ForwardingWindows();
    SharedLock lock(forwarding.lock);
    auto found = forwarding.previous.find(hWnd);
    return found == forwarding.previous.end() ? nullptr : found->second;
}

CSubWinTable& SubWinTable() {
    // Constructed in place and never destroyed (see the header).
    alignas(CSubWinTable) static unsigned char storage[sizeof(CSubWinTable)];
    static CSubWinTable* table = new (storage) CSubWinTable();
    return *table;
}

BOOL CSubWinTable::AddSubWin(HWND hWnd) {
    return Guarded(L"", L"", FALSE, [&]() -> BOOL {
        auto window = std::make_shared<CSubIEWin>();
        {
            ExclusiveLock lock(m_lock);
            if (!m_map.emplace(hWnd, window).second) {
                return FALSE;
            }
        }
        if (window->bSubclassWin(hWnd)) {
            return TRUE;
        }
        ExclusiveLock lock(m_lock);
        auto found = m_map.find(hWnd);
        if (found != m_map.end() && found->second == window) {
            m_map.erase(found);
        }
        return FALSE;
    });
}

std::shared_ptr<CSubIEWin> CSubWinTable::Take(HWND hWnd) {
    ExclusiveLock lock(m_lock);
    auto found = m_map.find(hWnd);
    if (found == m_map.end()) {
        return nullptr;
    }
    std::shared_ptr<CSubIEWin> window = std::move(found->second);
    m_map.erase(found);
    return window;
}

BOOL CSubWinTable::RemoveSubWin(HWND hWnd) {
    return Guarded(L"", L"", FALSE, [&]() -> BOOL {
        std::shared_ptr<CSubIEWin> window = Take(hWnd);
        if (!window) {
            return FALSE;
        }
        Discard(window);
        return TRUE;
    });
}

BOOL CSubWinTable::RemoveAllSubWin() {
    return Guarded(L"", L"", FALSE, [&]() -> BOOL {
        std::map<HWND, std::shared_ptr<CSubIEWin>> windows;
        {
            ExclusiveLock lock(m_lock);
            windows.swap(m_map);
        }
        for (auto& entry : windows) {
            Discard(entry.second);
        }
        return TRUE;
    });
}

std::shared_ptr<CSubIEWin> CSubWinTable::FindSubWin(HWND hWnd) const {
    SharedLock lock(m_lock);
    auto found = m_map.find(hWnd);
    return found == m_map.end() ? nullptr : found->second;
}

std::size_t CSubWinTable::Count() const {
    SharedLock lock(m_lock);
    return m_map.size();
}

namespace {

// A window whose subclass we left while a later one still calls us: everything passes on.
LRESULT Forward(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = ForwardingProc(hWnd);
    if (!previous) {
        // Not ours (any more), and nowhere to forward to.
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
    const LRESULT result = CallWindowProcW(previous, hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Forwarding& forwarding = ForwardingWindows();
        ExclusiveLock lock(forwarding.lock);
        forwarding.previous.erase(hWnd);
    }
    return result;
}

} // namespace

LRESULT CALLBACK SubIEWinProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The probe is answered for any window but one we left forwarding: that one is ours no more.
    if (message == WM_SUBIEWIN_PROBE && !ForwardingProc(hWnd)) {
        return SUBIEWIN_PROBE_REPLY;
    }
    // Held for the whole message, so the object outlives anything the handlers or the previous
    // procedure do to the window.
    std::shared_ptr<CSubIEWin> window = SubWinTable().FindSubWin(hWnd);
    WNDPROC previous = window ? window->OldProc() : nullptr;
    if (!previous) {
        return Forward(hWnd, message, wParam, lParam);
    }

    Guarded(L"", L"", [&] {
        switch (message) {
        case WM_KEYUP:
            window->OnKeyUp(wParam);
            break;
        case WM_MOUSEWHEEL:
            window->OnMouseWheel(wParam);
            break;
        case WM_SUBIEWIN_ATTACH:
            window->OnAttachBrowser();
            break;
        default:
            break;
        }
    });

    // The attach may have run the prompt's dialog loop, in which the window can be destroyed:
    // a dead window's procedure gets no more messages.
    if (message == WM_SUBIEWIN_ATTACH && !IsWindow(hWnd)) {
        return 0;
    }
    const LRESULT result = CallWindowProcW(previous, hWnd, message, wParam, lParam);

    if (message == WM_DESTROY) {
        SubWinTable().RemoveSubWin(hWnd);
    } else if (message == WM_TIMER) {
        window->OnTimer(wParam);
    }
    return result;
}

} // namespace lumivex::hook
