// Where a subclassed window's messages go on to, readable without a lock: most messages only
// pass through the library, and for those a lock and a shared reference per message cost more
// than the whole rest of the way. A fixed table of slots, open addressing; writers are serialised
// by the window table's lock, readers take none and fall back to the table on a miss.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>

namespace lumivex::hook {

class CPassOnIndex {
public:
    CPassOnIndex() = default;
    CPassOnIndex(const CPassOnIndex&) = delete;
    CPassOnIndex& operator=(const CPassOnIndex&) = delete;

    // Writers, under the table's exclusive lock. Set answers false when the table is full (the
    // window is then only found the slow way).
    bool Set(HWND hWnd, WNDPROC previous) noexcept;
    void Clear(HWND hWnd) noexcept;
    void ClearAll() noexcept;

    // Any thread, no lock: the procedure after ours, or null when the window is not indexed.
    WNDPROC Find(HWND hWnd) const noexcept;

    static constexpr std::size_t kSlots = 256; // a power of two; processes show a few windows

private:
    struct Slot {
        std::atomic<HWND> window{nullptr}; // null: never used; kRemoved: used before
        std::atomic<WNDPROC> previous{nullptr};
    };
    static std::size_t Home(HWND hWnd) noexcept;

    Slot m_slots[kSlots];
};

} // namespace lumivex::hook
