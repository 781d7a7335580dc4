#include "hooklib/sub_win_table.h"

#include "hooklib/browser_ids.h"
#include "hooklib/prompt_frame.h"
#include "support/owners.h"
#include "support/guarded.h"

#include <new>

namespace lumivex::hook {

namespace {

void Discard(const std::shared_ptr<CSubIEWin>& window) {
    window->bUnSubclassWin();
    window->ReleaseBrowser();
}

// The forwarding windows: never destroyed, as the library is never unloaded once there is one.
struct Forwarding {
    SRWLOCK lock = SRWLOCK_INIT;
    std::map<HWND, WNDPROC> previous;
    bool pinned = false;
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
                       reinterpret_cast<LPCWSTR>(&KeepForwarding), &self);
    Forwarding& forwarding = ForwardingWindows();
    ExclusiveLock lock(forwarding.lock);
    forwarding.previous[hWnd] = previous;
    forwarding.pinned = true;
}

bool LibraryPinned() {
    Forwarding& forwarding = ForwardingWindows();
    SharedLock lock(forwarding.lock);
    return forwarding.pinned;
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
            ExclusiveLock lock(m_lock);
            auto found = m_map.find(hWnd);
            if (found != m_map.end() && found->second == window) {
                m_passOn.Set(hWnd, window->OldProc());
            }
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
    m_passOn.Clear(hWnd);
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
            m_passOn.ClearAll();
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

HMODULE CSubWinTable::OnBrowserReached(HWND hWnd) {
    CFirstUsePrompt prompt(hWnd);
    {
        ExclusiveLock lock(m_lock);
        if (m_prompt) {
            return nullptr; // one prompt at a time; the run's marker keeps it to one anyway
        }
        m_prompt = &prompt;
    }
    HMODULE held = prompt.Run();
    ExclusiveLock lock(m_lock);
    m_prompt = nullptr;
    return held;
}

void CSubWinTable::OnWindowTimer(HWND hWnd, WPARAM timerId) {
    if (timerId != IDT_PROMPT_FLASH) {
        return;
    }
    CFirstUsePrompt* prompt = nullptr;
    {
        SharedLock lock(m_lock);
        prompt = m_prompt;
    }
    // The prompt lives on the stack of the thread that gets its window's timer, which is this one.
    if (prompt && prompt->Window() == hWnd) {
        prompt->OnTick();
    }
}

void DropForwarding(HWND hWnd) {
    Forwarding& forwarding = ForwardingWindows();
    ExclusiveLock lock(forwarding.lock);
    forwarding.previous.erase(hWnd);
}

} // namespace lumivex::hook
